#pragma once

#include <string_view>

#include "text/text.h"

namespace qa {

// Percent-encodes the text (as UTF-8 when `useUtf8`, else its GBK bytes).
// With `keepSafeChars` the bytes - . 0-9 A-Z a-z stay as they are; every other
// byte becomes "%" and two uppercase hex digits. Space is %20, never "+".
Text UrlEncode(std::string_view text, bool keepSafeChars = true, bool useUtf8 = true);

}  // namespace qa
