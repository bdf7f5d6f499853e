#include "app/format_text.h"

namespace qa {

namespace {

constexpr std::string_view kOpenQuote = "\xA1\xB0";     // “
constexpr std::string_view kCloseQuote = "\xA1\xB1";    // ”
constexpr std::string_view kEmptyValue = "(\xBF\xD5)";  // (空)

// Appends the replacement of the escape "%" + `letter`, or gives false when
// `letter` does not make an escape. `valueDone` tells whether the line's one
// value escape has been replaced already; later value escapes stay as written.
bool AppendEscape(char letter, bool& valueDone, Text& out) {
  switch (letter) {
    case 'n':
      out += "\r\n";
      return true;
    case 'N':
      out += "\r\n\r\n";
      return true;
    case 's':
    case 'd':
    case 'f':
    case 't':
    case 'T':
      if (valueDone) {
        out += '%';
        out += letter;
      } else if (letter == 't') {
        out += '"';
        out += kEmptyValue;
        out += '"';
      } else if (letter == 'T') {
        out += kOpenQuote;
        out += kEmptyValue;
        out += kCloseQuote;
      } else {
        out += kEmptyValue;
      }
      valueDone = true;
      return true;
    default:
      return false;
  }
}

}  // namespace

Text FormatText(std::string_view line) {
  Text out;
  out.reserve(line.size());
  bool nextTildeOpens = true;
  bool valueDone = false;
  std::size_t i = 0;
  while (i < line.size()) {
    const char c = line[i];
    // A double-byte character is copied whole: its second byte may equal "`",
    // "~" or a letter, and must not be taken for one.
    if (IsLeadByte(static_cast<unsigned char>(c)) && i + 1 < line.size()) {
      out.append(line.substr(i, 2));
      i += 2;
      continue;
    }
    if (c == '`') {
      out += '"';
    } else if (c == '~') {
      out += nextTildeOpens ? kOpenQuote : kCloseQuote;
      nextTildeOpens = !nextTildeOpens;
    } else if (c == '%' && i + 1 < line.size() && AppendEscape(line[i + 1], valueDone, out)) {
      i += 2;
      continue;
    } else {
      out += c;
    }
    ++i;
  }
  return out;
}

}  // namespace qa
