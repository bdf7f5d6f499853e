// TextBetween and ValueAfterColon over arbitrary header text and markers.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

#include "net/header_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const int startPos = in.ConsumeIntegral<int>();
  const bool ignoreCase = in.ConsumeBool();
  const std::string startMarker = in.ConsumeRandomLengthString(16);
  const std::string endMarker = in.ConsumeRandomLengthString(16);
  const std::string source = in.ConsumeRemainingBytesAsString();

  const qa::Text between = qa::TextBetween(source, startMarker, endMarker, startPos, ignoreCase);
  if (between.size() > source.size()) std::abort();
  const qa::Text value = qa::ValueAfterColon(source);
  if (value.size() > source.size()) std::abort();
  return 0;
}
