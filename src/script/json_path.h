// Paths into a JsonDocument, read into the chain of member keys below the root.
//
// Each form first makes the text that follows the root: a full path starting
// with "[" as it is, any other after "."; a member name after "."; an optional
// path after ".", or nothing when it is empty. That text must be a chain of
//   .name     ASCII letters, digits (not first), "_", "$" and double-byte
//             characters other than the full-width space
//   [digits]  an index, without leading zeros
//   ["text"] or ['text']  any member name without quotes, backslashes or
//             control characters
// and anything else is not a path. Keys come back in the engine's UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qa {

using JsonPath = std::vector<std::string>;

enum class JsonPathForm { kFull, kMember, kOptional };

std::optional<JsonPath> ParseJsonPath(std::string_view path, JsonPathForm form);

}  // namespace qa
