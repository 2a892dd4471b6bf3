#include "mail/address_list.h"

namespace pw {
namespace {

std::string without(std::string_view text, std::string_view drop) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (drop.find(c) == std::string_view::npos) out.push_back(c);
  }
  return out;
}

// A sender value with its RFC 5322 comments taken out: parenthesised text
// outside quoted strings (comments nest; a backslash quotes the next
// character), and the content of the first comment.
struct SenderParts {
  std::string text;
  std::string first_comment;
};

SenderParts split_comments(std::string_view value) {
  SenderParts out;
  out.text.reserve(value.size());
  bool quoted = false;
  int depth = 0;
  bool first_done = false;
  for (size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    // A GBK double-byte character goes as one: its trail byte may be '\\'.
    const bool pair = i + 1 < value.size() && static_cast<unsigned char>(c) >= 0x81 &&
                      static_cast<unsigned char>(value[i + 1]) >= 0x40;
    const size_t len = (pair || ((quoted || depth > 0) && c == '\\' && i + 1 < value.size())) ? 2 : 1;
    const std::string_view piece = value.substr(i, len);
    i += len - 1;
    if (depth > 0) {
      if (len == 1 && c == '(') ++depth;
      if (len == 1 && c == ')' && --depth == 0) {
        first_done = true;
        out.text.push_back(' ');  // a comment separates what stands around it
        continue;
      }
      if (!first_done) out.first_comment.append(len == 2 && piece[0] == '\\' ? piece.substr(1) : piece);
      continue;
    }
    if (len == 1 && c == '"') quoted = !quoted;
    if (len == 1 && c == '(' && !quoted) {
      depth = 1;
      continue;
    }
    out.text.append(piece);
  }
  return out;
}

}  // namespace

void normalise_address_list(std::string& value) {
  size_t start = value.find_first_not_of(", ;");
  if (start == std::string::npos) start = value.size();
  std::string out;
  out.reserve(value.size() - start);
  bool quoted = false;  // inside a quoted display name ("Doe, John")
  for (size_t i = start; i < value.size(); ++i) {
    char c = value[i];
    // A GBK trail byte may be a '\\' (never a separator or a quote):
    // double-byte characters go as one.
    bool pair = i + 1 < value.size() && static_cast<unsigned char>(c) >= 0x81 &&
                static_cast<unsigned char>(value[i + 1]) >= 0x40;
    if (pair || (quoted && c == '\\' && i + 1 < value.size())) {
      out.push_back(c);
      out.push_back(value[++i]);
      continue;
    }
    if (c == '"') quoted = !quoted;
    if (quoted || (c != ',' && c != ';')) {
      out.push_back(c);
      continue;
    }
    out.push_back(';');
    while (i + 1 < value.size() && (value[i + 1] == ' ' || value[i + 1] == '\t')) ++i;
  }
  value = std::move(out);
}

std::string sender_address(std::string_view sender) {
  const SenderParts parts = split_comments(sender);
  std::string_view value = parts.text;
  if (size_t lt = value.find('<'); lt != std::string_view::npos) value.remove_prefix(lt + 1);
  return without(value, " \t\"<>");
}

std::string sender_name(std::string_view sender) {
  const SenderParts parts = split_comments(sender);
  std::string_view value = parts.text;
  size_t lt = value.find('<');
  std::string name = lt == std::string_view::npos ? std::string() : without(value.substr(0, lt), " \t\"");
  // "a@b.c (Name)" names its sender in the comment.
  if (name.empty() && !parts.first_comment.empty()) return without(parts.first_comment, " \t\"");
  if (lt != std::string_view::npos) return name;
  size_t at = value.find('@');
  return at == std::string_view::npos ? std::string() : without(value.substr(0, at), " \t\"");
}

bool is_acceptable_address(std::string_view address) {
  // The first '@' that is a character of its own: a GB18030 trail byte may
  // equal '@'. No byte of another character equals '.'.
  size_t at = std::string_view::npos;
  for (size_t i = 0; i < address.size(); ++i) {
    if (address[i] == '@') {
      at = i;
      break;
    }
    if (i + 1 < address.size() && static_cast<unsigned char>(address[i]) >= 0x81 &&
        static_cast<unsigned char>(address[i + 1]) >= 0x40)
      ++i;
  }
  size_t dot = address.rfind('.');
  return at != std::string_view::npos && dot != std::string_view::npos && dot > at;
}

std::vector<std::string> split_stored_list(std::string_view list) {
  std::vector<std::string> entries;
  for (size_t semi = list.find(';'); semi != std::string_view::npos; semi = list.find(';')) {
    entries.emplace_back(list.substr(0, semi));
    list.remove_prefix(semi + 1);
  }
  return entries;
}

std::optional<std::string> mail_domain(std::string_view recipient) {
  size_t at = recipient.find('@');
  if (at == std::string_view::npos) return std::nullopt;
  return without(recipient.substr(at + 1), "<>");
}

}  // namespace pw
