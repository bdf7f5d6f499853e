// The key file "Key.ini": an INI file of GBK text beside the executable that
// keeps the two keys of the OCR service between runs.
//
// Reading and writing follow the Windows profile routines: section and key
// names match without regard to ASCII case, values are read trimmed, and a
// write changes only the line of its key, keeping every other line of the
// file. A write replaces the file in one step (a temporary file beside it,
// then a rename), so an interrupted save never leaves half a file behind; the
// temporary file a killed save leaves is removed by the next save.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "text/text.h"

namespace qa {

inline constexpr std::string_view kKeyFileName = "Key.ini";
inline constexpr std::string_view kApiKeySection = "Apikey";
inline constexpr std::string_view kApiKeyName = "client_id";
inline constexpr std::string_view kSecretKeySection = "Secret Key";
inline constexpr std::string_view kSecretKeyName = "client_secret";

struct KeyFileValue {
  std::string section;
  std::string key;
  Text value;
};

class KeyFile {
 public:
  // `path` is a file-system path (UTF-8 on this platform).
  explicit KeyFile(std::string path) : path_(std::move(path)) {}

  const std::string& Path() const { return path_; }

  // The value of the key up to a zero byte, trimmed of spaces and tabs and of
  // one pair of enclosing quotes, at most 10239 bytes; empty when the file, the section
  // or the key is missing or unreadable.
  Text Read(std::string_view section, std::string_view key) const;

  // Sets every value in one replacement of the file: an existing key line is
  // rewritten in place, a missing key is added at the end of its section and a
  // missing section at the end of the file. A value is written as it stands,
  // cut at its first line break or zero byte. False when the file could not be replaced;
  // the old file is then untouched.
  bool Write(const std::vector<KeyFileValue>& values) const;

  // Read and Write on the text of a key file instead of the file itself.
  static Text ReadFromText(std::string_view content, std::string_view section,
                           std::string_view key);
  static std::string WriteToText(std::string_view content, const std::vector<KeyFileValue>& values);

 private:
  std::string path_;
};

}  // namespace qa
