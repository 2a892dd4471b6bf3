#pragma once
// Buffered reading of a server's replies over a ByteStream. A reply line may
// arrive split over several receives, or together with the bytes that follow
// it; whatever was received beyond the line just read stays buffered for the
// next read, so the protocol never loses its place.
//
// Besides the stream's wait for each receive, the whole of one reply is
// bounded: from start_reply() on it must be in within a base time plus one
// second per 16 KiB received so far, or the next read fails as TooSlow. A
// slow but steady link passes; a server that trickles a byte now and then,
// each within the wait, cannot hold the session for ever.
#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "net/byte_stream.h"

namespace pw {

class ReplyReader {
 public:
  enum class Status { Line, Closed, Timeout, Error, TooLong, TooSlow };
  using Clock = std::chrono::steady_clock;

  static constexpr size_t kDefaultMaxLine = size_t{1} << 20;
  // How much one receive asks for while a line is being read.
  static constexpr size_t kLineReceiveSize = 16384;
  // The whole-reply bound: kReplyBase plus a second per kBytesPerSecond.
  static constexpr std::chrono::milliseconds kReplyBase{60000};
  static constexpr size_t kBytesPerSecond = 16384;
  // fill()'s result when the reply ran past its bound (nothing received).
  static constexpr int kTooSlow = -3;

  explicit ReplyReader(ByteStream& stream, size_t max_line = kDefaultMaxLine)
      : stream_(stream), max_line_(max_line) {}

  // Reads up to and including the next LF into `line` (its CR LF or LF kept),
  // receiving as often as needed. TooLong when the line runs past max_line
  // bytes: a too-long line that did end is skipped, one that did not is
  // dropped with everything buffered.
  [[nodiscard]] Status read_line(std::string& line);

  // Receives once, at most `capacity` bytes, and appends them to the buffer.
  // Returns the receive result: a count, 0 for a closed connection, or one of
  // ByteStream's negative results.
  [[nodiscard]] int fill(size_t capacity);

  // The bytes received but not yet consumed; valid until the next fill.
  [[nodiscard]] std::string_view buffered() const { return {buf_.data() + begin_, end_ - begin_}; }
  void consume(size_t n) { begin_ += n < end_ - begin_ ? n : end_ - begin_; }

  // Forgets everything buffered (a new connection) and starts a reply.
  void clear() {
    begin_ = end_ = 0;
    start_reply();
  }

  // A new reply begins (its command was just sent): its bound starts now,
  // with `base` (kReplyBase by default) before the allowance for its size.
  void start_reply(std::chrono::milliseconds base);
  void start_reply() { start_reply(base_); }
  // The base of the replies that follow (tests shorten it).
  void set_reply_base(std::chrono::milliseconds base) { base_ = base; }

  void set_max_line(size_t max_line) { max_line_ = max_line; }

 private:
  ByteStream& stream_;
  size_t max_line_;
  std::vector<char> buf_;
  size_t begin_ = 0;  // first unconsumed byte
  size_t end_ = 0;    // one past the last received byte
  std::chrono::milliseconds base_ = kReplyBase;
  Clock::time_point reply_start_ = Clock::now();
  std::chrono::milliseconds reply_base_ = kReplyBase;
  size_t reply_bytes_ = 0;  // received since start_reply
};

// A receive result of 0 or less as a reader status.
[[nodiscard]] ReplyReader::Status receive_status(int r);

}  // namespace pw
