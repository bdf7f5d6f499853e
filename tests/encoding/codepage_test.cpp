#include "encoding/codepage.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace qa {
namespace {

Bytes B(std::initializer_list<int> v) {
  Bytes b;
  for (int x : v) b.push_back(static_cast<std::uint8_t>(x));
  return b;
}

TEST(AnsiToUtf16, NulTerminatedLittleEndian) {
  EXPECT_EQ(AnsiToUtf16("ab"), B({0x61, 0, 0x62, 0, 0, 0}));
  EXPECT_EQ(AnsiToUtf16("\xD6\xD0"), B({0x2D, 0x4E, 0, 0}));
  EXPECT_EQ(AnsiToUtf16(""), Bytes{});
}

TEST(Utf16ToAnsi, Table) {
  EXPECT_EQ(Utf16ToAnsi(B({0x2D, 0x4E, 0, 0})), "\xD6\xD0");
  EXPECT_EQ(Utf16ToAnsi(B({0x61, 0, 0x62})), "a");           // odd last byte ignored
  EXPECT_EQ(Utf16ToAnsi(B({0x61, 0, 0, 0, 0x62, 0})), "a");  // ends at the NUL unit
  EXPECT_EQ(Utf16ToAnsi({}), "");
  EXPECT_EQ(Utf16ToAnsi(B({0x3A, 0xD8, 0x3D, 0xDE})), "?");  // U+1E63D: not in GBK
  EXPECT_EQ(Utf16ToAnsi(B({0xAC, 0x20})), "\x80");           // euro sign
}

TEST(AnsiToUtf8, Table) {
  EXPECT_EQ(AnsiToUtf8("\xC4\xE3\xBA\xC3"), "\xE4\xBD\xA0\xE5\xA5\xBD");  // 你好
  EXPECT_EQ(AnsiToUtf8("abc"), "abc");
  EXPECT_EQ(AnsiToUtf8(""), "");
  // A lone lead byte at the end is malformed GBK: it becomes U+FFFD.
  EXPECT_EQ(AnsiToUtf8("a\xD6"), "a\xEF\xBF\xBD");
}

TEST(CharsetToGbk, KnownAndUnknownNames) {
  Text out = "untouched";
  EXPECT_TRUE(CharsetToGbk("\xE4\xBD\xA0", "utf-8", out));
  EXPECT_EQ(out, "\xC4\xE3");
  EXPECT_TRUE(CharsetToGbk("\xC4\xE3", "GB2312", out));
  EXPECT_EQ(out, "\xC4\xE3");
  EXPECT_TRUE(CharsetToGbk("caf\xE9", "iso-8859-1", out));
  EXPECT_EQ(out, "caf\xA8\xA6");  // é exists in GBK
  EXPECT_TRUE(CharsetToGbk("\xff", "utf-8", out));
  EXPECT_EQ(out, "?");
  out = "untouched";
  EXPECT_FALSE(CharsetToGbk("abc", "no-such-charset", out));
  EXPECT_FALSE(CharsetToGbk("abc", "", out));
  EXPECT_EQ(out, "untouched");
}

// A thread that meets ever new charset names (most of them made up, as a
// hostile page's) keeps converting right with the ones that exist.
TEST(CharsetToGbk, ManyDifferentNamesOnOneThread) {
  for (int i = 0; i < 200; ++i) {
    Text out;
    EXPECT_FALSE(CharsetToGbk("abc", "made-up-" + std::to_string(i), out));
    if (i % 7 == 0) {
      ASSERT_TRUE(CharsetToGbk("\xE4\xBD\xA0", "utf-8", out));
      EXPECT_EQ(out, "\xC4\xE3");
      ASSERT_TRUE(CharsetToGbk("caf\xE9", i % 2 ? "iso-8859-1" : "windows-1252", out));
      EXPECT_EQ(out, "caf\xA8\xA6");
    }
  }
}

TEST(Codepage, ConvertersWorkOnManyThreads) {
  std::vector<std::thread> threads;
  std::atomic<int> failures{0};
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 200; ++i) {
        if (AnsiToUtf8("\xD6\xD0" + std::to_string(i)) != "\xE4\xB8\xAD" + std::to_string(i)) {
          ++failures;
        }
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(failures, 0);
}

TEST(Utf16ToAnsi, LoneSurrogatesAndUnmappableUnitsBecomeQuestionMarks) {
  EXPECT_EQ(Utf16ToAnsi(B({0x61, 0, 0x00, 0xD8, 0x62, 0})), "a?b");  // lone high surrogate
  EXPECT_EQ(Utf16ToAnsi(B({0x00, 0xDC})), "?");                      // lone low surrogate
  EXPECT_EQ(Utf16ToAnsi(B({0x01, 0x03})), "?");                      // U+0301 combining accent
  EXPECT_EQ(Utf16ToAnsi(B({0x00, 0x30})), "\xA1\xA1");               // U+3000 full-width space
}

TEST(AnsiToUtf16, EuroSignAndMalformedGbk) {
  EXPECT_EQ(AnsiToUtf16("\x80"), B({0xAC, 0x20, 0, 0}));
  EXPECT_EQ(AnsiToUtf16("\xD6"), B({0xFD, 0xFF, 0, 0}));  // lone lead byte: U+FFFD
  EXPECT_EQ(AnsiToUtf16("\xB0\x61"),
            B({0x6E, 0x76, 0, 0}));  // second byte 'a' belongs to the character
}

TEST(AnsiToUtf8, RoundTripsThroughUtf16) {
  const std::string text = "A\xD6\xD0\xA1\xA1z\x80";  // A中　z€
  EXPECT_EQ(Utf16ToAnsi(AnsiToUtf16(text)), text);
  EXPECT_EQ(AnsiToUtf8(text), "A\xE4\xB8\xAD\xE3\x80\x80z\xE2\x82\xAC");
}

}  // namespace
}  // namespace qa

namespace qa {
namespace {

// ICU drops "default-ignorable" characters by default; the program must
// replace them like any other character GBK lacks, never lose them.
TEST(Utf16ToGbk, DefaultIgnorableCharactersBecomeQuestionMarks) {
  const std::pair<char16_t, const char*> cases[] = {
      {0xFEFF, "a?b"}, {0x200B, "a?b"}, {0x200D, "a?b"}, {0x2060, "a?b"}};
  for (const auto& [unit, expected] : cases) {
    std::u16string in = u"a";
    in.push_back(unit);
    in.push_back(u'b');
    EXPECT_EQ(Utf16ToGbk(in), expected) << std::hex << static_cast<int>(unit);
  }
}

}  // namespace
}  // namespace qa
