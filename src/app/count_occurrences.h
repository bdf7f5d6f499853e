#pragma once

#include <string_view>

#include "text/text.h"

namespace qa {

// How often `option` occurs in `page`: matches are counted without overlap,
// left to right, only at character starts, ignoring the case of ASCII letters.
// An empty option occurs 0 times.
int CountOccurrences(std::string_view page, std::string_view option);

}  // namespace qa
