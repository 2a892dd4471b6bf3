#pragma once
// Conversions between the system code page (GB18030, a superset of code page
// 936) and UTF-8, and between any two charsets iconv knows.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace pw {

// Strict conversion: nullopt when a charset is unknown or the input holds a
// sequence that is invalid in `from`.
[[nodiscard]] std::optional<std::string> transcode(std::string_view bytes, const char* from, const char* to);

// Lenient forms for display and storage: invalid input bytes become '?'.
[[nodiscard]] std::string gb_to_utf8(std::string_view gb18030);
[[nodiscard]] std::string utf8_to_gb(std::string_view utf8);

// Paths are GB18030 text inside (rule fields, stored records keep it so) and
// UTF-8 names on the file system. These two are the only crossing: every
// path built from internal text goes through path_from_gb, every path that
// is stored as text through gb_from_path.
[[nodiscard]] std::filesystem::path path_from_gb(std::string_view gb18030);
[[nodiscard]] std::string gb_from_path(const std::filesystem::path& path);

}  // namespace pw
