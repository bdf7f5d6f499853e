// From the click to the answer: the whole search command (capture, crop,
// JPEG, OCR upload, question and options, scoring threads, result pages)
// against local OCR and search stand-ins that charge what a real network
// costs:
//
//   150 ms per OCR request, 120 ms per search result page, and 80 ms more for
//   the first request on every new connection (TCP and TLS set-up).
//
// It runs the ways of fetching the result pages below, each against
// services of its own:
//
//   one by one   each of the three workers fetches its five pages one after
//                the other, every request (the OCR upload included) on a new
//                connection: modelled by services that close every
//                connection after one answer, with nothing prepared ahead;
//   shared       the five pages of a search are fetched once, all at once,
//                and shared by the workers, on connections kept open and
//                made ready ahead (after the token, and at the click);
//
// and, to show what each part gives, "one by one, kept connections"
// (connections reused, pages fetched one by one) and "shared, new
// connections" (pages shared and fetched at once, each request on a new
// connection, nothing prepared).
//
// A cold search finds no open connection (the services have closed the idle
// ones: their keep-alive time is 2 s); a warm search follows another one, as
// during a show. Each search is one iteration; the time is click -> every row
// shows its count. After the benchmarks a summary gives, for both ways:
// click -> rows shown, click -> all counts (medians), page requests and new
// connections per search, the ratio of the click -> all counts medians, and
// whether every count equals what the search stand-in was told to serve.
//
// The window is the fake one of the command tests, so no display is needed
// (the card pictures are drawn with Qt's offscreen platform):
//   build/release/bench/click_to_answer
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <algorithm>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "app/access_token_command.h"
#include "app/qstring_text.h"
#include "app/scoring_dispatcher.h"
#include "app/search_command.h"
#include "capture/capture_window.h"
#include "fake_controls.h"
#include "net/http_transport.h"
#include "net/winhttp_request.h"
#include "ocr_stand_in.h"
#include "sample_cards.h"
#include "search_stand_in.h"
#include "stand_in_server.h"
#include "test_ca.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto kOcrCost = 150ms;
constexpr auto kPageCost = 120ms;
constexpr auto kNewConnectionCost = 80ms;
// Longer than the stand-ins' keep-alive time (2 s): every idle connection is
// closed by then.
constexpr auto kColdPause = 2500ms;
// Between two warm searches.
constexpr auto kWarmPause = 100ms;
constexpr int kColdSearches = 3;
constexpr int kWarmSearches = 12;

// 图片框1 shows the card itself, so the crop carries its pixels to the OCR
// stand-in.
class CardRenderer : public qa::WindowRenderer {
 public:
  void Show(const QImage& card) {
    std::lock_guard lock(mutex_);
    card_ = card.convertToFormat(QImage::Format_RGB32);
  }
  bool RenderWindow(qa::WindowPixels& out) const override {
    std::lock_guard lock(mutex_);
    out.width = card_.width();
    out.height = card_.height();
    out.rows.resize(static_cast<std::size_t>(out.width) * out.height * 4);
    for (int y = 0; y < out.height; ++y) {
      std::memcpy(out.rows.data() + static_cast<std::size_t>(y) * out.width * 4,
                  card_.constScanLine(y), static_cast<std::size_t>(out.width) * 4);
    }
    return true;
  }

 private:
  mutable std::mutex mutex_;
  QImage card_;
};

// The fake window, noting when the rows appeared and when the last of them
// got its count.
class TimedWindow : public qa::test::FakeControls {
 public:
  const qa::WindowRenderer& ScreenBoxWindow() override { return card_; }

  void ShowCard(const QImage& card) { card_.Show(card); }

  void StartClock() {
    std::lock_guard lock(mutex_);
    click_ = Clock::now();
    rowsShown_.reset();
    countsShown_.reset();
  }

  int InsertRow() override {
    const int row = FakeControls::InsertRow();
    std::lock_guard lock(mutex_);
    rowsShown_ = Clock::now();
    return row;
  }

