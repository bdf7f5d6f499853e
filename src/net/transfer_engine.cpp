// One libcurl multi handle, driven by one thread, carries every transfer of
// the process. Its connection cache lets later transfers to the same server
// reuse a connection (TCP and TLS set-up paid once); libcurl supports a
// connection cache only when one thread drives it. Callers hand their
// configured easy handle over and wait until the transfer is over.
#include "net/transfer_engine.h"

#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <list>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "net/curl_handle.h"

namespace qa::curl {

struct ServerConnections {
  std::set<curl_socket_t> open;  // sockets opened and not closed yet
  int busy = 0;                  // transfers in the multi handle
};

namespace {

struct MultiDeleter {
  void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
using MultiHandle = std::unique_ptr<CURLM, MultiDeleter>;

using Clock = std::chrono::steady_clock;

// Longest wait between two looks at the transfers under way; sooner when one
// of them asks for it (NextCheck).
constexpr int kBusyWaitMs = 1000;
// With nothing under way the thread sleeps until it is woken.
constexpr int kIdleWaitMs = 3600 * 1000;
// Idle connections kept open for reuse, over all servers. (libcurl would
// keep four per transfer under way, and close the rest as transfers end.) An
// idle connection is not reused after 118 s, libcurl's default.
constexpr long kKeptConnections = 32;

// The servers' records. Made before the engine, so gone only after it:
// sockets closed while the engine shuts down still find theirs. Records are
// never removed, so references to them stay valid.
struct ServerRegistry {
  std::mutex mutex;  // guards the map and every record
  std::map<std::string, std::unique_ptr<ServerConnections>> servers;
};

ServerRegistry& Registry() {
  static ServerRegistry registry;
  return registry;
}

curl_socket_t OpenSocket(void* user, curlsocktype purpose, curl_sockaddr* address) noexcept {
  const curl_socket_t fd =
      ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
  if (fd == CURL_SOCKET_BAD || purpose != CURLSOCKTYPE_IPCXN) return fd;
  try {
    std::lock_guard lock(Registry().mutex);
    static_cast<ServerConnections*>(user)->open.insert(fd);
  } catch (...) {
    ::close(fd);
    return CURL_SOCKET_BAD;
  }
  return fd;
}

int CloseSocket(void* user, curl_socket_t fd) noexcept {
  {
    std::lock_guard lock(Registry().mutex);
    static_cast<ServerConnections*>(user)->open.erase(fd);
  }
  return ::close(fd);
}

// Connections to the server that are open, not in use and not closed by the
// server. An idle HTTP connection has nothing to read: one that does has been
// closed (or broken) by the server.
int SpareConnections(ServerConnections& server) {
  std::lock_guard lock(Registry().mutex);
  int alive = 0;
  for (curl_socket_t fd : server.open) {
    pollfd probe{fd, POLLIN, 0};
    if (::poll(&probe, 1, 0) == 0) ++alive;
  }
  return alive - server.busy;
}

class TransferEngine {
 public:
  TransferEngine() {
    // The cookie store and the servers' records must outlive this object:
    // make them first.
    SharedCookieStore();
    Registry();
    multi_.reset(curl_multi_init());
    if (!multi_) return;
    curl_multi_setopt(multi_.get(), CURLMOPT_MAXCONNECTS, kKeptConnections);
    curl_multi_setopt(multi_.get(), CURLMOPT_PIPELINING, static_cast<long>(CURLPIPE_NOTHING));
    thread_ = std::thread([this] { Loop(); });
    pthread_setname_np(thread_.native_handle(), "qa-transfers");
  }

  ~TransferEngine() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    Wake();
    if (thread_.joinable()) thread_.join();
  }

  TransferEngine(const TransferEngine&) = delete;
  TransferEngine& operator=(const TransferEngine&) = delete;

  CURLcode Run(CURL* easy, const std::shared_ptr<TransferCancelToken::State>& cancel,
               ServerConnections& server, NextCheck nextCheck) {
    if (!multi_) return CURLE_FAILED_INIT;
    Job job;
    job.easy = easy;
    job.cancel = cancel;
    job.server = &server;
    job.nextCheck = std::move(nextCheck);
    std::unique_lock lock(mutex_);
    if (stopping_ || IsCancelled(cancel)) return CURLE_ABORTED_BY_CALLBACK;
    job.generation = generation_;
    incoming_.push_back(&job);
    lock.unlock();
    Wake();
    lock.lock();
    WaitUntil(lock, job.finished, [&] { return job.done; });
    return job.result;
  }

  void KeepReady(ServerConnections& server, int count, DetachedTransferMaker make) {
    if (!multi_ || count < 1) return;
    {
      std::lock_guard lock(mutex_);
      if (stopping_) return;
      preparations_.push_back({&server, count, std::move(make)});
    }
    Wake();
  }

  void Wake() {
    if (multi_) curl_multi_wakeup(multi_.get());
  }

  void AbortAll() {
    {
      std::lock_guard lock(mutex_);
      ++generation_;
    }
    Wake();
  }

 private:
  struct Job {
    CURL* easy = nullptr;
    std::shared_ptr<TransferCancelToken::State> cancel;
    ServerConnections* server = nullptr;
    NextCheck nextCheck;                // may be empty
    unsigned long long generation = 0;  // of AbortAll calls, when it was handed over
    // A transfer nobody waits for, owned here.
    std::unique_ptr<DetachedTransfer> detached;
    // Set by the engine thread under mutex_.
    bool done = false;
    CURLcode result = CURLE_OK;
    std::condition_variable finished;
  };

