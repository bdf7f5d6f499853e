// The script that every JsonDocument engine runs first: get__count, then the
// JSON support (see json_support.js). Built from that file, with CRLF line ends.
#pragma once

#include <string_view>

namespace qa {

std::string_view JsonSupportScript();

}  // namespace qa
