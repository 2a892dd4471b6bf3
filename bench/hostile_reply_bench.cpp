// Peak resident memory of a POP3 session against replies that never end: an
// endless CAPA, an endless LIST, an endless UIDL listing and a mail that runs
// past the per-mail limit (nothing listed for it), each from an
// in-process peer, each in a child process whose maximum resident set size
// is read with wait4. Prints one line per reply.
//   build/bench/bench_hostile_reply_bench
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "net/pop3_session.h"

namespace {

// Answers the greeting, USER and PASS, then each command with `line`
// repeated: the first `listed` bytes' worth and the end of the reply when
// `listed` is not 0 (a UIDL listing of 20,000 mails), without end after.
class EndlessPeer final : public pw::ByteStream {
 public:
  EndlessPeer(std::string line, size_t listed) : line_(std::move(line)), listed_(listed) {}
  bool connect(const std::string&, int) override { return true; }
  int send(std::string_view data) override {
    ++commands_;
    sent_ = 0;
    return static_cast<int>(data.size());
  }
  int receive(char* buffer, size_t capacity) override {
    if (commands_ < 3) {
      if (answered_ == commands_ + 1) return kTimeout;
      answered_ = commands_ + 1;
      return copy(buffer, capacity, "+OK\r\n");
    }
    if (sent_ == 0) {
      sent_ = 1;
      return copy(buffer, capacity, "+OK\r\n");
    }
    if (commands_ == 3 && listed_ > 0) {
      if (sent_ >= listed_) return copy(buffer, capacity, ".\r\n");
      std::string lines;
      for (int k = 0; k < 20000; ++k) lines += std::to_string(k + 1) + " id" + std::to_string(k) + "\r\n";
      sent_ = listed_;
      return copy(buffer, capacity, lines);
    }
    size_t n = 0;
    while (n + line_.size() <= capacity) {
      std::memcpy(buffer + n, line_.data(), line_.size());
      n += line_.size();
    }
    sent_ += n;
    return static_cast<int>(n);
  }

 private:
  static int copy(char* buffer, size_t capacity, std::string_view s) {
    const size_t n = std::min(capacity, s.size());
    std::memcpy(buffer, s.data(), n);
    return static_cast<int>(n);
  }
  std::string line_;
  size_t listed_;
  size_t sent_ = 0;
  int commands_ = 0;
  int answered_ = 0;
};

long peak_kib(const char* what, std::string line) {
  std::fflush(stdout);
  const pid_t child = ::fork();
  if (child == 0) {
    EndlessPeer peer(std::move(line), std::strcmp(what, "list") == 0 ? 2 : 0);
    pw::Pop3Session pop(peer);
    if (pop.log_in("h", "u", "p") != 1) ::_exit(2);
    int r = 0;
    if (std::strcmp(what, "capa") == 0) r = pop.capa();
    if (std::strcmp(what, "list") == 0) r = pop.uidl_all() == 1 ? pop.list_all() : -1;
    if (std::strcmp(what, "uidl") == 0) r = pop.uidl_all();
    if (std::strcmp(what, "retr") == 0) {
      pop.set_chunk_size(65536);
      r = pop.retr(1);
      while (r == pw::Pop3Session::kMore) r = pop.receive_more();
    }
    std::printf("%s: result %d\n", what, r);
    std::fflush(stdout);
    ::_exit(0);
  }
  int status = 0;
  struct rusage usage {};
  ::wait4(child, &status, 0, &usage);
  return usage.ru_maxrss;
}

}  // namespace

int main() {
  const struct {
    const char* what;
    const char* line;
  } cases[] = {{"capa", "X-CAPABILITY\r\n"}, {"list", "1 1\r\n"}, {"uidl", "1 a\r\n"},
               {"uidl", "1 0123456789012345678901234567890123456789012345678901234567890123456789xx\r\n"},
               {"retr", "a line of a mail that never ends\r\n"}};
  for (const auto& c : cases)
    std::printf("%s, lines of %zu bytes: peak resident %ld KiB\n", c.what, std::strlen(c.line),
                peak_kib(c.what, c.line));
  return 0;
}
