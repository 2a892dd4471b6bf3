#pragma once
// RFC 2047 encoded words in header values, both ways, and the conversion of
// header bytes in a named charset to the system code page.
#include <string>
#include <string_view>

namespace pw {

// `value` with leading white space trimmed and every encoded word
// "=?charset?B|Q?text?=" replaced by its decoded bytes. White space between
// two adjacent encoded words is dropped (RFC 2047 6.2), and their bytes are
// converted together when they share a charset, so a character split over
// two words survives. Other text between encoded words is kept as it stands;
// malformed sequences are copied as plain text. Raw 8-bit text that is valid
// UTF-8 (RFC 6532) is converted to the system code page; other raw bytes
// stay as they are (most often they are GBK already).
[[nodiscard]] std::string decode_encoded_words(std::string_view value);

// `bytes` in the system code page (GB18030). Charsets that are the system
// code page or a subset of it are kept as they are (mailers label GBK text
// as GB2312 all the time); others are converted when iconv knows them and
// the bytes are valid there, else kept. An RFC 2231 language suffix
// ("UTF-8*en") is ignored.
[[nodiscard]] std::string to_system_code_page(std::string bytes, std::string_view charset);

// A header value in the system code page as it goes on the wire: pure ASCII
// stays as it is; otherwise the whole value becomes GB18030 B-encoded words
// separated by a folding line break ("\r\n "), each line at most 76
// characters when `lead` characters ("Subject: ") precede the first word.
// Characters are never split between two words.
[[nodiscard]] std::string encode_header_words(std::string_view value, size_t lead = 0);

// True when every byte of `text` is below 0x80.
[[nodiscard]] bool is_ascii(std::string_view text);

}  // namespace pw
