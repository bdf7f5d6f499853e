#include "app/format_text.h"

#include <gtest/gtest.h>

namespace qa {
namespace {

const std::string kOpen = "\xA1\xB0";              // “
const std::string kClose = "\xA1\xB1";             // ”
const std::string kEmpty = "(\xBF\xD5)";           // (空)
const std::string kZhongWen = "\xD6\xD0\xCE\xC4";  // 中文
const std::string kTrailBackquote = "\x81\x60";    // 乣: second byte is "`"
const std::string kTrailTilde = "\x81\x7E";        // 亊: second byte is "~"
const std::string kTrailLetter = "\xB0\x61";       // 癮: second byte is "a"

TEST(FormatText, Table) {
  const struct {
    const char* name;
    std::string line;
    std::string expected;
  } cases[] = {
      {"empty", "", ""},
      {"ordinary text unchanged", "A. " + kZhongWen + " 100", "A. " + kZhongWen + " 100"},
      {"backquotes become double quotes", "`a` b`", "\"a\" b\""},
      {"tildes open and close in turn", "~a~ ~b", kOpen + "a" + kClose + " " + kOpen + "b"},
      {"line breaks", "x%ny%Nz", "x\r\ny\r\n\r\nz"},
      {"first value escape only", "a%sb%dc%f", "a" + kEmpty + "b%dc%f"},
      {"value escape d", "%d", kEmpty},
      {"value escape f", "%f", kEmpty},
      {"value escape t is quoted", "%t", "\"" + kEmpty + "\""},
      {"value escape T is quoted full-width", "%T", kOpen + kEmpty + kClose},
      {"line breaks after the value escape still expand", "%n%d%n%s", "\r\n" + kEmpty + "\r\n%s"},
      {"letters are case-sensitive", "%S%D%F%x", "%S%D%F%x"},
      {"percent at the end", "100%", "100%"},
      {"lone percent", "%", "%"},
      {"scan goes on with the byte after a plain percent", "%%d", "%" + kEmpty},
      {"inserted quotes do not count as tildes", "~%T~", kOpen + kOpen + kEmpty + kClose + kClose},
      {"percent before a double-byte character", "%" + kZhongWen, "%" + kZhongWen},
      // Second bytes of double-byte characters are part of the character.
      {"second byte backquote", kTrailBackquote + "`", kTrailBackquote + "\""},
      {"second byte tilde", kTrailTilde + "~", kTrailTilde + kOpen},
      {"second byte letter after percent", "%" + kTrailLetter, "%" + kTrailLetter},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatText(c.line), c.expected) << c.name;
}

}  // namespace
}  // namespace qa
