// Cropping the question area out of a capture of the picture box.
#include <benchmark/benchmark.h>

#include "capture/crop_bitmap.h"

namespace {

qa::Bytes Capture(int width, int height) {
  const std::size_t imageSize = static_cast<std::size_t>(width) * 4 * height;
  qa::Bytes b(54 + imageSize, 0);
  auto put32 = [&b](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  b[0] = 'B';
  b[1] = 'M';
  put32(2, static_cast<std::uint32_t>(b.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<std::uint32_t>(width));
  put32(22, static_cast<std::uint32_t>(height));
  b[26] = 1;
  b[28] = 32;
  put32(34, static_cast<std::uint32_t>(imageSize));
  for (std::size_t i = 54; i < b.size(); ++i) b[i] = static_cast<std::uint8_t>(i);
  return b;
}

void BM_CropBitmap(benchmark::State& state) {
  const qa::Bytes capture = Capture(248, 392);
  for (auto _ : state) benchmark::DoNotOptimize(qa::CropBitmap(capture, 8, 98, 224, 166));
}
BENCHMARK(BM_CropBitmap);

void BM_CropBitmapWhole(benchmark::State& state) {
  const qa::Bytes capture = Capture(248, 392);
  for (auto _ : state) benchmark::DoNotOptimize(qa::CropBitmap(capture, 0, 0, 248, 392));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * capture.size()));
}
BENCHMARK(BM_CropBitmapWhole);

}  // namespace

BENCHMARK_MAIN();
