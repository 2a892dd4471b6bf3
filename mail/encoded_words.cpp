#include "mail/encoded_words.h"

#include <algorithm>
#include <array>

#include "base/code_page.h"
#include "mail/base64.h"
#include "mail/quoted_printable.h"

namespace pw {
namespace {

bool is_white(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool all_white(std::string_view s) { return std::all_of(s.begin(), s.end(), is_white); }

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

std::string decode_text(char encoding, std::string_view text) {
  if (encoding == 'B' || encoding == 'b') return base64_decode(text);
  if (encoding == 'Q' || encoding == 'q') return quoted_printable_decode_word(text);
  return {};
}

// Length of the GB18030 character starting at `s[i]` (1, 2 or 4 bytes),
// never running past the end.
size_t gb_char_length(std::string_view s, size_t i) {
  auto b = static_cast<unsigned char>(s[i]);
  if (b < 0x81 || b == 0xff || i + 1 >= s.size()) return 1;
  auto second = static_cast<unsigned char>(s[i + 1]);
  if (second >= 0x30 && second <= 0x39) return std::min<size_t>(4, s.size() - i);
  return 2;
}

// Decoded bytes of adjacent encoded words that share a charset, converted
// together when the next word or plain text comes.
struct PendingWords {
  std::string bytes;
  std::string charset;
  void flush(std::string& out) {
    if (bytes.empty()) return;
    out.append(to_system_code_page(std::move(bytes), charset));
    bytes.clear();
  }
};

}  // namespace

bool is_ascii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::string to_system_code_page(std::string bytes, std::string_view charset) {
  static constexpr std::array<std::string_view, 7> kNative = {"GB2312", "GBK",   "GB18030", "US-ASCII",
                                                              "ASCII",  "CP936", ""};
  std::string name = upper(charset.substr(0, charset.find('*')));
  if (std::find(kNative.begin(), kNative.end(), name) != kNative.end() || !plausible_charset(name)) return bytes;
  std::optional<std::string> converted = transcode(bytes, name.c_str(), "GB18030");
  return converted ? std::move(*converted) : bytes;
}

std::string decode_encoded_words(std::string_view raw) {
  constexpr auto npos = std::string_view::npos;
  while (!raw.empty() && is_white(raw.front())) raw.remove_prefix(1);
  // Encoded words are ASCII, so converting the raw text first leaves them
  // intact and never touches what they decode to.
  std::optional<std::string> utf8;
  if (!is_ascii(raw)) utf8 = transcode(raw, "UTF-8", "GB18030");
  const std::string_view value = utf8 ? std::string_view(*utf8) : raw;

  std::string out;
  out.reserve(value.size());
  PendingWords pending;
  size_t copied = 0;  // input before this is in `out`
  size_t search = 0;
  size_t word_end = npos;  // just after the last encoded word
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
    std::string_view charset = value.substr(a, q1 - a);
    std::string_view between = value.substr(copied, open - copied);
    bool adjacent = word_end == copied && all_white(between);
    if (!adjacent || upper(charset) != upper(pending.charset)) pending.flush(out);
    if (!adjacent) out.append(between);
    pending.charset = charset;
    pending.bytes.append(decode_text(value[q1 + 1], value.substr(q1 + 3, close - (q1 + 3))));
    copied = search = word_end = close + 2;
  }
  pending.flush(out);
  out.append(value.substr(copied));
  return out;
}

std::string encode_header_words(std::string_view value, size_t lead) {
  if (is_ascii(value)) return std::string(value);
  // Lines that hold encoded words stay within 76 characters (RFC 2047 2):
  // the leading blank of a continuation line and the word, 14 characters of
  // it "=?GB18030?B?" and "?=", 4 Base64 characters for every 3 bytes.
  auto bytes_for = [](size_t used) { return std::max<size_t>(3, (76 - std::min<size_t>(used + 14, 72)) / 4 * 3); };
  std::string out;
  size_t i = 0;
  while (i < value.size()) {
    const size_t kBytesPerWord = bytes_for(out.empty() ? lead : 1);
    // Cut at a character boundary, preferring a whole number of 3-byte
    // groups: some readers (GMime among them) join the Base64 text of
    // adjacent words before decoding and stop at padding inside it.
    size_t end = i;
    size_t unpadded_end = i;
    while (end < value.size()) {
      size_t next = end + gb_char_length(value, end);
      if (next - i > kBytesPerWord) break;
      end = next;
      if ((end - i) % 3 == 0) unpadded_end = end;
    }
    if (end < value.size() && unpadded_end > i) end = unpadded_end;
    if (!out.empty()) out += "\r\n ";
    out += "=?GB18030?B?" + base64_encode(value.substr(i, end - i)) + "?=";
    i = end;
  }
  return out;
}

}  // namespace pw
