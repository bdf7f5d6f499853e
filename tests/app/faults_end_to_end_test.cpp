// The whole program against services and networks that misbehave: the real
// main window (run by the scenario driver) on an X server of its own, and
// stand-ins of the OCR and search services that refuse connections, reset
// them in the middle of a body, stall, answer errors, text that is not JSON,
// JSON of another shape, huge pages, bytes that are not their declared
// charset, or redirect forever. Each run must end with what the window should
// show, with no crash and no hang; closing the window must not wait for the
// network.
#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <chrono>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "card_mirror.h"
#include "fault_services.h"
#include "private_x_server.h"
#include "raw_recorder.h"
#include "scenario_run.h"

namespace qa::test {
namespace {

using namespace std::chrono_literals;

const QString kTokenReceived = QStringLiteral("获取access_token成功,请在答题时点击搜索按钮查询");
const QString kNoToken = QStringLiteral("未检测到access_token,请检测ak与sk");
const QString kNoLines = QStringLiteral("未找到返回数组,请确认已将iphone投屏至pc");
const QString kQuerying = QStringLiteral("查询中..");

// A card of four lines: the question and the options 上海, 北京, 广州.
QStringList CardLines(const QString& question = QStringLiteral("3.下列哪个城市是中国的首都")) {
  return {question, QStringLiteral("上海"), QStringLiteral("北京"), QStringLiteral("广州")};
}
const QString kQuestion = QStringLiteral("下列哪个城市是中国的首都");

// The options in UTF-8 and in GBK, as pages carry them.
const std::string kShanghai = "上海", kBeijing = "北京", kGuangzhou = "广州";
const std::string kShanghaiGbk = "\xC9\xCF\xBA\xA3";   // 上海
const std::string kBeijingGbk = "\xB1\xB1\xBE\xA9";    // 北京
const std::string kGuangzhouGbk = "\xB9\xE3\xD6\xDD";  // 广州

// A search page that declares `charset` in its meta tag (none when empty).
std::string PageDeclaring(const std::string& charset, const std::string& body) {
  const std::string meta = charset.empty() ? "" : "<meta charset=\"" + charset + "\">";
  return "<!DOCTYPE html><html><head>" + meta + "<title>results</title></head><body>" + body +
         "</body></html>";
}

// An ordinary page: 上海 once and 北京 twice, so five pages give 5, 10, 0.
RawReply GoodPage() {
  return HtmlReply(PageDeclaring(
      "utf-8", "<p>" + kShanghai + "</p><p>" + kBeijing + "</p><p>" + kBeijing + "</p>"));
}
ScenarioRows GoodRows() {
  return {{"上海", "5"}, {"北京", "10"}, {"广州", "0"}};
}

ScenarioRows Rows(int shanghai, int beijing, int guangzhou) {
  return {{"上海", QString::number(shanghai)},
          {"北京", QString::number(beijing)},
          {"广州", QString::number(guangzhou)}};
}

class FaultsEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    x_ = std::make_unique<PrivateXServer>();
    ASSERT_TRUE(x_->Running());
    // The stand-ins answer whatever the picture shows.
    mirror_ = StartCardMirror({QStringLiteral("card"), CardLines()},
                              work_.filePath(QStringLiteral("card.png")));
    ASSERT_TRUE(mirror_ != nullptr);
    keyFile_ = work_.filePath(QStringLiteral("Key.ini")).toStdString();
  }

  ScenarioRun Drive(const std::string& ocrBase, const std::string& searchBase,
                    const std::string& steps, int phaseTimeoutMs = 0,
                    const std::function<void(int)>& onSync = {}) {
    std::vector<std::string> arguments = {
        "--ocr-base",     ocrBase,
        "--search-base",  searchBase,
        "--product-page", "https://products.test/ocr",
        "--key-file",     keyFile_,
        "--api-key",      std::string(ScriptedOcrService::kApiKey),
        "--secret-key",   std::string(ScriptedOcrService::kSecretKey),
        "--steps",        steps,
        "--timeout-ms",   "30000"};
    if (phaseTimeoutMs > 0) {
      arguments.push_back("--phase-timeout-ms");
      arguments.push_back(std::to_string(phaseTimeoutMs));
    }
    ScenarioRun result =
        RunScenario(QA_SCENARIO_PATH, arguments,
                    work_.filePath(QStringLiteral("state.json")).toStdString(), onSync);
    EXPECT_TRUE(result.ExitedCleanly()) << "status " << result.status;
    EXPECT_FALSE(result.state.isEmpty());
    return result;
  }

