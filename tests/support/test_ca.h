#pragma once
// A throwaway certificate authority made with the openssl tool, and server
// certificates it signs, for TLS tests and benchmarks.
//
//   test::TestCa ca;
//   ASSERT_TRUE(ca.ok()) << ca.error();
//   test::TestCa::Issued pop = ca.issue("pop.example.test");
//   setenv("SSL_CERT_FILE", ca.pem().c_str(), 1);   // the client trusts it
#include <filesystem>
#include <string>

#include "support/temp_dir.h"

namespace pw::test {

class TestCa {
 public:
  struct Issued {
    std::string cert;  // PEM file of the certificate
    std::string key;   // PEM file of its key
  };

  TestCa();

  [[nodiscard]] bool ok() const { return error_.empty(); }
  [[nodiscard]] const std::string& error() const { return error_; }
  // The CA certificate (PEM file): what a client trusts.
  [[nodiscard]] std::string pem() const { return (dir_ / "ca.pem").string(); }
  // A server certificate for `host`, a name or an IP address (its
  // subjectAltName), signed by this CA.
  [[nodiscard]] Issued issue(const std::string& host);

 private:
  bool run(const std::string& command);

  TempDir dir_;
  std::string error_;
  int issued_ = 0;
};

}  // namespace pw::test
