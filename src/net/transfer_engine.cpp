// Each transfer runs on its calling thread in a multi handle of its own, so
// that a cancellation can wake it up at once from another thread.
#include "net/transfer_engine.h"

#include <atomic>
#include <mutex>
#include <set>

namespace qa::curl {

namespace {

struct MultiDeleter {
  void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
using MultiHandle = std::unique_ptr<CURLM, MultiDeleter>;

// Longest wait between two looks at the transfer: the progress callback, which
// enforces the phase time-outs, runs at least this often.
constexpr int kLongestWaitMs = 1000;

std::mutex registryMutex;
std::set<CURLM*> waiting;  // multi handles of transfers under way; guarded by registryMutex
std::atomic<unsigned long long> abortGeneration{0};

}  // namespace

CURLcode RunTransfer(CURL* easy, const std::shared_ptr<TransferCancelToken::State>& cancel) {
  if (IsCancelled(cancel)) return CURLE_ABORTED_BY_CALLBACK;
  MultiHandle multi(curl_multi_init());
  if (!multi || curl_multi_add_handle(multi.get(), easy) != CURLM_OK) return CURLE_OUT_OF_MEMORY;
  const unsigned long long generation = abortGeneration;
  {
    std::lock_guard lock(registryMutex);
    waiting.insert(multi.get());
  }
  CURLcode result = CURLE_ABORTED_BY_CALLBACK;
  for (;;) {
    if (IsCancelled(cancel) || abortGeneration != generation) break;
    int running = 0;
    curl_multi_perform(multi.get(), &running);
    int left = 0;
    bool done = false;
    while (CURLMsg* message = curl_multi_info_read(multi.get(), &left)) {
      if (message->msg == CURLMSG_DONE) {
        result = message->data.result;
        done = true;
      }
    }
    if (done) break;
    curl_multi_poll(multi.get(), nullptr, 0, kLongestWaitMs, nullptr);
  }
  {
    std::lock_guard lock(registryMutex);
    waiting.erase(multi.get());
  }
  curl_multi_remove_handle(multi.get(), easy);
  return result;
}

void WakeTransfers() {
  std::lock_guard lock(registryMutex);
  for (CURLM* multi : waiting) curl_multi_wakeup(multi);
}

void AbortTransfersNow() {
  ++abortGeneration;
  WakeTransfers();
}

}  // namespace qa::curl
