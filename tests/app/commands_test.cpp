// The access-token command, the recognition stage and the search command,
// against a fake window and local HTTPS stand-ins of the OCR service.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <chrono>
#include <thread>

#include "app/access_token_command.h"
#include "app/recognition_stage.h"
#include "app/search_command.h"
#include "capture/make_bitmap.h"
#include "encoding/codepage.h"
#include "fake_controls.h"
#include "net/http_transport.h"
#include "ocr_stand_in.h"
#include "stand_in_server.h"
#include "test_ca.h"

namespace qa {
namespace {

using test::FakeControls;

Text Gbk(const char* utf8) {
  return Utf16ToGbk(Utf8ToUtf16(utf8));
}

const Text kKeysMissing = Gbk("请填写百度ocr识别ak,sk");
const Text kNoToken = Gbk("未检测到access_token,请检测ak与sk");
const Text kTokenReceived = Gbk("获取access_token成功,请在答题时点击搜索按钮查询");
const Text kNoLines = Gbk("未找到返回数组,请确认已将iphone投屏至pc");
const Text kAdvice = Gbk("当前问题为否定题，建议选择匹配数最小的答案\r\n");

void TrustTestCa() {
  static const bool trusted = SetExtraTrustedCaFile(test::TestCa::Shared().CaCertPath());
  ASSERT_TRUE(trusted);
}

class AccessTokenCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TrustTestCa();
    ocr_.AddClient("good-api", "good-secret", "token-1");
    ocr_.AddClient("a&b c", "s=1+2%", "token-2");
    ASSERT_TRUE(server_.Start());
    endpoints_.ocrBase = server_.BaseUrl();
    endpoints_.productPage = "https://products.test/ocr";
  }

  test::StandInServer server_{test::TestCa::Shared()};
  test::OcrStandIn ocr_{server_};
  Endpoints endpoints_;
};

TEST_F(AccessTokenCommandTest, OutcomesOfTheKeysTyped) {
  struct Case {
    const char* name;
    Text api, secret;
    Text message, title;
    int flags;
    bool opensProductPage;
    Text tokenAfter;  // the token was "old" before
    int requests;
  };
  const Case cases[] = {
      {"only the secret key", "", "good-secret", kKeysMissing, Gbk("错误"), 0, true, "old", 0},
      {"only the API key", "good-api", "", kKeysMissing, Gbk("错误"), 0, true, "old", 0},
      {"good keys", "good-api", "good-secret", kTokenReceived, "", 0, false, "token-1", 1},
      // Percent-encoded in the URL, the keys reach the service as typed.
      {"keys with & space + =", "a&b c", "s=1+2%", kTokenReceived, "", 0, false, "token-2", 1},
      // A failed fetch keeps the token that worked before.
      {"unknown keys", "good-api", "wrong", kNoToken, "", 48, false, "old", 1},
      {"keys of spaces are not empty", " ", " ", kNoToken, "", 48, false, "old", 1},
  };
  for (const Case& c : cases) {
    FakeControls window;
    window.SetText(EditBox::ApiKey, c.api);
    window.SetText(EditBox::SecretKey, c.secret);
    ProcessState state;
    state.accessToken = "old";
    const int before = ocr_.TokenRequests();
    AccessTokenCommand(window, state, endpoints_);
    EXPECT_EQ(state.apiKey, c.api) << c.name;
    EXPECT_EQ(state.secretKey, c.secret) << c.name;
    ASSERT_EQ(window.Messages().size(), 1u) << c.name;
    EXPECT_EQ(window.Messages()[0].text, c.message) << c.name;
    EXPECT_EQ(window.Messages()[0].title, c.title) << c.name;
    EXPECT_EQ(window.Messages()[0].flags, c.flags) << c.name;
    EXPECT_EQ(window.Opened(), c.opensProductPage ? std::vector<Text>{"https://products.test/ocr"}
                                                  : std::vector<Text>{})
        << c.name;
    EXPECT_EQ(state.accessToken, c.tokenAfter) << c.name;
    EXPECT_EQ(ocr_.TokenRequests() - before, c.requests) << c.name;
  }
}

