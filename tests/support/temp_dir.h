#pragma once
// A fresh directory under /tmp for one test, removed with everything in it.
#include <filesystem>
#include <string>
#include <string_view>

namespace pw::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  [[nodiscard]] const std::filesystem::path& path() const { return path_; }
  [[nodiscard]] std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

  // Writes `bytes` to the file `name` inside the directory (parents created).
  void write(std::string_view name, std::string_view bytes) const;
  // The content of the file `name`, or "" when it is missing.
  [[nodiscard]] std::string read(std::string_view name) const;

 private:
  std::filesystem::path path_;
};

// Bytes from a hex text such as "41 42 00 ff"; blanks and line ends ignored.
[[nodiscard]] std::string hex_bytes(std::string_view hex);

}  // namespace pw::test
