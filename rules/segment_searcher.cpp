#include "rules/segment_searcher.h"

#include <cstring>

namespace pw {

SegmentSearcher::SegmentSearcher(std::string_view segment) : length_(segment.size()) {
  if (length_ == 0) return;
  words_ = (length_ + 63) / 64;
  top_bit_ = uint64_t(1) << ((length_ - 1) % 64);
  first_byte_ = segment[0] == '?' ? -1 : static_cast<unsigned char>(segment[0]);
  masks_.assign(256 * words_, 0);
  for (size_t j = 0; j < length_; ++j) {
    const uint64_t bit = uint64_t(1) << (j % 64);
    const size_t word = j / 64;
    if (segment[j] == '?') {
      for (size_t c = 0; c < 256; ++c) masks_[c * words_ + word] |= bit;
    } else {
      masks_[static_cast<unsigned char>(segment[j]) * words_ + word] |= bit;
    }
  }
  state_.assign(words_, 0);
}

void SegmentSearcher::reset_state() {
  for (auto& w : state_) w = 0;
}

size_t SegmentSearcher::find(std::string_view text, size_t from) {
  if (from >= text.size()) return npos;
  if (length_ == 0) return from;
  const bool resumes = text.data() == text_data_ && text.size() == text_size_ && from == resume_from_;
  if (!resumes) {
    reset_state();
    text_data_ = text.data();
    text_size_ = text.size();
    pos_ = from;
  }
  resume_from_ = npos;
  if (length_ > text.size() - from) return npos;
  const size_t found = scan(text);
  if (found != npos) {
    // Drop the full match: the partial matches left in the state all start
    // after `found`, exactly what a fresh search from found + 1 would hold.
    state_[words_ - 1] &= ~top_bit_;
    resume_from_ = found + 1;
  }
  return found;
}

size_t SegmentSearcher::scan(std::string_view text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  if (words_ == 1) {
    uint64_t d = state_[0];
    const uint64_t* masks = masks_.data();
    while (pos_ < n) {
      if (d == 0 && first_byte_ >= 0) {
        // Nothing under way: jump to the next byte that can start the segment.
        const void* hit = std::memchr(bytes + pos_, first_byte_, n - pos_);
        if (hit == nullptr) {
          pos_ = n;
          break;
        }
        pos_ = static_cast<size_t>(static_cast<const unsigned char*>(hit) - bytes);
      }
      d = ((d << 1) | 1) & masks[bytes[pos_++]];
      if (d & top_bit_) {
        state_[0] = d;
        return pos_ - length_;
      }
    }
    state_[0] = d;
    return npos;
  }
  while (pos_ < n) {
    const uint64_t* mask = &masks_[size_t(bytes[pos_++]) * words_];
    uint64_t carry = 1;
    for (size_t w = 0; w < words_; ++w) {
      const uint64_t next_carry = state_[w] >> 63;
      state_[w] = ((state_[w] << 1) | carry) & mask[w];
      carry = next_carry;
    }
    if (state_[words_ - 1] & top_bit_) return pos_ - length_;
  }
  return npos;
}

}  // namespace pw
