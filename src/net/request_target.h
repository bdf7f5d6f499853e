// Turning a caller's URL into what goes on the request line.
#pragma once

#include <string_view>

#include "text/text.h"

namespace qa {

// The target with every byte that a request line cannot carry percent-encoded
// (%XX, capital hex): spaces, control characters, DEL and bytes from 0x80 up.
// Every other byte, "%" included, stays as it is.
Text EscapeRequestTarget(std::string_view target);

// A URL split the way the WinHTTP request operation needs it.
struct HttpUrlParts {
  bool https = false;
  Text host;      // as written, without user information and port
  int port = 80;  // the URL's own, else 80 or 443 by scheme
  Text object;    // path with query and fragment; "/" when the path is empty
};

// Splits "http://" or "https://" URLs (scheme in any case), with optional
// user information, host, optional port, path, query and fragment. When the
// path is empty the object is "/" alone, even if a query follows the host.
// False for an empty URL, another or no scheme, an empty host, or a port that
// is not a number from 1 to 65535.
bool CrackHttpUrl(std::string_view url, HttpUrlParts& parts);

}  // namespace qa
