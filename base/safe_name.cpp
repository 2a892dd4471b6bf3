#include "base/safe_name.h"

namespace pw {
namespace {

// The byte length of the GB18030 character at `i` (1, 2 or 4). A lead byte
// without a valid rest counts alone, so that it never hides an ASCII byte
// such as '/' behind it.
size_t char_length(std::string_view s, size_t i) {
  auto at = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char b = at(i);
  if (b < 0x81 || b > 0xfe || i + 1 >= s.size()) return 1;
  const unsigned char b2 = at(i + 1);
  if ((b2 >= 0x40 && b2 <= 0x7e) || (b2 >= 0x80 && b2 <= 0xfe)) return 2;
  if (b2 >= 0x30 && b2 <= 0x39 && i + 3 < s.size() && at(i + 2) >= 0x81 && at(i + 2) <= 0xfe && at(i + 3) >= 0x30 &&
      at(i + 3) <= 0x39)
    return 4;
  return 1;
}

// Calls `visit(character, is_single_byte)` for each character in turn.
template <typename Visit>
void for_each_character(std::string_view s, Visit visit) {
  for (size_t i = 0; i < s.size();) {
    const size_t len = char_length(s, i);
    visit(s.substr(i, len), len == 1);
    i += len;
  }
}

// Length of the longest prefix of `s` of at most `max_bytes` bytes that ends
// on a character boundary.
size_t character_prefix(std::string_view s, size_t max_bytes) {
  size_t i = 0;
  while (i < s.size()) {
    const size_t len = char_length(s, i);
    if (i + len > max_bytes) break;
    i += len;
  }
  return i;
}

bool is_control(std::string_view c) {
  return c.size() == 1 && (static_cast<unsigned char>(c[0]) < 0x20 || c[0] == 0x7f);
}

}  // namespace

std::string without_characters(std::string_view gb_text, std::string_view ascii_set) {
  std::string out;
  out.reserve(gb_text.size());
  for_each_character(gb_text, [&](std::string_view c, bool single) {
    if (!single || ascii_set.find(c[0]) == std::string_view::npos) out.append(c);
  });
  return out;
}

bool is_safe_file_name(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  bool safe = true;
  for_each_character(name, [&](std::string_view c, bool single) {
    if (is_control(c) || (single && (c[0] == '/' || c[0] == '\\'))) safe = false;
  });
  return safe;
}

std::string sanitise_file_name(std::string_view name, std::string_view fallback, size_t max_bytes) {
  // Only the last path component counts; a trail byte 0x5C is no separator.
  size_t start = 0;
  size_t at = 0;
  for_each_character(name, [&](std::string_view c, bool single) {
    at += c.size();
    if (single && (c[0] == '/' || c[0] == '\\')) start = at;
  });
  std::string out;
  for_each_character(without_characters(name.substr(start), "<>:\"/\\|?*"), [&](std::string_view c, bool) {
    if (!is_control(c)) out.append(c);
  });
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

std::string fitted_file_name(std::string_view name, std::string_view prefix, std::string_view infix,
                             size_t max_bytes) {
  const size_t dot = name.rfind('.');
  const size_t split = dot != std::string_view::npos && dot > 0 && name.size() - dot <= 16 ? dot : name.size();
  std::string_view stem = name.substr(0, split);
  const std::string_view ext = name.substr(split);
  const size_t fixed = prefix.size() + infix.size() + ext.size();
  if (fixed + stem.size() > max_bytes) {
    size_t keep = fixed < max_bytes ? max_bytes - fixed : 0;
    // Back to the start of a character: never leave a UTF-8 lead byte without
    // its continuation bytes.
    if (keep < stem.size())
      while (keep > 0 && (static_cast<unsigned char>(stem[keep]) & 0xc0) == 0x80) --keep;
    stem = stem.substr(0, keep);
  }
  std::string out;
  out.reserve(fixed + stem.size());
  out.append(prefix).append(stem).append(infix).append(ext);
  return out;
}

}  // namespace pw
