#include "base/safe_name.h"

namespace pw {
namespace {

// Length of the longest prefix of `s` of at most `max_bytes` bytes that ends
// on a GB18030 character boundary (characters of 1, 2 or 4 bytes).
size_t character_prefix(std::string_view s, size_t max_bytes) {
  size_t i = 0;
  while (i < s.size()) {
    auto b = static_cast<unsigned char>(s[i]);
    size_t len = 1;
    if (b >= 0x81 && b <= 0xfe && i + 1 < s.size()) {
      auto b2 = static_cast<unsigned char>(s[i + 1]);
      len = (b2 >= 0x30 && b2 <= 0x39) ? 4 : 2;
    }
    if (i + len > max_bytes) break;
    i += len;
  }
  return i;
}

}  // namespace

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
  // Cut on a character boundary, keeping a short extension so that the file
  // still opens with its program.
  if (out.size() > max_bytes) {
    std::string ext;
    size_t dot = out.rfind('.');
    if (dot != std::string::npos && dot > 0 && out.size() - dot <= 16 && out.size() - dot < max_bytes) {
      ext = out.substr(dot);
      out.resize(dot);
    }
    out.resize(character_prefix(out, max_bytes - ext.size()));
    out += ext;
  }
  // Names of only dots or blanks are no names on any file system we write to.
  if (out.find_first_not_of(". ") == std::string::npos) return std::string(fallback);
  return out;
}

}  // namespace pw
