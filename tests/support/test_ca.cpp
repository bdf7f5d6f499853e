#include "test_ca.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace qa::test {

namespace {

// Runs an openssl command line quietly; the paths in it lie in a folder made
// by mkdtemp and hold no characters the shell would treat specially.
bool RunOpenssl(const std::string& arguments) {
  std::string command = "openssl " + arguments + " >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

}  // namespace

TestCa::TestCa() {
  std::string pattern = (std::filesystem::temp_directory_path() / "qa-test-ca-XXXXXX").string();
  if (!mkdtemp(pattern.data())) return;
  dir_ = pattern;
  const std::string caKey = dir_ + "/ca.key";
  const std::string request = dir_ + "/server.csr";
  const std::string extensions = dir_ + "/server.ext";
  caCert_ = dir_ + "/ca.pem";
  serverCert_ = dir_ + "/server.pem";
  serverKey_ = dir_ + "/server.key";
  {
    std::ofstream ext(extensions);
    ext << "subjectAltName=IP:127.0.0.1,DNS:localhost\n"
           "basicConstraints=critical,CA:FALSE\n"
           "keyUsage=critical,digitalSignature,keyEncipherment\n"
           "extendedKeyUsage=serverAuth\n";
  }
  const std::string newKey = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
  ok_ = RunOpenssl("req -x509" + newKey + " -keyout " + caKey + " -out " + caCert_ +
                   " -days 2 -subj /CN=quizassist-test-ca-" + dir_.substr(dir_.size() - 6) +
                   " -addext basicConstraints=critical,CA:TRUE" +
                   " -addext keyUsage=critical,keyCertSign,cRLSign") &&
        RunOpenssl("req" + newKey + " -keyout " + serverKey_ + " -out " + request +
                   " -subj /CN=127.0.0.1") &&
        RunOpenssl("x509 -req -in " + request + " -CA " + caCert_ + " -CAkey " + caKey +
                   " -CAcreateserial -days 2 -out " + serverCert_ + " -extfile " + extensions);
}

TestCa::~TestCa() {
  if (dir_.empty()) return;
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

const TestCa& TestCa::Shared() {
  static const TestCa ca;
  return ca;
}

}  // namespace qa::test
