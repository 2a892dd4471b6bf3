#include "base/code_page.h"

#include <cerrno>
#include <iconv.h>

namespace pw {
namespace {

class Converter {
 public:
  Converter(const char* from, const char* to) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  [[nodiscard]] bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts the whole input. With `lenient`, an invalid or incomplete input
  // sequence is replaced by '?' (one input byte skipped) instead of failing.
  std::optional<std::string> run(std::string_view input, bool lenient) {
    std::string out;
    out.reserve(input.size() * 2 + 16);
    char* in = const_cast<char*>(input.data());
    size_t in_left = input.size();
    char buffer[4096];
    while (in_left > 0) {
      char* dst = buffer;
      size_t dst_left = sizeof buffer;
      size_t r = iconv(cd_, &in, &in_left, &dst, &dst_left);
      out.append(buffer, static_cast<size_t>(dst - buffer));
      if (r != static_cast<size_t>(-1)) continue;
      if (errno == E2BIG) continue;
      if (!lenient) return std::nullopt;
      // EILSEQ or EINVAL: skip one byte and mark it.
      out.push_back('?');
      ++in;
      --in_left;
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    char* dst = buffer;
    size_t dst_left = sizeof buffer;
    iconv(cd_, nullptr, nullptr, &dst, &dst_left);
    out.append(buffer, static_cast<size_t>(dst - buffer));
    return out;
  }

 private:
  iconv_t cd_;
};

}  // namespace

std::optional<std::string> transcode(std::string_view bytes, const char* from, const char* to) {
  Converter c(from, to);
  if (!c.ok()) return std::nullopt;
  return c.run(bytes, false);
}

namespace {

// ASCII reads the same in GB18030 and UTF-8; most paths and many texts are
// plain ASCII and need no converter (opening one costs more than the copy).
bool plain_ascii(std::string_view text) {
  for (unsigned char c : text)
    if (c >= 0x80) return false;
  return true;
}

}  // namespace

std::string gb_to_utf8(std::string_view gb18030) {
  if (plain_ascii(gb18030)) return std::string(gb18030);
  Converter c("GB18030", "UTF-8");
  return c.ok() ? *c.run(gb18030, true) : std::string(gb18030);
}

std::string utf8_to_gb(std::string_view utf8) {
  if (plain_ascii(utf8)) return std::string(utf8);
  Converter c("UTF-8", "GB18030");
  return c.ok() ? *c.run(utf8, true) : std::string(utf8);
}

std::filesystem::path path_from_gb(std::string_view gb18030) { return std::filesystem::path(gb_to_utf8(gb18030)); }

std::string gb_from_path(const std::filesystem::path& path) { return utf8_to_gb(path.native()); }

}  // namespace pw