  static std::string UnreachableBase() {
    return "http://127.0.0.1:" + std::to_string(UnusedPort());
  }

  std::string KeyFileContent() const {
    QFile file(QString::fromStdString(keyFile_));
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
  }
  static std::string SavedKeys() {
    return "[Apikey]\r\nclient_id=" + std::string(ScriptedOcrService::kApiKey) +
           "\r\n\r\n[Secret Key]\r\nclient_secret=" + std::string(ScriptedOcrService::kSecretKey) +
           "\r\n";
  }

  QTemporaryDir work_;
  std::unique_ptr<PrivateXServer> x_;
  std::unique_ptr<FakeMirrorProcess> mirror_;
  std::string keyFile_;
};

// Every OCR reply that is not a list of four to six lines leaves the list
// empty; those with fewer lines (or none at all) show the message.
TEST_F(FaultsEndToEndTest, OcrRepliesThatGoWrongFindNothing) {
  const std::string fourLines = OcrLinesJson(CardLines());
  QStringList thousandLines;
  for (int i = 0; i < 1000; ++i) thousandLines << QStringLiteral("第%1行").arg(i);
  struct Case {
    const char* name;
    RawReply reply;
    bool message;       // the no-lines message
    ScenarioRows rows;  // what the list shows afterwards
    QString recognition;
  };
  const std::vector<Case> cases = {
      {"connection reset in the middle of the reply",
       ResetMidBody(fourLines, fourLines.size() / 2),
       true,
       {},
       {}},
      {"500 with an HTML page",
       HtmlReply("<html><body><h1>500 Internal Server Error</h1></body></html>",
                 "HTTP/1.1 500 Internal Server Error"),
       true,
       {},
       {}},
      {"plain text",
       RawReply::Response("HTTP/1.1 200 OK", {"Content-Type: text/plain"},
                          "words_result: 上海 北京 广州"),
       true,
       {},
       {}},
      {"a script that never ends", JsonReply("while(true){}"), true, {}, {}},
      {"JSON cut short", JsonReply(fourLines.substr(0, fourLines.size() - 5)), true, {}, {}},
      {"no body", JsonReply(""), true, {}, {}},
      {"the service's error object",
       JsonReply(R"({"error_code":17,"error_msg":"Open api daily request limit reached"})"),
       true,
       {},
       {}},
      {"words_result an object", JsonReply(R"({"words_result":{"words":"上海"}})"), true, {}, {}},
      {"three lines", JsonReply(OcrLinesJson(CardLines().mid(1))), true, {}, {}},
      {"a redirect loop", RedirectTo("/loop"), true, {}, {}},
      // Four members without "words" are four empty lines: an empty question
      // and three empty options, which count nothing.
      {"members without words",
       JsonReply(R"({"words_result":[1,2,3,4]})"),
       false,
       {{"", "0"}, {"", "0"}, {"", "0"}},
       QStringLiteral("\r\n")},
      {"a thousand lines", JsonReply(OcrLinesJson(thousandLines)), false, {}, {}},
  };
  ScriptedOcrService ocr([&](int n) { return cases.at(n - 1).reply; });
  ScriptedSearchService search([](const QString&, int) { return GoodPage(); });
  ASSERT_TRUE(ocr.Ok() && search.Ok());
  std::string steps = "token,";
  for (std::size_t i = 0; i < cases.size(); ++i) steps += "search,wait,";
  const ScenarioRun run = Drive(ocr.BaseUrl(), search.BaseUrl(), steps + "close");

  std::vector<ScenarioMessage> expected = {{kTokenReceived, "none", 0}};
  const QJsonArray waits = run.state["waits"].toArray();
  ASSERT_EQ(waits.size(), static_cast<int>(cases.size()));
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].name);
    const QJsonObject wait = waits[static_cast<int>(i)].toObject();
    EXPECT_FALSE(wait["timedOut"].toBool());
    EXPECT_EQ(RowsOf(wait["rows"]), cases[i].rows);
    EXPECT_EQ(wait["recognition"].toString(), cases[i].recognition);
    if (cases[i].message) expected.push_back({kNoLines, "none", static_cast<int>(i) + 1});
  }
  EXPECT_EQ(MessagesOf(run.state), expected);
  EXPECT_EQ(ocr.OcrRequests(), static_cast<int>(cases.size()));
}

