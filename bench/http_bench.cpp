// Round trips of the two request operations against local stand-in servers,
// and the charset step on its own. The network part is loopback only, so the
// numbers show what the client side costs per request (connection set-up,
// TLS handshake, header and body handling), not what a real network adds.
#include <benchmark/benchmark.h>

#include <optional>
#include <string>

#include "http_test_routes.h"
#include "net/detect_charset_and_convert.h"
#include "net/http_transport.h"
#include "net/inet_request.h"
#include "net/winhttp_request.h"
#include "stand_in_server.h"
#include "test_ca.h"

namespace qa {
namespace {

// One plain and one TLS server for the whole run.
struct Servers {
  Servers() : secure(test::TestCa::Shared()) {
    SetExtraTrustedCaFile(test::TestCa::Shared().CaCertPath());
    test::AddHttpTestRoutes(plain);
    test::AddHttpTestRoutes(secure);
    // Form bodies over 8 KiB must be read through a content reader.
    secure.Routes().Post("/upload", [](const httplib::Request&, httplib::Response& res,
                                       const httplib::ContentReader& read) {
      std::size_t size = 0;
      read([&size](const char*, std::size_t n) {
        size += n;
        return true;
      });
      res.set_content(std::to_string(size), "text/plain");
    });
    plain.Start();
    secure.Start();
  }
  test::StandInServer plain;
  test::StandInServer secure;
};

Servers& Local() {
  static Servers servers;
  return servers;
}

void BM_InetRequestGetHttp(benchmark::State& state) {
  const std::string url = Local().plain.BaseUrl() + "/hello";
  for (auto _ : state) benchmark::DoNotOptimize(InetRequest(url));
}
BENCHMARK(BM_InetRequestGetHttp)->Unit(benchmark::kMicrosecond);

void BM_InetRequestGetHttps(benchmark::State& state) {
  const std::string url = Local().secure.BaseUrl() + "/hello";
  for (auto _ : state) benchmark::DoNotOptimize(InetRequest(url));
}
BENCHMARK(BM_InetRequestGetHttps)->Unit(benchmark::kMicrosecond);

// The window's thread waits for its requests in a wait scope, running its
// events every few milliseconds: what that costs a request against waiting
// plainly, with a hook that does next to nothing (argument 0: an immediate
// answer; 150: an answer after 150 ms, the time of an OCR upload).
void BM_InetRequestWaitScope(benchmark::State& state) {
  const bool withScope = state.range(0) != 0;
  const std::string url =
      Local().plain.BaseUrl() +
      (state.range(1) == 0 ? std::string("/hello") : "/slow?ms=" + std::to_string(state.range(1)));
  int calls = 0;
  std::optional<TransferWaitScope> scope;
  if (withScope) scope.emplace([&calls] { ++calls; });
  for (auto _ : state) benchmark::DoNotOptimize(InetRequest(url));
  state.counters["hook calls"] =
      benchmark::Counter(static_cast<double>(calls), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_InetRequestWaitScope)
    ->ArgNames({"scope", "ms"})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 150})
    ->Args({1, 150})
    ->Unit(benchmark::kMicrosecond);

// The size of the OCR upload: a Base64, percent-encoded JPEG of a question area.
void BM_InetRequestPostHttps(benchmark::State& state) {
  const std::string url = Local().secure.BaseUrl() + "/upload";
  const std::string body = "image=" + std::string(static_cast<std::size_t>(state.range(0)), 'A');
  for (auto _ : state) {
    Bytes reply = InetRequest(url, {.method = 1, .postText = body});
    if (BytesToText(reply) != std::to_string(body.size())) state.SkipWithError("upload lost");
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(body.size()));
}
BENCHMARK(BM_InetRequestPostHttps)->Arg(64 << 10)->Arg(512 << 10)->Unit(benchmark::kMicrosecond);

// A result page of the size of a search page, decoded from UTF-8.
void BM_WinHttpRequestPageHttps(benchmark::State& state) {
  const std::string url = Local().secure.BaseUrl() + "/charset/utf8-meta";
  for (auto _ : state) benchmark::DoNotOptimize(WinHttpRequest(url));
}
BENCHMARK(BM_WinHttpRequestPageHttps)->Unit(benchmark::kMicrosecond);

void BM_DetectCharsetAndConvert(benchmark::State& state) {
  std::string page = test::CharsetPage("utf8-meta");
  while (page.size() < static_cast<std::size_t>(state.range(0))) page += test::kPageWordsUtf8;
  const Bytes body(page.begin(), page.end());
  for (auto _ : state) benchmark::DoNotOptimize(DetectCharsetAndConvert(body));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(body.size()));
}
BENCHMARK(BM_DetectCharsetAndConvert)->Arg(4 << 10)->Arg(300 << 10)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace qa

BENCHMARK_MAIN();
