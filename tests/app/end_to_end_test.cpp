// The whole program from a click: the real main window (run by the scenario
// driver) on an X server of its own, a fake mirror receiver showing a quiz
// card, and HTTPS stand-ins of the OCR and search services.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QUrl>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "fake_mirror_process.h"
#include "ocr_stand_in.h"
#include "private_x_server.h"
#include "sample_cards.h"
#include "scenario_run.h"
#include "search_stand_in.h"
#include "stand_in_server.h"
#include "test_ca.h"

namespace qa::test {
namespace {

const QString kTokenReceived = QStringLiteral("获取access_token成功,请在答题时点击搜索按钮查询");
const QString kNoToken = QStringLiteral("未检测到access_token,请检测ak与sk");
const QString kNoLines = QStringLiteral("未找到返回数组,请确认已将iphone投屏至pc");
const QString kAdvice = QStringLiteral("当前问题为否定题，建议选择匹配数最小的答案\r\n");
const QString kDefaultTitle = QStringLiteral("信息：");

struct Message {
  QString title, text, icon;
  bool operator==(const Message&) const = default;
};
void PrintTo(const Message& m, std::ostream* os) {
  *os << m.title.toStdString() << " | " << m.text.toStdString() << " | " << m.icon.toStdString();
}

// The message boxes with their titles (the shared reader leaves titles out).
std::vector<Message> TitledMessagesOf(const QJsonObject& state) {
  std::vector<Message> messages;
  for (const QJsonValue& v : state["messages"].toArray()) {
    const QJsonObject m = v.toObject();
    messages.push_back({m["title"].toString(), m["text"].toString(), m["icon"].toString()});
  }
  return messages;
}

// The rows a sample card should end with: each option with its total.
ScenarioRows ExpectedRows(const SampleCard& sample) {
  ScenarioRows rows;
  for (const auto& [option, counts] : sample.counts) {
    rows.emplace_back(option, QString::number(SearchStandIn::Total(counts)));
  }
  return rows;
}

class EndToEndTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 3;
    static char arg0[] = "end-to-end", arg1[] = "-platform", arg2[] = "offscreen";
    static char* argv[] = {arg0, arg1, arg2, nullptr};
    if (QGuiApplication::instance() == nullptr) new QGuiApplication(argc, argv);
    cards_ = new QTemporaryDir();
    for (const SampleCard* sample : AllSampleCards()) {
      ASSERT_TRUE(SaveQuizCard(sample->card, CardPath(*sample)));
    }
  }
  static void TearDownTestSuite() {
    delete cards_;
    cards_ = nullptr;
  }
  static QString CardPath(const SampleCard& sample) {
    return cards_->filePath(sample.card.name + QStringLiteral(".png"));
  }

  void SetUp() override {
    ASSERT_TRUE(TestCa::Shared().Ok());
    x_ = std::make_unique<PrivateXServer>();
    ASSERT_TRUE(x_->Running());
    ocr_.AddClient("e2e-api", "e2e-secret", "24.e2e-token");
    AddSampleCards(ocr_, search_);
    ASSERT_TRUE(ocrServer_.Start());
    ASSERT_TRUE(searchServer_.Start());
    keyFile_ = work_.filePath(QStringLiteral("Key.ini")).toStdString();
  }

  // Shows the card in a fake mirror receiver beside the main window, exactly
  // the size of the picture box.
  std::unique_ptr<FakeMirrorProcess> Mirror(const SampleCard& sample) {
    FakeMirrorProcess::Options options;
    options.image = CardPath(sample).toStdString();
    options.x = 700;
    options.y = 50;
    options.width = kCardWidth;
    options.height = kCardHeight;
    auto mirror = std::make_unique<FakeMirrorProcess>(options);
    EXPECT_TRUE(mirror->Ready());
    return mirror;
  }

  // Runs the driver with the steps; `onSync` runs at each "sync" step (with
  // its number from 1). The JSON it wrote, or an empty object.
  QJsonObject Run(const QString& steps, const std::string& apiKey = "e2e-api",
                  const std::string& secretKey = "e2e-secret",
                  const std::function<void(int)>& onSync = {}) {
    const ScenarioRun run = RunScenario(
        QA_SCENARIO_PATH,
        {"--ocr-base", ocrServer_.BaseUrl(), "--search-base", searchServer_.BaseUrl(),
         "--product-page", "https://products.test/ocr", "--ca-file", TestCa::Shared().CaCertPath(),
         "--key-file", keyFile_, "--api-key", apiKey, "--secret-key", secretKey, "--steps",
         steps.toStdString(), "--timeout-ms", "20000"},
        work_.filePath(QStringLiteral("state.json")).toStdString(), onSync, 60000, 30000);
    EXPECT_TRUE(run.ExitedCleanly()) << "status " << run.status;
    const QJsonObject& state = run.state;
    for (const QJsonValue& s : state["searches"].toArray()) {
      std::cout << "[ timing   ] click to rows " << s.toObject()["rowsMs"].toInt()
                << " ms, to all counts " << s.toObject()["countsMs"].toInt() << " ms\n";
    }
    return state;
  }

