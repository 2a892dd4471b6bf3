#pragma once
// Whole-file reads and the two ways stores write: atomic replacement and
// appending.
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace pw {

// The whole content of a regular file; nullopt when it is missing, is not a
// regular file (a directory, say) or cannot be read. Files larger than
// `max_bytes` are refused as well, so a damaged store cannot exhaust memory.
[[nodiscard]] std::optional<std::string> read_file(const std::filesystem::path& path,
                                                   size_t max_bytes = size_t(1) << 30);

// Replaces `path` with `data`: writes a temporary file in the same directory,
// flushes it to disk and renames it over the old file. On any failure the old
// file is left as it was and false is returned.
[[nodiscard]] bool write_file_atomic(const std::filesystem::path& path, std::string_view data);

// Appends `data` to `path`, creating it when missing and never truncating it.
// With `sync`, the data is flushed to disk before returning.
[[nodiscard]] bool append_file(const std::filesystem::path& path, std::string_view data, bool sync = false);

// Flushes what was written to `path` to disk; true when it is missing.
[[nodiscard]] bool sync_existing_file(const std::filesystem::path& path);

}  // namespace pw
