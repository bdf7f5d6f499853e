// The transport's own thread uses no processor time while nothing happens:
// neither when it is idle with connections kept open, nor while a transfer
// waits for a server that says nothing.
#include <dirent.h>
#include <gtest/gtest.h>

#include <fstream>
#include <future>
#include <sstream>
#include <thread>

#include "http_test_helpers.h"
#include "net/winhttp_request.h"
#include "raw_recorder.h"

namespace qa {
namespace {

using namespace std::chrono_literals;
using test::RawRecorder;
using test::RawReply;
using test::RecordedRequest;

// Time the thread named `name` has spent on a processor so far; -1 ns when
// there is no such thread.
std::chrono::nanoseconds ThreadRunTime(const std::string& name) {
  DIR* tasks = ::opendir("/proc/self/task");
  if (tasks == nullptr) return std::chrono::nanoseconds(-1);
  long long ns = -1;
  while (const dirent* entry = ::readdir(tasks)) {
    if (entry->d_name[0] == '.') continue;
    const std::string dir = std::string("/proc/self/task/") + entry->d_name;
    std::string comm;
    std::getline(std::ifstream(dir + "/comm"), comm);
    if (comm == name) std::ifstream(dir + "/schedstat") >> ns;
  }
  ::closedir(tasks);
  return std::chrono::nanoseconds(ns);
}

TEST(TransferEngine, SleepsWhileIdleOrWaiting) {
  RawRecorder server([](const RecordedRequest& request) {
    RawReply reply = RawReply::Ok("ok");
    if (request.RequestLine().starts_with("GET /stall")) {
      reply.bytes.clear();
      reply.end = RawReply::End::kStall;
    }
    return reply;
  });
  ASSERT_EQ(WinHttpRequest(server.BaseUrl() + "/"), "ok");  // a connection stays open
  // A loop that looked every millisecond would run for tens of milliseconds.
  constexpr auto kLimit = 5ms;

  const auto idleStart = ThreadRunTime("qa-transfers");
  ASSERT_GE(idleStart.count(), 0);
  std::this_thread::sleep_for(1s);
  EXPECT_LT(ThreadRunTime("qa-transfers") - idleStart, kLimit) << "idle";

  auto stalled = std::async(std::launch::async, [&] {
    return WinHttpRequest(server.BaseUrl() + "/stall", {.timeoutSeconds = 2});
  });
  std::this_thread::sleep_for(200ms);
  const auto waitStart = ThreadRunTime("qa-transfers");
  std::this_thread::sleep_for(1500ms);
  EXPECT_LT(ThreadRunTime("qa-transfers") - waitStart, kLimit) << "waiting";
  EXPECT_EQ(stalled.get(), "");
}

}  // namespace
}  // namespace qa