  QString SearchAddress(const QString& question) const {
    return QString::fromStdString(searchServer_.BaseUrl()) + QStringLiteral("/s?wd=") +
           QString::fromLatin1(QUrl::toPercentEncoding(question));
  }

  std::string KeyFileContent() const {
    QFile file(QString::fromStdString(keyFile_));
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
  }

  static QTemporaryDir* cards_;
  QTemporaryDir work_;
  std::unique_ptr<PrivateXServer> x_;
  StandInServer ocrServer_{TestCa::Shared()};
  StandInServer searchServer_{TestCa::Shared()};
  OcrStandIn ocr_{ocrServer_};
  SearchStandIn search_{searchServer_};
  std::string keyFile_;
};

QTemporaryDir* EndToEndTest::cards_ = nullptr;

// Sets an environment variable for the processes a test starts.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    ::setenv(name, value, 1);
  }
  ~ScopedEnvironment() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST_F(EndToEndTest, SearchesCardsOfFourFiveSixAndSevenLines) {
  const SampleCard* cards[] = {&FourLineCard(), &FiveLineCard(), &SixLineCard(), &SevenLineCard()};
  // On a desktop that asks for double size: the window keeps its pixels, so
  // the frame, the crop and the recognised cards below stay exact.
  ScopedEnvironment scale("QT_SCALE_FACTOR", "2");
  ScopedEnvironment screens("QT_SCREEN_SCALE_FACTORS", "2");
  ScopedEnvironment fontDpi("QT_FONT_DPI", "192");
  auto mirror = Mirror(*cards[0]);
  const QJsonObject state =
      Run("token,search,wait,sync,search,wait,sync,search,wait,sync,search,wait,close", "e2e-api",
          "e2e-secret",
          [&](int sync) { ASSERT_TRUE(mirror->ShowImage(CardPath(*cards[sync]).toStdString())); });
  ASSERT_FALSE(state.isEmpty());

  const QJsonArray waits = state["waits"].toArray();
  ASSERT_EQ(waits.size(), 4);
  for (int i = 0; i < 4; ++i) {
    const SampleCard& sample = *cards[i];
    const QJsonObject wait = waits[i].toObject();
    SCOPED_TRACE(sample.card.name.toStdString());
    EXPECT_FALSE(wait["timedOut"].toBool());
    EXPECT_EQ(RowsOf(wait["rows"]), ExpectedRows(sample));
    if (sample.question.isEmpty()) {  // seven lines: nothing at all
      EXPECT_EQ(wait["recognition"].toString(), QString());
      continue;
    }
    const QString advice = sample.question.contains(QStringLiteral("不是")) ? kAdvice : QString();
    EXPECT_EQ(wait["recognition"].toString(), advice + sample.question + QStringLiteral("\r\n"));
    EXPECT_EQ(wait["address"].toString(), SearchAddress(sample.question));
  }
  // Only the token's message: seven lines show none.
  EXPECT_EQ(TitledMessagesOf(state),
            (std::vector<Message>{{kDefaultTitle, kTokenReceived, "none"}}));

  // The five pages, offsets 0 to 20, of the cleaned question, each fetched
  // once and shared by the three options.
  std::map<QString, std::vector<int>> offsets;
  for (const auto& request : search_.Requests()) {
    if (request.offset >= 0)
      offsets[request.question].push_back(request.offset);  // not the browser
  }
  for (int i = 0; i < 3; ++i) {
    std::vector<int> seen = offsets[cards[i]->question];
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (std::vector<int>{0, 5, 10, 15, 20}));
  }
  EXPECT_EQ(offsets.size(), 3u);

  // The pictures: the mirror's picture child in 图片框1, the question area in 图片框2.
  EXPECT_EQ(state["screenPicture"].toObject(), (QJsonObject{{"width", 248}, {"height", 392}}));
  EXPECT_EQ(state["cropPicture"].toObject(), (QJsonObject{{"width", 224}, {"height", 166}}));
  EXPECT_EQ(state["frame"].toObject(),
            (QJsonObject{{"x", 50}, {"y", 50}, {"width", 554}, {"height", 687}}));
  EXPECT_EQ(KeyFileContent(),
            "[Apikey]\r\nclient_id=e2e-api\r\n\r\n[Secret Key]\r\nclient_secret=e2e-secret\r\n");
}

