#pragma once
// File names that come from stored or mailed text. Such a name must never
// leave the directory it is put in.
#include <string>
#include <string_view>

namespace pw {

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

}  // namespace pw
