#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <thread>

#include "app/scoring_dispatcher.h"
#include "fake_controls.h"

namespace qa {
namespace {

using namespace std::chrono_literals;

const Text kQuerying = "\xB2\xE9\xD1\xAF\xD6\xD0..";  // 查询中..

// Serves search pages from a function of the URL, records every URL asked
// for, and can hold requests back until it is opened (or the request is
// cancelled).
class FakeSearch {
 public:
  std::function<Text(const Text& url)> page = [](const Text&) { return Text(); };

  PageFetcher Fetcher() {
    return [this](const Text& url, const std::atomic<bool>& cancelled) {
      std::unique_lock lock(mutex_);
      urls_.push_back(url);
      ++inFlight_;
      maxInFlight_ = std::max(maxInFlight_, inFlight_);
      changed_.notify_all();
      while (closed_ && !cancelled) changed_.wait_for(lock, 1ms);
      --inFlight_;
      changed_.notify_all();
      return page(url);
    };
  }

  void Close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
  }
  void Open() {
    std::lock_guard lock(mutex_);
    closed_ = false;
    changed_.notify_all();
  }
  std::vector<Text> Urls() {
    std::lock_guard lock(mutex_);
    return urls_;
  }
  int InFlight() {
    std::lock_guard lock(mutex_);
    return inFlight_;
  }
  int MaxInFlight() {
    std::lock_guard lock(mutex_);
    return maxInFlight_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Text> urls_;
  bool closed_ = false;
  int inFlight_ = 0;
  int maxInFlight_ = 0;
};

template <typename Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds limit = 5000ms) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

Endpoints LocalEndpoints() {
  Endpoints e;
  e.searchBase = "https://search.test";
  return e;
}

bool AllScored(test::FakeControls& window) {
  auto rows = window.Rows();
  return !rows.empty() && std::all_of(rows.begin(), rows.end(), [](const auto& r) {
    return !r.result.empty() && r.result != kQuerying;
  });
}

TEST(ScoreOption, FetchesFivePagesOfTheQuestionAndAddsTheCounts) {
  FakeSearch search;
  // Page k holds the option k times.
  search.page = [](const Text& url) {
    int offset = TextToInt(url.substr(url.rfind('=') + 1));
    Text page;
    for (int i = 0; i <= offset / 5; ++i) page += "<b>Abc</b>";
    return page;
  };
  std::atomic<bool> cancelled{false};
  const Text question = "a b\xD6\xD0";  // a b中
  EXPECT_EQ(ScoreOption("abc", question, LocalEndpoints(), search.Fetcher(), cancelled), "15");
  const std::vector<Text> expected = {"https://search.test/s?wd=a%20b%E4%B8%AD&pn=0",
                                      "https://search.test/s?wd=a%20b%E4%B8%AD&pn=5",
                                      "https://search.test/s?wd=a%20b%E4%B8%AD&pn=10",
                                      "https://search.test/s?wd=a%20b%E4%B8%AD&pn=15",
                                      "https://search.test/s?wd=a%20b%E4%B8%AD&pn=20"};
  EXPECT_EQ(search.Urls(), expected);
}

TEST(ScoreOption, CountsFailedPagesAsZero) {
  struct Case {
    const char* name;
    Text option;
    std::map<int, Text> pages;  // by offset; missing ones fail (empty)
    Text expected;
  };
  const Case cases[] = {
      {"all fail", "x", {}, "0"},
      {"some fail", "x", {{0, "x x"}, {15, "x"}}, "3"},
      {"empty option", "", {{0, "abc"}, {5, "abc"}}, "0"},
      // 北 (B1 B1) inside 比北 (B1 C8 B1 B1): only the match at a character start counts
      {"character starts", "\xB1\xB1", {{0, "\xB1\xC8\xB1\xB1"}}, "1"},
  };
  for (const Case& c : cases) {
    FakeSearch search;
    search.page = [&](const Text& url) {
      auto it = c.pages.find(TextToInt(url.substr(url.rfind('=') + 1)));
      return it == c.pages.end() ? Text() : it->second;
    };
    std::atomic<bool> cancelled{false};
    EXPECT_EQ(ScoreOption(c.option, "q", LocalEndpoints(), search.Fetcher(), cancelled), c.expected)
        << c.name;
  }
}

TEST(ScoreOption, StopsFetchingOnceCancelled) {
  FakeSearch search;
  std::atomic<bool> cancelled{false};
  search.page = [&](const Text&) {
    cancelled = true;
    return Text("x");
  };
  ScoreOption("x", "q", LocalEndpoints(), search.Fetcher(), cancelled);
  EXPECT_EQ(search.Urls().size(), 1u);
}

// The two ways of fetching pages, and what a search of three options asks of
// the search service under each.
struct Fetching {
  const char* name;
  PageFetching fetching;
  int inFlight;           // page requests under way at once while the workers wait
  int requestsPerSearch;  // once every worker is done
};
constexpr Fetching kFetchings[] = {
    {"shared pages", PageFetching::kShared, 5, 5},
    {"pages per worker", PageFetching::kPerWorker, 3, 15},
};

TEST(ScoringDispatcher, ShowsQueryingThenTheTotalOfEveryRow) {
  for (const Fetching& f : kFetchings) {
    SCOPED_TRACE(f.name);
    test::FakeControls window;
    window.SetRows({"alpha", "beta", "gamma"});
    FakeSearch search;
    search.page = [](const Text&) { return Text("alpha beta beta"); };
    ScoringDispatcher scoring(window, LocalEndpoints(), search.Fetcher(), f.fetching);
    scoring.Start("question");
    ASSERT_TRUE(WaitFor([&] { return AllScored(window); }));
    auto rows = window.Rows();
    EXPECT_EQ(rows[0].result, "5");
    EXPECT_EQ(rows[1].result, "10");
    EXPECT_EQ(rows[2].result, "0");
    // Each row showed "查询中.." before its total.
    for (int row = 0; row < 3; ++row) {
      std::vector<Text> shown;
      for (const auto& w : window.CellWrites()) {
        if (w.row == row && w.column == 1) shown.push_back(w.text);
      }
      EXPECT_EQ(shown, (std::vector<Text>{kQuerying, rows[row].result})) << row;
    }
    ASSERT_TRUE(WaitFor([&] { return scoring.LiveThreads() == 0; }));
    EXPECT_EQ(scoring.RunningWorkerCount(), 0);
    EXPECT_EQ(static_cast<int>(search.Urls().size()), f.requestsPerSearch);
  }
}

TEST(ScoringDispatcher, RunsAtMostThreeWorkersAndStartsRowsInOrder) {
  for (const Fetching& f : kFetchings) {
    SCOPED_TRACE(f.name);
    test::FakeControls window;
    window.SetRows({"r1", "r2", "r3", "r4", "r5"});
    FakeSearch search;
    search.Close();
    ScoringDispatcher scoring(window, LocalEndpoints(), search.Fetcher(), f.fetching);
    scoring.Start("question");
    ASSERT_TRUE(WaitFor([&] { return search.InFlight() == f.inFlight; }));
    // The first batch's threads may be slow to reach their first write on a
    // busy machine; only once all three have, is the start order decided.
    ASSERT_TRUE(WaitFor([&] {
      const auto rows = window.Rows();
      return rows[0].result == kQuerying && rows[1].result == kQuerying &&
             rows[2].result == kQuerying;
    }));
    std::this_thread::sleep_for(50ms);  // room for a fourth worker to start wrongly
    EXPECT_EQ(scoring.RunningWorkerCount(), 3);
    EXPECT_EQ(window.Rows()[3].result, "");
    EXPECT_EQ(window.Rows()[4].result, "");
    search.Open();
    ASSERT_TRUE(WaitFor([&] { return AllScored(window); }));
    EXPECT_LE(search.MaxInFlight(), f.inFlight);
    std::vector<int> startOrder;
    for (const auto& w : window.CellWrites()) {
      if (w.text == kQuerying) startOrder.push_back(w.row);
    }
    // Rows 3 and 4 waited for free slots; the threads of one batch race to
    // their first write, so only the batches are ordered.
    ASSERT_EQ(startOrder.size(), 5u);
    std::sort(startOrder.begin(), startOrder.begin() + 3);
    std::sort(startOrder.begin() + 3, startOrder.end());
    EXPECT_EQ(startOrder, (std::vector<int>{0, 1, 2, 3, 4}));
  }
}

TEST(ScoringDispatcher, ANewSearchSilencesTheEarlierOneAndTakesItsSlots) {
  for (const Fetching& f : kFetchings) {
    SCOPED_TRACE(f.name);
    test::FakeControls window;
    window.SetRows({"a1", "a2", "a3"});
    FakeSearch first;
    // Were they written, the first search's totals would be 3, 4 and 7.
    first.page = [](const Text&) { return Text("a1 a1 a1 a2 a2 a2 a2 a3 a3 a3 a3 a3 a3 a3"); };
    first.Close();
    FakeSearch second;
    second.page = [](const Text&) { return Text("b1 b1 b2"); };
    // One fetcher for both searches: pages of the first question are held back.
    const PageFetcher fetchFirst = first.Fetcher();
    const PageFetcher fetchSecond = second.Fetcher();
    PageFetcher fetch = [&](const Text& url, const std::atomic<bool>& cancelled) {
      return (url.find("wd=first") != Text::npos ? fetchFirst : fetchSecond)(url, cancelled);
    };
    ScoringDispatcher scoring(window, LocalEndpoints(), fetch, f.fetching);
    scoring.Start("first");
    ASSERT_TRUE(WaitFor([&] { return first.InFlight() == f.inFlight; }));

    // The second search, as the search command runs it.
    scoring.CancelAll();
    const std::size_t writesBefore = window.CellWrites().size();
    window.SetRows({"b1", "b2", "b3"});
    scoring.Start("second");
    // Its workers start at once although the first search's are still busy.
    ASSERT_TRUE(WaitFor([&] { return AllScored(window); }));
    EXPECT_EQ(window.Rows()[0].result, "10");
    EXPECT_EQ(window.Rows()[1].result, "5");
    EXPECT_EQ(window.Rows()[2].result, "0");

    first.Open();
    ASSERT_TRUE(WaitFor([&] { return scoring.LiveThreads() == 0; }));
    EXPECT_EQ(scoring.RunningWorkerCount(), 0);
    // Nothing of the first search reached the second search's rows.
    const auto writes = window.CellWrites();
    for (std::size_t i = writesBefore; i < writes.size(); ++i) {
      EXPECT_TRUE(writes[i].text == kQuerying || writes[i].text == "10" || writes[i].text == "5" ||
                  writes[i].text == "0")
          << "write " << i << ": " << writes[i].text;
    }
    EXPECT_EQ(window.Rows()[0].result, "10");
    // The first search fetched nothing after the pages it had under way, and
    // never asked for the second question's pages.
    EXPECT_EQ(static_cast<int>(first.Urls().size()), f.inFlight);
    for (const Text& url : second.Urls()) EXPECT_NE(url.find("wd=second"), Text::npos);
  }
}

TEST(ScoringDispatcher, StartsNoWorkerWithoutRows) {
  for (const Fetching& f : kFetchings) {
    SCOPED_TRACE(f.name);
    test::FakeControls window;
    FakeSearch search;
    ScoringDispatcher scoring(window, LocalEndpoints(), search.Fetcher(), f.fetching);
    scoring.Start("question");
    ASSERT_TRUE(WaitFor([&] { return scoring.LiveThreads() == 0; }));
    EXPECT_TRUE(search.Urls().empty());
    EXPECT_TRUE(window.CellWrites().empty());
  }
}

TEST(ScoringDispatcher, ShutdownEndsBusyWorkersWithoutFurtherWrites) {
  for (const Fetching& f : kFetchings) {
    SCOPED_TRACE(f.name);
    test::FakeControls window;
    window.SetRows({"r1", "r2", "r3", "r4"});
    FakeSearch search;
    search.Close();
    ScoringDispatcher scoring(window, LocalEndpoints(), search.Fetcher(), f.fetching);
    scoring.Start("question");
    ASSERT_TRUE(WaitFor([&] { return search.InFlight() == f.inFlight; }));
    int waits = 0;
    scoring.Shutdown([&] {
      ++waits;
      std::this_thread::sleep_for(1ms);
    });
    EXPECT_EQ(scoring.LiveThreads(), 0);
    for (const auto& row : window.Rows()) {
      EXPECT_TRUE(row.result.empty() || row.result == kQuerying);
    }
    // After shutdown a new search starts nothing.
    scoring.Start("again");
    EXPECT_EQ(scoring.LiveThreads(), 0);
  }
}

}  // namespace
}  // namespace qa
