#pragma once
// Whole-file reads and the two ways stores write: atomic replacement and
// appending.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

struct stat;

namespace pw {

// The whole content of a regular file; nullopt when it is missing, is not a
// regular file (a directory, say) or cannot be read. Files larger than
// `max_bytes` are refused as well, so a damaged store cannot exhaust memory.
[[nodiscard]] std::optional<std::string> read_file(const std::filesystem::path& path,
                                                   size_t max_bytes = size_t(1) << 30);

// The same for a file whose name came from outside: a symbolic link is
// refused, and so is a FIFO or a device without waiting for it to open.
[[nodiscard]] std::optional<std::string> read_plain_file(const std::filesystem::path& path, size_t max_bytes);

// File modes: files that hold passwords (or other private data) are the
// owner's alone; the rest may be read by others as usual.
inline constexpr unsigned kPrivateFile = 0600;
inline constexpr unsigned kSharedFile = 0644;

// Replaces `path` with `data`: writes a temporary file in the same directory,
// flushes it to disk and renames it over the old file. On any failure the old
// file is left as it was and false is returned. The new file has `mode`, so
// saving a private file tightens an old one that was readable by others.
[[nodiscard]] bool write_file_atomic(const std::filesystem::path& path, std::string_view data,
                                     unsigned mode = kSharedFile);

// Writes all of `data` to the open file `fd`, going on after short writes
// and interruptions.
[[nodiscard]] bool write_all(int fd, std::string_view data);

// Appends `data` to `path`, creating it with `mode` when missing and never
// truncating it. With `sync`, the data is flushed to disk before returning.
[[nodiscard]] bool append_file(const std::filesystem::path& path, std::string_view data, bool sync = false,
                               unsigned mode = kSharedFile);

// Why appending to `path` would fail now, as an errno value (EROFS, EACCES,
// ENOSPC, EISDIR, ...), or 0 when it can be written and its file system has
// at least `min_free` bytes left. A missing file is judged by its directory,
// where an append would create it.
[[nodiscard]] int append_blocker(const std::filesystem::path& path, uint64_t min_free);

// Flushes what was written to `path` to disk; true when it is missing.
[[nodiscard]] bool sync_existing_file(const std::filesystem::path& path);

// A file a store appends to, kept open from one append to the next (a check
// appends once per mail). The file held is given up for a new open by name
// once it has lost its name: replaced by a rename or removed.
class AppendFile {
 public:
  AppendFile() = default;
  ~AppendFile() { close(); }
  AppendFile(const AppendFile&) = delete;
  AppendFile& operator=(const AppendFile&) = delete;

  // The descriptor of `path` (created when missing; read-write, appending)
  // with its status in `st`, or -1. The status is taken after `lock` (an
  // exclusive flock) when asked for.
  [[nodiscard]] int open(const std::filesystem::path& path, struct stat& st, bool lock = false);
  // Lets go of the lock taken by open().
  void unlock() const;
  void close();

 private:
  std::filesystem::path path_;
  int fd_ = -1;
};

// Appends one fixed-size record to a file of such records. A file whose
// length is no multiple of `record_size` ends in the piece of a write cut
// short (a full disk): that piece is cut off first, so every record stays
// aligned. A write that fails is cut off again at once.
[[nodiscard]] bool append_record(AppendFile& file, const std::filesystem::path& path, std::string_view record,
                                 size_t record_size);

}  // namespace pw
