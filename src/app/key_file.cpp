#include "app/key_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace qa {

namespace {

// The reader's buffer holds 10240 bytes including the terminating NUL.
constexpr std::size_t kMaxValueBytes = 10239;

struct Line {
  std::string text;    // without its line break
  std::string ending;  // its own line break as read ("\r\n" or "\n"), or a
                       // lone "\r" or nothing at the end of the file
};

// The lines of the file; lines added by a write end with `lineBreak`, the
// break of the file's first line, while every other line keeps its own.
struct FileLines {
  std::vector<Line> lines;
  std::string lineBreak = "\r\n";
};

bool ReadWholeFile(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

FileLines SplitLines(std::string_view content) {
  FileLines file;
  std::size_t firstBreak = content.find('\n');
  if (firstBreak != std::string_view::npos &&
      (firstBreak == 0 || content[firstBreak - 1] != '\r')) {
    file.lineBreak = "\n";
  }
  std::size_t start = 0;
  while (start < content.size()) {
    std::size_t end = content.find('\n', start);
    Line line;
    if (end == std::string_view::npos) {
      line.text = content.substr(start);
      start = content.size();
    } else {
      line.text = content.substr(start, end - start);
      line.ending = "\n";
      start = end + 1;
    }
    if (!line.text.empty() && line.text.back() == '\r') {
      line.text.pop_back();
      line.ending.insert(0, "\r");
    }
    file.lines.push_back(std::move(line));
  }
  return file;
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// The section name of a "[name]" line, or false for any other line.
bool SectionOf(std::string_view line, std::string_view& name) {
  line = TrimBlanks(line);
  if (line.empty() || line.front() != '[') return false;
  std::size_t close = line.find(']');
  name = TrimBlanks(line.substr(1, close == std::string_view::npos ? line.size() - 1 : close - 1));
  return true;
}

// Splits a "key=value" line; false for a line without "=".
bool KeyOf(std::string_view line, std::string_view& key, std::string_view& value) {
  std::size_t eq = line.find('=');
  if (eq == std::string_view::npos) return false;
  key = TrimBlanks(line.substr(0, eq));
  value = TrimBlanks(line.substr(eq + 1));
  return true;
}

// Lines [begin, end) of the first section with the name; false without one.
bool FindSection(const std::vector<Line>& lines, std::string_view section, std::size_t& begin,
                 std::size_t& end) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string_view name;
    if (!SectionOf(lines[i].text, name) || !EqualsIgnoreCase(name, section)) continue;
    begin = i + 1;
    end = begin;
    std::string_view next;
    while (end < lines.size() && !SectionOf(lines[end].text, next)) ++end;
    return true;
  }
  return false;
}

Text Unquote(std::string_view value) {
  // A text ends at a zero byte: what follows one is not part of the value.
  value = TrimBlanks(value.substr(0, value.find('\0')));
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  if (value.size() > kMaxValueBytes) {
    std::size_t cut = kMaxValueBytes;
    while (cut > 0 && !IsCharStart(value, cut)) --cut;  // never half a character
    value = value.substr(0, cut);
  }
  return Text(value);
}

void SetValue(FileLines& file, const KeyFileValue& v) {
  std::string value = v.value.substr(0, v.value.find_first_of(std::string_view("\r\n\0", 3)));
  std::string line = v.key + "=" + value;
  std::vector<Line>& lines = file.lines;
  std::size_t begin = 0, end = 0;
  // Gives the last line of the file a break before a line goes after it. A
  // lone "\r" there becomes "\r\n", never "\n" alone: the reader takes one
  // "\r" off a line's end, and a text that ends in another "\r" must keep it.
  auto endLine = [&file](Line& l) {
    if (l.ending.empty()) {
      l.ending = file.lineBreak;
    } else if (l.ending == "\r") {
      l.ending = "\r\n";
    }
  };
  if (!FindSection(lines, v.section, begin, end)) {
    if (!lines.empty()) {
      endLine(lines.back());
      if (!TrimBlanks(lines.back().text).empty()) lines.push_back({"", file.lineBreak});
    }
    lines.push_back({"[" + v.section + "]", file.lineBreak});
    lines.push_back({line, file.lineBreak});
    return;
  }
  std::size_t last = begin;  // behind the last non-empty line of the section
  for (std::size_t i = begin; i < end; ++i) {
    std::string_view key, old;
    if (KeyOf(lines[i].text, key, old) && EqualsIgnoreCase(key, v.key)) {
      lines[i].text = line;
      return;
    }
    if (!TrimBlanks(lines[i].text).empty()) last = i + 1;
  }
  if (last > 0) endLine(lines[last - 1]);
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(last), Line{line, file.lineBreak});
}

