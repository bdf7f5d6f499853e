#include "net/detect_charset_and_convert.h"

#include "encoding/codepage.h"
#include "script/regex_matcher.h"

namespace qa {

namespace {

// The value after "charset=", one optional non-word character such as a
// quote skipped, made of letters, digits, "_" and "-".
constexpr std::string_view kCharsetPattern = "<meta.+?charset=[^\\w]?([-\\w]+)";
constexpr long long kCharsetWindow = 1024;

Text UpToZero(std::string_view bytes) {
  return Text(bytes.substr(0, bytes.find('\0')));
}

bool IsUtf8Name(std::string_view charset) {
  return EqualsIgnoreCase(charset, "utf-8") || EqualsIgnoreCase(charset, "utf8");
}

}  // namespace

Text DetectCharsetAndConvert(const Bytes& body) {
  std::string_view bytes(reinterpret_cast<const char*>(body.data()), body.size());
  Text text = UpToZero(bytes);

  RegexMatcher matcher;
  Text charset;
  if (matcher.Match(kCharsetPattern, LeftText(text, kCharsetWindow))) {
    charset = matcher.GetSubMatchText(1, 1);
  }
  if (charset.empty() || charset == "gbk" || charset == "gb2312") return text;

  // A UTF-8 byte-order mark is not part of the text.
  if (IsUtf8Name(charset) && bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  Text decoded;
  if (!CharsetToGbk(bytes, charset, decoded)) return text;
  return UpToZero(decoded);
}

}  // namespace qa
