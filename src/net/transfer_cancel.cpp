// Cancel tokens and scopes: which transfers end early, and when.
#include <atomic>
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

void AbortAllTransfers() {
  curl::AbortTransfersNow();
}

namespace curl {

const std::shared_ptr<TransferCancelToken::State>& CurrentCancelToken() {
  return currentToken;
}

bool IsCancelled(const std::shared_ptr<TransferCancelToken::State>& state) {
  return state && state->cancelled;
}

}  // namespace curl

}  // namespace qa
