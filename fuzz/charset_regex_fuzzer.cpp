// A result page decoded by its declared charset: the charset pattern run over
// the start of arbitrary page bytes, the declared name read from its group,
// and the page converted by that name.
#include <cstdlib>
#include <string_view>

#include "net/detect_charset_and_convert.h"
#include "script/regex_matcher.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const qa::Bytes page(data, data + size);
  const qa::Text text = qa::DetectCharsetAndConvert(page);
  if (text.find('\0') != qa::Text::npos) std::abort();

  // The same pattern through the matcher's position accessors, which map the
  // engine's UTF-16 indexes back to byte offsets.
  static qa::RegexMatcher matcher;
  const std::string_view subject(reinterpret_cast<const char*>(data), size);
  if (!matcher.Match("<meta.+?charset=[^\\w]?([-\\w]+)", subject)) std::abort();
  // A position is a byte offset within the subject, or -2 when the text is
  // not found at a character start (a match that begins inside what the code
  // page reads as a double-byte character).
  auto inSubject = [size](int at) {
    return at == -2 || (at >= 0 && static_cast<std::size_t>(at) <= size);
  };
  for (int n = 1; n <= matcher.GetMatchCount(); ++n) {
    int at = -1;
    matcher.GetMatchText(n, &at);
    if (!inSubject(at)) std::abort();
    int groupAt = -1;
    matcher.GetSubMatchText(n, 1, &groupAt);
    if (!inSubject(groupAt)) std::abort();
  }
  return 0;
}
