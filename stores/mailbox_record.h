#pragma once
// The stored fields of one POP3 account: the 584-byte record of the file
// "Mailbox". Strings are GB18030 bytes; the two passwords are plain here and
// scrambled only in the stored image.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace pw {

struct MailboxRecord {
  static constexpr size_t kSize = 584;

  std::string address;      // 128 bytes at 0; the account's identity
  std::string login_name;   // 128 at 128
  std::string password;     // 32 at 256
  std::string pop_server;   // 64 at 288
  std::string smtp_server;  // 64 at 352
  uint32_t smtp_auth = 0;   // at 416: 1 when the SMTP server wants AUTH LOGIN
  std::string smtp_login_name;  // 128 at 420
  std::string smtp_password;    // 32 at 548
  // Byte 580, the paused flag, is the account's run-time state and is passed
  // separately.
  // Byte 581 bit 0: the user requires TLS for both servers (0 in every older
  // file: TLS on 995/465, an upgrade on other ports when offered); an OAuth
  // 2.0 account always requires it. Bytes 582 and 583 are zero.
  bool require_tls = false;
  // Bit 1: the POP server of this record once completed a TLS handshake, so
  // a later connection without TLS is refused as a downgrade (0 in every
  // older file: not yet).
  bool tls_seen = false;
  // Bits 2-3 of byte 581: how the account signs in to both servers (0 in
  // every older file: the password).
  enum class SignIn : uint8_t { password = 0, microsoft = 1, google = 2, custom = 3 };
  SignIn sign_in = SignIn::password;
  [[nodiscard]] bool uses_oauth() const { return sign_in != SignIn::password; }

  // The stored image, passwords scrambled, strings cut to their fields.
  [[nodiscard]] std::string encode(bool paused) const;
  // Reads a stored image of kSize bytes; `paused` receives byte 580.
  [[nodiscard]] static MailboxRecord decode(const char* image, bool* paused = nullptr);
  // Sets the TLS-seen bit in a stored image; every other bit and byte stays.
  static void mark_tls_seen(char* image);

  friend bool operator==(const MailboxRecord&, const MailboxRecord&) = default;
};

}  // namespace pw
