// Owners for libcurl handles, the one-time library set-up and the
// process-wide cookie store. Only the transport includes this header.
#pragma once

#include <curl/curl.h>

#include <memory>
#include <string>

namespace qa::curl {

struct EasyDeleter {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct SlistDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;
using HeaderList = std::unique_ptr<curl_slist, SlistDeleter>;

// Initialises libcurl once for the process, from whichever thread comes
// first; false when that failed (then no transfer can be made).
bool GlobalInit();

// The cookie store shared by every transfer that uses it. Locked per data
// kind, so transfers on several threads may use it at once. Null when it
// could not be made.
CURLSH* SharedCookieStore();

// The PEM bundle to verify servers against when extra CA certificates were
// added (system bundle followed by the extra ones); null for the system store
// alone.
std::shared_ptr<const std::string> TrustedCaBundle();

}  // namespace qa::curl
