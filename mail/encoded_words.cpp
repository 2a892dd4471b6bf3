#include "mail/encoded_words.h"

#include <algorithm>
#include <array>

#include "base/code_page.h"
#include "mail/base64.h"
#include "mail/quoted_printable.h"

namespace pw {
namespace {

bool is_white(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

// A name worth handing to iconv: short, and without the '/' that would let
// a mail pick iconv options ("//TRANSLIT").
bool plausible_charset(std::string_view name) {
  if (name.size() > 40) return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' || c == ':';
  });
}

// Decoded bytes in the system code page. Charsets that are the system code
// page or a subset of it are kept as they are (mailers label GBK text as
// GB2312 all the time); others are converted when iconv knows them and the
// bytes are valid there, else kept.
std::string to_system_code_page(std::string bytes, std::string_view charset) {
  static constexpr std::array<std::string_view, 6> kNative = {"GB2312", "GBK", "GB18030", "US-ASCII", "CP936", ""};
  // An RFC 2231 language suffix ("UTF-8*en") is not part of the name.
  std::string name = upper(charset.substr(0, charset.find('*')));
  if (std::find(kNative.begin(), kNative.end(), name) != kNative.end() || !plausible_charset(name)) return bytes;
  std::optional<std::string> converted = transcode(bytes, name.c_str(), "GB18030");
  return converted ? std::move(*converted) : bytes;
}

std::string decode_text(char encoding, std::string_view text) {
  if (encoding == 'B' || encoding == 'b') return base64_decode(text);
  if (encoding == 'Q' || encoding == 'q') return quoted_printable_decode_word(text);
  return {};
}

}  // namespace

std::string decode_encoded_words(std::string_view value) {
  constexpr auto npos = std::string_view::npos;
  while (!value.empty() && is_white(value.front())) value.remove_prefix(1);
  std::string out;
  out.reserve(value.size());
  size_t copied = 0;  // input before this is in `out`
  size_t search = 0;
  // The first "?=" at or after the last opener; kept while it lies ahead, so
  // many openers without a closer do not rescan the value each time.
  size_t first_close = 0;
  for (;;) {
    size_t open = value.find("=?", search);
    if (open == npos) break;
    size_t a = open + 2;
    if (first_close < a) first_close = value.find("?=", a);
    if (first_close == npos) break;
    size_t close = first_close;
    size_t q1 = value.find('?', a);  // ends the charset name
    if (q1 == close) {               // no encoding letter
      search = a;
      continue;
    }
    // Encoded text that starts with '=' looks like an early "?=".
    if (close == q1 + 2) {
      close = value.find("?=", close + 1);
      if (close == npos) break;
    }
    if (q1 + 2 >= value.size() || value[q1 + 2] != '?') {
      search = a;
      continue;
    }
    std::string decoded = decode_text(value[q1 + 1], value.substr(q1 + 3, close - (q1 + 3)));
    out.append(value.substr(copied, open - copied));
    out.append(to_system_code_page(std::move(decoded), value.substr(a, q1 - a)));
    copied = search = close + 2;
  }
  out.append(value.substr(copied));
  return out;
}

}  // namespace pw
