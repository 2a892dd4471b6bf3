#include "support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/syscall.h>

namespace pw::test {

bool ChildProcess::start(const std::vector<std::string>& argv, const std::filesystem::path& error_file) {
  stop();
  int pipe_fds[2];
  if (::pipe2(pipe_fds, O_CLOEXEC) != 0) return false;
  int err = ::open(error_file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(pipe_fds[1], STDOUT_FILENO);
    if (err >= 0) ::dup2(err, STDERR_FILENO);
    int null_in = ::open("/dev/null", O_RDONLY);
    if (null_in >= 0) ::dup2(null_in, STDIN_FILENO);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  ::close(pipe_fds[1]);
  if (err >= 0) ::close(err);
  if (pid < 0) {
    ::close(pipe_fds[0]);
    return false;
  }
  pid_ = pid;
  out_ = pipe_fds[0];
  return true;
}

std::optional<std::string> ChildProcess::read_line(std::chrono::milliseconds limit) {
  auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    size_t nl = buffered_.find('\n');
    if (nl != std::string::npos) {
      std::string line = buffered_.substr(0, nl);
      buffered_.erase(0, nl + 1);
      return line;
    }
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (out_ < 0 || left.count() <= 0) return std::nullopt;
    pollfd p{out_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
    char chunk[512];
    ssize_t n = ::read(out_, chunk, sizeof chunk);
    if (n <= 0) return std::nullopt;
    buffered_.append(chunk, static_cast<size_t>(n));
  }
}

void ChildProcess::stop() {
  if (out_ >= 0) ::close(out_);
  out_ = -1;
  buffered_.clear();
  if (pid_ <= 0) return;
  // A pid file descriptor turns "has it ended" into a wait with a bound.
  int ended = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
  ::kill(pid_, SIGTERM);
  pollfd p{ended, POLLIN, 0};
  if (ended < 0 || ::poll(&p, 1, 5000) <= 0) ::kill(pid_, SIGKILL);
  if (ended >= 0) ::close(ended);
  ::waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

}  // namespace pw::test
