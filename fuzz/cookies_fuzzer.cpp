// CollectReceivedCookies over an arbitrary header block, then MergeCookies of
// what it found into an arbitrary cookie list. The input is the header block
// and the list, separated by the first NUL byte.
#include <cstdlib>
#include <string_view>

#include "net/cookies.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t nul = input.find('\0');
  qa::Text headers(input.substr(0, nul));
  qa::Text cookies(nul == std::string_view::npos ? std::string_view() : input.substr(nul + 1));

  qa::Text received = qa::CollectReceivedCookies(headers);
  const qa::Text merged = qa::MergeCookies(cookies, received);
  // The merged list is handed back both ways.
  if (merged != cookies) std::abort();
  // The rest holds as long as no byte of a double-byte character swallows a
  // separator or a space.
  for (std::uint8_t byte : input) {
    if (qa::IsLeadByte(byte)) return 0;
  }
  // No deleted cookie is left, and merging the list again with nothing
  // received can only drop entries (a second one of a name that arrived twice).
  for (const qa::Text& entry : qa::SplitText(merged, "; ")) {
    if (std::string_view(entry).ends_with("=deleted")) std::abort();
  }
  qa::Text again = merged;
  qa::Text none;
  if (qa::MergeCookies(again, none).size() > merged.size()) std::abort();
  return 0;
}