TEST_F(AccessTokenCommandTest, NoServiceKeepsTheTokenAndShowsTheExclamation) {
  FakeControls window;
  window.SetText(EditBox::ApiKey, "good-api");
  window.SetText(EditBox::SecretKey, "good-secret");
  ProcessState state;
  state.accessToken = "old";
  server_.Stop();
  AccessTokenCommand(window, state, endpoints_);
  ASSERT_EQ(window.Messages().size(), 1u);
  EXPECT_EQ(window.Messages()[0].text, kNoToken);
  EXPECT_EQ(window.Messages()[0].flags, 48);
  EXPECT_EQ(state.accessToken, "old");
}

TEST(FetchAccessToken, KeepsAnyOtherMemberOutOfTheToken) {
  TrustTestCa();
  test::StandInServer server(test::TestCa::Shared());
  server.Routes().Get("/oauth/2.0/token", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(R"({"refresh_token":"r","access_token":"24.abc-def","scope":"x"})",
                    "application/json");
  });
  ASSERT_TRUE(server.Start());
  Endpoints endpoints;
  endpoints.ocrBase = server.BaseUrl();
  ProcessState state;
  state.apiKey = "k";
  state.secretKey = "s";
  EXPECT_EQ(FetchAccessToken(state, endpoints), "24.abc-def");
}

// An OCR endpoint that answers a set reply and keeps what it was sent.
class RecognitionStageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TrustTestCa();
    server_.Routes().Post("/rest/2.0/ocr/v1/general_basic",
                          [this](const httplib::Request& req, httplib::Response& res,
                                 const httplib::ContentReader& reader) {
                            std::string body;
                            reader([&](const char* d, size_t n) {
                              body.append(d, n);
                              return true;
                            });
                            std::lock_guard lock(mutex_);
                            token_ = req.get_param_value("access_token");
                            contentType_ = req.get_header_value("Content-Type");
                            body_ = body;
                            res.set_content(reply_, "application/json");
                          });
    ASSERT_TRUE(server_.Start());
    endpoints_.ocrBase = server_.BaseUrl();
    endpoints_.searchBase = "https://search.test";
  }

  // The route uses the members below: stop serving before they go.
  void TearDown() override { server_.Stop(); }

  void Reply(const std::string& json) {
    std::lock_guard lock(mutex_);
    reply_ = json;
  }
  static std::string Lines(const QStringList& lines) {
    QJsonArray words;
    for (const QString& l : lines) words.append(QJsonObject{{"words", l}});
    return QJsonDocument(QJsonObject{{"log_id", 1},
                                     {"words_result_num", static_cast<int>(lines.size())},
                                     {"words_result", words}})
        .toJson(QJsonDocument::Compact)
        .toStdString();
  }
  // The image the last upload carried, decoded.
  QImage Uploaded() {
    std::lock_guard lock(mutex_);
    if (body_.rfind("image=", 0) != 0) return {};
    return QImage::fromData(QByteArray::fromBase64(
        QByteArray::fromPercentEncoding(QByteArray::fromStdString(body_.substr(6)))));
  }
  std::string Body() {
    std::lock_guard lock(mutex_);
    return body_;
  }

  test::StandInServer server_{test::TestCa::Shared()};
  Endpoints endpoints_;
  std::mutex mutex_;
  std::string reply_, token_, contentType_, body_;
};

Bytes SolidBitmap(int width, int height) {
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 4, 0x7F);
  return MakeBitmap32(width, height, pixels.data(), static_cast<std::size_t>(width) * 4);
}

