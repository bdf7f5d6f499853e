// Encoding of an OCR upload: the JPEG goes out Base64- and percent-encoded.
#include <benchmark/benchmark.h>

#include <random>

#include "encoding/base64.h"
#include "encoding/url_encode.h"

namespace {

qa::Bytes RandomBytes(std::size_t size) {
  std::mt19937 rng(20);
  qa::Bytes bytes(size);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
  return bytes;
}

void BM_Base64Encode(benchmark::State& state) {
  const qa::Bytes image = RandomBytes(20 * 1024);
  for (auto _ : state) benchmark::DoNotOptimize(qa::Base64Encode(image));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * image.size()));
}
BENCHMARK(BM_Base64Encode);

void BM_UrlEncodeOfBase64(benchmark::State& state) {
  const qa::Text b64 = qa::Base64Encode(RandomBytes(20 * 1024));
  for (auto _ : state) benchmark::DoNotOptimize(qa::UrlEncode(b64, true, true));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * b64.size()));
}
BENCHMARK(BM_UrlEncodeOfBase64);

void BM_UploadBody(benchmark::State& state) {
  const qa::Bytes image = RandomBytes(20 * 1024);
  for (auto _ : state) {
    benchmark::DoNotOptimize("image=" + qa::UrlEncode(qa::Base64Encode(image), true, true));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * image.size()));
}
BENCHMARK(BM_UploadBody);

}  // namespace

BENCHMARK_MAIN();
