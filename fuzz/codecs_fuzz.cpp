// The transfer codecs on any bytes: the tolerant decoders never fail, and
// every encoder's output decodes back to its input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "mail/base64.h"
#include "mail/quoted_printable.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view in(reinterpret_cast<const char*>(data), size);

  // Decoders only ever shrink their input.
  if (pw::base64_decode(in).size() > size) abort();
  if (pw::quoted_printable_decode(in).size() > size) abort();
  if (pw::quoted_printable_decode_word(in).size() > size) abort();

  if (pw::base64_decode(pw::base64_encode(in)) != in) abort();
  if (pw::base64_decode(pw::base64_encode_lines(in)) != in) abort();
  if (pw::base64_decode(pw::base64_encode_unpadded(in)) != in) abort();
  return 0;
}
