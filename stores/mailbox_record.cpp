#include "stores/mailbox_record.h"

#include <cstring>

#include "base/fixed_field.h"
#include "stores/scramble_field.h"

namespace pw {
namespace {

// Field offsets and widths of the stored image.
constexpr size_t kAddress = 0, kAddressWidth = 128;
constexpr size_t kLogin = 128, kLoginWidth = 128;
constexpr size_t kPassword = 256, kPasswordWidth = 32;
constexpr size_t kPop = 288, kPopWidth = 64;
constexpr size_t kSmtp = 352, kSmtpWidth = 64;
constexpr size_t kSmtpAuth = 416;
constexpr size_t kSmtpLogin = 420, kSmtpLoginWidth = 128;
constexpr size_t kSmtpPassword = 548, kSmtpPasswordWidth = 32;
constexpr size_t kPaused = 580;
constexpr size_t kSecurity = 581;
constexpr char kRequireTls = 0x01;
constexpr char kTlsSeen = 0x02;
constexpr int kSignInShift = 2;  // bits 2-3
constexpr char kSignInBits = 0x0c;

std::string get_scrambled(const char* image, size_t offset, size_t width) {
  char field[128];
  std::memcpy(field, image + offset, width);
  scramble_field(field, width);
  return get_field(field, width);
}

}  // namespace

std::string MailboxRecord::encode(bool paused) const {
  std::string image(kSize, '\0');
  char* p = image.data();
  put_field(p + kAddress, kAddressWidth, address);
  put_field(p + kLogin, kLoginWidth, login_name);
  put_field(p + kPassword, kPasswordWidth, password);
  scramble_field(p + kPassword, kPasswordWidth);
  put_field(p + kPop, kPopWidth, pop_server);
  put_field(p + kSmtp, kSmtpWidth, smtp_server);
  write_le32(p + kSmtpAuth, smtp_auth);
  put_field(p + kSmtpLogin, kSmtpLoginWidth, smtp_login_name);
  put_field(p + kSmtpPassword, kSmtpPasswordWidth, smtp_password);
  scramble_field(p + kSmtpPassword, kSmtpPasswordWidth);
  p[kPaused] = paused ? 1 : 0;
  p[kSecurity] = static_cast<char>((require_tls ? kRequireTls : 0) | (tls_seen ? kTlsSeen : 0) |
                                    (static_cast<int>(sign_in) << kSignInShift));
  return image;
}

MailboxRecord MailboxRecord::decode(const char* image, bool* paused) {
  MailboxRecord r;
  r.address = get_field(image + kAddress, kAddressWidth);
  r.login_name = get_field(image + kLogin, kLoginWidth);
  r.password = get_scrambled(image, kPassword, kPasswordWidth);
  r.pop_server = get_field(image + kPop, kPopWidth);
  r.smtp_server = get_field(image + kSmtp, kSmtpWidth);
  r.smtp_auth = read_le32(image + kSmtpAuth);
  r.smtp_login_name = get_field(image + kSmtpLogin, kSmtpLoginWidth);
  r.smtp_password = get_scrambled(image, kSmtpPassword, kSmtpPasswordWidth);
  r.require_tls = (image[kSecurity] & kRequireTls) != 0;
  r.tls_seen = (image[kSecurity] & kTlsSeen) != 0;
  r.sign_in = static_cast<SignIn>((image[kSecurity] & kSignInBits) >> kSignInShift);
  if (paused) *paused = image[kPaused] != 0;
  return r;
}

void MailboxRecord::mark_tls_seen(char* image) { image[kSecurity] = static_cast<char>(image[kSecurity] | kTlsSeen); }

}  // namespace pw
