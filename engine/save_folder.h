#pragma once
// The folder below a chosen directory where backups and attachments of one
// account go (DIR/ADDRESS/BackupMail, DIR/ADDRESS/Attachment), and the
// creation of new files in it under names that come from mails.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "base/code_page.h"

namespace pw {

class SaveFolder {
 public:
  // DIR/ADDRESS/SUB, each of the two levels below `dir` created when
  // missing; `dir` itself must exist and be an absolute path (a rule from
  // another system may hold "D:\\mail": nothing is ever written relative to
  // the working directory). `dir` and the address are GB18030 text; the
  // address is made a single safe path component first. nullopt when a
  // level cannot be made.
  [[nodiscard]] static std::optional<SaveFolder> open(std::string_view dir, std::string_view address,
                                                      std::string_view sub);

  // "" when the GB18030 path `path` is absolute; otherwise the reason the
  // action refuses it, for its log record.
  [[nodiscard]] static std::string path_refusal(std::string_view path);

  [[nodiscard]] const std::filesystem::path& path() const { return path_; }

  // `name` without the characters \ / : * ? " < > | ; and made one safe
  // path component (`fallback` when nothing usable is left).
  [[nodiscard]] static std::string clean_name(std::string_view name, std::string_view fallback);

  // Creates a new file named by `name_for(0)`, then `name_for(1)`, ... (GB18030
  // names) while the name is taken, and writes `data` into it. The path
  // written, or nullopt when no file could be created or written (a partly
  // written file is removed).
  template <typename NameFor>
  [[nodiscard]] std::optional<std::filesystem::path> write_new(NameFor name_for, std::string_view data) const {
    for (int n = 0; n < kMaxTries; ++n) {
      const std::filesystem::path p = path_ / path_from_gb(name_for(n));
      const int r = write_exclusive(p, data);
      if (r == 1) return p;
      if (r < 0) return std::nullopt;
    }
    return std::nullopt;
  }

 private:
  static constexpr int kMaxTries = 100000;

  explicit SaveFolder(std::filesystem::path path) : path_(std::move(path)) {}
  // 1 written, 0 the name exists already, -1 failed.
  static int write_exclusive(const std::filesystem::path& path, std::string_view data);

  std::filesystem::path path_;
};

}  // namespace pw
