// Clean-up of a recognised question and the advice for negative questions.
#pragma once

#include <string_view>

#include "text/text.h"

namespace qa {

// Removes the card's question number: one or two ASCII digits worth 1 to 12
// followed by ".", together with ASCII spaces before the number and right
// after the ".". Every other byte stays; a text without such a number is
// returned unchanged.
Text CleanQuestion(std::string_view question);

// The advice lines to show above a negatively phrased question: one line for
// "不曾" and, independently, one for "不是" when the question contains them.
// Empty when it contains neither.
Text NegationAdvice(std::string_view question);

}  // namespace qa
