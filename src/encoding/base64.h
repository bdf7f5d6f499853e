#pragma once

#include <string_view>

#include "text/text.h"

namespace qa {

// Standard Base64 (RFC 4648 alphabet, "=" padding) in one line.
Text Base64Encode(const Bytes& bytes);
Text Base64Encode(std::string_view bytes);

}  // namespace qa
