#include "stores/oauth_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "base/file_io.h"
#include "base/text_lines.h"
#include "stores/ascii_case.h"

#ifndef PW_OAUTH_MICROSOFT_CLIENT_ID
#define PW_OAUTH_MICROSOFT_CLIENT_ID ""
#endif
#ifndef PW_OAUTH_GOOGLE_CLIENT_ID
#define PW_OAUTH_GOOGLE_CLIENT_ID ""
#endif
#ifndef PW_OAUTH_GOOGLE_CLIENT_SECRET
#define PW_OAUTH_GOOGLE_CLIENT_SECRET ""
#endif

namespace pw {
namespace {

// A value holding a line end would start a line of its own.
std::string one_line(std::string_view v) {
  std::string out;
  for (char c : v)
    if (c != '\r' && c != '\n') out += c;
  return out;
}

void put(std::string& out, std::string_view name, std::string_view value) {
  if (value.empty()) return;
  out.append(name).append("=").append(one_line(value)).append("\n");
}

void put_client(std::string& out, const OAuthClient& c) {
  put(out, "authorize", c.authorize_url);
  put(out, "token", c.token_url);
  put(out, "scope", c.scope);
  put(out, "id", c.client_id);
  put(out, "secret", c.client_secret);
}

bool set_client(OAuthClient& c, std::string_view name, std::string value) {
  if (name == "authorize") c.authorize_url = std::move(value);
  else if (name == "token") c.token_url = std::move(value);
  else if (name == "scope") c.scope = std::move(value);
  else if (name == "id") c.client_id = std::move(value);
  else if (name == "secret") c.client_secret = std::move(value);
  else return false;
  return true;
}

}  // namespace

// ASCII letters fold; the bytes of a multi-byte GB18030 character stay.
std::string OAuthFile::key(std::string_view address) {
  std::string out(address);
  for (size_t i = 0; i < out.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(out[i]);
    if (c >= 0x81 && c <= 0xFE) {
      const bool four = i + 1 < out.size() && out[i + 1] >= '0' && out[i + 1] <= '9';
      i += four ? 3 : 1;
      continue;
    }
    out[i] = ascii_lower(out[i]);
  }
  return out;
}

const OAuthMailbox* OAuthFile::mailbox(std::string_view address) const {
  auto it = mailboxes.find(key(address));
  return it == mailboxes.end() ? nullptr : &it->second;
}

std::string OAuthFile::encode() const {
  std::string out;
  for (const auto& [name, client] : clients) {
    out += "[client " + one_line(name) + "]\n";
    put_client(out, client);
  }
  for (const auto& [address, m] : mailboxes) {
    out += "[mailbox " + one_line(address) + "]\n";
    put_client(out, m.custom);
    put(out, "refresh", m.refresh_token);
    put(out, "access", m.access_token);
    if (m.expires_at != 0) put(out, "expires", std::to_string(m.expires_at));
    put(out, "user", m.signed_in_as);
    put(out, "refused", m.refused);
  }
  return out;
}

OAuthFile OAuthFile::decode(std::string_view text) {
  OAuthFile f;
  OAuthClient* client = nullptr;
  OAuthMailbox* mailbox = nullptr;
  while (!text.empty()) {
    std::string_view line = take_line(text);
    if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
      std::string_view head = line.substr(1, line.size() - 2);
      client = nullptr;
      mailbox = nullptr;
      if (head.starts_with("client ")) {
        client = &f.clients[std::string(head.substr(7))];
      } else if (head.starts_with("mailbox ")) {
        mailbox = &f.mailboxes[key(head.substr(8))];
        client = &mailbox->custom;
      }
      continue;
    }
    size_t eq = line.find('=');
    if (eq == std::string_view::npos || !client) continue;
    std::string_view name = line.substr(0, eq);
    std::string value(line.substr(eq + 1));
    if (set_client(*client, name, value) || !mailbox) continue;
    if (name == "refresh") mailbox->refresh_token = std::move(value);
    else if (name == "access") mailbox->access_token = std::move(value);
    else if (name == "user") mailbox->signed_in_as = std::move(value);
    else if (name == "refused") mailbox->refused = std::move(value);
    else if (name == "expires") {
      int64_t v = 0;
      for (char c : value) {
        if (c < '0' || c > '9' || v > (INT64_MAX - 9) / 10) break;
        v = v * 10 + (c - '0');
      }
      mailbox->expires_at = v;
    }
  }
  return f;
}

OAuthStore::OAuthStore(const ProgramDir& dir)
    : path_(dir.file(kFileName)), lock_path_(dir.file(".OAuth.lock")), refresh_lock_path_(dir.file(".OAuth.refresh")) {}

OAuthFile OAuthStore::load() const {
  std::optional<std::string> text = read_file(path_, size_t{1} << 20);
  return text ? OAuthFile::decode(*text) : OAuthFile{};
}

// The lock is on a companion file: the store itself is replaced by a
// rename at every save.
OAuthStore::Lock::Lock(const std::filesystem::path& path) : fd_(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
  if (fd_ >= 0) ::flock(fd_, LOCK_EX);
}

OAuthStore::Lock::~Lock() {
  if (fd_ >= 0) ::close(fd_);
}

bool OAuthStore::save(const OAuthFile& file) const { return write_file_atomic(path_, file.encode(), kPrivateFile); }

bool OAuthStore::update(const std::function<void(OAuthFile&)>& change) const {
  Lock held = lock();
  OAuthFile f = load();
  change(f);
  return save(f);
}

std::string_view provider_key(MailboxRecord::SignIn method) {
  switch (method) {
    case MailboxRecord::SignIn::microsoft: return "microsoft";
    case MailboxRecord::SignIn::google: return "google";
    default: return {};
  }
}

OAuthClient default_client(MailboxRecord::SignIn method) {
  OAuthClient c;
  if (method == MailboxRecord::SignIn::microsoft) {
    // The common v2.0 endpoints serve personal and work accounts alike.
    c.authorize_url = "https://login.microsoftonline.com/common/oauth2/v2.0/authorize";
    c.token_url = "https://login.microsoftonline.com/common/oauth2/v2.0/token";
    c.scope = "https://outlook.office.com/POP.AccessAsUser.All https://outlook.office.com/SMTP.Send offline_access";
    c.client_id = PW_OAUTH_MICROSOFT_CLIENT_ID;
  } else if (method == MailboxRecord::SignIn::google) {
    c.authorize_url = "https://accounts.google.com/o/oauth2/v2/auth";
    c.token_url = "https://oauth2.googleapis.com/token";
    c.scope = "https://mail.google.com/";
    c.client_id = PW_OAUTH_GOOGLE_CLIENT_ID;
    c.client_secret = PW_OAUTH_GOOGLE_CLIENT_SECRET;
  }
  return c;
}

OAuthClient oauth_client(MailboxRecord::SignIn method, const OAuthFile& file, std::string_view address) {
  if (method == MailboxRecord::SignIn::custom) {
    const OAuthMailbox* m = file.mailbox(address);
    return m ? m->custom : OAuthClient{};
  }
  OAuthClient c = default_client(method);
  auto own = file.clients.find(provider_key(method));
  if (own != file.clients.end() && !own->second.client_id.empty()) {
    c.client_id = own->second.client_id;
    c.client_secret = own->second.client_secret;
  }
  return c;
}

}  // namespace pw