TEST_F(EndToEndTest, WithoutAMirrorWindowTheWholeScreenIsShownAndNothingFound) {
  const QJsonObject state = Run("token,search,wait,close");
  ASSERT_FALSE(state.isEmpty());
  EXPECT_EQ(TitledMessagesOf(state), (std::vector<Message>{{kDefaultTitle, kTokenReceived, "none"},
                                                           {kDefaultTitle, kNoLines, "none"}}));
  EXPECT_TRUE(RowsOf(state["rows"]).empty());
  EXPECT_EQ(state["recognition"].toString(), QString());
  EXPECT_EQ(state["screenPicture"].toObject(), (QJsonObject{{"width", 1280}, {"height", 1024}}));
  EXPECT_EQ(ocr_.OcrRequests(), 1);
}

TEST_F(EndToEndTest, UnknownKeysGiveNoTokenAndASearchFindsNothing) {
  auto mirror = Mirror(FourLineCard());
  const QJsonObject state = Run("token,search,wait,link,close", "e2e-api", "wrong-secret");
  ASSERT_FALSE(state.isEmpty());
  EXPECT_EQ(TitledMessagesOf(state), (std::vector<Message>{{kDefaultTitle, kNoToken, "exclamation"},
                                                           {kDefaultTitle, kNoLines, "none"}}));
  EXPECT_TRUE(RowsOf(state["rows"]).empty());
  EXPECT_EQ(state["opened"].toArray(), (QJsonArray{"https://products.test/ocr"}));
  EXPECT_EQ(ocr_.TokenRequests(), 1);
  EXPECT_EQ(ocr_.OcrRequests(), 1);
  EXPECT_TRUE(search_.Requests().empty());
}

TEST_F(EndToEndTest, ASecondSearchNeverShowsTheFirstSearchsTotals) {
  const SampleCard& first = FourLineCard();
  const SampleCard& second = SecondFourLineCard();
  // The first question's pages come slowly, so its workers are still busy
  // when the second search (by F9) starts.
  std::map<QString, SearchStandIn::PageCounts> slow(first.counts.begin(), first.counts.end());
  search_.AddQuestion(first.question, slow, std::chrono::milliseconds(500));
  auto mirror = Mirror(first);
  const QJsonObject state = Run("token,search,sync,f9,wait,close", "e2e-api", "e2e-secret",
                                [&](int) { mirror->ShowImage(CardPath(second).toStdString()); });
  ASSERT_FALSE(state.isEmpty());
  EXPECT_EQ(RowsOf(state["rows"]), ExpectedRows(second));

  QStringList firstTotals;
  for (const auto& row : ExpectedRows(first)) firstTotals << row.second;
  for (const QJsonValue& v : state["cellLog"].toArray()) {
    const QJsonObject change = v.toObject();
    if (change["search"].toInt() != 2 || change["column"].toInt() != 1) continue;
    EXPECT_FALSE(firstTotals.contains(change["text"].toString()))
        << "row " << change["row"].toInt() << " showed " << change["text"].toString().toStdString();
  }
  // The first search asked for its five pages at once, and for nothing more.
  int firstPages = 0;
  for (const auto& request : search_.Requests()) {
    firstPages += request.question == first.question && request.offset >= 0;
  }
  EXPECT_LE(firstPages, 5);
}

TEST_F(EndToEndTest, ClosingWhileOptionsAreScoredSavesTheKeysAndEnds) {
  const SampleCard& card = FourLineCard();
  std::map<QString, SearchStandIn::PageCounts> slow(card.counts.begin(), card.counts.end());
  search_.AddQuestion(card.question, slow, std::chrono::milliseconds(1500));
  auto mirror = Mirror(card);
  const QJsonObject state = Run("token,search,sleep=100,close");
  ASSERT_FALSE(state.isEmpty());
  EXPECT_TRUE(state["scoringStopped"].toBool());
  // Closed before any page came back: no row got a total.
  const ScenarioRows rows = RowsOf(state["rows"]);
  EXPECT_EQ(rows.size(), 3u);
  for (const auto& row : rows) {
    EXPECT_TRUE(row.second.isEmpty() || row.second == QStringLiteral("查询中.."))
        << row.second.toStdString();
  }
  EXPECT_EQ(KeyFileContent(),
            "[Apikey]\r\nclient_id=e2e-api\r\n\r\n[Secret Key]\r\nclient_secret=e2e-secret\r\n");
}

}  // namespace
}  // namespace qa::test
