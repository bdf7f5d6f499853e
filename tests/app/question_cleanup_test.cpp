#include "app/question_cleanup.h"

#include <gtest/gtest.h>

namespace qa {
namespace {

const std::string kXiaLie = "\xCF\xC2\xC1\xD0";                                     // 下列
const std::string kWhichCity = "\xCF\xC2\xC1\xD0\xC4\xC4\xB8\xF6\xB3\xC7\xCA\xD0";  // 下列哪个城市
const std::string kWhichOne = "\xC4\xC4\xCE\xBB";                                   // 哪位
const std::string kYear = "\xC4\xEA";                                               // 年
const std::string kSquare = "\xB5\xC4\xC6\xBD\xB7\xBD";                             // 的平方
const std::string kIdeographicStop = "\xA1\xA3";                                    // 。
const std::string kFullWidthStop = "\xA3\xAE";                                      // ．

TEST(CleanQuestion, RemovesOnlyALeadingQuestionNumber) {
  const struct {
    std::string question;
    std::string expected;
  } cases[] = {
      {"3." + kWhichCity, kWhichCity},
      {"10." + kWhichOne, kWhichOne},
      {"11." + kXiaLie, kXiaLie},
      {"12." + kXiaLie, kXiaLie},
      {"1.1999" + kYear, "1999" + kYear},
      {"3.14" + kSquare, "14" + kSquare},
      {"01." + kXiaLie, kXiaLie},
      {"  3.  " + kXiaLie, kXiaLie},
      {"3.", ""},
      {"3." + kXiaLie + ".com", kXiaLie + ".com"},
      // Left as they are.
      {kXiaLie, kXiaLie},
      {"", ""},
      {"13." + kXiaLie, "13." + kXiaLie},
      {"0." + kXiaLie, "0." + kXiaLie},
      {"00." + kXiaLie, "00." + kXiaLie},
      {"123." + kXiaLie, "123." + kXiaLie},
      {"3" + kXiaLie, "3" + kXiaLie},
      {"3" + kIdeographicStop + kXiaLie, "3" + kIdeographicStop + kXiaLie},
      {"3" + kFullWidthStop + kXiaLie, "3" + kFullWidthStop + kXiaLie},
      {"\xA3\xB3." + kXiaLie, "\xA3\xB3." + kXiaLie},  // full-width digit 3
      {kXiaLie + "3.5", kXiaLie + "3.5"},
      {" " + kXiaLie, " " + kXiaLie},
      {"3 ." + kXiaLie, "3 ." + kXiaLie},
  };
  for (const auto& c : cases) EXPECT_EQ(CleanQuestion(c.question), c.expected) << c.question;
}

TEST(NegationAdvice, OneLinePerNegationWord) {
  const std::string line =
      "\xB5\xB1\xC7\xB0\xCE\xCA\xCC\xE2\xCE\xAA\xB7\xF1\xB6\xA8\xCC\xE2\xA3\xAC\xBD\xA8\xD2\xE9"
      "\xD1\xA1\xD4\xF1\xC6\xA5\xC5\xE4\xCA\xFD\xD7\xEE\xD0\xA1\xB5\xC4\xB4\xF0\xB0\xB8\r\n";
  const struct {
    const char* name;
    std::string question;
    std::string expected;
  } cases[] = {
      // 以下哪个不是水果
      {"not", "\xD2\xD4\xCF\xC2\xC4\xC4\xB8\xF6\xB2\xBB\xCA\xC7\xCB\xAE\xB9\xFB", line},
      // 以下哪个不是也不曾
      {"not and never", "\xD2\xD4\xCF\xC2\xC4\xC4\xB8\xF6\xB2\xBB\xCA\xC7\xD2\xB2\xB2\xBB\xD4\xF8",
       line + line},
      // 从不曾
      {"never", "\xB4\xD3\xB2\xBB\xD4\xF8", line},
      // 以下哪个是水果
      {"neither", "\xD2\xD4\xCF\xC2\xC4\xC4\xB8\xF6\xCA\xC7\xCB\xAE\xB9\xFB", ""},
      {"empty", "", ""},
      // x, B0 B2, BB CA, C7 A1: the bytes of 不是 straddle characters.
      {"bytes across characters", "x\xB0\xB2\xBB\xCA\xC7\xA1", ""},
      // A word found twice still gives one line.
      {"repeated word", "\xB2\xBB\xCA\xC7\xB2\xBB\xCA\xC7", line},
  };
  for (const auto& c : cases) EXPECT_EQ(NegationAdvice(c.question), c.expected) << c.name;
}

}  // namespace
}  // namespace qa
