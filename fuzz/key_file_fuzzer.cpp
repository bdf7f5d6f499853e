// The key-file reader and writer over arbitrary file text: read both keys,
// save both with new values, read the new values back, and save them again.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <string_view>
#include <vector>

#include "app/key_file.h"

namespace {

// A value the reader gives back unchanged: one line without zero bytes, no
// blanks at its ends, no enclosing quotes, within the reader's length.
qa::Text StorableValue(std::string value) {
  value = value.substr(0, value.find_first_of(std::string_view("\r\n\0", 3)));
  while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.pop_back();
  std::size_t first = value.find_first_not_of(" \t\"'");
  return first == std::string::npos ? qa::Text() : value.substr(first);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const qa::Text api = StorableValue(in.ConsumeRandomLengthString(64));
  const qa::Text secret = StorableValue(in.ConsumeRandomLengthString(64));
  const std::string content = in.ConsumeRemainingBytesAsString();

  using qa::KeyFile;
  KeyFile::ReadFromText(content, qa::kApiKeySection, qa::kApiKeyName);
  KeyFile::ReadFromText(content, qa::kSecretKeySection, qa::kSecretKeyName);

  const std::vector<qa::KeyFileValue> keys = {
      {std::string(qa::kApiKeySection), std::string(qa::kApiKeyName), api},
      {std::string(qa::kSecretKeySection), std::string(qa::kSecretKeyName), secret}};
  const std::string saved = KeyFile::WriteToText(content, keys);
  if (KeyFile::ReadFromText(saved, qa::kApiKeySection, qa::kApiKeyName) != api) std::abort();
  if (KeyFile::ReadFromText(saved, qa::kSecretKeySection, qa::kSecretKeyName) != secret) {
    std::abort();
  }
  // Saving the same keys again finds every line where the first save put it.
  if (KeyFile::WriteToText(saved, keys) != saved) std::abort();
  return 0;
}
