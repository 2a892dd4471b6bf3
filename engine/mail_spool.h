#pragma once
// Where a check keeps the texts of the mails it fetched until it has acted
// on them: one unnamed file, appended to while the server is read and read
// back one mail at a time, so that memory holds only what matching needs
// however many mails a first check finds. The file has no name (or loses
// it at once), so nothing is left behind, whatever way the program ends.
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace pw {

class MailSpool {
 public:
  struct Entry {
    uint64_t offset = 0;
    uint64_t length = 0;
  };

  // The file is made in `dir` when the first text comes (the system's
  // temporary directory when `dir` cannot hold it).
  explicit MailSpool(std::filesystem::path dir) : dir_(std::move(dir)) {}
  ~MailSpool();
  MailSpool(const MailSpool&) = delete;
  MailSpool& operator=(const MailSpool&) = delete;

  // Appends `text`. nullopt when no file could be made, the file system
  // would keep less than kReserve free after it, or the write failed.
  static constexpr uint64_t kReserve = uint64_t{8} << 20;
  [[nodiscard]] std::optional<Entry> put(std::string_view text);
  // The text `put` stored as `entry`; nullopt when it cannot be read back.
  // Any thread may read while another appends.
  [[nodiscard]] std::optional<std::string> get(const Entry& entry) const;
  // Forgets every text; the file is emptied and kept for the next check.
  void clear();

 private:
  [[nodiscard]] bool open_file();

  std::filesystem::path dir_;
  mutable std::mutex mutex_;
  int fd_ = -1;
  uint64_t end_ = 0;
};

}  // namespace pw
