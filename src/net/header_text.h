// Small routines for picking values out of header lines and for turning a
// UTF-8 reply body into the program's GBK text.
#pragma once

#include <string_view>

#include "text/text.h"

namespace qa {

// The text between the first `startMarker` at or after `startPos` and the next
// `endMarker` after it; empty when either is missing. The marker word "#引号"
// in a marker stands for one double quote.
Text TextBetween(std::string_view source, std::string_view startMarker,
                 std::string_view endMarker, int startPos = 1, bool ignoreCase = false);

// Everything after the first ":" with spaces trimmed; empty without a colon.
Text ValueAfterColon(std::string_view text);

// The UTF-8 body as GBK text: malformed UTF-8 becomes U+FFFD, characters GBK
// lacks become "?", and the text ends before the first NUL.
Text Utf8BodyToText(const Bytes& body);
Text Utf8BodyToText(std::string_view body);

}  // namespace qa
