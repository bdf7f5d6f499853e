// A local HTTP or HTTPS server for tests, on 127.0.0.1 and an ephemeral port,
// built on cpp-httplib. Register handlers with Routes(), then Start().
//
// It can make the network look slow: a delay before each request is answered
// and a delay before each new connection is served (TLS handshake included),
// and it counts both. Handlers that must wait (slow or stalled answers) wait
// with Pause(), which ends early when the server stops, so Stop() never hangs.
//
// The pre-routing handler of Routes() belongs to the server (delays and
// counts); do not replace it. Requests with form-encoded bodies over 8 KiB are
// refused by the packaged cpp-httplib: read large uploads with a
// ContentReader handler.
#pragma once

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace qa::test {

class TestCa;

class StandInServer {
 public:
  // Plain HTTP.
  StandInServer();
  // HTTPS with the server certificate of `ca` (for 127.0.0.1 and localhost).
  explicit StandInServer(const TestCa& ca);
  ~StandInServer();  // Stop()
  StandInServer(const StandInServer&) = delete;
  StandInServer& operator=(const StandInServer&) = delete;

  // Where handlers are registered, before Start().
  httplib::Server& Routes() { return *server_; }

  // Binds 127.0.0.1 on an ephemeral port and serves on a thread of its own.
  // False when it could not.
  bool Start();
  // Stops serving and waits for the handlers to finish; idempotent.
  void Stop();

  int Port() const { return port_; }
  bool Https() const { return https_; }
  // "http://127.0.0.1:<port>" or "https://127.0.0.1:<port>".
  std::string BaseUrl() const;

  // Waited before each request is handed to its handler.
  void SetRequestDelay(std::chrono::milliseconds delay) { requestDelayMs_ = delay.count(); }
  // Waited once per accepted connection, before anything is read from it.
  void SetNewConnectionDelay(std::chrono::milliseconds delay) {
    connectionDelayMs_ = delay.count();
  }
  int RequestCount() const { return requests_; }
  int ConnectionCount() const { return connections_; }

  // Waits `duration` or until the server stops; false when it stopped.
  bool Pause(std::chrono::milliseconds duration) const;

 private:
  class CountingQueue;

  void Prepare();

  bool https_ = false;
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  int port_ = 0;
  std::atomic<long long> requestDelayMs_{0};
  std::atomic<long long> connectionDelayMs_{0};
  std::atomic<int> requests_{0};
  std::atomic<int> connections_{0};
  mutable std::mutex stopMutex_;
  mutable std::condition_variable stopSignal_;
  bool stopping_ = false;  // guarded by stopMutex_
};

}  // namespace qa::test
