#include "raw_recorder.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace qa::test {

namespace {

constexpr int kPollMs = 20;

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char a = text[i], b = prefix[i];
    if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
    if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
    if (a != b) return false;
  }
  return true;
}

std::string Trim(std::string_view text) {
  std::size_t start = text.find_first_not_of(" \t");
  if (start == std::string_view::npos) return {};
  std::size_t end = text.find_last_not_of(" \t");
  return std::string(text.substr(start, end - start + 1));
}

// The value of a "Name: value" line when the line carries that name.
bool HeaderValue(std::string_view line, std::string_view name, std::string& value) {
  if (line.size() <= name.size() || line[name.size()] != ':' || !StartsWithIgnoreCase(line, name)) {
    return false;
  }
  value = Trim(line.substr(name.size() + 1));
  return true;
}

bool SendAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

}  // namespace

std::string RecordedRequest::RequestLine() const {
  return head.substr(0, head.find("\r\n"));
}

std::vector<std::string> RecordedRequest::HeaderLines() const {
  std::vector<std::string> lines;
  std::size_t pos = head.find("\r\n");
  while (pos != std::string::npos) {
    std::size_t start = pos + 2;
    pos = head.find("\r\n", start);
    if (pos == std::string::npos || pos == start) break;
    lines.push_back(head.substr(start, pos - start));
  }
  return lines;
}

std::string RecordedRequest::Header(std::string_view name) const {
  std::string value;
  for (const std::string& line : HeaderLines()) {
    if (HeaderValue(line, name, value)) return value;
  }
  return {};
}

int RecordedRequest::HeaderCount(std::string_view name) const {
  int count = 0;
  std::string value;
  for (const std::string& line : HeaderLines()) count += HeaderValue(line, name, value) ? 1 : 0;
  return count;
}

RawReply RawReply::Response(std::string_view statusLine, const std::vector<std::string>& headers,
                            std::string_view body) {
  RawReply reply;
  reply.bytes.append(statusLine).append("\r\n");
  bool lengthGiven = false;
  for (const std::string& line : headers) {
    reply.bytes.append(line).append("\r\n");
    lengthGiven = lengthGiven || StartsWithIgnoreCase(line, "content-length:") ||
                  StartsWithIgnoreCase(line, "transfer-encoding:");
  }
  if (!lengthGiven) reply.bytes.append("Content-Length: " + std::to_string(body.size()) + "\r\n");
  reply.bytes.append("\r\n").append(body);
  return reply;
}

RawRecorder::RawRecorder(RawResponder responder)
    : responder_(responder ? std::move(responder) : RawResponder([](const RecordedRequest&) {
        return RawReply::Ok("ok");
      })) {
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listenFd_ < 0) return;
  int on = 1;
  ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listenFd_, 128) != 0 ||
      ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(listenFd_);
    listenFd_ = -1;
    return;
  }
  port_ = ntohs(address.sin_port);
  acceptThread_ = std::thread([this] { AcceptLoop(); });
}

RawRecorder::~RawRecorder() {
  stopping_ = true;
  if (acceptThread_.joinable()) acceptThread_.join();
  for (std::thread& worker : workers_) worker.join();
  if (listenFd_ >= 0) ::close(listenFd_);
}

std::vector<RecordedRequest> RawRecorder::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

RecordedRequest RawRecorder::LastRequest() const {
  std::lock_guard lock(mutex_);
  return requests_.empty() ? RecordedRequest{} : requests_.back();
}

void RawRecorder::AcceptLoop() {
  while (!Stopping()) {
    pollfd waiting{listenFd_, POLLIN, 0};
    if (::poll(&waiting, 1, kPollMs) <= 0) continue;
    int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    int connection = ++connections_;
    workers_.emplace_back([this, fd, connection] { Serve(fd, connection); });
  }
}

void RawRecorder::Serve(int fd, int connection) {
  auto waitUnlessStopping = [this](std::chrono::milliseconds duration) {
    auto until = std::chrono::steady_clock::now() + duration;
    while (!Stopping() && std::chrono::steady_clock::now() < until) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return !Stopping();
  };
  // Reads until `buffer` holds `needed` bytes; false at the end of the stream
  // or when the recorder stops.
  std::string buffer;
  auto readMore = [&]() {
    while (!Stopping()) {
      pollfd waiting{fd, POLLIN, 0};
      int ready = ::poll(&waiting, 1, kPollMs);
      if (ready < 0) return false;
      if (ready == 0) continue;
      char chunk[16384];
      ssize_t got = ::recv(fd, chunk, sizeof chunk, 0);
      if (got <= 0) return false;
      buffer.append(chunk, static_cast<std::size_t>(got));
      return true;
    }
    return false;
  };

  bool open = true;
  while (open && !Stopping()) {
    std::size_t headEnd;
    while ((headEnd = buffer.find("\r\n\r\n")) == std::string::npos) {
      if (!readMore()) {
        ::close(fd);
        return;
      }
    }
    RecordedRequest request;
    request.connection = connection;
    request.head = buffer.substr(0, headEnd + 4);
    buffer.erase(0, headEnd + 4);
    std::size_t bodyLength = std::strtoul(request.Header("Content-Length").c_str(), nullptr, 10);
    while (buffer.size() < bodyLength) {
      if (!readMore()) {
        ::close(fd);
        return;
      }
    }
    request.body = buffer.substr(0, bodyLength);
    buffer.erase(0, bodyLength);
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(request);
    }

    RawReply reply = responder_(request);
    if (!waitUnlessStopping(reply.delay) || !SendAll(fd, reply.bytes) ||
        !waitUnlessStopping(reply.pauseBeforeEnd)) {
      break;
    }
    switch (reply.end) {
      case RawReply::End::kKeepOpen:
        break;
      case RawReply::End::kClose:
        open = false;
        break;
      case RawReply::End::kReset: {
        linger abortive{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
        open = false;
        break;
      }
      case RawReply::End::kStall:
        waitUnlessStopping(std::chrono::hours(1));
        open = false;
        break;
    }
  }
  ::close(fd);
}

int UnusedPort() {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return 0;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  int port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  ::close(fd);
  return port;
}

}  // namespace qa::test
