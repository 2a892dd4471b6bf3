#include "net/tls_policy.h"

#include "res/language.h"

namespace pw {
namespace {

constexpr int kUntrusted = 62200;
constexpr int kWrongHost = 62201;
constexpr int kNotOffered = 62202;
constexpr int kHandshakeFailed = 62203;

std::string naming(int id, std::string_view host) { return res::record_text(id) + std::string(host); }

}  // namespace

bool implicit_tls_port(int port) { return port == 995 || port == 465; }

std::string tls_failure_text(ByteStream::TlsResult result, std::string_view host) {
  switch (result) {
    case ByteStream::TlsResult::Untrusted:
      return naming(kUntrusted, host);
    case ByteStream::TlsResult::WrongHost:
      return naming(kWrongHost, host);
    default:
      return naming(kHandshakeFailed, host);
  }
}

std::string tls_missing_text(std::string_view host) { return naming(kNotOffered, host); }

}  // namespace pw