TEST_F(RecognitionStageTest, LinesBecomeTheQuestionAndTheOptions) {
  struct Case {
    const char* name;
    QStringList lines;
    const char* recognition;  // 识别编辑框 afterwards (UTF-8)
    const char* question;     // QuestionText afterwards; it was "previous"
    std::vector<const char*> rows;
    const char* address;  // empty: not navigated
    bool noLinesMessage;
  };
  const Case cases[] = {
      {"four lines",
       {"3.下列哪个城市", "A", "B", "C"},
       "下列哪个城市\r\n",
       "下列哪个城市",
       {"A", "B", "C"},
       "https://search.test/s?wd=%E4%B8%8B%E5%88%97%E5%93%AA%E4%B8%AA%E5%9F%8E%E5%B8%82",
       false},
      {"five lines, the second trimmed",
       {"12.下列", " 哪个是首都 ", "北京", "上海", "广州"},
       "下列哪个是首都\r\n",
       "下列哪个是首都",
       {"北京", "上海", "广州"},
       nullptr,
       false},
      {"six lines, the third trimmed alone, then with the second",
       {"1.甲", " 乙 ", " 丙 ", "x", "y", "z"},
       "甲乙 丙\r\n",
       "甲乙 丙",
       {"x", "y", "z"},
       "https://search.test/s?wd=%E7%94%B2%E4%B9%99%20%E4%B8%99",
       false},
      {"negative question: advice above it",
       {"2.以下哪个不是水果", "苹果", "白菜", "香蕉"},
       "当前问题为否定题，建议选择匹配数最小的答案\r\n以下哪个不是水果\r\n",
       "以下哪个不是水果",
       {"苹果", "白菜", "香蕉"},
       nullptr,
       false},
      {"options formatted",
       {"3.q", "~A~", "%d份", "a`b"},
       "q\r\n",
       "q",
       {"“A”", "(空)份", "a\"b"},
       nullptr,
       false},
      {"three lines", {"3.q", "A", "B"}, "", "previous", {}, nullptr, true},
      {"seven lines", {"1", "2", "3", "4", "5", "6", "7"}, "", "previous", {}, nullptr, false},
  };
  for (const Case& c : cases) {
    Reply(Lines(c.lines));
    FakeControls window;
    ProcessState state;
    state.SetQuestionText("previous");
    state.accessToken = "tok";
    Bytes image = SolidBitmap(224, 166);
    RecognitionStage(window, state, endpoints_, image);

    EXPECT_EQ(window.GetText(EditBox::Recognition), Gbk(c.recognition)) << c.name;
    EXPECT_EQ(state.QuestionText(), Gbk(c.question)) << c.name;
    std::vector<Text> rows, results;
    for (const auto& row : window.Rows()) {
      rows.push_back(row.option);
      results.push_back(row.result);
    }
    std::vector<Text> expected;
    for (const char* r : c.rows) expected.push_back(Gbk(r));
    EXPECT_EQ(rows, expected) << c.name;
    EXPECT_EQ(results, std::vector<Text>(expected.size())) << c.name;
    if (c.address) {
      EXPECT_EQ(window.Address(), c.address) << c.name;
    }
    EXPECT_EQ(window.Address().empty(), c.rows.empty()) << c.name;
    ASSERT_EQ(window.Messages().size(), c.noLinesMessage ? 1u : 0u) << c.name;
    if (c.noLinesMessage) {
      EXPECT_EQ(window.Messages()[0].text, kNoLines);
      EXPECT_EQ(window.Messages()[0].title, "");
      EXPECT_EQ(window.Messages()[0].flags, 0);
    }
  }
}

TEST_F(RecognitionStageTest, RepliesWithoutLinesShowTheMessage) {
  const std::string replies[] = {
      R"({"error_code":110,"error_msg":"Access token invalid or no longer valid"})", "not json", "",
      R"({"words_result":[]})", R"({"words_result":"abc"})"};
  for (const std::string& reply : replies) {
    Reply(reply);
    FakeControls window;
    ProcessState state;
    Bytes image = SolidBitmap(10, 10);
    RecognitionStage(window, state, endpoints_, image);
    ASSERT_EQ(window.Messages().size(), 1u) << reply;
    EXPECT_EQ(window.Messages()[0].text, kNoLines) << reply;
    EXPECT_TRUE(window.Rows().empty()) << reply;
  }
}

