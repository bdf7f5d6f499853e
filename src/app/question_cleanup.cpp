#include "app/question_cleanup.h"

namespace qa {

namespace {

constexpr int kHighestQuestionNumber = 12;

constexpr std::string_view kNeverWord = "\xB2\xBB\xD4\xF8";  // 不曾
constexpr std::string_view kNotWord = "\xB2\xBB\xCA\xC7";    // 不是
// 当前问题为否定题，建议选择匹配数最小的答案
constexpr std::string_view kNegationAdviceLine =
    "\xB5\xB1\xC7\xB0\xCE\xCA\xCC\xE2\xCE\xAA\xB7\xF1\xB6\xA8\xCC\xE2\xA3\xAC\xBD\xA8\xD2\xE9"
    "\xD1\xA1\xD4\xF1\xC6\xA5\xC5\xE4\xCA\xFD\xD7\xEE\xD0\xA1\xB5\xC4\xB4\xF0\xB0\xB8\r\n";

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

Text CleanQuestion(std::string_view question) {
  std::size_t i = 0;
  while (i < question.size() && question[i] == ' ') ++i;
  int number = 0;
  std::size_t digits = 0;
  while (digits < 2 && i < question.size() && IsDigit(question[i])) {
    number = number * 10 + (question[i] - '0');
    ++digits;
    ++i;
  }
  if (digits == 0 || number < 1 || number > kHighestQuestionNumber || i >= question.size() ||
      question[i] != '.') {
    return Text(question);
  }
  ++i;
  while (i < question.size() && question[i] == ' ') ++i;
  return Text(question.substr(i));
}

Text NegationAdvice(std::string_view question) {
  Text advice;
  if (ContainsText(question, kNeverWord)) advice += kNegationAdviceLine;
  if (ContainsText(question, kNotWord)) advice += kNegationAdviceLine;
  return advice;
}

}  // namespace qa
