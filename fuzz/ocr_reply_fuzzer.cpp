// An OCR reply as the recognition stage reads it: the UTF-8 body made text,
// parsed as JSON, then the count of "words_result" and the "words" text of
// each of its elements.
#include <string>

#include "net/header_text.h"
#include "script/json_document.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // One document for the whole run: Parse replaces its root every time, and a
  // new engine per input would cost most of the time.
  static qa::JsonDocument document;
  const qa::Bytes reply(data, data + size);
  document.Parse(qa::Utf8BodyToText(reply));
  const int n = document.GetMemberCount("words_result");
  qa::Text joined;
  for (int i = 0; i < n; ++i) {
    joined += document.GetText("words_result[" + qa::IntToText(i) + "].words");
    joined += "\r\n";
  }
  qa::SplitText(joined, "\r\n");
  return 0;
}
