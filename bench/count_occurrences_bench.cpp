// Counting an option in a search result page, next to a plain byte search of
// the same needle in the same page as the yardstick.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>

#include "app/count_occurrences.h"

namespace {

constexpr std::size_t kPageSize = 300 * 1024;
const std::string kChineseOption = "\xB1\xB1\xBE\xA9\xCA\xD0";  // 北京市
const std::string kAsciiOption = "nba";

// A result page as the search service sends it: markup and ASCII links mixed
// with Chinese text, mostly common characters, some with ASCII second bytes,
// and the options now and then (the ASCII one in mixed case).
const std::string& Page() {
  static const std::string page = [] {
    std::mt19937 rng(300);
    std::string p;
    p.reserve(kPageSize + 256);
    const char* markup[] = {"<div class=\"result c-container\" id=\"",
                            "\"><h3 class=\"t\"><a href=\"http://www.baidu.com/link?url=",
                            "\" target=\"_blank\">",
                            "</a></h3><div class=\"c-abstract\">",
                            "</div></div>\n",
                            "<span class=\"m\">",
                            "</span>"};
    while (p.size() < kPageSize) {
      p += markup[rng() % 7];
      if (rng() % 4 == 0) p += std::to_string(rng());
      const int characters = 20 + static_cast<int>(rng() % 60);
      for (int i = 0; i < characters; ++i) {
        if (rng() % 16 == 0) {  // an extension character whose second byte is a letter
          p += static_cast<char>(0x81 + rng() % 0x1F);
          p += static_cast<char>('a' + rng() % 26);
        } else {
          p += static_cast<char>(0xB0 + rng() % 0x48);
          p += static_cast<char>(0xA1 + rng() % 0x5E);
        }
      }
      switch (rng() % 24) {
        case 0:
          p += kChineseOption;
          break;
        case 1:
          p += "NBA";
          break;
        case 2:
          p += "Nba ";
          break;
        case 3:
          p += "nba";
          break;
        default:
          break;
      }
    }
    return p;
  }();
  return page;
}

int MemmemCount(const std::string& hay, const std::string& needle) {
  int count = 0;
  const char* at = hay.data();
  const char* end = hay.data() + hay.size();
  while (const void* hit =
             memmem(at, static_cast<std::size_t>(end - at), needle.data(), needle.size())) {
    ++count;
    at = static_cast<const char*>(hit) + needle.size();
  }
  return count;
}

void BM_CountOccurrences(benchmark::State& state, const std::string& option) {
  const std::string& page = Page();
  int count = 0;
  for (auto _ : state) benchmark::DoNotOptimize(count = qa::CountOccurrences(page, option));
  state.counters["matches"] = count;
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
}

void BM_MemmemCount(benchmark::State& state, const std::string& option) {
  const std::string& page = Page();
  int count = 0;
  for (auto _ : state) benchmark::DoNotOptimize(count = MemmemCount(page, option));
  state.counters["matches"] = count;
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
}

BENCHMARK_CAPTURE(BM_CountOccurrences, chinese_3_chars, kChineseOption);
BENCHMARK_CAPTURE(BM_MemmemCount, chinese_3_chars, kChineseOption);
BENCHMARK_CAPTURE(BM_CountOccurrences, ascii_3_letters, kAsciiOption);
BENCHMARK_CAPTURE(BM_MemmemCount, ascii_3_letters, kAsciiOption);

}  // namespace

BENCHMARK_MAIN();
