#include "app/key_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <thread>

namespace qa {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

class KeyFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("keyfile-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    path_ = (dir_ / "Key.ini").string();
  }
  void TearDown() override { fs::remove_all(dir_); }
  void WriteRaw(const std::string& content) { std::ofstream(path_, std::ios::binary) << content; }
  std::string ReadRaw() {
    std::ifstream in(path_, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  bool SaveKeys(const Text& api, const Text& secret) {
    return KeyFile(path_).Write(
        {{"Apikey", "client_id", api}, {"Secret Key", "client_secret", secret}});
  }

  void WriteFileBeside(const std::string& name) { std::ofstream(dir_ / name) << "x"; }
  std::set<std::string> FilesBesideKeyFile() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }

  fs::path dir_;
  std::string path_;
};

TEST_F(KeyFileTest, ReadsValuesLikeTheProfileReader) {
  struct Case {
    const char* name;
    std::string content;
    const char* section;
    const char* key;
    Text expected;
  };
  const Case cases[] = {
      {"plain", "[Apikey]\r\nclient_id=abc\r\n", "Apikey", "client_id", "abc"},
      {"names ignore case", "[APIKEY]\nCLIENT_ID=abc\n", "Apikey", "client_id", "abc"},
      {"trimmed", "[Apikey]\r\n  client_id =  a b \t\r\n", "Apikey", "client_id", "a b"},
      {"one pair of quotes goes", "[Apikey]\nclient_id=\"abc\"\n", "Apikey", "client_id", "abc"},
      {"first of two", "[Apikey]\nclient_id=one\nclient_id=two\n", "Apikey", "client_id", "one"},
      {"only its own section", "[Secret Key]\nclient_id=wrong\n[Apikey]\nclient_id=right\n",
       "Apikey", "client_id", "right"},
      {"section with a space", "[Secret Key]\nclient_secret=s3\n", "Secret Key", "client_secret",
       "s3"},
      {"GBK bytes unchanged", "[Apikey]\nclient_id=\xD6\xD0\xCE\xC4\n", "Apikey", "client_id",
       "\xD6\xD0\xCE\xC4"},
      {"missing key", "[Apikey]\nother=1\n", "Apikey", "client_id", ""},
      {"missing section", "[Other]\nclient_id=1\n", "Apikey", "client_id", ""},
      {"empty value", "[Apikey]\nclient_id=\n", "Apikey", "client_id", ""},
  };
  for (const Case& c : cases) {
    WriteRaw(c.content);
    EXPECT_EQ(KeyFile(path_).Read(c.section, c.key), c.expected) << c.name;
  }
}

TEST_F(KeyFileTest, ReadsNothingWithoutAFile) {
  EXPECT_EQ(KeyFile(path_).Read("Apikey", "client_id"), "");
  EXPECT_EQ(KeyFile((dir_ / "missing" / "Key.ini").string()).Read("Apikey", "client_id"), "");
}

TEST_F(KeyFileTest, ReadsAtMostTheReaderBuffer) {
  WriteRaw("[Apikey]\nclient_id=" + std::string(20000, 'k') + "\n");
  EXPECT_EQ(KeyFile(path_).Read("Apikey", "client_id").size(), 10239u);
}

TEST_F(KeyFileTest, CreatesTheFileWithBothSections) {
  ASSERT_TRUE(SaveKeys("abc", ""));
  EXPECT_EQ(ReadRaw(), "[Apikey]\r\nclient_id=abc\r\n\r\n[Secret Key]\r\nclient_secret=\r\n");
  EXPECT_EQ(KeyFile(path_).Read("Apikey", "client_id"), "abc");
}

TEST_F(KeyFileTest, WritingKeepsEveryOtherLine) {
  struct Case {
    const char* name;
    std::string before;
    std::string after;
  };
  const Case cases[] = {
      {"values replaced in place",
       "; keys\r\n[Apikey]\r\nclient_id=old\r\nnote=1\r\n[Secret Key]\r\nclient_secret=old\r\n",
       "; keys\r\n[Apikey]\r\nclient_id=A\r\nnote=1\r\n[Secret Key]\r\nclient_secret=S\r\n"},
      {"missing key added at the end of its section",
       "[Apikey]\nnote=1\n\n[Secret Key]\nclient_secret=old\n[Other]\nx=y\n",
       "[Apikey]\nnote=1\nclient_id=A\n\n[Secret Key]\nclient_secret=S\n[Other]\nx=y\n"},
      {"missing section appended", "[Other]\nx=y",
       "[Other]\nx=y\n\n[Apikey]\nclient_id=A\n\n[Secret Key]\nclient_secret=S\n"},
      {"names matched ignoring case",
       "[apikey]\r\nCLIENT_ID=old\r\n[secret key]\r\nClient_Secret=old\r\n",
       "[apikey]\r\nclient_id=A\r\n[secret key]\r\nclient_secret=S\r\n"},
  };
  for (const Case& c : cases) {
    WriteRaw(c.before);
    ASSERT_TRUE(SaveKeys("A", "S")) << c.name;
    EXPECT_EQ(ReadRaw(), c.after) << c.name;
  }
}

TEST_F(KeyFileTest, ValuesRoundTripAsTheyStand) {
  const Text values[] = {"\xD6\xD0\xCE\xC4key", "a&b=c", "key with spaces inside", ""};
  for (const Text& v : values) {
    ASSERT_TRUE(SaveKeys(v, v));
    EXPECT_EQ(KeyFile(path_).Read("Apikey", "client_id"), v);
    EXPECT_EQ(KeyFile(path_).Read("Secret Key", "client_secret"), v);
  }
}

TEST_F(KeyFileTest, ALineBreakCannotInjectLines) {
  ASSERT_TRUE(SaveKeys("abc\r\n[Secret Key]\r\nclient_secret=evil", "good"));
  EXPECT_EQ(KeyFile(path_).Read("Apikey", "client_id"), "abc");
  EXPECT_EQ(KeyFile(path_).Read("Secret Key", "client_secret"), "good");
}

TEST_F(KeyFileTest, AnInterruptedSaveLeavesTheOldFileAndNoTemporaryFile) {
  WriteRaw("[Apikey]\nclient_id=old\n");
  // Writes beyond 64 bytes fail, as on a full disk.
  ::signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  ::getrlimit(RLIMIT_FSIZE, &old);
  rlimit small = old;
  small.rlim_cur = 64;
  ::setrlimit(RLIMIT_FSIZE, &small);
  const bool saved = SaveKeys(std::string(1000, 'k'), "new");
  ::setrlimit(RLIMIT_FSIZE, &old);
  EXPECT_FALSE(saved);
  EXPECT_EQ(ReadRaw(), "[Apikey]\nclient_id=old\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(KeyFileTest, AWriteIntoAMissingFolderFailsQuietly) {
  EXPECT_FALSE(
      KeyFile((dir_ / "missing" / "Key.ini").string()).Write({{"Apikey", "client_id", "x"}}));
}

TEST_F(KeyFileTest, ReplacingTheFileKeepsItsPermissionsAndLeavesNoTemporaryFile) {
  WriteRaw("[Apikey]\nclient_id=old\n");
  ::chmod(path_.c_str(), 0600);
  ASSERT_TRUE(SaveKeys("new", "new"));
  struct stat st {};
  ASSERT_EQ(::stat(path_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

// Key files as editors and other programs leave them: whatever they hold, the
// keys are found where a reader would find them, and nothing breaks.
TEST_F(KeyFileTest, LoadsOddFilesWithoutHarm) {
  std::string manyLines;
  for (int i = 0; i < 10000; ++i)
    manyLines += "line" + std::to_string(i) + "=" + std::to_string(i) + "\r\n";
  struct Case {
    const char* name;
    std::string content;
    Text api;
    Text secret;
  };
  const Case cases[] = {
      {"LF line ends", "[Apikey]\nclient_id=a\n[Secret Key]\nclient_secret=s\n", "a", "s"},
      {"CRLF line ends", "[Apikey]\r\nclient_id=a\r\n[Secret Key]\r\nclient_secret=s\r\n", "a",
       "s"},
      {"mixed line ends", "[Apikey]\r\nclient_id=a\n[Secret Key]\nclient_secret=s\r\n", "a", "s"},
      {"no final line break", "[Apikey]\nclient_id=a\n[Secret Key]\nclient_secret=s", "a", "s"},
      {"empty file", "", "", ""},
      {"only line breaks", "\r\n\n\r\n", "", ""},
      {"first of duplicate sections",
       "[Apikey]\nclient_id=first\n[Secret Key]\nclient_secret=s\n[Apikey]\nclient_id=second\n",
       "first", "s"},
      {"duplicate section without the key",
       "[Apikey]\nother=1\n[Apikey]\nclient_id=second\n[Secret Key]\nclient_secret=s\n", "", "s"},
      {"bytes of every kind around",
       "\xFF\xFE\x01garbage\x80\n[Apikey]\nclient_id=a\n\x7F\x1B[0m\n"
       "[Secret Key]\nclient_secret=s\n\xA1\n"s,
       "a", "s"},
      {"a value cut at a zero byte", "[Apikey]\nclient_id=ab\0cd\n"s, "ab", ""},
      {"a lone CR stays in its line", "[Apikey]\nclient_id=a\rb\n", "a\rb", ""},
      {"a section line never closed", "[Apikey\nclient_id=a\n", "a", ""},
      {"lines without '='", "[Apikey]\njunk\n=\nclient_id=a\n", "a", ""},
      {"10,000 lines before the keys",
       manyLines + "[Apikey]\r\nclient_id=a\r\n[Secret Key]\r\nclient_secret=s\r\n", "a", "s"},
      {"10,000 lines inside the section",
       "[Apikey]\r\n" + manyLines + "client_id=a\r\n[Secret Key]\r\n" + manyLines +
           "client_secret=s",
       "a", "s"},
  };
  for (const Case& c : cases) {
    WriteRaw(c.content);
    const KeyFile file(path_);
    EXPECT_EQ(file.Read("Apikey", "client_id"), c.api) << c.name;
    EXPECT_EQ(file.Read("Secret Key", "client_secret"), c.secret) << c.name;
  }
}

// A save rewrites the two key lines and keeps every other byte of the file.
TEST_F(KeyFileTest, SavingOddFilesKeepsEverythingElse) {
  std::string manyLines;
  for (int i = 0; i < 10000; ++i)
    manyLines += "line" + std::to_string(i) + "=" + std::to_string(i) + "\n";
  struct Case {
    const char* name;
    std::string before;
    std::string after;
  };
  const Case cases[] = {
      {"duplicate sections: the first is written, the second kept",
       "[Apikey]\nclient_id=old\n[Secret Key]\nclient_secret=old\n[Apikey]\nclient_id=dup\n",
       "[Apikey]\nclient_id=A\n[Secret Key]\nclient_secret=S\n[Apikey]\nclient_id=dup\n"},
      {"no final line break",
       "[Other]\nx=y\n[Apikey]\nclient_id=old\n[Secret Key]\nclient_secret=old",
       "[Other]\nx=y\n[Apikey]\nclient_id=A\n[Secret Key]\nclient_secret=S"},
      {"odd bytes in other lines",
       "\xFF\xFE\x01\x80\0\r\n[Apikey]\r\nclient_id=old\r\n\x7F\x1B\r\n"
       "[Secret Key]\r\nclient_secret=old\r\n\xA1\r\n"s,
       "\xFF\xFE\x01\x80\0\r\n[Apikey]\r\nclient_id=A\r\n\x7F\x1B\r\n"
       "[Secret Key]\r\nclient_secret=S\r\n\xA1\r\n"s},
      {"mixed line ends: every line keeps its own, added lines take the first one's",
       "[Other]\r\nx=y\n[Apikey]\r\nclient_id=old\n",
       "[Other]\r\nx=y\n[Apikey]\r\nclient_id=A\n\r\n[Secret Key]\r\nclient_secret=S\r\n"},
      {"a line ending in two carriage returns stays what it was, not a section header",
       "[Apikey]\nclient_id=old\r\n[Secret Key\r\r\nclient_secret=old\r\nz=1\r",
       "[Apikey]\nclient_id=A\r\n[Secret Key\r\r\nclient_secret=old\r\nz=1\r\n\n"
       "[Secret Key]\nclient_secret=S\n"},
      {"a last line ending in two carriage returns keeps both when lines follow",
       "[Apikey]\nclient_id=old\n[Secret Key \r\r",
       "[Apikey]\nclient_id=A\n[Secret Key \r\r\n\n[Secret Key]\nclient_secret=S\n"},
      {"comments and blank lines", "; c1\n\n[Apikey]\n; c2\nclient_id=old\n\n# c3\n",
       "; c1\n\n[Apikey]\n; c2\nclient_id=A\n\n# c3\n\n[Secret Key]\nclient_secret=S\n"},
      {"10,000 lines around the keys",
       manyLines + "[Apikey]\nclient_id=old\n" + manyLines + "[Secret Key]\nclient_secret=old\n" +
           manyLines,
       manyLines + "[Apikey]\nclient_id=A\n" + manyLines + "[Secret Key]\nclient_secret=S\n" +
           manyLines},
  };
  for (const Case& c : cases) {
    WriteRaw(c.before);
    ASSERT_TRUE(SaveKeys("A", "S")) << c.name;
    EXPECT_EQ(ReadRaw(), c.after) << c.name;
    // What was saved is what the next start loads.
    EXPECT_EQ(KeyFile(path_).Read("Apikey", "client_id"), "A") << c.name;
    EXPECT_EQ(KeyFile(path_).Read("Secret Key", "client_secret"), "S") << c.name;
  }
}

TEST_F(KeyFileTest, AZeroByteEndsAValueOnSave) {
  ASSERT_TRUE(SaveKeys("ab\0[Secret Key]"s, "s"));
  EXPECT_EQ(ReadRaw(), "[Apikey]\r\nclient_id=ab\r\n\r\n[Secret Key]\r\nclient_secret=s\r\n");
}

// A process killed at any moment of a save (kill -9, a crash, the power
// going) leaves the old file or the new one, never a mix of them, and the
// next save works.
TEST_F(KeyFileTest, ASaveKilledAtAnyPointLeavesTheOldFileOrTheNewOne) {
  std::string others;
  for (int i = 0; i < 5000; ++i) others += "line" + std::to_string(i) + "=some value\r\n";
  const std::string initial =
      "[Apikey]\r\nclient_id=old\r\n" + others + "[Secret Key]\r\nclient_secret=old\r\n";
  const Text values[] = {"first-value", "second, longer value"};
  // What the file holds after a complete save of each value.
  std::set<std::string> whole = {initial};
  for (const Text& v : values) {
    WriteRaw(initial);
    ASSERT_TRUE(SaveKeys(v, v));
    whole.insert(ReadRaw());
  }
  ASSERT_EQ(whole.size(), 3u);

  // Kill points spread over the first few saves of the child.
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(SaveKeys(values[0], values[0]));
  const auto saveUs = std::chrono::duration_cast<std::chrono::microseconds>(
                          std::chrono::steady_clock::now() - start)
                          .count() /
                      5;
  std::mt19937 random(20240611);
  std::uniform_int_distribution<long long> delayUs(0, 3 * saveUs + 500);
  int replaced = 0;
  for (int round = 0; round < 60; ++round) {
    WriteRaw(initial);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (int i = 0;; ++i) SaveKeys(values[i % 2], values[i % 2]);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    const std::string after = ReadRaw();
    ASSERT_TRUE(whole.count(after))
        << "round " << round << ": a mixed file of " << after.size() << " bytes";
    replaced += after != initial;
  }
  // Some rounds caught the child after a save had replaced the file.
  EXPECT_GT(replaced, 0);

  // Whatever a kill left behind, the next save replaces the file and clears
  // the temporary files of the killed saves.
  ASSERT_TRUE(SaveKeys("after", "after"));
  EXPECT_EQ(KeyFile(path_).Read("Apikey", "client_id"), "after");
  EXPECT_EQ(FilesBesideKeyFile(), std::set<std::string>{"Key.ini"});
}

// A save removes only temporary files of saves whose process has ended;
// those of running processes and files of other names stay.
TEST_F(KeyFileTest, ASaveRemovesOnlyTemporaryFilesOfEndedProcesses) {
  const pid_t ended = ::fork();
  ASSERT_GE(ended, 0);
  if (ended == 0) ::_exit(0);
  ASSERT_EQ(::waitpid(ended, nullptr, 0), ended);
  const std::string endedTemp = "Key.ini.tmp" + std::to_string(ended) + "-3";
  const std::set<std::string> kept = {
      "Key.ini.tmp" + std::to_string(::getpid()) + "-999",  // this process
      "Key.ini.tmp1-1",                                     // init runs
      "Key.ini.tmp" + std::to_string(ended),                // not of our form
      "Key.ini.tmp" + std::to_string(ended) + "-",
      "Key.ini.tmpx" + std::to_string(ended) + "-3",
      "Key.ini.tmp-" + std::to_string(ended) + "-3",
      "Other.ini.tmp" + std::to_string(ended) + "-3",
  };
  for (const std::string& name : kept) WriteFileBeside(name);
  WriteFileBeside(endedTemp);

  ASSERT_TRUE(SaveKeys("k", "s"));
  std::set<std::string> expected = kept;
  expected.insert("Key.ini");
  EXPECT_EQ(FilesBesideKeyFile(), expected);
}

}  // namespace
}  // namespace qa
