#pragma once
// The global options: the 512-byte record of the file "System". Integers are
// 32-bit little-endian; the dial-up and login passwords are plain here and
// scrambled in the stored image. The first word and the reserved tail are
// kept as read.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/program_dir.h"
#include "stores/store_result.h"

namespace pw {

struct SystemSettings {
  static constexpr size_t kSize = 512;

  // Bits of `options`.
  static constexpr uint32_t kAutoDial = 0x01;      // dial before each check
  static constexpr uint32_t kHangUp = 0x02;        // hang up after each check; only with kAutoDial
  static constexpr uint32_t kPurgeLogs = 0x04;     // delete old log months at start-up
  static constexpr uint32_t kAutoShutdown = 0x08;  // power off at shutdown_hour:shutdown_minute
  static constexpr uint32_t kLoginPassword = 0x10;  // ask for the login password at start-up
  static constexpr uint32_t kCheckAtStart = 0x20;   // check at once after start-up

  // Interval units.
  static constexpr int32_t kSeconds = 0;
  static constexpr int32_t kMinutes = 1;
  static constexpr int32_t kHours = 2;

  uint32_t first_word = 1;       // at 0; not used
  uint32_t options = 0;          // at 4
  int32_t check_interval = 5;    // at 8
  int32_t interval_unit = kMinutes;  // at 12
  std::string dial_entry;        // 64 at 16
  std::string phone_number;      // 32 at 80
  std::string dial_user;         // 64 at 112
  std::string dial_password;     // 32 at 176
  int32_t months_to_keep = 0;    // at 208; 1..120 once set by the dialog
  int32_t shutdown_hour = 0;     // at 212
  int32_t shutdown_minute = 0;   // at 216
  std::string login_password;    // 32 at 220
  uint32_t next_rule_id = 0;     // at 252; the id the next new rule receives
  std::string reserved = std::string(256, '\0');  // 256 at 256

  // Desktop notifications after a check. Kept in the first reserved byte
  // (offset 256): 0 on, 1 off, so a record written before the switch
  // existed reads as on and the rest of the tail stays as read.
  static constexpr size_t kNotificationsOffByte = 0;
  [[nodiscard]] bool notifications() const {
    return reserved.size() <= kNotificationsOffByte || reserved[kNotificationsOffByte] == 0;
  }
  void set_notifications(bool on) {
    if (reserved.size() <= kNotificationsOffByte) reserved.resize(kSize / 2, '\0');
    reserved[kNotificationsOffByte] = on ? '\0' : '\1';
  }

  // How many mailboxes a check works on at once. Kept in the next reserved
  // byte (offset 257): 0 means the default, 4; 1 checks one after another.
  static constexpr size_t kMailboxesAtOnceByte = 1;
  static constexpr int kDefaultMailboxesAtOnce = 4;
  static constexpr int kMostMailboxesAtOnce = 16;
  [[nodiscard]] int mailboxes_at_once() const {
    const int stored = reserved.size() <= kMailboxesAtOnceByte
                           ? 0
                           : static_cast<unsigned char>(reserved[kMailboxesAtOnceByte]);
    return stored == 0 ? kDefaultMailboxesAtOnce : std::min(stored, kMostMailboxesAtOnce);
  }
  void set_mailboxes_at_once(int count) {
    if (reserved.size() <= kMailboxesAtOnceByte) reserved.resize(kSize / 2, '\0');
    reserved[kMailboxesAtOnceByte] = static_cast<char>(std::clamp(count, 1, kMostMailboxesAtOnce));
  }

  [[nodiscard]] bool option(uint32_t bit) const { return (options & bit) != 0; }
  // Clearing kAutoDial clears kHangUp too; kHangUp is only set with kAutoDial.
  void set_option(uint32_t bit, bool on);

  [[nodiscard]] std::string encode() const;
  // Reads a stored image. Fields the image does not hold in full (a short
  // file) keep their values of a new record.
  [[nodiscard]] static SystemSettings decode(std::string_view image);

  // The record of "System", or a new record when the file is missing or
  // unreadable (a directory, say).
  [[nodiscard]] static SystemSettings load(const ProgramDir& dir);
  // Writes "System" atomically (sid::kSettingsFileFailed on failure; the old file stays).
  [[nodiscard]] StoreResult save(const ProgramDir& dir) const;

  friend bool operator==(const SystemSettings&, const SystemSettings&) = default;
};

}  // namespace pw
