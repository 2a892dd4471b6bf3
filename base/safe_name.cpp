#include "base/safe_name.h"

namespace pw {

bool is_safe_file_name(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7f || c == '/' || c == '\\') return false;
  }
  return true;
}

std::string sanitise_file_name(std::string_view name, std::string_view fallback, size_t max_bytes) {
  size_t cut = name.find_last_of("/\\");
  if (cut != std::string_view::npos) name.remove_prefix(cut + 1);
  std::string out;
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7f) continue;
    if (std::string_view("<>:\"/\\|?*").find(static_cast<char>(c)) != std::string_view::npos) continue;
    out.push_back(static_cast<char>(c));
  }
  // Cut on a character boundary: walk GB18030 characters (1, 2 or 4 bytes).
  if (out.size() > max_bytes) {
    size_t i = 0;
    while (i < out.size()) {
      auto b = static_cast<unsigned char>(out[i]);
      size_t len = 1;
      if (b >= 0x81 && b <= 0xfe && i + 1 < out.size()) {
        auto b2 = static_cast<unsigned char>(out[i + 1]);
        len = (b2 >= 0x30 && b2 <= 0x39) ? 4 : 2;
      }
      if (i + len > max_bytes) break;
      i += len;
    }
    out.resize(i);
  }
  // Names of only dots or blanks are no names on any file system we write to.
  if (out.find_first_not_of(". ") == std::string::npos) return std::string(fallback);
  return out;
}

}  // namespace pw
