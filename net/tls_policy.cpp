#include "net/tls_policy.h"

#include "res/language.h"
#include "res/string_ids.h"

namespace pw {
namespace {

std::string naming(int id, std::string_view host) { return res::record_text(id) + std::string(host); }

}  // namespace

bool implicit_tls_port(int port) { return port == 995 || port == 465; }

std::string tls_failure_text(ByteStream::TlsResult result, std::string_view host) {
  switch (result) {
    case ByteStream::TlsResult::Untrusted: return naming(sid::kUntrusted, host);
    case ByteStream::TlsResult::WrongHost: return naming(sid::kWrongHost, host);
    default: return naming(sid::kHandshakeFailed, host);
  }
}

std::string tls_missing_text(std::string_view host) { return naming(sid::kTlsNotOffered, host); }

std::string tls_downgrade_text(std::string_view host) { return naming(sid::kDowngrade, host); }

}  // namespace pw