  void SetCellText(int row, int column, const qa::Text& text) override {
    FakeControls::SetCellText(row, column, text);
    const auto rows = Rows();
    const bool counted = !rows.empty() && std::all_of(rows.begin(), rows.end(), [](auto& r) {
      return !r.result.empty() && std::isdigit(static_cast<unsigned char>(r.result[0]));
    });
    if (!counted) return;
    std::lock_guard lock(mutex_);
    if (!countsShown_) countsShown_ = Clock::now();
    changed_.notify_all();
  }

  // Milliseconds from the click until the rows were shown and until every row
  // showed its count; false when the counts did not come within `limit`.
  bool WaitForCounts(std::chrono::milliseconds limit, double& rowsMs, double& countsMs) {
    std::unique_lock lock(mutex_);
    if (!changed_.wait_for(lock, limit, [this] { return countsShown_.has_value(); })) {
      return false;
    }
    auto ms = [this](Clock::time_point t) {
      return std::chrono::duration<double, std::milli>(t - click_).count();
    };
    rowsMs = rowsShown_ ? ms(*rowsShown_) : -1;
    countsMs = ms(*countsShown_);
    return true;
  }

 private:
  CardRenderer card_;
  std::mutex mutex_;
  std::condition_variable changed_;
  Clock::time_point click_;
  std::optional<Clock::time_point> rowsShown_;
  std::optional<Clock::time_point> countsShown_;
};

// The OCR and search stand-ins with the network costs.
struct Services {
  explicit Services(bool connectionPerRequest) {
    for (qa::test::StandInServer* server : {&ocrServer, &searchServer}) {
      server->SetNewConnectionDelay(kNewConnectionCost);
      // cpp-httplib ends a connection after 5 requests; servers keep them
      // for many more.
      server->Routes().set_keep_alive_max_count(connectionPerRequest ? 1 : 1000);
    }
    ocrServer.SetRequestDelay(kOcrCost);
    qa::test::AddSampleCards(ocr, search, kPageCost);
    ocr.AddClient("bench-api", "bench-secret", "bench-token");
    ok = ocrServer.Start() && searchServer.Start();
  }

  qa::test::StandInServer ocrServer{qa::test::TestCa::Shared()};
  qa::test::StandInServer searchServer{qa::test::TestCa::Shared()};
  // Declared after their servers: they stop them first.
  qa::test::OcrStandIn ocr{ocrServer};
  qa::test::SearchStandIn search{searchServer};
  bool ok = false;
};

void WarmConnections(const qa::Text& baseUrl, int count) {
  qa::PrepareConnections(baseUrl, count);
}

qa::Text FetchSearchPage(const qa::Text& url, const std::atomic<bool>&) {
  return qa::WinHttpRequest(url);
}

struct Sample {
  double rowsMs = 0;
  double countsMs = 0;
  int pageRequests = 0;
  int searchConnections = 0;
  int ocrConnections = 0;
};

// How a setup fetches its pages and treats its connections.
struct Way {
  const char* name;
  qa::PageFetching fetching;
  bool connectionPerRequest;  // the services close every connection after one answer
  bool prepare;               // connections are made ready after the token and at the click
};

// One way of fetching pages, with services and a window of its own.
class Setup {
 public:
  explicit Setup(const Way& way)
      : name_(way.name),
        services_(way.connectionPerRequest),
        scoring_(window_, Endpoints(), &FetchSearchPage, way.fetching, Warmer(way)) {
    endpoints_ = Endpoints();
    window_.SetText(qa::EditBox::ApiKey, "bench-api");
    window_.SetText(qa::EditBox::SecretKey, "bench-secret");
    qa::AccessTokenCommand(window_, state_, endpoints_, Warmer(way));
    for (const qa::test::SampleCard* sample : qa::test::AllSampleCards()) {
      if (!sample->question.isEmpty()) cards_.push_back(sample);
    }
  }
  ~Setup() {
    scoring_.Shutdown([] { std::this_thread::sleep_for(1ms); });
  }

  bool Ready() const { return services_.ok && state_.accessToken == "bench-token"; }
  const char* Name() const { return name_; }