// The upload waits as long as the time-out allows (the window takes no clicks
// meanwhile, as the upload runs on its thread); then the search shows the
// message and the next search works again.
TEST_F(FaultsEndToEndTest, AStalledOcrUploadEndsWithTheTimeOutAndTheNextSearchWorks) {
  constexpr int kTimeoutMs = 1000;
  ScriptedOcrService ocr(
      [](int n) { return n == 1 ? Stalled() : JsonReply(OcrLinesJson(CardLines())); });
  ScriptedSearchService search([](const QString&, int) { return GoodPage(); });
  ASSERT_TRUE(ocr.Ok() && search.Ok());
  const ScenarioRun run =
      Drive(ocr.BaseUrl(), search.BaseUrl(), "token,search,search,wait,close", kTimeoutMs);

  EXPECT_EQ(MessagesOf(run.state),
            (std::vector<ScenarioMessage>{{kTokenReceived, "none", 0}, {kNoLines, "none", 1}}));
  const QJsonObject stalled = run.state["searches"].toArray()[0].toObject();
  const QJsonObject noLines = run.state["messages"].toArray()[1].toObject();
  const qint64 waitedMs = noLines["atMs"].toInteger() - stalled["clickMs"].toInteger();
  std::cout << "[ timing   ] stalled upload answered after " << waitedMs << " ms\n";
  EXPECT_GE(waitedMs, kTimeoutMs - 50);
  EXPECT_LT(waitedMs, 10 * kTimeoutMs);
  EXPECT_EQ(RowsOf(run.state["rows"]), GoodRows());
  EXPECT_EQ(run.state["recognition"].toString(), kQuestion + QStringLiteral("\r\n"));
}

TEST_F(FaultsEndToEndTest, WithTheOcrServiceUnreachableNoTokenComesAndNothingIsFound) {
  ScriptedSearchService search([](const QString&, int) { return GoodPage(); });
  ASSERT_TRUE(search.Ok());
  const ScenarioRun run = Drive(UnreachableBase(), search.BaseUrl(), "token,search,wait,close");
  EXPECT_EQ(MessagesOf(run.state),
            (std::vector<ScenarioMessage>{{kNoToken, "exclamation", 0}, {kNoLines, "none", 1}}));
  EXPECT_TRUE(RowsOf(run.state["rows"]).empty());
  EXPECT_EQ(search.PageRequests(), 0);
}

// The service replaces the token during the show: searches find nothing (the
// service answers its error object) until the token is fetched again.
TEST_F(FaultsEndToEndTest, ATokenThatExpiresMidShowFindsNothingUntilFetchedAgain) {
  ScriptedOcrService ocr([](int) { return JsonReply(OcrLinesJson(CardLines())); });
  ScriptedSearchService search([](const QString&, int) { return GoodPage(); });
  ASSERT_TRUE(ocr.Ok() && search.Ok());
  const ScenarioRun run = Drive(ocr.BaseUrl(), search.BaseUrl(),
                                "token,search,wait,sync,search,wait,token,search,wait,close", 0,
                                [&](int) { ocr.ReissueToken(); });

  EXPECT_EQ(MessagesOf(run.state),
            (std::vector<ScenarioMessage>{
                {kTokenReceived, "none", 0}, {kNoLines, "none", 2}, {kTokenReceived, "none", 2}}));
  const QJsonArray waits = run.state["waits"].toArray();
  ASSERT_EQ(waits.size(), 3);
  EXPECT_EQ(RowsOf(waits[0].toObject()["rows"]), GoodRows());
  EXPECT_TRUE(RowsOf(waits[1].toObject()["rows"]).empty());
  EXPECT_EQ(waits[1].toObject()["recognition"].toString(), QString());
  EXPECT_EQ(RowsOf(waits[2].toObject()["rows"]), GoodRows());
  EXPECT_EQ(ocr.TokenRequests(), 2);
  EXPECT_EQ(ocr.OcrRequests(), 3);
}

