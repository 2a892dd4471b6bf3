#include "net/reply_reader.h"

#include <cstring>

namespace pw {

ReplyReader::Status receive_status(int r) {
  if (r == 0) return ReplyReader::Status::Closed;
  if (r == ByteStream::kTimeout) return ReplyReader::Status::Timeout;
  if (r == ReplyReader::kTooSlow) return ReplyReader::Status::TooSlow;
  return ReplyReader::Status::Error;
}

void ReplyReader::start_reply(std::chrono::milliseconds grace) {
  reply_start_ = now_();
  grace_ = grace;
  recent_.clear();
  recent_bytes_ = 0;
}

bool ReplyReader::stalled() {
  const Clock::time_point now = now_();
  while (!recent_.empty() && now - recent_.front().at > pace_.window) {
    recent_bytes_ -= recent_.front().bytes;
    recent_.pop_front();
  }
  return now - reply_start_ >= grace_ && recent_bytes_ < pace_.min_bytes;
}

void ReplyReader::note(size_t bytes) {
  recent_.push_back({now_(), bytes});
  recent_bytes_ += bytes;
  // Older receipts matter no more once the newer ones hold min_bytes.
  while (recent_.size() > 1 && recent_bytes_ - recent_.front().bytes >= pace_.min_bytes) {
    recent_bytes_ -= recent_.front().bytes;
    recent_.pop_front();
  }
}

int ReplyReader::fill(size_t capacity) {
  if (stalled()) return kTooSlow;
  // Move the unconsumed rest to the front, so the buffer holds at most one
  // partial line plus one receive.
  if (begin_ > 0) {
    std::memmove(buf_.data(), buf_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  if (buf_.size() < end_ + capacity) buf_.resize(end_ + capacity);
  int r = stream_.receive(buf_.data() + end_, capacity);
  if (r > 0) {
    end_ += static_cast<size_t>(r);
    note(static_cast<size_t>(r));
  }
  return r;
}

ReplyReader::Status ReplyReader::read_line(std::string& line) {
  size_t searched = 0;  // bytes of buffered() already known to hold no LF
  for (;;) {
    std::string_view rest = buffered();
    const void* lf = rest.size() > searched ? std::memchr(rest.data() + searched, '\n', rest.size() - searched)
                                            : nullptr;
    if (lf) {
      size_t n = static_cast<size_t>(static_cast<const char*>(lf) - rest.data()) + 1;
      begin_ += n;
      if (n > max_line_) return Status::TooLong;
      line.assign(rest.data(), n);
      return Status::Line;
    }
    searched = rest.size();
    if (searched >= max_line_) {
      clear();
      return Status::TooLong;
    }
    int r = fill(kLineReceiveSize);
    if (r <= 0) return receive_status(r);
  }
}

}  // namespace pw