  // One click on the next card; false when its counts did not come.
  bool Search(Sample& sample) {
    const qa::test::SampleCard& card = *cards_[next_++ % cards_.size()];
    window_.ShowCard(qa::test::RenderQuizCard(card.card));
    const int pagesBefore = PageRequests(card);
    const int searchBefore = services_.searchServer.ConnectionCount();
    const int ocrBefore = services_.ocrServer.ConnectionCount();

    qa::SearchCommandContext context{window_, state_, endpoints_, scoring_};
    context.findMirrorWindow = [] { return qa::WindowHandle{1}; };
    context.screenshotWindow = [this](qa::WindowHandle) { return Screenshot(); };
    window_.StartClock();
    qa::SearchCommand(context);
    if (!window_.WaitForCounts(20s, sample.rowsMs, sample.countsMs)) return false;
    while (scoring_.LiveThreads() > 0) std::this_thread::sleep_for(1ms);

    std::vector<int> expected;
    for (const auto& [option, counts] : card.counts) {
      expected.push_back(qa::test::SearchStandIn::Total(counts));
    }
    std::vector<int> shown;
    for (const auto& row : window_.Rows()) shown.push_back(qa::TextToInt(row.result));
    if (shown != expected) ++wrongCounts_;
    ++searches_;

    sample.pageRequests = PageRequests(card) - pagesBefore;
    sample.searchConnections = services_.searchServer.ConnectionCount() - searchBefore;
    sample.ocrConnections = services_.ocrServer.ConnectionCount() - ocrBefore;
    return true;
  }

  int WrongCounts() const { return wrongCounts_; }
  int Searches() const { return searches_; }

 private:
  static qa::ConnectionWarmer Warmer(const Way& way) {
    return way.prepare ? qa::ConnectionWarmer(&WarmConnections) : qa::ConnectionWarmer();
  }

  qa::Endpoints Endpoints() const {
    qa::Endpoints e;
    e.ocrBase = services_.ocrServer.BaseUrl();
    e.searchBase = services_.searchServer.BaseUrl();
    return e;
  }

  int PageRequests(const qa::test::SampleCard& card) const {
    int n = 0;
    for (const auto& request : services_.search.Requests()) {
      n += request.question == card.question && request.offset >= 0;
    }
    return n;
  }

  qa::Bytes Screenshot() { return qa::CaptureWindow(window_.ScreenBoxWindow()); }

  const char* name_;
  Services services_;
  TimedWindow window_;
  qa::ProcessState state_;
  qa::Endpoints endpoints_;
  qa::ScoringDispatcher scoring_;
  std::vector<const qa::test::SampleCard*> cards_;
  std::size_t next_ = 0;
  int wrongCounts_ = 0;
  int searches_ = 0;
};

std::map<std::string, std::vector<Sample>> samples;  // by benchmark name

