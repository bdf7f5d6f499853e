// Searches in quick succession through the real window (run by the scenario
// driver): 200 clicks, none waiting for the counts of the one before. The
// scoring must never have more than three workers at work, no row may show a
// total of an earlier search, and the memory of the process must come back to
// its level once the run is over. Long: it runs with scripts/test --long.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QString>
#include <QTemporaryDir>
#include <cstdlib>
#include <iostream>
#include <map>
#include <memory>
#include <string>

#include "card_mirror.h"
#include "fault_services.h"
#include "private_x_server.h"
#include "scenario_run.h"
#include "search_stand_in.h"
#include "stand_in_server.h"
#include "test_ca.h"

namespace qa::test {
namespace {

constexpr int kWarmUpSearches = 20;
constexpr int kSearches = 200;

// QA_LOAD_SEARCHES=N runs N searches instead, for a longer soak.
int Searches() {
  const char* n = std::getenv("QA_LOAD_SEARCHES");
  return n != nullptr && std::atoi(n) > 0 ? std::atoi(n) : kSearches;
}

// Search n asks question n, whose option j (0 to 2) occurs 3n + j times in its
// five result pages: every total names its search and row.
QString QuestionOf(int n) {
  return QStringLiteral("负载问题%1").arg(n);
}
QString OptionOf(int n, int j) {
  return QStringLiteral("%1%2").arg(QStringList{"甲", "乙", "丙"}[j]).arg(n);
}
int TotalOf(int n, int j) {
  return 3 * n + j;
}

TEST(LoadEndToEndTest, TwoHundredQuickSearchesKeepTheLimitTheirOwnTotalsAndTheMemory) {
  ASSERT_TRUE(TestCa::Shared().Ok());
  PrivateXServer x;
  ASSERT_TRUE(x.Running());
  QTemporaryDir work;
  // The OCR stand-in below answers whatever the picture shows.
  const auto mirror =
      StartCardMirror({QStringLiteral("card"), {QStringLiteral("1.题目"), "甲", "乙", "丙"}},
                      work.filePath(QStringLiteral("card.png")));
  ASSERT_TRUE(mirror != nullptr);

  const int clicked = Searches();
  const int searches = kWarmUpSearches + clicked;
  ScriptedOcrService ocr([](int n) {
    return JsonReply(OcrLinesJson(
        {QStringLiteral("1.") + QuestionOf(n), OptionOf(n, 0), OptionOf(n, 1), OptionOf(n, 2)}));
  });
  StandInServer searchServer(TestCa::Shared());
  SearchStandIn search(searchServer);
  for (int n = 1; n <= searches; ++n) {
    std::map<QString, SearchStandIn::PageCounts> counts;
    for (int j = 0; j < 3; ++j) {
      SearchStandIn::PageCounts pages(SearchStandIn::kPages, TotalOf(n, j) / SearchStandIn::kPages);
      for (int k = 0; k < TotalOf(n, j) % SearchStandIn::kPages; ++k) ++pages[k];
      counts[OptionOf(n, j)] = pages;
    }
    search.AddQuestion(QuestionOf(n), counts, std::chrono::milliseconds(50));
  }
  ASSERT_TRUE(ocr.Ok());
  ASSERT_TRUE(searchServer.Start());

  // Clicks follow each other after 0 to 150 ms, so that they come while the
  // workers of the search before are starting, fetching or writing.
  std::string clicks;
  for (int i = 0; i < clicked; ++i) clicks += "search,sleep=" + std::to_string(i * 37 % 151) + ",";
  const std::string steps = "token,search*" + std::to_string(kWarmUpSearches) +
                            ",wait,settle,sleep=500,rss," + clicks +
                            "wait,settle,sleep=500,rss,close";
  const ScenarioRun run = RunScenario(
      QA_SCENARIO_PATH,
      {"--ocr-base", ocr.BaseUrl(), "--search-base", searchServer.BaseUrl(), "--ca-file",
       TestCa::Shared().CaCertPath(), "--api-key", std::string(ScriptedOcrService::kApiKey),
       "--secret-key", std::string(ScriptedOcrService::kSecretKey), "--steps", steps,
       "--timeout-ms", "120000"},
      work.filePath(QStringLiteral("state.json")).toStdString(), {}, 900000, 120000);
  ASSERT_TRUE(run.ExitedCleanly()) << "status " << run.status;
  const QJsonObject& state = run.state;
  ASSERT_FALSE(state.isEmpty());
  EXPECT_EQ(ocr.OcrRequests(), searches);

  // The last search got all its totals.
  const QJsonArray waits = state["waits"].toArray();
  ASSERT_EQ(waits.size(), 2);
  EXPECT_FALSE(waits[1].toObject()["timedOut"].toBool());
  EXPECT_EQ(RowsOf(state["rows"]),
            (ScenarioRows{{OptionOf(searches, 0), QString::number(TotalOf(searches, 0))},
                          {OptionOf(searches, 1), QString::number(TotalOf(searches, 1))},
                          {OptionOf(searches, 2), QString::number(TotalOf(searches, 2))}}));

  // Every total shown is that of the search whose row shows it.
  int totalsShown = 0;
  for (const QJsonValue& v : state["cellLog"].toArray()) {
    const QJsonObject change = v.toObject();
    bool isNumber = false;
    const int total = change["text"].toString().toInt(&isNumber);
    if (change["column"].toInt() != 1 || !isNumber) continue;
    ++totalsShown;
    const int n = change["rowSearch"].toInt();
    const int row = change["row"].toInt();
    EXPECT_EQ(total, TotalOf(n, row)) << "search " << n << " row " << row << " showed " << total
                                      << " during search " << change["search"].toInt();
  }

  const int maxLive = state["maxLiveWorkers"].toInt();
  const int maxRunning = state["maxRunningWorkers"].toInt();
  const QJsonArray rss = state["rss"].toArray();
  const QJsonArray heap = state["heap"].toArray();
  ASSERT_EQ(rss.size(), 2);
  ASSERT_EQ(heap.size(), 2);
  const qint64 before = rss[0].toInteger(), after = rss[1].toInteger();
  const qint64 heapBefore = heap[0].toInteger(), heapAfter = heap[1].toInteger();
  std::cout << "[ load     ] " << searches << " searches, " << totalsShown
            << " totals shown, most workers at work " << maxLive << ", holding a slot "
            << maxRunning << ", resident memory " << before / 1024 << " MiB before and "
            << after / 1024 << " MiB after the " << clicked << " searches, heap in use "
            << heapBefore / 1024 << " MiB before and " << heapAfter / 1024 << " MiB after\n";
  EXPECT_LE(maxLive, 3);
  EXPECT_LE(maxRunning, 3);
  EXPECT_GE(maxLive, 1);
  // Back to its level: the heap holds no more than before, give or take what
  // caches keep, and nothing like what the run went through (pages, threads,
  // documents of 200 searches). The resident size counts the sanitizers' own
  // bookkeeping too, which only grows: it is judged without them.
  EXPECT_LT(heapAfter - heapBefore, 6 * 1024) << "KiB";
#if !defined(__SANITIZE_THREAD__) && !defined(__SANITIZE_ADDRESS__)
  EXPECT_LT(after - before, 32 * 1024) << "KiB";
#endif
}

}  // namespace
}  // namespace qa::test
