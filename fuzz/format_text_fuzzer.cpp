// The recognised-line routines over arbitrary text: FormatText, CleanQuestion
// and NegationAdvice.
#include <cstdlib>
#include <string_view>

#include "app/format_text.h"
#include "app/question_cleanup.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  const qa::Text formatted = qa::FormatText(line);
  // CleanQuestion only removes a leading part of the question.
  const qa::Text cleaned = qa::CleanQuestion(formatted);
  if (!std::string_view(formatted).ends_with(cleaned)) std::abort();
  qa::CleanQuestion(line);
  qa::NegationAdvice(cleaned);
  return 0;
}
