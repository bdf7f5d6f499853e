// Ending transfers early: a cancel token ends its own transfers, under way or
// yet to start, and nobody else's; AbortAllTransfers ends every transfer under
// way. Both end at once, the way a broken connection would. A wait scope lets
// the waiting thread work meanwhile.
#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <thread>

#include "http_test_helpers.h"
#include "http_test_routes.h"
#include "net/http_transport.h"
#include "net/inet_request.h"
#include "net/winhttp_request.h"
#include "raw_recorder.h"
#include "stand_in_server.h"

namespace qa {
namespace {

using namespace std::chrono_literals;
using test::RawRecorder;
using test::RawReply;
using test::RecordedRequest;
using test::StandInServer;

struct Outcome {
  Text text;
  Text message;
  std::chrono::milliseconds elapsed{0};
};

// Runs WinHttpRequest on a thread of its own, in a scope of `token`.
std::future<Outcome> FetchInScope(const std::string& url, const TransferCancelToken& token) {
  return std::async(std::launch::async, [url, token] {
    TransferCancelScope scope(token);
    Outcome outcome;
    test::StopWatch watch;
    outcome.text = WinHttpRequest(url, {.timeoutSeconds = 30, .message = &outcome.message});
    outcome.elapsed = watch.Elapsed();
    return outcome;
  });
}

template <typename Condition>
void WaitUntil(Condition condition) {
  for (int i = 0; i < 5000 && !condition(); ++i) std::this_thread::sleep_for(1ms);
}

// The point where a transfer is cancelled decides how it fails.
TEST(TransferCancelToken, EndsItsTransfersAtOnceWhereverTheyAre) {
  StandInServer server;
  test::AddHttpTestRoutes(server);
  ASSERT_TRUE(server.Start());
  const std::string halfBody =
      "HTTP/1.1 200 OK\r\nContent-Length: 2000\r\n\r\n" + std::string(1000, 'r');
  RawRecorder stallingBody([&](const RecordedRequest&) {
    RawReply reply;
    reply.bytes = halfBody;
    reply.end = RawReply::End::kStall;
    return reply;
  });
  // A plain server that never answers the TLS hello: the handshake never ends.
  RawRecorder silentTls([](const RecordedRequest&) {
    RawReply reply;
    reply.end = RawReply::End::kStall;
    return reply;
  });
  struct Case {
    std::string name;
    std::string url;
    int message;
    std::string text;
  };
  const Case cases[] = {
      {"waiting for the response", server.BaseUrl() + "/stall", 712, ""},
      {"in the middle of the body", stallingBody.BaseUrl() + "/", 713, std::string(1000, 'r')},
      {"in the TLS handshake", "https://127.0.0.1:" + std::to_string(silentTls.Port()) + "/", 711,
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TransferCancelToken token;
    const std::size_t before =
        server.RequestCount() + stallingBody.Requests().size() + silentTls.ConnectionCount();
    auto fetch = FetchInScope(c.url, token);
    WaitUntil([&] {
      return server.RequestCount() + stallingBody.Requests().size() + silentTls.ConnectionCount() >
             before;
    });
    std::this_thread::sleep_for(300ms);  // let the transfer reach its stall
    token.Cancel();
    // Far below the 30 s the stall would otherwise last, with room for a busy machine.
    ASSERT_EQ(fetch.wait_for(2s), std::future_status::ready);
    const Outcome outcome = fetch.get();
    EXPECT_EQ(outcome.message, WinHttpMessage(c.message));
    EXPECT_EQ(outcome.text, c.text);
    EXPECT_TRUE(token.Cancelled());
  }
}

TEST(TransferCancelToken, LaterTransfersOfACancelledTokenFailAtOnceAndOthersRunOn) {
  StandInServer server;
  test::AddHttpTestRoutes(server);
  ASSERT_TRUE(server.Start());
  TransferCancelToken cancelled;
  cancelled.Cancel();
  cancelled.Cancel();  // again: nothing more happens
  TransferCancelToken other;

  const Outcome refused = FetchInScope(server.BaseUrl() + "/hello", cancelled).get();
  EXPECT_EQ(refused.message, WinHttpMessage(711));
  EXPECT_EQ(refused.text, "");
  EXPECT_EQ(server.RequestCount(), 0);

  // Another token's transfer, and one outside any scope, are untouched.
  const Outcome fine = FetchInScope(server.BaseUrl() + "/hello", other).get();
  EXPECT_EQ(fine.text, "hello");
  EXPECT_EQ(WinHttpRequest(server.BaseUrl() + "/hello"), "hello");
  EXPECT_FALSE(other.Cancelled());

  // Scopes nest; leaving the inner one restores the outer one's token.
  {
    TransferCancelScope outer(other);
    {
      TransferCancelScope inner(cancelled);
      EXPECT_EQ(WinHttpRequest(server.BaseUrl() + "/hello"), "");
    }
    EXPECT_EQ(WinHttpRequest(server.BaseUrl() + "/hello"), "hello");
  }
}

TEST(TransferCancelToken, OnlyItsOwnTransfersEnd) {
  StandInServer server;
  test::AddHttpTestRoutes(server);
  ASSERT_TRUE(server.Start());
  TransferCancelToken doomed;
  TransferCancelToken spared;
  auto ended = FetchInScope(server.BaseUrl() + "/stall", doomed);
  auto slow = FetchInScope(server.BaseUrl() + "/slow?ms=600", spared);
  WaitUntil([&] { return server.RequestCount() == 2; });
  doomed.Cancel();
  EXPECT_EQ(ended.get().message, WinHttpMessage(712));
  const Outcome finished = slow.get();
  EXPECT_EQ(finished.text, "slow");
  EXPECT_GE(finished.elapsed, 600ms);
}

// A thread waiting for its transfer inside a wait scope runs the scope's
// function meanwhile, on its own thread; that function can cancel the
// transfer (as closing a window does), and transfers it starts itself simply
// wait. Outside the scope nothing is called.
TEST(TransferWaitScope, RunsItsFunctionWhileTheThreadWaitsAndCanEndTheTransfer) {
  StandInServer server;
  test::AddHttpTestRoutes(server);
  ASSERT_TRUE(server.Start());
  const std::thread::id self = std::this_thread::get_id();
  TransferCancelToken token;
  int calls = 0;
  int depth = 0;
  int deepest = 0;
  bool otherThread = false;
  Text inner;
  Text outer;
  test::StopWatch watch;
  {
    TransferCancelScope scope(token);
    TransferWaitScope wait([&] {
      ++calls;
      deepest = std::max(deepest, ++depth);
      otherThread = otherThread || std::this_thread::get_id() != self;
      // A transfer of its own waits without calling back again.
      if (calls == 1) inner = WinHttpRequest(server.BaseUrl() + "/hello");
      if (calls == 20) token.Cancel();
      --depth;
    });
    outer = WinHttpRequest(server.BaseUrl() + "/stall", {.timeoutSeconds = 30});
  }
  EXPECT_LT(watch.Elapsed(), 10s);
  EXPECT_EQ(outer, "");
  EXPECT_EQ(calls, 20);
  EXPECT_EQ(deepest, 1);
  EXPECT_FALSE(otherThread);
  EXPECT_EQ(inner, "hello");

  // Scope gone: a later transfer just waits.
  EXPECT_EQ(WinHttpRequest(server.BaseUrl() + "/hello"), "hello");
  EXPECT_EQ(calls, 20);
}

TEST(AbortAllTransfers, EndsEveryTransferUnderWayAndNotLaterOnes) {
  StandInServer server(test::TrustTestCa());
  test::AddHttpTestRoutes(server);
  ASSERT_TRUE(server.Start());
  auto scoped = FetchInScope(server.BaseUrl() + "/stall", TransferCancelToken());
  auto bare = std::async(std::launch::async, [&] {
    Text headers;
    Bytes body = InetRequest(server.BaseUrl() + "/stall", {.receivedHeaders = &headers});
    return std::make_pair(body, headers);
  });
  WaitUntil([&] { return server.RequestCount() == 2; });
  AbortAllTransfers();
  ASSERT_EQ(scoped.wait_for(2s), std::future_status::ready);
  ASSERT_EQ(bare.wait_for(2s), std::future_status::ready);
  EXPECT_EQ(scoped.get().message, WinHttpMessage(712));
  const auto [body, headers] = bare.get();
  EXPECT_TRUE(body.empty());
  EXPECT_EQ(headers, Text(5000, ' '));
  // Transfers started afterwards run as usual.
  EXPECT_EQ(BytesToText(InetRequest(server.BaseUrl() + "/hello")), "hello");
}

}  // namespace
}  // namespace qa
