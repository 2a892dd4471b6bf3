#include "mail/mime_parameter.h"

#include <algorithm>
#include <map>
#include <vector>

#include "mail/encoded_words.h"

namespace pw {
namespace {

constexpr size_t npos = std::string_view::npos;

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
  return s;
}

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return out;
}

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// RFC 2231 %XX escapes; anything else, a broken escape included, is copied.
std::string percent_decode(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    int high = s[i] == '%' && i + 2 < s.size() ? hex_value(s[i + 1]) : -1;
    int low = high >= 0 ? hex_value(s[i + 2]) : -1;
    if (low < 0) {
      out.push_back(s[i]);
      continue;
    }
    out.push_back(static_cast<char>(high * 16 + low));
    i += 2;
  }
  return out;
}

// A parameter value with its quotes and quoted-pair backslashes removed.
std::string unquote(std::string_view v) {
  if (v.size() < 2 || v.front() != '"') return std::string(v);
  v = v.substr(1, v.back() == '"' ? v.size() - 2 : npos);
  std::string out;
  for (size_t i = 0; i < v.size(); ++i) {
    if (v[i] == '\\' && i + 1 < v.size() && (v[i + 1] == '"' || v[i + 1] == '\\')) ++i;
    out.push_back(v[i]);
  }
  return out;
}

// The next ';'-separated piece of `rest`, a ';' inside quotes not counting.
std::string_view take_piece(std::string_view& rest) {
  bool quoted = false;
  size_t i = 0;
  for (; i < rest.size(); ++i) {
    if (rest[i] == '"') quoted = !quoted;
    else if (rest[i] == '\\' && quoted) ++i;
    else if (rest[i] == ';' && !quoted) break;
  }
  std::string_view piece = rest.substr(0, i);
  rest.remove_prefix(std::min(rest.size(), i + 1));
  return piece;
}

struct Section {
  std::string text;
  bool extended = false;
};

}  // namespace

std::optional<std::string> mime_parameter(std::string_view value, std::string_view name) {
  const std::string wanted = lower(name);
  std::optional<std::string> plain;
  std::map<int, Section> sections;  // -1: the single "name*" value
  for (std::string_view rest = value; !rest.empty();) {
    std::string_view piece = take_piece(rest);
    size_t eq = piece.find('=');
    if (eq == npos) continue;
    std::string key = lower(trim(piece.substr(0, eq)));
    std::string text = unquote(trim(piece.substr(eq + 1)));
    if (key == wanted) {
      if (!plain) plain = std::move(text);
      continue;
    }
    if (!key.starts_with(wanted) || key[wanted.size()] != '*') continue;
    std::string_view tail = std::string_view(key).substr(wanted.size() + 1);
    Section s{std::move(text), false};
    if (tail.empty()) {
      sections.try_emplace(-1, Section{std::move(s.text), true});
      continue;
    }
    if (tail.back() == '*') {
      s.extended = true;
      tail.remove_suffix(1);
    }
    if (tail.empty() || tail.size() > 3 || tail.find_first_not_of("0123456789") != npos) continue;
    sections.try_emplace(std::stoi(std::string(tail)), std::move(s));
  }
  if (sections.empty()) return plain ? std::optional(decode_encoded_words(*plain)) : std::nullopt;

  // One value: "name*" alone, else the sections 0, 1, 2... up to a gap.
  std::vector<const Section*> parts;
  if (auto single = sections.find(-1); single != sections.end()) {
    parts.push_back(&single->second);
  } else {
    for (int n = 0; sections.count(n); ++n) parts.push_back(&sections.at(n));
  }
  if (parts.empty()) return plain ? std::optional(decode_encoded_words(*plain)) : std::nullopt;
  std::string charset;
  std::string bytes;
  for (size_t i = 0; i < parts.size(); ++i) {
    std::string_view text = parts[i]->text;
    if (!parts[i]->extended) {
      bytes.append(text);
      continue;
    }
    if (i == 0) {
      // charset'language'text; a value without the quotes is text alone.
      size_t q1 = text.find('\'');
      size_t q2 = q1 == npos ? npos : text.find('\'', q1 + 1);
      if (q2 != npos) {
        charset = text.substr(0, q1);
        text.remove_prefix(q2 + 1);
      }
    }
    bytes.append(percent_decode(text));
  }
  return to_system_code_page(std::move(bytes), charset);
}

}  // namespace pw