TEST_F(RecognitionStageTest, UploadsTheImageAsPercentEncodedBase64Jpeg) {
  Reply(Lines({"1.q", "a", "b", "c"}));
  FakeControls window;
  ProcessState state;
  state.accessToken = "24.t-k";
  Bytes image = SolidBitmap(224, 166);
  RecognitionStage(window, state, endpoints_, image);
  // The caller's image is now the JPEG that was sent.
  ASSERT_GE(image.size(), 3u);
  EXPECT_EQ(image[0], 0xFF);
  EXPECT_EQ(image[1], 0xD8);
  const QImage uploaded = Uploaded();
  EXPECT_EQ(uploaded.size(), QSize(224, 166));
  const std::string body = Body();
  EXPECT_EQ(body.find_first_of("+/="), body.find('=')) << "only the '=' of image= is raw";
  std::lock_guard lock(mutex_);
  EXPECT_EQ(token_, "24.t-k");
  EXPECT_EQ(contentType_, "application/x-www-form-urlencoded");
}

TEST_F(RecognitionStageTest, SearchCommandCropsWhatThePictureBoxShowsAndStartsTheScoring) {
  Reply(Lines({"3.q", "red", "green", "blue"}));
  FakeControls window;
  // Left over from an earlier search.
  window.SetRows({"old1", "old2"});
  window.SetText(EditBox::Recognition, "old question\r\n");
  ProcessState state;
  state.accessToken = "tok";
  std::atomic<int> pages{0};
  ScoringDispatcher scoring(window, endpoints_, [&](const Text&, const std::atomic<bool>&) {
    ++pages;
    return Text("red red green");
  });
  std::vector<WindowHandle> shot;
  SearchCommandContext context{window, state, endpoints_, scoring};
  context.findMirrorWindow = [] { return WindowHandle{42}; };
  context.screenshotWindow = [&](WindowHandle handle) {
    shot.push_back(handle);
    return SolidBitmap(400, 800);
  };
  SearchCommand(context);

  EXPECT_EQ(shot, std::vector<WindowHandle>{42});
  EXPECT_EQ(window.GetPicture(PictureBox::Screen), SolidBitmap(400, 800));
  EXPECT_GE(window.Pumps(), 1);
  // 图片框2 holds the crop of the picture box's render under the marker.
  const Bytes crop = window.GetPicture(PictureBox::Crop);
  const QImage cropImage = QImage::fromData(crop.data(), static_cast<int>(crop.size()));
  EXPECT_EQ(cropImage.size(), QSize(224, 166));
  EXPECT_EQ(cropImage.pixel(0, 0) & 0xFFFFFF, 0x204080u);  // the fake box's colour
  EXPECT_EQ(Uploaded().size(), QSize(224, 166));
  EXPECT_EQ(window.GetText(EditBox::Recognition), "q\r\n");

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (scoring.LiveThreads() > 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  const auto rows = window.Rows();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].option, "red");
  EXPECT_EQ(rows[0].result, "10");
  EXPECT_EQ(rows[1].result, "5");
  EXPECT_EQ(rows[2].result, "0");
  EXPECT_EQ(pages, 5);  // the three options share the search's five pages
}

TEST_F(RecognitionStageTest, SearchCommandWithoutAMirrorWindowShowsTheScreen) {
  Reply(R"({"error_code":282810,"error_msg":"image recognize error"})");
  FakeControls window;
  ProcessState state;
  ScoringDispatcher scoring(window, endpoints_,
                            [](const Text&, const std::atomic<bool>&) { return Text(); });
  std::vector<WindowHandle> shot;
  SearchCommandContext context{window, state, endpoints_, scoring};
  context.findMirrorWindow = [] { return WindowHandle{0}; };
  context.screenshotWindow = [&](WindowHandle handle) {
    shot.push_back(handle);
    return SolidBitmap(1280, 1024);
  };
  SearchCommand(context);
  EXPECT_EQ(shot, std::vector<WindowHandle>{0});
  ASSERT_EQ(window.Messages().size(), 1u);
  EXPECT_EQ(window.Messages()[0].text, kNoLines);
  EXPECT_TRUE(window.Rows().empty());
  EXPECT_EQ(window.GetText(EditBox::Recognition), "");
}

}  // namespace
}  // namespace qa
