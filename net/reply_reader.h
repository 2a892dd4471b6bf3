#pragma once
// Buffered reading of a server's replies over a ByteStream. A reply line may
// arrive split over several receives, or together with the bytes that follow
// it; whatever was received beyond the line just read stays buffered for the
// next read, so the protocol never loses its place.
//
// Besides the stream's wait for each receive, a reply must keep moving: once
// its grace time (a minute by default) has passed since it began, it fails
// as TooSlow whenever less than 1 KiB arrived in the last minute. A slow but
// steady link passes whatever the size of the reply; a server that trickles
// a byte now and then, each within the wait, cannot hold the session for
// ever.
#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
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
  // How a reply must move: at least min_bytes in every `window`.
  struct Pace {
    std::chrono::milliseconds window{60000};
    size_t min_bytes = 1024;
  };
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

  // A new reply begins (its command was just sent, or the reply before it
  // was read): its measure starts now, with `grace` (the pace's window by
  // default) before it must show progress.
  void start_reply(std::chrono::milliseconds grace);
  void start_reply() { start_reply(pace_.window); }
  void set_pace(const Pace& pace) { pace_ = pace; }
  [[nodiscard]] const Pace& pace() const { return pace_; }
  // Where the time comes from (tests pass a clock of their own).
  void set_clock(std::function<Clock::time_point()> now) { now_ = std::move(now); }

  void set_max_line(size_t max_line) { max_line_ = max_line; }

 private:
  ByteStream& stream_;
  size_t max_line_;
  std::vector<char> buf_;
  size_t begin_ = 0;  // first unconsumed byte
  size_t end_ = 0;    // one past the last received byte
  Pace pace_;
  std::function<Clock::time_point()> now_ = [] { return Clock::now(); };
  Clock::time_point reply_start_ = now_();
  std::chrono::milliseconds grace_ = pace_.window;
  // The latest receives of this reply, as few as hold min_bytes, each with
  // its time, and their sum.
  struct Receipt {
    Clock::time_point at;
    size_t bytes;
  };
  std::deque<Receipt> recent_;
  size_t recent_bytes_ = 0;

  [[nodiscard]] bool stalled();
  void note(size_t bytes);
};

// A receive result of 0 or less as a reader status.
[[nodiscard]] ReplyReader::Status receive_status(int r);

}  // namespace pw
