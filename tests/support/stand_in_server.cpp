#include "stand_in_server.h"

#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdlib>

#include "test_ca.h"

namespace qa::test {

namespace {

constexpr std::size_t kWorkerThreads = 24;
constexpr int kBacklog = 128;

// cpp-httplib listens with a backlog of 5; its server socket is reachable
// from a derived class, so the backlog can be raised after binding.
template <class Base>
class WideBacklog : public Base {
 public:
  using Base::Base;
  void RaiseBacklog() { ::listen(this->svr_sock_, kBacklog); }
};

using PlainServer = WideBacklog<httplib::Server>;
using SecureServer = WideBacklog<httplib::SSLServer>;

// Shuts down the connections this process accepted on 127.0.0.1:`port`. A
// cpp-httplib worker that holds an idle keep-alive connection notices a stop
// only when its keep-alive time-out ends or the connection becomes readable;
// a client that keeps connections for reuse would make every Stop() wait out
// that time-out.
void ShutDownAcceptedConnections(int port) {
  DIR* fds = ::opendir("/proc/self/fd");
  if (fds == nullptr) return;
  while (const dirent* entry = ::readdir(fds)) {
    const int fd = std::atoi(entry->d_name);
    if (fd <= 2 || fd == ::dirfd(fds)) continue;
    sockaddr_in local{};
    socklen_t length = sizeof local;
    int listening = 0;
    socklen_t flagLength = sizeof listening;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0 ||
        local.sin_family != AF_INET || ntohs(local.sin_port) != port ||
        local.sin_addr.s_addr != htonl(INADDR_LOOPBACK) ||
        ::getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &flagLength) != 0 || listening) {
      continue;
    }
    ::shutdown(fd, SHUT_RDWR);
  }
  ::closedir(fds);
}

}  // namespace

// cpp-httplib hands every accepted connection to its task queue: counting
// and delaying there sees each new connection once.
class StandInServer::CountingQueue : public httplib::TaskQueue {
 public:
  explicit CountingQueue(StandInServer& owner) : owner_(owner), pool_(kWorkerThreads) {}

  void enqueue(std::function<void()> task) override {
    ++owner_.connections_;
    pool_.enqueue([this, task = std::move(task)] {
      owner_.Pause(std::chrono::milliseconds(owner_.connectionDelayMs_.load()));
      task();
    });
  }
  void shutdown() override { pool_.shutdown(); }

 private:
  StandInServer& owner_;
  httplib::ThreadPool pool_;
};

StandInServer::StandInServer() : server_(std::make_unique<PlainServer>()) {
  Prepare();
}

StandInServer::StandInServer(const TestCa& ca)
    : https_(true),
      server_(
          std::make_unique<SecureServer>(ca.ServerCertPath().c_str(), ca.ServerKeyPath().c_str())) {
  Prepare();
}

StandInServer::~StandInServer() {
  Stop();
}

void StandInServer::Prepare() {
  server_->set_tcp_nodelay(true);
  server_->set_keep_alive_timeout(2);
  server_->new_task_queue = [this] { return new CountingQueue(*this); };
  server_->set_pre_routing_handler([this](const httplib::Request&, httplib::Response&) {
    ++requests_;
    Pause(std::chrono::milliseconds(requestDelayMs_.load()));
    return httplib::Server::HandlerResponse::Unhandled;
  });
}

bool StandInServer::Start() {
  if (!server_->is_valid() || thread_.joinable()) return false;
  port_ = server_->bind_to_any_port("127.0.0.1");
  if (port_ <= 0) return false;
  if (https_) {
    static_cast<SecureServer&>(*server_).RaiseBacklog();
  } else {
    static_cast<PlainServer&>(*server_).RaiseBacklog();
  }
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  // Stop() can only end a server that is already listening.
  for (int i = 0; i < 5000 && !server_->is_running(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return server_->is_running();
}

void StandInServer::Stop() {
  {
    std::lock_guard lock(stopMutex_);
    stopping_ = true;
  }
  stopSignal_.notify_all();
  if (thread_.joinable()) {
    server_->stop();
    ShutDownAcceptedConnections(port_);
    thread_.join();
  }
}

std::string StandInServer::BaseUrl() const {
  return std::string(https_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_);
}

bool StandInServer::Pause(std::chrono::milliseconds duration) const {
  std::unique_lock lock(stopMutex_);
  return !stopSignal_.wait_for(lock, duration, [this] { return stopping_; });
}

}  // namespace qa::test
