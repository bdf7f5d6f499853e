// Utf8BodyToText over arbitrary reply bodies: the text ends before any NUL.
#include <cstdlib>

#include "net/header_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const qa::Bytes body(data, data + size);
  const qa::Text text = qa::Utf8BodyToText(body);
  if (text.find('\0') != qa::Text::npos) std::abort();
  return 0;
}
