#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "script/json_document.h"
#include "script/regex_matcher.h"

namespace qa {
namespace {

// Every object has an engine heap of its own, so objects on separate threads
// work at the same time without sharing anything.
TEST(ScriptThreads, ObjectsOnSeveralThreadsAtOnce) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 20;
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &failures] {
      for (int i = 0; i < kRounds; ++i) {
        const Text id = IntToText(t * 1000 + i);
        JsonDocument doc;
        const bool parsed = doc.Parse("{\"words_result\":[{\"words\":\"\xD6\xD0" + id + "\"}]}");
        if (!parsed || doc.GetMemberCount("words_result") != 1 ||
            doc.GetText("words_result[0].words") != "\xD6\xD0" + id) {
          ++failures;
        }
        RegexMatcher re;
        const Text page = "<meta charset=\"cs" + id + "\">";
        if (!re.Match("<meta.+?charset=[^\\w]?([-\\w]+)", page) ||
            re.GetSubMatchText(1, 1) != "cs" + id) {
          ++failures;
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(failures.load(), 0);
}

}  // namespace
}  // namespace qa
