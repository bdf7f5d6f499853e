#include "net/header_text.h"

#include "encoding/codepage.h"

namespace qa {

namespace {

// Markers may spell a double quote as the marker word, so that callers can
// write them without escaping.
Text ExpandQuoteMarker(std::string_view marker) {
  return ReplaceAllText(marker, kQuoteMarker, "\"");
}

}  // namespace

Text TextBetween(std::string_view source, std::string_view startMarker, std::string_view endMarker,
                 int startPos, bool ignoreCase) {
  const Text start = ExpandQuoteMarker(startMarker);
  const Text end = ExpandQuoteMarker(endMarker);
  const int startAt = FindText(source, start, startPos, ignoreCase);
  if (startAt == -1) return {};
  const long long valueAt = static_cast<long long>(startAt) + static_cast<long long>(start.size());
  if (valueAt > static_cast<long long>(source.size())) return {};
  const int endAt = FindText(source, end, static_cast<int>(valueAt), ignoreCase);
  if (endAt == -1) return {};
  return Text(source.substr(static_cast<std::size_t>(valueAt - 1),
                            static_cast<std::size_t>(endAt - valueAt)));
}

Text ValueAfterColon(std::string_view text) {
  const int colon = FindText(text, ":");
  if (colon == -1) return {};
  return TrimText(text.substr(static_cast<std::size_t>(colon)));
}

Text Utf8BodyToText(std::string_view body) {
  if (body.empty()) return {};
  Text text = Utf16ToGbk(Utf8ToUtf16(body));
  const std::size_t nul = text.find('\0');
  if (nul != Text::npos) text.resize(nul);
  return text;
}

Text Utf8BodyToText(const Bytes& body) {
  return Utf8BodyToText(std::string_view(reinterpret_cast<const char*>(body.data()), body.size()));
}

}  // namespace qa