// Result pages that go wrong count what the program could read of them: the
// bytes that arrived before a reset, the body of an error status, the text as
// decoded by the charset the page declares (whether or not it tells the
// truth), and nothing for a page that never comes.
TEST_F(FaultsEndToEndTest, SearchPagesThatGoWrongCountWhatArrived) {
  // Around 50 MB of result markup that holds no option.
  std::string huge;
  const std::string filler = "<div class=\"result\">无关的结果 unrelated result text</div>\n";
  huge.reserve(50u << 20);
  while (huge.size() < (50u << 20)) huge += filler;
  const std::string resetPage =
      PageDeclaring("utf-8", kBeijing + " " + kShanghai + std::string(4000, ' ') + kBeijing +
                                 kGuangzhou + kBeijing);
  const std::size_t resetAt = resetPage.find(std::string(4000, ' ')) + 4000;

  struct Case {
    const char* name;
    std::function<RawReply(int offset)> page;
    ScenarioRows rows;
  };
  const std::vector<Case> cases = {
      {"connection reset in the middle of the page: the part before counts",
       [&](int) { return ResetMidBody(resetPage, resetAt); }, Rows(5, 5, 0)},
      {"500 with an error page: its body counts like any page",
       [](int) {
         return HtmlReply(PageDeclaring("utf-8", "服务器内部错误 " + kBeijing),
                          "HTTP/1.1 500 Internal Server Error");
       },
       Rows(0, 5, 0)},
      {"malformed UTF-8: the bad bytes become '?', the characters around them count",
       [](int) {
         return HtmlReply(PageDeclaring(
             "utf-8", "\xFF" + kBeijing + "\xE5\x8C" + kBeijing + "\xC0\xAF" + kShanghai + "\x80" +
                          "\xED\xA0\x80" + kGuangzhou + "\xF4\x90\x80\x80"));
       },
       Rows(5, 10, 5)},
      {"declares gbk but is UTF-8: taken as GBK bytes, only the GBK option counts",
       [](int) {
         return HtmlReply(PageDeclaring("gbk", kShanghaiGbk + kBeijing + kBeijing + kGuangzhou));
       },
       Rows(5, 0, 0)},
      {"declares utf-8 but holds GBK: the GBK bytes decode to nothing",
       [](int) {
         return HtmlReply(
             PageDeclaring("utf-8", kBeijingGbk + " " + kBeijingGbk + " " + kShanghai));
       },
       Rows(5, 0, 0)},
      {"declares a charset nobody knows: taken as its bytes",
       [](int) {
         return HtmlReply(PageDeclaring("x-no-such-charset", kBeijing + " " + kGuangzhouGbk));
       },
       Rows(0, 0, 5)},
      {"a redirect loop: no page", [](int) { return RedirectTo("/loop"); }, Rows(0, 0, 0)},
      {"a 50 MB page: read whole",
       [&](int offset) {
         if (offset != 0) return GoodPage();
         return HtmlReply(PageDeclaring("utf-8", kBeijing + huge + kBeijing + kShanghai));
       },
       Rows(5, 10, 0)},
  };
  // The n-th search asks question n; its pages go wrong the n-th way.
  auto questionOf = [](int n) { return QStringLiteral("页面问题%1").arg(n); };
  ScriptedOcrService ocr([&](int n) {
    return JsonReply(OcrLinesJson(CardLines(QStringLiteral("1.") + questionOf(n))));
  });
  ScriptedSearchService search([&](const QString& question, int offset) {
    for (std::size_t i = 0; i < cases.size(); ++i) {
      if (question == questionOf(static_cast<int>(i) + 1)) return cases[i].page(offset);
    }
    return HtmlReply("unknown question", "HTTP/1.1 404 Not Found");
  });
  ASSERT_TRUE(ocr.Ok() && search.Ok());
  std::string steps = "token,";
  for (std::size_t i = 0; i < cases.size(); ++i) steps += "search,wait,";
  const ScenarioRun run = Drive(ocr.BaseUrl(), search.BaseUrl(), steps + "close");

  const QJsonArray waits = run.state["waits"].toArray();
  ASSERT_EQ(waits.size(), static_cast<int>(cases.size()));
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].name);
    const QJsonObject wait = waits[static_cast<int>(i)].toObject();
    EXPECT_FALSE(wait["timedOut"].toBool());
    EXPECT_EQ(RowsOf(wait["rows"]), cases[i].rows);
  }
  EXPECT_EQ(MessagesOf(run.state).size(), 1u);  // the token's only
}

