// Drives libcurl transfers to their end and ends them early when they are
// cancelled. Only the transport includes this header.
#pragma once

#include <curl/curl.h>

#include <memory>

#include "net/http_transport.h"

namespace qa::curl {

// Runs the configured easy handle until its transfer is over and returns
// libcurl's result; CURLE_ABORTED_BY_CALLBACK when `cancel` (may be null) or
// AbortAllTransfers() ended it first, or when `cancel` was cancelled already.
CURLcode RunTransfer(CURL* easy, const std::shared_ptr<TransferCancelToken::State>& cancel);

// Makes every transfer under way look at its cancel token again.
void WakeTransfers();

// Ends every transfer under way or waiting.
void AbortTransfersNow();

// The token of the innermost TransferCancelScope of this thread; null when
// there is none.
const std::shared_ptr<TransferCancelToken::State>& CurrentCancelToken();
bool IsCancelled(const std::shared_ptr<TransferCancelToken::State>& state);

}  // namespace qa::curl
