#pragma once
// Searches one literal segment of a body pattern, where '?' stands for any
// one byte, in a text. Bit-parallel (shift-and): each text byte costs one
// step per 64 segment bytes, whatever the text and segment hold, so adversarial
// inputs (repeated bytes, near-misses, many '?') stay linear in the text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pw {

class SegmentSearcher {
 public:
  static constexpr size_t npos = std::string_view::npos;

  explicit SegmentSearcher(std::string_view segment);

  // The left-most position p >= from at which the segment matches `text`
  // (it may end exactly at the end of the text), or npos. The empty segment
  // matches at `from` unless no text is left there: an empty remaining text
  // matches nothing.
  //
  // A call on the same text with `from` just after the previous result picks
  // up the scan where it stopped instead of starting again, so walking the
  // occurrences one after another costs one pass over the text.
  [[nodiscard]] size_t find(std::string_view text, size_t from);

  [[nodiscard]] size_t size() const { return length_; }

 private:
  // Feeds text bytes from `pos_` until the segment's last byte matches.
  [[nodiscard]] size_t scan(std::string_view text);
  void reset_state();

  size_t length_ = 0;
  size_t words_ = 0;                // 64-bit words per state
  uint64_t top_bit_ = 0;            // bit of the last segment byte in the last word
  int first_byte_ = -1;             // the segment's first byte, or -1 for '?'
  std::vector<uint64_t> masks_;     // 256 x words_: bit j set when segment[j] accepts the byte
  std::vector<uint64_t> state_;     // bit j: segment[0..j] ends at the byte before pos_

  // Where the previous scan stopped, to continue it.
  const char* text_data_ = nullptr;
  size_t text_size_ = 0;
  size_t resume_from_ = npos;       // the `from` that continues the scan
  size_t pos_ = 0;                  // next text byte to feed
};

}  // namespace pw
