// Cancel tokens and scopes (which transfers end early, and when), and wait
// scopes (what a thread does while it waits for its transfer).
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <utility>

#include "net/http_transport.h"
#include "net/transfer_engine.h"

namespace qa {

struct TransferCancelToken::State {
  std::atomic<bool> cancelled{false};
};

namespace {

// The token of the innermost scope alive on this thread.
thread_local std::shared_ptr<TransferCancelToken::State> currentToken;

// What the innermost wait scope of this thread asks for; empty: just wait.
thread_local std::function<void()> currentWaitHook;

}  // namespace

TransferCancelToken::TransferCancelToken() : state_(std::make_shared<State>()) {}

void TransferCancelToken::Cancel() const {
  if (!state_->cancelled.exchange(true)) curl::WakeTransfers();
}

bool TransferCancelToken::Cancelled() const {
  return state_->cancelled;
}

TransferCancelScope::TransferCancelScope(const TransferCancelToken& token)
    : previous_(std::exchange(currentToken, token.Shared())) {}

TransferCancelScope::~TransferCancelScope() {
  currentToken = std::move(previous_);
}

TransferWaitScope::TransferWaitScope(std::function<void()> whileWaiting)
    : previous_(std::exchange(currentWaitHook, std::move(whileWaiting))) {}

TransferWaitScope::~TransferWaitScope() {
  currentWaitHook = std::move(previous_);
}

void AbortAllTransfers() {
  curl::AbortTransfersNow();
}

namespace curl {

const std::shared_ptr<TransferCancelToken::State>& CurrentCancelToken() {
  return currentToken;
}

void WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& changed,
               const std::function<bool()>& done) {
  if (!currentWaitHook) {
    changed.wait(lock, done);
    return;
  }
  // Transfers started by the hook itself just wait: no nested hooks.
  struct Suspended {
    std::function<void()> hook = std::exchange(currentWaitHook, nullptr);
    ~Suspended() { currentWaitHook = std::move(hook); }
  } suspended;
  while (!changed.wait_for(lock, kWaitHookInterval, done)) {
    lock.unlock();
    suspended.hook();
    lock.lock();
  }
}

bool IsCancelled(const std::shared_ptr<TransferCancelToken::State>& state) {
  return state && state->cancelled;
}

}  // namespace curl

}  // namespace qa
