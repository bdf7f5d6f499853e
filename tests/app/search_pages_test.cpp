// The pages of one search: fetched once each, all at once, shared by every
// caller; and the scores the workers make of them equal the scores of
// workers that fetch their own pages one after the other.
#include "app/search_pages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <map>
#include <thread>

#include "app/scoring_dispatcher.h"
#include "fake_controls.h"
#include "net/winhttp_request.h"
#include "stand_in_server.h"

namespace qa {
namespace {

using namespace std::chrono_literals;

// Runs jobs on threads it joins when it goes.
class Threads {
 public:
  ~Threads() {
    for (auto& t : threads_) t.join();
  }
  SearchPages::Spawn Spawner() {
    return [this](std::function<void()> job) {
      std::lock_guard lock(mutex_);
      threads_.emplace_back(std::move(job));
    };
  }

 private:
  std::mutex mutex_;
  std::vector<std::thread> threads_;
};

// Answers "page of <url>", counting requests, and holds them until opened.
class Gate {
 public:
  PageFetcher Fetcher() {
    return [this](const Text& url, const std::atomic<bool>&) {
      std::unique_lock lock(mutex_);
      ++requests_[url];
      ++inFlight_;
      maxInFlight_ = std::max(maxInFlight_, inFlight_);
      changed_.notify_all();
      changed_.wait(lock, [this] { return open_; });
      --inFlight_;
      return failing_.count(url) ? Text() : "page of " + url;
    };
  }
  void Open() {
    std::lock_guard lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }
  void Fail(const Text& url) { failing_.insert(url); }
  bool WaitForInFlight(int n) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, 5s, [&] { return inFlight_ == n; });
  }
  std::map<Text, int> Requests() {
    std::lock_guard lock(mutex_);
    return requests_;
  }
  int MaxInFlight() {
    std::lock_guard lock(mutex_);
    return maxInFlight_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::map<Text, int> requests_;
  std::set<Text> failing_;
  int inFlight_ = 0;
  int maxInFlight_ = 0;
  bool open_ = false;
};

const std::vector<Text> kUrls = {"u0", "u5", "u10", "u15", "u20"};

TEST(SearchPages, FetchesEachPageOnceAndAllAtOnceForEveryCaller) {
  Gate gate;
  gate.Fail("u10");
  const PageFetcher fetch = gate.Fetcher();
  std::atomic<bool> cancelled{false};
  SearchPages pages(kUrls);
  Threads threads;
  std::vector<std::future<std::vector<Text>>> callers;
  for (int i = 0; i < 4; ++i) {
    callers.push_back(std::async(std::launch::async,
                                 [&] { return pages.Get(fetch, cancelled, threads.Spawner()); }));
  }
  // All five are under way before any has come back.
  ASSERT_TRUE(gate.WaitForInFlight(5));
  gate.Open();
  const std::vector<Text> expected = {"page of u0", "page of u5", "", "page of u15", "page of u20"};
  for (auto& caller : callers) EXPECT_EQ(caller.get(), expected);
  // A late caller gets them without a request.
  EXPECT_EQ(pages.Get(fetch, cancelled, threads.Spawner()), expected);
  EXPECT_EQ(gate.Requests(),
            (std::map<Text, int>{{"u0", 1}, {"u5", 1}, {"u10", 1}, {"u15", 1}, {"u20", 1}}));
  EXPECT_EQ(gate.MaxInFlight(), 5);
}

TEST(SearchPages, FetchesNothingOnceCancelled) {
  Gate gate;
  gate.Open();
  std::atomic<bool> cancelled{true};
  SearchPages pages(kUrls);
  Threads threads;
  EXPECT_EQ(pages.Get(gate.Fetcher(), cancelled, threads.Spawner()), std::vector<Text>(5));
  EXPECT_TRUE(gate.Requests().empty());
}

Endpoints LocalEndpoints() {
  Endpoints e;
  e.searchBase = "https://search.test";
  return e;
}

// The totals of the rows, once every row has one.
std::vector<Text> Totals(PageFetching fetching, const std::vector<Text>& options,
                         const PageFetcher& fetch) {
  test::FakeControls window;
  window.SetRows(options);
  ScoringDispatcher scoring(window, LocalEndpoints(), fetch, fetching);
  scoring.Start("q");
  const auto end = std::chrono::steady_clock::now() + 5s;
  while (scoring.LiveThreads() > 0 && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(1ms);
  }
  std::vector<Text> totals;
  for (const auto& row : window.Rows()) totals.push_back(row.result);
  return totals;
}

TEST(SearchPages, SharedPagesScoreExactlyLikePagesPerWorker) {
  struct Case {
    const char* name;
    std::map<int, Text> pages;  // by offset; missing ones fail (empty)
    std::vector<Text> options;
    std::vector<Text> totals;
  };
  const Case cases[] = {
      {"counts over five pages",
       {{0, "a b a"}, {5, "a"}, {10, "b b"}, {15, "c"}, {20, "a c"}},
       {"a", "b", "c"},
       {"4", "3", "2"}},
      {"failed pages count nothing", {{5, "a a"}, {20, "b"}}, {"a", "b", "c"}, {"2", "1", "0"}},
      {"every page failed", {}, {"a", "b", "c"}, {"0", "0", "0"}},
      {"empty option", {{0, "a"}}, {"", "a", ""}, {"0", "1", "0"}},
      {"ASCII case ignored", {{0, "ABC abc Abc"}}, {"abc", "aBC", "x"}, {"3", "3", "0"}},
      // 北 (B1 B1) inside 比北 (B1 C8 B1 B1) and on its own
      {"character starts",
       {{0, "\xB1\xC8\xB1\xB1"}, {15, "\xB1\xB1"}},
       {"\xB1\xB1", "\xC8\xB1", "\xB1\xC8"},
       {"2", "0", "1"}},
      {"no overlaps", {{0, "aaa"}, {10, "aaaa"}}, {"aa", "a", "aaa"}, {"3", "7", "2"}},
      {"more rows than workers",
       {{0, "a b c d e"}},
       {"a", "b", "c", "d", "e"},
       {"1", "1", "1", "1", "1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::atomic<int> requests{0};
    const PageFetcher fetch = [&](const Text& url, const std::atomic<bool>&) {
      ++requests;
      auto it = c.pages.find(TextToInt(url.substr(url.rfind('=') + 1)));
      return it == c.pages.end() ? Text() : it->second;
    };
    EXPECT_EQ(Totals(PageFetching::kPerWorker, c.options, fetch), c.totals);
    const int perWorker = requests.exchange(0);
    EXPECT_EQ(Totals(PageFetching::kShared, c.options, fetch), c.totals);
    EXPECT_LE(requests, 5);
    EXPECT_GE(perWorker, requests);
  }
}

TEST(ScoringDispatcher, PreparesSearchConnectionsOnlyForSharedPages) {
  struct Case {
    const char* name;
    PageFetching fetching;
    std::vector<std::pair<Text, int>> warmed;
  };
  const Case cases[] = {
      {"shared pages", PageFetching::kShared, {{"https://search.test", 5}}},
      {"pages per worker", PageFetching::kPerWorker, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::FakeControls window;
    std::vector<std::pair<Text, int>> warmed;
    ScoringDispatcher scoring(
        window, LocalEndpoints(), [](const Text&, const std::atomic<bool>&) { return Text(); },
        c.fetching, [&](const Text& url, int count) { warmed.emplace_back(url, count); });
    scoring.PrepareForSearch();
    EXPECT_EQ(warmed, c.warmed);
  }
  // Without a warmer nothing happens.
  test::FakeControls window;
  ScoringDispatcher scoring(window, LocalEndpoints(),
                            [](const Text&, const std::atomic<bool>&) { return Text(); });
  scoring.PrepareForSearch();
}

// Shutdown ends the real page requests under way, even on a server that never
// answers, instead of waiting for their time-outs.
TEST(ScoringDispatcher, ShutdownEndsStalledPageRequests) {
  for (PageFetching fetching : {PageFetching::kShared, PageFetching::kPerWorker}) {
    test::StandInServer server;
    server.Routes().Get("/s", [&](const httplib::Request&, httplib::Response&) {
      server.Pause(60s);  // until the server stops
    });
    ASSERT_TRUE(server.Start());
    Endpoints endpoints;
    endpoints.searchBase = server.BaseUrl();
    test::FakeControls window;
    window.SetRows({"a", "b", "c"});
    ScoringDispatcher scoring(
        window, endpoints,
        [](const Text& url, const std::atomic<bool>&) {
          return WinHttpRequest(url, {.timeoutSeconds = 30});
        },
        fetching);
    scoring.Start("q");
    const int expected = fetching == PageFetching::kShared ? 5 : 3;
    for (int i = 0; i < 5000 && server.RequestCount() < expected; ++i) {
      std::this_thread::sleep_for(1ms);
    }
    ASSERT_EQ(server.RequestCount(), expected);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(scoring.Shutdown([] { std::this_thread::sleep_for(1ms); }, 5s));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    for (const auto& row : window.Rows()) EXPECT_NE(row.result, "0");
  }
}

}  // namespace
}  // namespace qa
