#include "encoding/codepage.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ustring.h>

#include <map>
#include <memory>

namespace qa {
namespace {

struct ConverterCloser {
  void operator()(UConverter* c) const { ucnv_close(c); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

constexpr char kGbkName[] = "windows-936-2000";
constexpr UChar kReplacement = 0xFFFD;

ConverterPtr OpenConverter(const char* name) {
  UErrorCode status = U_ZERO_ERROR;
  ConverterPtr conv(ucnv_open(name, &status));
  if (U_FAILURE(status)) return nullptr;
  return conv;
}

// Writes "?" for every character GBK lacks. ICU's own substitution callback
// silently drops "default-ignorable" characters (U+FEFF, U+200B, U+00AD ...),
// which would lose characters the Windows converter replaces; this one does not.
void SubstituteQuestionMark(const void*, UConverterFromUnicodeArgs* args, const UChar*, int32_t,
                            UChar32, UConverterCallbackReason reason, UErrorCode* status) {
  if (reason > UCNV_IRREGULAR) return;  // reset/close/clone: nothing to write
  *status = U_ZERO_ERROR;
  ucnv_cbFromUWriteBytes(args, "?", 1, 0, status);
}

ConverterPtr OpenGbkConverter() {
  ConverterPtr conv = OpenConverter(kGbkName);
  if (conv) {
    UErrorCode status = U_ZERO_ERROR;
    ucnv_setFromUCallBack(conv.get(), SubstituteQuestionMark, nullptr, nullptr, nullptr, &status);
  }
  return conv;
}

// Opening a converter costs milliseconds the first time, so every thread keeps
// the ones it used. Converters are not thread-safe, hence per thread.
UConverter* GbkConverter() {
  thread_local ConverterPtr conv = OpenGbkConverter();
  return conv.get();
}

// Pages declare the Chinese code page under several names; the Windows
// decoder treats them all as code page 936, so they share its converter.
std::string CanonicalCharset(std::string_view name) {
  static constexpr std::string_view kGbkAliases[] = {"gbk",   "gb2312", "gb_2312-80",  "x-gbk",
                                                     "cp936", "ms936",  "windows-936", "euc-cn"};
  std::string lower = LowerAscii(TrimText(name));
  for (std::string_view alias : kGbkAliases) {
    if (lower == alias) {
      lower.assign(kGbkName, sizeof kGbkName - 1);
      break;
    }
  }
  return lower;
}

// The converters a thread keeps, names that none answers included: pages
// that each name another charset (made up, as a hostile page may) must not
// grow the cache without end, so a full cache starts over.
constexpr std::size_t kKeptConverters = 16;

// The returned converter stays valid until the next call on this thread.
UConverter* NamedConverter(std::string_view name) {
  thread_local std::map<std::string, ConverterPtr, std::less<>> cache;
  std::string canonical = CanonicalCharset(name);
  if (canonical.empty() || canonical.find('\0') != std::string::npos) return nullptr;
  auto it = cache.find(canonical);
  if (it == cache.end()) {
    if (cache.size() >= kKeptConverters) cache.clear();
    it = cache.emplace(canonical, OpenConverter(canonical.c_str())).first;
  }
  return it->second.get();
}

std::u16string ToUtf16With(UConverter* conv, std::string_view bytes) {
  if (!conv || bytes.empty()) return {};
  std::u16string out(bytes.size() + 1, u'\0');  // a byte never makes more than one unit
  UErrorCode status = U_ZERO_ERROR;
  ucnv_resetToUnicode(conv);
  int32_t n = ucnv_toUChars(conv, out.data(), static_cast<int32_t>(out.size()), bytes.data(),
                            static_cast<int32_t>(bytes.size()), &status);
  if (status == U_BUFFER_OVERFLOW_ERROR) {
    out.assign(static_cast<std::size_t>(n) + 1, u'\0');
    status = U_ZERO_ERROR;
    n = ucnv_toUChars(conv, out.data(), static_cast<int32_t>(out.size()), bytes.data(),
                      static_cast<int32_t>(bytes.size()), &status);
  }
  if (U_FAILURE(status)) return {};
  out.resize(static_cast<std::size_t>(n));
  return out;
}

}  // namespace

std::u16string GbkToUtf16(std::string_view gbk) {
  return ToUtf16With(GbkConverter(), gbk);
}

std::string Utf16ToGbk(std::u16string_view utf16) {
  UConverter* conv = GbkConverter();
  if (!conv || utf16.empty()) return {};
  std::string out(utf16.size() * 2 + 1, '\0');
  UErrorCode status = U_ZERO_ERROR;
  ucnv_resetFromUnicode(conv);
  int32_t n = ucnv_fromUChars(conv, out.data(), static_cast<int32_t>(out.size()), utf16.data(),
                              static_cast<int32_t>(utf16.size()), &status);
  if (status == U_BUFFER_OVERFLOW_ERROR) {
    out.assign(static_cast<std::size_t>(n) + 1, '\0');
    status = U_ZERO_ERROR;
    n = ucnv_fromUChars(conv, out.data(), static_cast<int32_t>(out.size()), utf16.data(),
                        static_cast<int32_t>(utf16.size()), &status);
  }
  if (U_FAILURE(status)) return {};
  out.resize(static_cast<std::size_t>(n));
  return out;
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
  if (utf8.empty()) return {};
  std::u16string out(utf8.size(), u'\0');  // never more units than bytes
  int32_t n = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strFromUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &n, utf8.data(),
                       static_cast<int32_t>(utf8.size()), kReplacement, nullptr, &status);
  if (U_FAILURE(status) && status != U_STRING_NOT_TERMINATED_WARNING) return {};
  out.resize(static_cast<std::size_t>(n));
  return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  if (utf16.empty()) return {};
  std::string out(utf16.size() * 3, '\0');  // never more than three bytes per unit
  int32_t n = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strToUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &n, utf16.data(),
                     static_cast<int32_t>(utf16.size()), kReplacement, nullptr, &status);
  if (U_FAILURE(status) && status != U_STRING_NOT_TERMINATED_WARNING) return {};
  out.resize(static_cast<std::size_t>(n));
  return out;
}

bool CharsetToGbk(std::string_view bytes, std::string_view charset, Text& out) {
  UConverter* conv = NamedConverter(charset);
  if (!conv) return false;
  out = Utf16ToGbk(ToUtf16With(conv, bytes));
  return true;
}

Bytes AnsiToUtf16(std::string_view text) {
  if (text.empty()) return {};
  std::u16string units = GbkToUtf16(text);
  Bytes out;
  out.reserve(units.size() * 2 + 2);
  for (char16_t u : units) {
    out.push_back(static_cast<std::uint8_t>(u & 0xFF));
    out.push_back(static_cast<std::uint8_t>(u >> 8));
  }
  out.push_back(0);
  out.push_back(0);
  return out;
}

Text Utf16ToAnsi(const Bytes& utf16) {
  std::u16string units;
  units.reserve(utf16.size() / 2);
  for (std::size_t i = 0; i + 1 < utf16.size(); i += 2) {
    char16_t u = static_cast<char16_t>(utf16[i] | (utf16[i + 1] << 8));
    if (u == 0) break;
    units.push_back(u);
  }
  return Utf16ToGbk(units);
}

Text AnsiToUtf8(std::string_view text) {
  return Utf16ToUtf8(GbkToUtf16(text));
}

}  // namespace qa
