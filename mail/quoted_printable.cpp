#include "mail/quoted_printable.h"

namespace pw {
namespace {

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string decode(std::string_view in, bool underscore_is_space) {
  std::string out;
  out.reserve(in.size());
  const size_t n = in.size();
  size_t i = 0;
  while (i < n) {
    char c = in[i];
    if (c != '=') {
      out.push_back(underscore_is_space && c == '_' ? ' ' : c);
      ++i;
      continue;
    }
    // A soft line break: "=" CR LF, "=" CR, or "=" at the very end. A bare
    // LF line end is a soft break too, as many mails are stored with them.
    bool two_follow = i + 2 < n;
    size_t soft_len = 0;
    if (i + 1 < n && in[i + 1] == '\n') {
      soft_len = 2;
    } else if (!two_follow || in[i + 1] == '\r' || in[i + 2] == '\n') {
      soft_len = 3;
    }
    // POP3 has already removed the dot stuffing: a ".." after the break is
    // what the sender wrote.
    if (soft_len != 0) {
      i += soft_len;
      continue;
    }
    int high = hex_value(in[i + 1]);
    int low = hex_value(in[i + 2]);
    if (high < 0) {
      // Not an escape at all: a stray '=' stays, the text after it is read on.
      out.push_back('=');
      ++i;
      continue;
    }
    out.push_back(static_cast<char>(low < 0 ? high : high * 16 + low));
    i += 3;
  }
  return out;
}

}  // namespace

std::string quoted_printable_decode(std::string_view text) { return decode(text, false); }

std::string quoted_printable_decode_word(std::string_view text) { return decode(text, true); }

}  // namespace pw
