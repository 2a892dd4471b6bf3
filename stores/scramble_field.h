#pragma once
// The key-XOR that hides the password fields of the account and settings
// records. Applying it twice restores the plain text.
#include <cstddef>

namespace pw {

// Scrambles (or unscrambles) the NUL-terminated text in `field` in place. Only
// the bytes before the first NUL within `width` change; a byte equal to its
// key byte is kept, so the result never gains a NUL and keeps its length.
void scramble_field(char* field, size_t width);

}  // namespace pw
