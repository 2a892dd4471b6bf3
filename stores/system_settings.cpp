#include "stores/system_settings.h"

#include <algorithm>
#include <cstring>

#include "base/file_io.h"
#include "base/fixed_field.h"
#include "res/string_ids.h"
#include "stores/scramble_field.h"

namespace pw {
namespace {

struct StringField {
  std::string SystemSettings::*member;
  size_t offset;
  size_t width;
  bool scrambled;
};

constexpr StringField kStrings[] = {
    {&SystemSettings::dial_entry, 16, 64, false},     {&SystemSettings::phone_number, 80, 32, false},
    {&SystemSettings::dial_user, 112, 64, false},     {&SystemSettings::dial_password, 176, 32, true},
    {&SystemSettings::login_password, 220, 32, true},
};

struct IntField {
  uint32_t SystemSettings::*unsigned_member;
  int32_t SystemSettings::*signed_member;
  size_t offset;
};

constexpr IntField kInts[] = {
    {&SystemSettings::first_word, nullptr, 0},       {&SystemSettings::options, nullptr, 4},
    {nullptr, &SystemSettings::check_interval, 8},   {nullptr, &SystemSettings::interval_unit, 12},
    {nullptr, &SystemSettings::months_to_keep, 208}, {nullptr, &SystemSettings::shutdown_hour, 212},
    {nullptr, &SystemSettings::shutdown_minute, 216}, {&SystemSettings::next_rule_id, nullptr, 252},
};

constexpr size_t kReserved = 256;

}  // namespace

void SystemSettings::set_option(uint32_t bit, bool on) {
  if (on) {
    options |= bit;
  } else {
    options &= ~bit;
  }
  if (!(options & kAutoDial)) options &= ~kHangUp;
}

std::string SystemSettings::encode() const {
  std::string image(kSize, '\0');
  char* p = image.data();
  for (const IntField& f : kInts) {
    uint32_t v = f.unsigned_member ? this->*f.unsigned_member : static_cast<uint32_t>(this->*f.signed_member);
    if (f.offset == 4 && !(v & kAutoDial)) v &= ~kHangUp;
    write_le32(p + f.offset, v);
  }
  for (const StringField& f : kStrings) {
    put_field(p + f.offset, f.width, this->*f.member);
    if (f.scrambled) scramble_field(p + f.offset, f.width);
  }
  std::memcpy(p + kReserved, reserved.data(), std::min(reserved.size(), kSize - kReserved));
  return image;
}

SystemSettings SystemSettings::decode(std::string_view image) {
  SystemSettings s;
  const size_t have = std::min(image.size(), kSize);
  // A short file: the bytes it holds, zero after them.
  std::string full(kSize, '\0');
  std::memcpy(full.data(), image.data(), have);
  char* p = full.data();
  for (const IntField& f : kInts) {
    if (f.offset + 4 > have) continue;  // not in the file: the new-record value
    uint32_t v = read_le32(p + f.offset);
    if (f.unsigned_member) {
      s.*f.unsigned_member = v;
    } else {
      s.*f.signed_member = static_cast<int32_t>(v);
    }
  }
  for (const StringField& f : kStrings) {
    if (f.scrambled) scramble_field(p + f.offset, f.width);
    s.*f.member = get_field(p + f.offset, f.width);
  }
  s.reserved.assign(p + kReserved, kSize - kReserved);
  return s;
}

SystemSettings SystemSettings::load(const ProgramDir& dir) {
  std::optional<std::string> data = read_file(dir.file("System"));
  if (!data) return SystemSettings{};
  return decode(*data);
}

StoreResult SystemSettings::save(const ProgramDir& dir) const {
  if (!write_file_atomic(dir.file("System"), encode(), kPrivateFile)) return {false, sid::kSettingsFileFailed};
  return {};
}

}  // namespace pw
