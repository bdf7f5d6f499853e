#pragma once

#include <string_view>

#include "text/text.h"

namespace qa {

// The display form of one recognised line: backquotes become double quotes,
// "~" becomes the opening and closing full-width quote in turn, "%n" and "%N"
// become one and two line breaks, and the first of the value escapes "%s",
// "%d", "%f", "%t" and "%T" becomes "(空)" (quoted for t and T). Only
// single-byte characters are touched; double-byte characters pass unchanged.
Text FormatText(std::string_view line);

}  // namespace qa