std::string JoinLines(const FileLines& file) {
  std::string out;
  for (const Line& line : file.lines) {
    out += line.text;
    out += line.ending;
  }
  return out;
}

bool WriteAll(int fd, const std::string& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// The temporary file of a save: "<name>.tmp<pid>-<n>" beside the key file.
constexpr std::string_view kTemporaryInfix = ".tmp";

// The process id in the part of a temporary file's name after ".tmp"
// ("<pid>-<n>"); 0 when the name is not one of ours.
pid_t PidOfTemporary(std::string_view rest) {
  const std::size_t dash = rest.find('-');
  if (dash == std::string_view::npos || dash + 1 == rest.size()) return 0;
  const auto allDigits = [](std::string_view digits) {
    return !digits.empty() && digits.find_first_not_of("0123456789") == std::string_view::npos;
  };
  if (!allDigits(rest.substr(0, dash)) || !allDigits(rest.substr(dash + 1))) return 0;
  pid_t pid = 0;
  const auto [end, error] = std::from_chars(rest.data(), rest.data() + dash, pid);
  return error == std::errc() && end == rest.data() + dash ? pid : 0;
}

// Removes the temporary files that saves of processes no longer running left
// beside `path` (a save killed before its rename). Those of running
// processes, this one included, may still become the key file and stay.
void RemoveLeftTemporaries(const std::string& path) {
  namespace fs = std::filesystem;
  const fs::path file(path);
  const std::string prefix = file.filename().string() + std::string(kTemporaryInfix);
  const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
    const pid_t pid = PidOfTemporary(std::string_view(name).substr(prefix.size()));
    if (pid <= 0 || pid == ::getpid()) continue;
    if (::kill(pid, 0) == 0 || errno != ESRCH) continue;  // running, or not ours to know
    std::error_code ignored;
    fs::remove(it->path(), ignored);
  }
}

// Writes the content to a new file beside `path` and renames it over `path`.
bool ReplaceFile(const std::string& path, const std::string& content) {
  static std::atomic<unsigned> counter{0};
  RemoveLeftTemporaries(path);
  std::string temp = path + std::string(kTemporaryInfix) + std::to_string(::getpid()) + "-" +
                     std::to_string(++counter);
  mode_t mode = 0666;  // narrowed by the umask, as for any new file
  struct stat existing {};
  if (::stat(path.c_str(), &existing) == 0) mode = existing.st_mode & 07777;
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, content) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok && ::rename(temp.c_str(), path.c_str()) == 0) return true;
  ::unlink(temp.c_str());
  return false;
}

}  // namespace

Text KeyFile::Read(std::string_view section, std::string_view key) const {
  std::string content;
  if (!ReadWholeFile(path_, content)) return {};
  return ReadFromText(content, section, key);
}

Text KeyFile::ReadFromText(std::string_view content, std::string_view section,
                           std::string_view key) {
  FileLines file = SplitLines(content);
  std::size_t begin = 0, end = 0;
  if (!FindSection(file.lines, section, begin, end)) return {};
  for (std::size_t i = begin; i < end; ++i) {
    std::string_view name, value;
    if (KeyOf(file.lines[i].text, name, value) && EqualsIgnoreCase(name, key)) {
      return Unquote(value);
    }
  }
  return {};
}

bool KeyFile::Write(const std::vector<KeyFileValue>& values) const {
  std::string content;
  struct stat st {};
  if (::stat(path_.c_str(), &st) == 0 && !ReadWholeFile(path_, content)) {
    return false;  // an existing file we cannot read must not be replaced blindly
  }
  return ReplaceFile(path_, WriteToText(content, values));
}

std::string KeyFile::WriteToText(std::string_view content,
                                 const std::vector<KeyFileValue>& values) {
  FileLines file = SplitLines(content);
  for (const KeyFileValue& v : values) SetValue(file, v);
  return JoinLines(file);
}

}  // namespace qa