// Pages that never come count 0 once the time-outs have passed; the window
// answers meanwhile (a token fetched during the wait reports at once).
TEST_F(FaultsEndToEndTest, StalledSearchPagesCountZeroAfterTheTimeOutsWhileTheWindowAnswers) {
  constexpr int kTimeoutMs = 1000;
  ScriptedOcrService ocr([](int) { return JsonReply(OcrLinesJson(CardLines())); });
  ScriptedSearchService search([](const QString&, int) { return Stalled(); });
  ASSERT_TRUE(ocr.Ok() && search.Ok());
  const ScenarioRun run =
      Drive(ocr.BaseUrl(), search.BaseUrl(), "token,search,token,wait,close", kTimeoutMs);

  EXPECT_EQ(RowsOf(run.state["rows"]), Rows(0, 0, 0));
  EXPECT_FALSE(run.state["waits"].toArray()[0].toObject()["timedOut"].toBool());
  const QJsonObject scoring = run.state["searches"].toArray()[0].toObject();
  const qint64 countsAtMs = scoring["clickMs"].toInteger() + scoring["countsMs"].toInteger();
  std::cout << "[ timing   ] stalled pages counted after " << scoring["countsMs"].toInteger()
            << " ms\n";
  // No count before a page request has timed out.
  EXPECT_GE(scoring["countsMs"].toInteger(), kTimeoutMs - 100);
  const std::vector<ScenarioMessage> messages = MessagesOf(run.state);
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[1], (ScenarioMessage{kTokenReceived, "none", 1}));
  EXPECT_LT(run.state["messages"].toArray()[1].toObject()["atMs"].toInteger(), countsAtMs);
  EXPECT_GE(search.PageRequests(), 5);
}

TEST_F(FaultsEndToEndTest, WithTheSearchServiceUnreachableEveryOptionCountsZero) {
  ScriptedOcrService ocr([](int) { return JsonReply(OcrLinesJson(CardLines())); });
  ASSERT_TRUE(ocr.Ok());
  const ScenarioRun run = Drive(ocr.BaseUrl(), UnreachableBase(), "token,search,wait,close");
  EXPECT_EQ(RowsOf(run.state["rows"]), Rows(0, 0, 0));
  EXPECT_EQ(run.state["recognition"].toString(), kQuestion + QStringLiteral("\r\n"));
  EXPECT_EQ(MessagesOf(run.state).size(), 1u);
}

