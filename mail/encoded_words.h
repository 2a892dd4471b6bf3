#pragma once
// RFC 2047 encoded words in header values.
#include <string>
#include <string_view>

namespace pw {

// `value` with leading white space trimmed and every encoded word
// "=?charset?B|Q?text?=" replaced by its decoded bytes. Text between encoded
// words, white space included, is kept as it stands; malformed sequences are
// copied as plain text. Bytes in a charset other than the system code page
// (GB18030 and its subsets) are converted to it when iconv knows the charset
// and the bytes are valid in it; otherwise they are kept unchanged.
[[nodiscard]] std::string decode_encoded_words(std::string_view value);

}  // namespace pw
