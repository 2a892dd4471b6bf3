#pragma once
// File names that come from stored or mailed text (GB18030). Such a name must
// never leave the directory it is put in. Everything here works on
// characters, not bytes: 0x5C (backslash) and 0x7C (vertical bar) are also
// trail bytes of many two-byte characters.
#include <string>
#include <string_view>

namespace pw {

// `gb_text` without the single-byte characters found in `ascii_set`.
[[nodiscard]] std::string without_characters(std::string_view gb_text, std::string_view ascii_set);

// True when `name` can be used as one path component as it stands: not empty,
// not "." or "..", and free of '/', '\\' and control characters.
[[nodiscard]] bool is_safe_file_name(std::string_view name);

// Makes a single path component of `name`: drops everything up to the last
// '/' or '\\', removes control characters and the characters Windows forbids
// in names (<>:"/\|?*), cuts it to `max_bytes` without splitting a GB18030
// character and keeping an extension of up to 15 characters, and returns
// `fallback` when nothing usable ("", ".", "..") is left.
[[nodiscard]] std::string sanitise_file_name(std::string_view name, std::string_view fallback,
                                             size_t max_bytes = 200);

// The longest name a Linux file system takes: 255 bytes (of UTF-8 here).
inline constexpr size_t kMaxFileNameBytes = 255;

// The UTF-8 file name `name` with `prefix` put in front and `infix` before its
// extension (the last '.' with at most 15 bytes after it, none when the dot
// starts the name). When that is longer than `max_bytes`, the part before the
// extension is cut, never inside a character, so that the extension and the
// numbering survive: ("报告….doc", "2_", "") gives "2_报….doc".
[[nodiscard]] std::string fitted_file_name(std::string_view name, std::string_view prefix = {},
                                           std::string_view infix = {}, size_t max_bytes = kMaxFileNameBytes);

}  // namespace pw
