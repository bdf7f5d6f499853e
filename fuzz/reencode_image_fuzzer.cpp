// ReencodeImage over arbitrary bytes: the first byte picks the target format
// (low three bits, so formats outside 1 to 5 come up too) and the white
// background (bit 3); the rest is the image to decode.
#include <cstdlib>

#include "capture/reencode_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const int format = data[0] & 7;
  const bool flatten = (data[0] & 8) != 0;
  const qa::Bytes source(data + 1, data + size);

  qa::Bytes result = {1, 2, 3};
  const bool ok = qa::ReencodeImage(source, format, {}, &result, flatten);
  // A failed call leaves the result alone; a successful one fills it.
  if (!ok && result != qa::Bytes{1, 2, 3}) std::abort();
  if (ok && result.empty()) std::abort();
  return 0;
}
