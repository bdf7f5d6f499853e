// A small HTTP server on plain POSIX sockets that records every request
// exactly as its bytes arrived (request line, header block, body) and answers
// with scripted bytes. For asserting what a client sends, for faults a real
// server does not make (no answer, a stall, a connection reset mid-body,
// malformed or oversized header blocks) and as a stand-in proxy.
//
// A request ends after its empty line and as many body bytes as its
// Content-Length says. Connections stay open for further requests unless the
// reply ends them.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace qa::test {

struct RecordedRequest {
  std::string head;  // request line and header lines with their CRLFs, and the empty line
  std::string body;
  int connection = 0;  // 1 for the first accepted connection, and so on

  std::string RequestLine() const;
  // The header lines in order, without CRLF.
  std::vector<std::string> HeaderLines() const;
  // The value (trimmed) of the first header line of that name, compared
  // ignoring case; empty when there is none.
  std::string Header(std::string_view name) const;
  // How many header lines carry that name.
  int HeaderCount(std::string_view name) const;
};

struct RawReply {
  enum class End {
    kKeepOpen,  // wait for the next request on the connection
    kClose,     // close the connection (orderly)
    kReset,     // reset the connection (RST)
    kStall,     // say nothing more and keep the connection until the recorder stops
  };

  std::chrono::milliseconds delay{0};  // before the first byte
  std::string bytes;
  std::chrono::milliseconds pauseBeforeEnd{0};  // after the bytes, before the end
  End end = End::kKeepOpen;

  // A complete response: status line ("HTTP/1.1 200 OK"), header lines
  // (each without CRLF), then Content-Length of the body unless a header line
  // gives the length itself, the empty line and the body.
  static RawReply Response(std::string_view statusLine, const std::vector<std::string>& headers,
                           std::string_view body);
  static RawReply Ok(std::string_view body) { return Response("HTTP/1.1 200 OK", {}, body); }
};

using RawResponder = std::function<RawReply(const RecordedRequest&)>;

class RawRecorder {
 public:
  // Listens on 127.0.0.1 and an ephemeral port. Without a responder every
  // request is answered with 200 OK and the body "ok".
  explicit RawRecorder(RawResponder responder = {});
  ~RawRecorder();  // closes every connection and waits for its threads
  RawRecorder(const RawRecorder&) = delete;
  RawRecorder& operator=(const RawRecorder&) = delete;

  bool Ok() const { return port_ > 0; }
  int Port() const { return port_; }
  std::string BaseUrl() const { return "http://127.0.0.1:" + std::to_string(port_); }
  // "127.0.0.1:<port>", for use as a proxy.
  std::string HostAndPort() const { return "127.0.0.1:" + std::to_string(port_); }

  // Every request so far, in arrival order.
  std::vector<RecordedRequest> Requests() const;
  // The last request; an empty one when none came.
  RecordedRequest LastRequest() const;
  int ConnectionCount() const { return connections_; }

 private:
  void AcceptLoop();
  void Serve(int fd, int connection);
  bool Stopping() const { return stopping_; }

  RawResponder responder_;
  int listenFd_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> connections_{0};
  mutable std::mutex mutex_;
  std::vector<RecordedRequest> requests_;  // guarded by mutex_
  std::vector<std::thread> workers_;       // touched by the accept thread, then the destructor
  std::thread acceptThread_;
};

// A port on 127.0.0.1 with nothing listening (connections are refused).
int UnusedPort();

}  // namespace qa::test
