// Where the commands have connections opened ahead of their requests: after a
// token has come (the OCR host and the search host), and at the click, before
// the upload (the search host, for the result pages).
#include <gtest/gtest.h>

#include "app/access_token_command.h"
#include "app/search_command.h"
#include "capture/make_bitmap.h"
#include "fake_controls.h"
#include "net/http_transport.h"
#include "ocr_stand_in.h"
#include "stand_in_server.h"
#include "test_ca.h"

namespace qa {
namespace {

struct Warmed {
  Text url;
  int count;
  int uploadsBefore;  // OCR uploads the stand-in had seen by then
  bool operator==(const Warmed&) const = default;
};

class WarmConnectionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SetExtraTrustedCaFile(test::TestCa::Shared().CaCertPath()));
    ocr_.AddClient("api", "secret", "tok");
    ASSERT_TRUE(server_.Start());
    endpoints_.ocrBase = server_.BaseUrl();
    endpoints_.searchBase = "https://search.test";
  }

  ConnectionWarmer Recorder() {
    return [this](const Text& url, int count) {
      warmed_.push_back({url, count, ocr_.OcrRequests()});
    };
  }

  test::StandInServer server_{test::TestCa::Shared()};
  test::OcrStandIn ocr_{server_};
  Endpoints endpoints_;
  std::vector<Warmed> warmed_;
};

TEST_F(WarmConnectionsTest, ATokenThatCameOpensConnectionsToBothHosts) {
  struct Case {
    const char* name;
    Text api, secret;
    bool warms;
  };
  const Case cases[] = {
      {"token received", "api", "secret", true},
      {"no token", "api", "wrong", false},
      {"keys missing", "", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    warmed_.clear();
    test::FakeControls window;
    window.SetText(EditBox::ApiKey, c.api);
    window.SetText(EditBox::SecretKey, c.secret);
    ProcessState state;
    AccessTokenCommand(window, state, endpoints_, Recorder());
    const std::vector<Warmed> expected =
        c.warms ? std::vector<Warmed>{{server_.BaseUrl(), 1, 0}, {"https://search.test", 5, 0}}
                : std::vector<Warmed>{};
    EXPECT_EQ(warmed_, expected);
  }
}

TEST_F(WarmConnectionsTest, TheClickOpensSearchConnectionsBeforeTheUpload) {
  for (PageFetching fetching : {PageFetching::kShared, PageFetching::kPerWorker}) {
    warmed_.clear();
    test::FakeControls window;
    ProcessState state;
    state.accessToken = "tok";
    ScoringDispatcher scoring(
        window, endpoints_, [](const Text&, const std::atomic<bool>&) { return Text(); }, fetching,
        Recorder());
    SearchCommandContext context{window, state, endpoints_, scoring};
    context.findMirrorWindow = [] { return WindowHandle{0}; };
    context.screenshotWindow = [](WindowHandle) {
      std::vector<std::uint8_t> pixels(64 * 64 * 4, 0x7F);
      return MakeBitmap32(64, 64, pixels.data(), 64 * 4);
    };
    const int uploads = ocr_.OcrRequests();
    SearchCommand(context);
    EXPECT_EQ(ocr_.OcrRequests(), uploads + 1);
    const std::vector<Warmed> expected =
        fetching == PageFetching::kShared ? std::vector<Warmed>{{"https://search.test", 5, uploads}}
                                          : std::vector<Warmed>{};
    EXPECT_EQ(warmed_, expected);
  }
}

}  // namespace
}  // namespace qa
