// Tolerant URL dissection: only "http://" and "https://" are known, a URL
// without a scheme is an http URL, and the host ends at the first slash.
#pragma once

#include <string_view>

#include "text/text.h"

namespace qa {

// The host in lower case, with ":port" when `keepPort` and the URL has one.
Text UrlHost(std::string_view url, bool keepPort = false);
// The port: the one written in the URL, else 443 for https and 80 otherwise.
int UrlPort(std::string_view url);
// The path with its query, in the URL's own case, always beginning with "/".
Text UrlPath(std::string_view url);

}  // namespace qa
