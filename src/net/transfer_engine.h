// Drives libcurl transfers to their end on one thread (named "qa-transfers"),
// keeps the connections they leave open for later transfers, and ends
// transfers early when they are cancelled. Only the transport includes this
// header.
#pragma once

#include <curl/curl.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "net/http_transport.h"

namespace qa::curl {

// The connections to one server (scheme, host, port and proxy) that the
// engine knows of. Lives as long as the process.
struct ServerConnections;

// The record of the server `key`, made on first use.
ServerConnections& ConnectionsTo(const std::string& key);

// Lets `easy` open and close its sockets through the record of its server,
// so that the engine knows which connections to it are open.
bool TrackConnections(CURL* easy, ServerConnections& server);

// When the transfer's progress callback must run next, because its silence
// limit ends then if nothing happens; asked on the engine's thread, the one
// its callbacks run on.
using NextCheck = std::function<std::chrono::steady_clock::time_point()>;

// Runs the configured easy handle, whose server is `server`, until its
// transfer is over and returns libcurl's result: CURLE_ABORTED_BY_CALLBACK
// when `cancel` (may be null) or AbortAllTransfers() ended it first, or when
// `cancel` was cancelled already.
CURLcode RunTransfer(CURL* easy, const std::shared_ptr<TransferCancelToken::State>& cancel,
                     ServerConnections& server, NextCheck nextCheck);

// A transfer nobody waits for: the engine owns it and drops it when it ends.
class DetachedTransfer {
 public:
  virtual ~DetachedTransfer() = default;
  // The configured handle; null when it could not be configured.
  virtual CURL* Easy() = 0;
};
using DetachedTransferMaker = std::function<std::unique_ptr<DetachedTransfer>()>;

// Sees to it, without waiting, that `count` connections to `server` are
// open and free: counts those that are open, idle and not closed by the
// server, and runs one transfer made by `make` on a new connection for each
// one missing.
void KeepConnectionsReady(ServerConnections& server, int count, DetachedTransferMaker make);

// Makes every transfer under way look at its cancel token again.
void WakeTransfers();

// Ends every transfer under way or waiting.
void AbortTransfersNow();

// Waits on `lock` until `done` holds, the way the innermost TransferWaitScope
// of this thread asks: calling its hook every kWaitHookInterval with the lock
// released, or, without a scope, just sleeping until `changed` is notified.
constexpr std::chrono::milliseconds kWaitHookInterval{5};
void WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& changed,
               const std::function<bool()>& done);

// The token of the innermost TransferCancelScope of this thread; null when
// there is none.
const std::shared_ptr<TransferCancelToken::State>& CurrentCancelToken();
bool IsCancelled(const std::shared_ptr<TransferCancelToken::State>& state);

}  // namespace qa::curl