  struct Preparation {
    ServerConnections* server;
    int count;
    DetachedTransferMaker make;
  };

  // The engine thread's own state.
  struct Transfers {
    std::vector<Job*> active;                  // in the multi handle
    std::list<std::unique_ptr<Job>> detached;  // owned detached jobs
  };

  void Add(Transfers& transfers, Job* job) {
    if (curl_easy_setopt(job->easy, CURLOPT_PRIVATE, job) != CURLE_OK ||
        curl_multi_add_handle(multi_.get(), job->easy) != CURLM_OK) {
      Finish(transfers, job, CURLE_OUT_OF_MEMORY);
      return;
    }
    {
      std::lock_guard lock(Registry().mutex);
      ++job->server->busy;
    }
    transfers.active.push_back(job);
  }

  void Remove(Job* job) {
    curl_multi_remove_handle(multi_.get(), job->easy);
    std::lock_guard lock(Registry().mutex);
    --job->server->busy;
  }

  // Hands the result to the waiting caller, whose job may vanish as soon as
  // the lock is released, or drops a detached job.
  void Finish(Transfers& transfers, Job* job, CURLcode result) {
    if (job->detached) {
      transfers.detached.remove_if(
          [job](const std::unique_ptr<Job>& owned) { return owned.get() == job; });
      return;
    }
    std::lock_guard lock(mutex_);
    job->result = result;
    job->done = true;
    job->finished.notify_one();
  }

  void Prepare(Transfers& transfers, const Preparation& preparation,
               unsigned long long generation) {
    for (int n = SpareConnections(*preparation.server); n < preparation.count; ++n) {
      auto job = std::make_unique<Job>();
      job->detached = preparation.make();
      job->easy = job->detached ? job->detached->Easy() : nullptr;
      if (!job->easy) return;
      job->server = preparation.server;
      job->generation = generation;
      Job* added = transfers.detached.emplace_back(std::move(job)).get();
      Add(transfers, added);
    }
  }

  void Loop() {
    Transfers transfers;
    for (;;) {
      std::vector<Job*> arrived;
      std::vector<Preparation> preparations;
      unsigned long long generation = 0;
      bool stopping = false;
      {
        std::lock_guard lock(mutex_);
        arrived.swap(incoming_);
        preparations.swap(preparations_);
        generation = generation_;
        stopping = stopping_;
      }
      for (Job* job : arrived) Add(transfers, job);
      std::erase_if(transfers.active, [&](Job* job) {
        if (!stopping && job->generation == generation && !IsCancelled(job->cancel)) return false;
        Remove(job);
        Finish(transfers, job, CURLE_ABORTED_BY_CALLBACK);
        return true;
      });
      if (stopping) return;
      for (const Preparation& preparation : preparations) {
        Prepare(transfers, preparation, generation);
      }

      int running = 0;
      curl_multi_perform(multi_.get(), &running);
      int left = 0;
      while (CURLMsg* message = curl_multi_info_read(multi_.get(), &left)) {
        if (message->msg != CURLMSG_DONE) continue;
        const CURLcode result = message->data.result;
        Job* job = nullptr;
        curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &job);
        Remove(job);
        std::erase(transfers.active, job);
        Finish(transfers, job, result);
      }
      curl_multi_poll(multi_.get(), nullptr, 0, WaitMs(transfers), nullptr);
    }
  }

  // How long to sleep when no socket and no libcurl timer needs attention.
  static int WaitMs(const Transfers& transfers) {
    if (transfers.active.empty()) return kIdleWaitMs;
    auto wake = Clock::now() + std::chrono::milliseconds(kBusyWaitMs);
    for (const Job* job : transfers.active) {
      if (job->nextCheck) wake = std::min(wake, job->nextCheck());
    }
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(wake - Clock::now());
    return static_cast<int>(std::clamp<long long>(wait.count(), 0, kBusyWaitMs));
  }

  MultiHandle multi_;
  std::mutex mutex_;
  std::vector<Job*> incoming_;             // guarded by mutex_
  std::vector<Preparation> preparations_;  // guarded by mutex_
  unsigned long long generation_ = 0;      // guarded by mutex_
  bool stopping_ = false;                  // guarded by mutex_
  std::thread thread_;
};

TransferEngine& Engine() {
  static TransferEngine engine;
  return engine;
}

}  // namespace

ServerConnections& ConnectionsTo(const std::string& key) {
  ServerRegistry& registry = Registry();
  std::lock_guard lock(registry.mutex);
  auto& record = registry.servers[key];
  if (!record) record = std::make_unique<ServerConnections>();
  return *record;
}

bool TrackConnections(CURL* easy, ServerConnections& server) {
  return curl_easy_setopt(easy, CURLOPT_OPENSOCKETFUNCTION, &OpenSocket) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_OPENSOCKETDATA, &server) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_CLOSESOCKETFUNCTION, &CloseSocket) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_CLOSESOCKETDATA, &server) == CURLE_OK;
}

CURLcode RunTransfer(CURL* easy, const std::shared_ptr<TransferCancelToken::State>& cancel,
                     ServerConnections& server, NextCheck nextCheck) {
  return Engine().Run(easy, cancel, server, std::move(nextCheck));
}

void KeepConnectionsReady(ServerConnections& server, int count, DetachedTransferMaker make) {
  Engine().KeepReady(server, count, std::move(make));
}

void WakeTransfers() {
  Engine().Wake();
}

void AbortTransfersNow() {
  Engine().AbortAll();
}

}  // namespace qa::curl
