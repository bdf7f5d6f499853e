// The stand-in server's own promises: counts, injected delays, a stop that
// does not wait for stalled handlers.
#include "stand_in_server.h"

#include <gtest/gtest.h>

#include "http_test_helpers.h"
#include "http_test_routes.h"
#include "net/winhttp_request.h"

namespace qa {
namespace {

using namespace std::chrono_literals;
using test::StandInServer;

TEST(StandInServer, CountsRequestsAndConnections) {
  StandInServer server;
  test::AddHttpTestRoutes(server);
  ASSERT_TRUE(server.Start());
  EXPECT_EQ(WinHttpRequest(server.BaseUrl() + "/hello", {.headers = "Connection: close"}), "hello");
  EXPECT_EQ(WinHttpRequest(server.BaseUrl() + "/redirect/2"), "final");
  EXPECT_EQ(server.RequestCount(), 4);
  // The first call ends its connection; the second opens one and its
  // redirect hops reuse it.
  EXPECT_EQ(server.ConnectionCount(), 2);
}

TEST(StandInServer, InjectedDelays) {
  StandInServer server(test::TrustTestCa());
  test::AddHttpTestRoutes(server);
  ASSERT_TRUE(server.Start());
  const std::string url = server.BaseUrl() + "/redirect/1";  // two requests on one connection

  server.SetRequestDelay(150ms);
  test::StopWatch perRequest;
  // Closed afterwards, so that the next call needs a new connection.
  EXPECT_EQ(WinHttpRequest(url, {.headers = "Connection: close"}), "final");
  EXPECT_GE(perRequest.Elapsed(), 300ms);

  server.SetRequestDelay(0ms);
  server.SetNewConnectionDelay(300ms);
  test::StopWatch perConnection;
  EXPECT_EQ(WinHttpRequest(url), "final");
  EXPECT_GE(perConnection.Elapsed(), 300ms);
  EXPECT_LT(perConnection.Elapsed(), 600ms + 1000ms);
}

TEST(StandInServer, StopEndsStalledHandlers) {
  StandInServer server;
  test::AddHttpTestRoutes(server);
  ASSERT_TRUE(server.Start());
  std::thread client([&] { WinHttpRequest(server.BaseUrl() + "/stall", {.timeoutSeconds = 30}); });
  while (server.RequestCount() == 0) std::this_thread::sleep_for(5ms);
  test::StopWatch watch;
  server.Stop();
  EXPECT_LT(watch.Elapsed(), 1000ms);
  client.join();
}

}  // namespace
}  // namespace qa
