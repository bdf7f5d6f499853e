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

// The system's hashed CA certificate directory, from which OpenSSL reads the
// issuers it needs one by one; loading the whole bundle file instead costs
// some 20 ms of CPU per connection. Empty when there is none (libcurl's
// default bundle file serves then).
const std::string& SystemCaDirectory();

// The PEM text to trust in addition to the system store when extra CA
// certificates were added: the extra ones, preceded by the system bundle when
// there is no system directory (the text replaces the default bundle file).
// Null when nothing was added.
std::shared_ptr<const std::string> ExtraTrustedCas();

}  // namespace qa::curl
