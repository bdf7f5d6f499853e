#include "script/json_path.h"

#include "script/script_engine.h"
#include "text/text.h"

namespace qa {
namespace {

bool IsAsciiLetter(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool IsDigit(unsigned char c) {
  return c >= '0' && c <= '9';
}

// Length of the character at `i` when it may stand in a name, else 0.
std::size_t NameCharLength(std::string_view s, std::size_t i) {
  auto c = static_cast<unsigned char>(s[i]);
  if (IsAsciiLetter(c) || IsDigit(c) || c == '_' || c == '$') return 1;
  if (IsLeadByte(c) && i + 1 < s.size() && s.substr(i, 2) != kFullWidthSpace) return 2;
  return 0;
}

// Reads the chain that follows the root.
std::optional<JsonPath> ParseChain(std::string_view s) {
  JsonPath keys;
  std::size_t i = 0;
  while (i < s.size()) {
    const char opener = s[i++];
    std::size_t start = i;
    if (opener == '.') {
      if (i >= s.size() || IsDigit(static_cast<unsigned char>(s[i]))) return std::nullopt;
      while (i < s.size()) {
        std::size_t len = NameCharLength(s, i);
        if (len == 0) break;
        i += len;
      }
      if (i == start) return std::nullopt;
      keys.push_back(ToEngineText(s.substr(start, i - start)));
      continue;
    }
    if (opener != '[' || i >= s.size()) return std::nullopt;
    const char first = s[i];
    if (IsDigit(static_cast<unsigned char>(first))) {
      while (i < s.size() && IsDigit(static_cast<unsigned char>(s[i]))) ++i;
      std::size_t digits = i - start;
      if ((first == '0' && digits > 1) || digits > 15) return std::nullopt;
      keys.push_back(std::string(s.substr(start, digits)));
    } else if (first == '"' || first == '\'') {
      start = ++i;
      while (i < s.size() && s[i] != first) {
        auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x20 || c == '\\') return std::nullopt;
        i += (IsLeadByte(c) && i + 1 < s.size()) ? 2 : 1;
      }
      if (i >= s.size()) return std::nullopt;
      keys.push_back(ToEngineText(s.substr(start, i - start)));
      ++i;
    } else {
      return std::nullopt;
    }
    if (i >= s.size() || s[i] != ']') return std::nullopt;
    ++i;
  }
  return keys;
}

}  // namespace

std::optional<JsonPath> ParseJsonPath(std::string_view path, JsonPathForm form) {
  std::string chain;
  switch (form) {
    case JsonPathForm::kFull:
      if (!path.empty() && path.front() == '[') {
        chain = path;
      } else {
        chain = ".";
        chain += path;
      }
      break;
    case JsonPathForm::kMember:
      chain = ".";
      chain += path;
      break;
    case JsonPathForm::kOptional:
      if (!path.empty()) {
        chain = ".";
        chain += path;
      }
      break;
  }
  return ParseChain(chain);
}

}  // namespace qa
