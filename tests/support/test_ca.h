// A certificate authority made at test time, with a server certificate it
// signed for 127.0.0.1 and localhost, for HTTPS stand-in services.
#pragma once

#include <string>

namespace qa::test {

class TestCa {
 public:
  // Makes a new CA key and certificate and a server key and certificate
  // (P-256, valid for two days) in a fresh temporary folder with the openssl
  // command. Check Ok() afterwards.
  TestCa();
  ~TestCa();  // removes the folder
  TestCa(const TestCa&) = delete;
  TestCa& operator=(const TestCa&) = delete;

  // One CA for the whole process, made on first use.
  static const TestCa& Shared();

  bool Ok() const { return ok_; }
  // PEM files.
  const std::string& CaCertPath() const { return caCert_; }
  const std::string& ServerCertPath() const { return serverCert_; }
  const std::string& ServerKeyPath() const { return serverKey_; }

 private:
  std::string dir_;
  std::string caCert_;
  std::string serverCert_;
  std::string serverKey_;
  bool ok_ = false;
};

}  // namespace qa::test