// Closing while the options are scored, with pages that come slowly or never
// (and the standard 30-second time-outs): the window closes within a second,
// the keys are saved and the program ends cleanly.
TEST_F(FaultsEndToEndTest, ClosingWhilePageRequestsAreUnderWayEndsAtOnce) {
  struct Case {
    const char* name;
    RawReply page;
  };
  RawReply slow = GoodPage();
  slow.delay = 4s;
  const Case cases[] = {{"pages that take four seconds", slow},
                        {"pages that never come", Stalled()}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QFile::remove(QString::fromStdString(keyFile_));
    ScriptedOcrService ocr([](int) { return JsonReply(OcrLinesJson(CardLines())); });
    ScriptedSearchService search([&](const QString&, int) { return c.page; });
    ASSERT_TRUE(ocr.Ok() && search.Ok());
    const ScenarioRun run =
        Drive(ocr.BaseUrl(), search.BaseUrl(), "token,search,sleep=300,sync,close");
    EXPECT_GE(search.PageRequests(), 3);
    std::cout << "[ timing   ] " << c.name << ": closing took " << run.state["closeMs"].toInteger()
              << " ms, the program ended " << run.afterLastSync.count()
              << " ms after the close was asked for\n";
    EXPECT_GE(run.state["closeMs"].toInteger(), 0);
    EXPECT_LT(run.state["closeMs"].toInteger(), 1000);
    EXPECT_TRUE(run.state["scoringStopped"].toBool());
    // The process ends soon after, without being killed.
    EXPECT_LT(run.afterLastSync.count(), 10000);
    for (const auto& row : RowsOf(run.state["rows"])) {
      EXPECT_TRUE(row.second.isEmpty() || row.second == kQuerying) << row.second.toStdString();
    }
    EXPECT_EQ(KeyFileContent(), SavedKeys());
  }
}

// Closing while the window waits for its own request (the token or the
// upload) to a server that never answers, with the standard 30-second
// time-outs: the request ends at once, the window closes within a second, the
// keys are saved, the command ends without a message and the program ends.
TEST_F(FaultsEndToEndTest, ClosingWhileTheWindowWaitsForItsRequestEndsAtOnce) {
  struct Case {
    const char* name;
    bool stallToken;  // else the upload stalls
    std::string steps;
    std::vector<ScenarioMessage> messages;
  };
  const Case cases[] = {
      {"a stalled upload",
       false,
       "token,sync,close-in=300,search,search",
       {{kTokenReceived, "none", 0}}},
      {"a stalled token request", true, "sync,close-in=300,token,search", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QFile::remove(QString::fromStdString(keyFile_));
    ScriptedOcrService ocr([](int) { return Stalled(); });
    RawRecorder stalledTokens([](const RecordedRequest&) { return Stalled(); });
    ScriptedSearchService search([](const QString&, int) { return GoodPage(); });
    ASSERT_TRUE(ocr.Ok() && stalledTokens.Ok() && search.Ok());
    const ScenarioRun run =
        Drive(c.stallToken ? stalledTokens.BaseUrl() : ocr.BaseUrl(), search.BaseUrl(), c.steps);

    const qint64 closeAtMs = run.state["closeAtMs"].toInteger();
    const qint64 lateMs = closeAtMs - run.state["closeDueMs"].toInteger();
    std::cout << "[ timing   ] " << c.name << ": the close came " << lateMs << " ms late and took "
              << run.state["closeMs"].toInteger() << " ms; the program ended "
              << run.afterLastSync.count() << " ms after the steps went on\n";
    ASSERT_GE(closeAtMs, 0) << "the window was not closed";
    EXPECT_LT(lateMs, 1000);
    EXPECT_LT(run.state["closeMs"].toInteger(), 1000);
    // The click that waited returned soon after the close, and no later
    // step ran.
    const QJsonArray searches = run.state["searches"].toArray();
    if (!c.stallToken) {
      ASSERT_EQ(searches.size(), 1);
      const QJsonObject stalled = searches[0].toObject();
      EXPECT_LT(stalled["clickMs"].toInteger() + stalled["returnMs"].toInteger(), closeAtMs + 1000);
      EXPECT_EQ(ocr.OcrRequests(), 1);
    } else {
      EXPECT_TRUE(searches.isEmpty());
      EXPECT_EQ(stalledTokens.Requests().size(), 1u);
    }
    EXPECT_LT(run.afterLastSync.count(), 10000);
    EXPECT_EQ(MessagesOf(run.state), c.messages);
    EXPECT_TRUE(RowsOf(run.state["rows"]).empty());
    EXPECT_TRUE(run.state["scoringStopped"].toBool());
    EXPECT_EQ(KeyFileContent(), SavedKeys());
  }
}

}  // namespace
}  // namespace qa::test