void ClickToAnswer(benchmark::State& state, Setup* setup, bool cold) {
  const std::string key = std::string(setup->Name()) + (cold ? "/cold" : "/warm");
  Sample sample;
  if (!cold && !setup->Search(sample)) {  // opens what a warm search finds open
    state.SkipWithError("no counts");
    return;
  }
  for (auto _ : state) {
    std::this_thread::sleep_for(cold ? kColdPause : kWarmPause);
    if (!setup->Search(sample)) {
      state.SkipWithError("no counts");
      return;
    }
    state.SetIterationTime(sample.countsMs / 1000.0);
    samples[key].push_back(sample);
  }
  const auto& all = samples[key];
  auto mean = [&](auto field) {
    double sum = 0;
    for (const Sample& s : all) sum += s.*field;
    return all.empty() ? 0.0 : sum / static_cast<double>(all.size());
  };
  state.counters["rows_ms"] = mean(&Sample::rowsMs);
  state.counters["page_requests"] = mean(&Sample::pageRequests);
  state.counters["new_conns_search"] = mean(&Sample::searchConnections);
  state.counters["new_conns_ocr"] = mean(&Sample::ocrConnections);
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

template <typename Field>
double MedianOf(const std::vector<Sample>& all, Field field) {
  std::vector<double> values;
  for (const Sample& s : all) values.push_back(static_cast<double>(s.*field));
  return Median(values);
}

// `setups` run from the slowest way (first) to the fastest (last).
void PrintSummary(const std::vector<Setup*>& setups) {
  std::printf("\nclick -> answer, medians (OCR %lld ms, page %lld ms, new connection +%lld ms)\n",
              static_cast<long long>(kOcrCost.count()), static_cast<long long>(kPageCost.count()),
              static_cast<long long>(kNewConnectionCost.count()));
  std::printf("%-40s %9s %12s %13s %15s %14s\n", "", "searches", "rows shown", "all counts",
              "page requests", "new conns");
  for (const char* warmth : {"warm", "cold"}) {
    for (Setup* setup : setups) {
      const auto& all = samples[std::string(setup->Name()) + "/" + warmth];
      if (all.empty()) continue;
      std::printf("%-40s %9zu %9.0f ms %10.0f ms %15.0f %7.0f + %.0f\n",
                  (std::string(setup->Name()) + " " + warmth).c_str(), all.size(),
                  MedianOf(all, &Sample::rowsMs), MedianOf(all, &Sample::countsMs),
                  MedianOf(all, &Sample::pageRequests), MedianOf(all, &Sample::searchConnections),
                  MedianOf(all, &Sample::ocrConnections));
    }
  }
  std::printf("(new conns: to the search host + to the OCR host)\n");
  for (const char* warmth : {"warm", "cold"}) {
    const Setup& slowest = *setups.front();
    const Setup& fastest = *setups.back();
    const auto& slow = samples[std::string(slowest.Name()) + "/" + warmth];
    const auto& fast = samples[std::string(fastest.Name()) + "/" + warmth];
    if (slow.empty() || fast.empty()) continue;
    std::printf("%s: all counts %.1fx sooner (%s / %s)\n", warmth,
                MedianOf(slow, &Sample::countsMs) / MedianOf(fast, &Sample::countsMs),
                slowest.Name(), fastest.Name());
  }
  const double target = static_cast<double>((kOcrCost + kPageCost * 6 / 5 + 40ms).count());
  std::printf("warm target: all counts within OCR + 1.2 x page + 40 ms = %.0f ms\n", target);
  for (Setup* setup : setups) {
    std::printf("%s: %d searches, counts %s\n", setup->Name(), setup->Searches(),
                setup->WrongCounts() == 0 ? "all as served" : "WRONG in some searches");
  }
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  int qtArgc = 1;
  QGuiApplication app(qtArgc, argv);
  benchmark::Initialize(&argc, argv);
  if (!qa::SetExtraTrustedCaFile(qa::test::TestCa::Shared().CaCertPath())) {
    std::fprintf(stderr, "click_to_answer: the test CA is missing\n");
    return 1;
  }

  const Way ways[] = {
      {"one by one", qa::PageFetching::kPerWorker, true, false},
      {"one by one, kept connections", qa::PageFetching::kPerWorker, false, false},
      {"shared, new connections", qa::PageFetching::kShared, true, false},
      {"shared", qa::PageFetching::kShared, false, true},
  };
  std::vector<std::unique_ptr<Setup>> owned;
  std::vector<Setup*> setups;
  for (const Way& way : ways)
    setups.push_back(owned.emplace_back(std::make_unique<Setup>(way)).get());
  for (Setup* setup : setups) {
    if (!setup->Ready()) {
      std::fprintf(stderr, "click_to_answer: the stand-ins did not start\n");
      return 1;
    }
  }
  for (bool cold : {false, true}) {
    for (Setup* setup : setups) {
      const std::string name =
          std::string("ClickToAnswer/") + setup->Name() + (cold ? "/cold" : "/warm");
      benchmark::RegisterBenchmark(name.c_str(), ClickToAnswer, setup, cold)
          ->Iterations(cold ? kColdSearches : kWarmSearches)
          ->UseManualTime()
          ->Unit(benchmark::kMillisecond);
    }
  }
  benchmark::RunSpecifiedBenchmarks();
  PrintSummary(setups);
  benchmark::Shutdown();
  const bool countsRight =
      std::all_of(setups.begin(), setups.end(), [](Setup* s) { return s->WrongCounts() == 0; });
  return countsRight ? 0 : 1;
}
