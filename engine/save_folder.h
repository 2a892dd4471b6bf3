#pragma once
// The folder below a chosen directory where backups and attachments of one
// account go (DIR/ADDRESS/BackupMail, DIR/ADDRESS/Attachment), and the
// creation of new files in it under names that come from mails.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace pw {

class SaveFolder {
 public:
  // DIR/ADDRESS/SUB, each of the two levels below `dir` created when
  // missing (by write_new, when it cannot make a file there); `dir` itself
  // must exist and be an absolute path (a rule from another system may hold
  // "D:\\mail": nothing is ever written relative to the working directory).
  // `dir` and the address are GB18030 text; the address is made a single
  // safe path component first. nullopt when `dir` is not absolute.
  [[nodiscard]] static std::optional<SaveFolder> open(std::string_view dir, std::string_view address,
                                                      std::string_view sub);

  // "" when the GB18030 path `path` is absolute; otherwise the reason the
  // action refuses it, for its log record.
  [[nodiscard]] static std::string path_refusal(std::string_view path);

  [[nodiscard]] const std::filesystem::path& path() const { return path_; }

  // `name` without the characters \ / : * ? " < > | ; and made one safe
  // path component (`fallback` when nothing usable is left).
  [[nodiscard]] static std::string clean_name(std::string_view name, std::string_view fallback);

  // How a taken name is varied: "NAME(1).EXT" (backups) or "1_NAME.EXT"
  // (attachments), with 2, 3, ... after 1.
  enum class Numbering { before_extension, in_front };

  // Creates a new file under the GB18030 name `name`, numbered as
  // `numbering` says while the name is taken, and writes `data` into it
  // (only the owner may read it). Each name is cut to fit a file system's
  // 255 bytes of UTF-8 as fitted_file_name does, keeping the extension and
  // the number. The path written, or nullopt when no file could be created
  // or written (a partly written file is removed), `dir` included.
  //
  // The data is written once, to a file without a name in the folder (or,
  // where the file system cannot make one, a hidden temporary file), which
  // is then given the first free name without replacing anything. Names
  // this process already took for the same first name are skipped, so a
  // burst of mails from one sender costs one try each, not one per earlier
  // mail.
  [[nodiscard]] std::optional<std::filesystem::path> write_new(std::string_view name, Numbering numbering,
                                                               std::string_view data) const;

  // `data` written ahead into a file without a name in this folder, for a
  // later write_new to name (another thread may write it meanwhile). It
  // leaves nothing behind: unused, it is closed and gone.
  class Unnamed {
   public:
    Unnamed() = default;
    Unnamed(Unnamed&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Unnamed& operator=(Unnamed&& other) noexcept;
    ~Unnamed();

   private:
    friend class SaveFolder;
    explicit Unnamed(int fd) : fd_(fd) {}
    int fd_ = -1;
  };
  // The file written, or nullopt when it could not be made or written whole
  // (a folder missing, a file system without unnamed files): then write_new
  // does all the work as usual. Never makes a folder.
  [[nodiscard]] std::optional<Unnamed> write_ahead(std::string_view data) const;
  // As write_new above, naming `ready` (written by write_ahead with the
  // same data in this folder) instead of writing the data again.
  [[nodiscard]] std::optional<std::filesystem::path> write_new(std::string_view name, Numbering numbering,
                                                               Unnamed ready) const;

 private:
  // The written data: an open file without a name (fd), or a hidden file
  // named `path` (fd -1).
  struct Part {
    int fd = -1;
    std::filesystem::path path;
  };

  static constexpr int kMaxTries = 100000;

  SaveFolder(std::filesystem::path path, std::filesystem::path dir, std::filesystem::path account)
      : path_(std::move(path)), dir_(std::move(dir)), account_(std::move(account)) {}
  // Makes the levels below dir_ that are missing; false when dir_ is not a
  // directory or a level cannot be made.
  [[nodiscard]] bool make_levels() const;
  // A new file in this folder for the data: one without a name, or where
  // none can be made a hidden named one (part.path). Its descriptor, or -1
  // with errno set.
  [[nodiscard]] int open_part(Part& part) const;
  // A file without a name in this folder, or -1 with errno set.
  [[nodiscard]] int open_unnamed() const;
  // The data in a new file of this folder; nullopt when it could not be
  // written whole.
  [[nodiscard]] std::optional<Part> write_part(std::string_view data) const;
  // Names `part` with the first free name; discards it when none is found.
  [[nodiscard]] std::optional<std::filesystem::path> name_part(std::string_view name, Numbering numbering,
                                                               Part part) const;
  // Gives `part` the name `path` unless `path` exists: 1 named (a part
  // without a name is closed then), 0 the name is taken, -1 failed.
  static int place(Part& part, const std::filesystem::path& path);
  static void discard(Part& part);
  // The highest suffix this process used for `first` in this folder (0 when
  // none), and its update.
  [[nodiscard]] int last_used(const std::string& first) const;
  void remember(const std::string& first, int n) const;

  std::filesystem::path path_;
  std::filesystem::path dir_;      // the chosen directory, never made here
  std::filesystem::path account_;  // dir_/ADDRESS
};

}  // namespace pw
