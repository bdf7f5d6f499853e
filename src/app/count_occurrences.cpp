#include "app/count_occurrences.h"

namespace qa {

int CountOccurrences(std::string_view page, std::string_view option) {
  if (option.empty()) return 0;
  return CountText(page, option, true);
}

}  // namespace qa
