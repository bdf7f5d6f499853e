// The proxy text the two request operations hand to the Windows HTTP stacks,
// and the proxy it names for a request.
#pragma once

#include <string_view>

#include "text/text.h"

namespace qa {

// The proxy list for a request: `proxy` itself for an https URL, and
// "http=" followed by `proxy` for any other URL, so that for http URLs the
// proxy serves the http scheme only. Empty when `proxy` is empty.
Text ProxyListForUrl(std::string_view proxy, bool https);

// The proxy a list names for the scheme: entries are separated by spaces or
// ";"; "scheme=host:port" serves that scheme, a bare "host:port" every
// scheme; the first entry that serves the scheme wins. Empty when none does.
Text ProxyForScheme(std::string_view list, bool https);

}  // namespace qa
