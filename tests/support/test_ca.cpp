#include "support/test_ca.h"

#include <arpa/inet.h>

#include <cstdlib>

namespace pw::test {
namespace {

bool numeric(const std::string& host) {
  unsigned char address[16];
  return ::inet_pton(AF_INET, host.c_str(), address) == 1 || ::inet_pton(AF_INET6, host.c_str(), address) == 1;
}

}  // namespace

TestCa::TestCa() {
  const std::string d = dir_.path().string();
  (void)run("openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout " + d +
            "/ca.key -out " + d + "/ca.pem -days 30 -subj '/CN=Pelliwick Test CA'" +
            " -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign");
}

bool TestCa::run(const std::string& command) {
  if (std::system((command + " >>" + (dir_ / "openssl.log").string() + " 2>&1").c_str()) == 0) return true;
  if (error_.empty()) error_ = "failed: " + command + "\n" + dir_.read("openssl.log");
  return false;
}

TestCa::Issued TestCa::issue(const std::string& host) {
  const std::string base = (dir_ / ("server" + std::to_string(++issued_))).string();
  dir_.write("server" + std::to_string(issued_) + ".ext",
             "subjectAltName=" + std::string(numeric(host) ? "IP:" : "DNS:") + host +
                 "\nbasicConstraints=critical,CA:FALSE\nkeyUsage=critical,digitalSignature\n"
                 "extendedKeyUsage=serverAuth\nsubjectKeyIdentifier=hash\nauthorityKeyIdentifier=keyid,issuer\n");
  const std::string d = dir_.path().string();
  if (run("openssl req -new -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout " + base + ".key -out " +
          base + ".csr -subj '/CN=" + host + "'"))
    (void)run("openssl x509 -req -in " + base + ".csr -CA " + d + "/ca.pem -CAkey " + d + "/ca.key -CAcreateserial" +
              " -days 30 -out " + base + ".pem -extfile " + base + ".ext");
  // Dovecot and aiosmtpd run as other users: let them read the key.
  std::filesystem::permissions(base + ".key", std::filesystem::perms::others_read, std::filesystem::perm_options::add);
  std::filesystem::permissions(dir_.path(), std::filesystem::perms::others_exec | std::filesystem::perms::others_read,
                               std::filesystem::perm_options::add);
  return {base + ".pem", base + ".key"};
}

}  // namespace pw::test
