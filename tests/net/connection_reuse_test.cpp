// Connections outlive the request that opened them: later requests to the
// same server reuse idle ones for as long as the server keeps them open, and
// PrepareConnections opens the ones that are missing ahead of time.
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>
#include <vector>

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

template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds limit = 5000ms) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(2ms);
  }
  return true;
}

// `n` requests at once, each on a thread of its own; their pages.
std::vector<Text> FetchAtOnce(const std::string& url, int n) {
  std::vector<std::future<Text>> fetches;
  for (int i = 0; i < n; ++i) {
    fetches.push_back(std::async(std::launch::async, [url] { return WinHttpRequest(url); }));
  }
  std::vector<Text> pages;
  for (auto& fetch : fetches) pages.push_back(fetch.get());
  return pages;
}

TEST(ConnectionReuse, LaterRequestsUseTheConnectionsTheServerKeeps) {
  StandInServer server(test::TrustTestCa());
  test::AddHttpTestRoutes(server);
  server.Routes().set_keep_alive_max_count(100);  // cpp-httplib ends a connection after 5
  ASSERT_TRUE(server.Start());
  const std::string base = server.BaseUrl();
  // Both request operations, and a redirect chain, share one connection.
  EXPECT_EQ(WinHttpRequest(base + "/hello"), "hello");
  EXPECT_EQ(BytesToText(InetRequest(base + "/hello")), "hello");
  EXPECT_EQ(WinHttpRequest(base + "/redirect/2"), "final");
  EXPECT_EQ(server.ConnectionCount(), 1);
  // Five at once need four more; afterwards five at once reuse the five.
  EXPECT_EQ(FetchAtOnce(base + "/slow?ms=100", 5), std::vector<Text>(5, "slow"));
  EXPECT_EQ(server.ConnectionCount(), 5);
  EXPECT_EQ(FetchAtOnce(base + "/slow?ms=100", 5), std::vector<Text>(5, "slow"));
  EXPECT_EQ(server.ConnectionCount(), 5);
}

// A connection the server ends is not used again, whether it said so or not.
TEST(ConnectionReuse, ConnectionsTheServerEndsAreReplaced) {
  struct Case {
    std::string name;
    std::vector<std::string> headers;
    RawReply::End end;
  };
  const Case cases[] = {
      {"closed without notice", {}, RawReply::End::kClose},
      {"announced by Connection: close", {"Connection: close"}, RawReply::End::kClose},
      {"reset", {}, RawReply::End::kReset},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RawRecorder server([&](const RecordedRequest&) {
      RawReply reply = RawReply::Response("HTTP/1.1 200 OK", c.headers, "ok");
      reply.end = c.end;
      return reply;
    });
    for (int i = 0; i < 3; ++i) {
      std::this_thread::sleep_for(50ms);  // the server's end arrives first
      EXPECT_EQ(WinHttpRequest(server.BaseUrl() + "/"), "ok") << i;
    }
    EXPECT_EQ(server.Requests().size(), 3u);
    EXPECT_EQ(server.ConnectionCount(), 3);
  }
}

// A server may end all its idle connections at once (its keep-alive time
// ran out) with the client none the wiser until it uses them: more dead
// connections than libcurl's own retries get through. The request then goes
// out on a new connection and is answered.
TEST(ConnectionReuse, ARequestOnKeptConnectionsTheServerDroppedGoesOutAgainOnANewOne) {
  std::atomic<int> lastDropped{0};  // connections up to this one answer nothing more
  RawRecorder server([&](const RecordedRequest& request) {
    if (request.connection <= lastDropped) {
      RawReply nothing;
      nothing.end = RawReply::End::kClose;
      return nothing;
    }
    RawReply reply = RawReply::Ok("page");
    reply.delay = 50ms;  // requests at once need connections of their own
    return reply;
  });
  const std::string url = server.BaseUrl() + "/s";
  constexpr int kKept = 10;
  ASSERT_EQ(FetchAtOnce(url, kKept), std::vector<Text>(kKept, "page"));
  ASSERT_EQ(server.ConnectionCount(), kKept);

  lastDropped = kKept;
  test::StopWatch watch;
  EXPECT_EQ(WinHttpRequest(url), "page");
  EXPECT_EQ(server.ConnectionCount(), kKept + 1);
  EXPECT_LT(watch.Elapsed(), 5s);

  // When no connection is answered, new ones included, the request fails
  // once a new connection has failed too: one new connection, not more.
  lastDropped = 1 << 30;
  EXPECT_EQ(WinHttpRequest(url), "");
  EXPECT_EQ(server.ConnectionCount(), kKept + 2);
}

TEST(PrepareConnections, OpensOnlyTheConnectionsThatAreMissing) {
  StandInServer server(test::TrustTestCa());
  test::AddHttpTestRoutes(server);
  ASSERT_TRUE(server.Start());
  const std::string base = server.BaseUrl();
  auto settle = [&](int requests) {
    EXPECT_TRUE(WaitUntil([&] { return server.RequestCount() >= requests; }));
    std::this_thread::sleep_for(300ms);  // the answers arrive, nothing more goes out
    EXPECT_EQ(server.RequestCount(), requests);
  };

  PrepareConnections(base, 3);
  settle(3);
  EXPECT_EQ(server.ConnectionCount(), 3);
  // Three requests at once find them ready.
  EXPECT_EQ(FetchAtOnce(base + "/slow?ms=50", 3), std::vector<Text>(3, "slow"));
  EXPECT_EQ(server.ConnectionCount(), 3);
  settle(6);

  // Ready already: nothing is sent. Two more: two are opened.
  PrepareConnections(base + "/any/path?q=1", 3);
  settle(6);
  PrepareConnections(base, 5);
  settle(8);
  EXPECT_EQ(server.ConnectionCount(), 5);

  // Nothing to do.
  PrepareConnections(base, 0);
  PrepareConnections("https://", 2);
  PrepareConnections("", 2);
  settle(8);
}

TEST(PrepareConnections, CountsNoConnectionTheServerHasClosed) {
  RawRecorder server([](const RecordedRequest& request) {
    RawReply reply = RawReply::Response("HTTP/1.1 200 OK", {}, "");
    // A HEAD answer carries no body, whatever its Content-Length says.
    reply.bytes = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n";
    reply.end = request.RequestLine().starts_with("HEAD") ? RawReply::End::kClose
                                                          : RawReply::End::kKeepOpen;
    return reply;
  });
  PrepareConnections(server.BaseUrl(), 2);
  ASSERT_TRUE(WaitUntil([&] { return server.Requests().size() == 2; }));
  std::this_thread::sleep_for(100ms);  // the server closes both
  PrepareConnections(server.BaseUrl(), 2);
  ASSERT_TRUE(WaitUntil([&] { return server.Requests().size() == 4; }));
  EXPECT_EQ(server.ConnectionCount(), 4);
  for (const RecordedRequest& request : server.Requests()) {
    EXPECT_EQ(request.RequestLine(), "HEAD / HTTP/1.1");
    EXPECT_EQ(request.Header("Host"), "127.0.0.1:" + std::to_string(server.Port()));
  }
}

}  // namespace
}  // namespace qa
