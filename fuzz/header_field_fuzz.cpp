// Any bytes as a header value and as a mail text: key search, field lookup
// and the encoded-word decoder never fail and keep their promises.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "mail/encoded_words.h"
#include "mail/header_field.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view in(reinterpret_cast<const char*>(data), size);

  // ASCII text without an opener comes back as it was, less its leading
  // white space.
  std::string decoded = pw::decode_encoded_words(in);
  if (in.find("=?") == std::string_view::npos && pw::is_ascii(in)) {
    std::string_view trimmed = in.substr(std::min(in.find_first_not_of(" \t\r\n"), size));
    if (decoded != trimmed) abort();
  }

  for (const char* key : {"from:", "to:", "cc:", "subject:", "date:"}) {
    std::ptrdiff_t at = pw::find_header_key(in, key, 0);
    if (at < -1 || at >= static_cast<std::ptrdiff_t>(size)) abort();
    if (at >= 0 && pw::find_header_key(in, key, at) != at) abort();
    std::string value = pw::header_field(in, key);
    if (value.find_first_of("\r\n") != std::string::npos) abort();
  }
  return 0;
}
