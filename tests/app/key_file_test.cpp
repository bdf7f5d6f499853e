#include "app/key_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace qa {
namespace {

namespace fs = std::filesystem;

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

}  // namespace
}  // namespace qa
