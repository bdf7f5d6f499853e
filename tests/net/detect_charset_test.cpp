#include <gtest/gtest.h>

#include "http_test_routes.h"
#include "net/detect_charset_and_convert.h"

namespace qa {
namespace {

using test::CharsetPage;
using test::kPageWordsGbk;
using test::kPageWordsUtf8;

Bytes AsBytes(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

std::string Replace(std::string text, std::string_view from, std::string_view to) {
  std::size_t pos = text.find(from);
  if (pos != std::string::npos) text.replace(pos, from.size(), to);
  return text;
}

TEST(DetectCharsetAndConvert, DecodesDeclaredNonGbkPagesOnly) {
  const std::string utf8Page = CharsetPage("utf8-meta");
  const std::string gbkPage = CharsetPage("gbk-meta");
  struct Case {
    std::string name;
    std::string body;
    std::string text;
  };
  const Case cases[] = {
      {"utf-8 declared", utf8Page, Replace(utf8Page, kPageWordsUtf8, kPageWordsGbk)},
      {"gbk declared in quotes", gbkPage, gbkPage},
      {"gb2312 declared", Replace(gbkPage, "gbk", "gb2312"), Replace(gbkPage, "gbk", "gb2312")},
      // Only the exact lower-case names are taken as GBK; the capitals go
      // through the decoder and give the same text.
      {"GBK in capitals", CharsetPage("GBK-caps"), CharsetPage("GBK-caps")},
      {"declared after byte 1024", CharsetPage("late-meta"), CharsetPage("late-meta")},
      {"nothing declared", CharsetPage("none"), CharsetPage("none")},
      {"unknown charset", Replace(gbkPage, "gbk", "x-no-such-set"),
       Replace(gbkPage, "gbk", "x-no-such-set")},
      // 中文 in Big5.
      {"big5 declared", "<meta charset=big5>\xA4\xA4\xA4\xE5",
       "<meta charset=big5>\xD6\xD0\xCE\xC4"},
      {"UTF-8 byte-order mark", "\xEF\xBB\xBF" + utf8Page,
       Replace(utf8Page, kPageWordsUtf8, kPageWordsGbk)},
      // "." does not match a line feed, so a broken tag declares nothing.
      {"tag broken by a line feed", "<meta\ncharset=utf-8>\xE4\xB8\xAD",
       "<meta\ncharset=utf-8>\xE4\xB8\xAD"},
      {"empty body", "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DetectCharsetAndConvert(AsBytes(c.body)), c.text) << c.name;
  }
}

TEST(DetectCharsetAndConvert, TextEndsAtTheFirstZero) {
  using namespace std::string_literals;
  EXPECT_EQ(DetectCharsetAndConvert(AsBytes("abc\0def"s)), "abc");
  // A declared page is decoded whole, then cut at its first zero character.
  EXPECT_EQ(DetectCharsetAndConvert(AsBytes("<meta charset=utf-8>\xE4\xB8\xAD\0tail"s)),
            "<meta charset=utf-8>\xD6\xD0");
  // The charset is looked for before the zero byte only.
  EXPECT_EQ(DetectCharsetAndConvert(AsBytes("ab\0<meta charset=utf-8>"s)), "ab");
}

}  // namespace
}  // namespace qa
