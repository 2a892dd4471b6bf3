#include "support/smtp_server.h"

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <filesystem>

namespace pw::test {

SmtpServer::SmtpServer(SmtpServerOptions options) : options_(std::move(options)) {
  std::filesystem::create_directories(dir_ / "spool");
  std::vector<std::string> argv = {"/usr/bin/python3", PW_SOURCE_DIR "/tests/support/smtp_server.py",
                                   "--host",           options_.address,
                                   "--port",           std::to_string(options_.port),
                                   "--spool",          (dir_ / "spool").string()};
  if (!options_.user.empty()) {
    argv.push_back("--auth");
    argv.push_back(options_.user + ":" + options_.password);
  }
  for (const std::string& r : options_.refused) {
    argv.push_back("--refuse");
    argv.push_back(r);
  }
  if (options_.silent_after_mail_from) argv.push_back("--silent-after-mail-from");
  if (!options_.tls_cert.empty()) {
    argv.push_back(options_.implicit_tls ? "--implicit-tls" : "--starttls");
    argv.push_back(options_.tls_cert + ":" + options_.tls_key);
  }
  if (options_.plain_only) argv.push_back("--plain-only");
  if (!options_.oauth_introspection.empty()) {
    argv.push_back("--oauth");
    argv.push_back(options_.oauth_introspection);
    argv.push_back("--oauth-mechanisms");
    argv.push_back(options_.oauth_mechanisms);
  }
  if (!process_.start(argv, dir_ / "server.log")) return;
  auto line = process_.read_line(std::chrono::seconds(10));
  if (line && line->rfind("READY ", 0) == 0) port_ = std::stoi(line->substr(6));
}

std::vector<ReceivedMail> SmtpServer::mails() const {
  std::vector<ReceivedMail> out;
  for (int n = 1;; ++n) {
    std::string number = std::to_string(n);
    std::string base = "spool/" + std::string(number.size() < 4 ? 4 - number.size() : 0, '0') + number;
    std::string env = dir_.read(base + ".env");
    if (env.empty()) break;
    ReceivedMail mail;
    size_t start = 0;
    for (size_t nl; (nl = env.find('\n', start)) != std::string::npos; start = nl + 1) {
      std::string line = env.substr(start, nl - start);
      if (start == 0) mail.mail_from = line;
      else mail.recipients.push_back(line);
    }
    mail.data = dir_.read(base + ".data");
    std::string meta = dir_.read(base + ".meta");  // "TLS LOGIN": 0 or 1, then the user name
    mail.tls = meta.rfind("1", 0) == 0;
    if (meta.size() > 2) mail.login = meta.substr(2);
    out.push_back(std::move(mail));
  }
  return out;
}

bool SmtpServer::wait_for_mails(size_t count, std::chrono::milliseconds limit) const {
  // The server renames each finished message into place: wait on those events.
  int watch = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
  if (watch >= 0) ::inotify_add_watch(watch, (dir_ / "spool").c_str(), IN_MOVED_TO);
  auto deadline = std::chrono::steady_clock::now() + limit;
  bool ok;
  while (!(ok = mails().size() >= count)) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (watch < 0 || left.count() <= 0) break;
    pollfd p{watch, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) > 0) {
      char events[4096];
      while (::read(watch, events, sizeof events) > 0) {
      }
    }
  }
  if (watch >= 0) ::close(watch);
  return ok;
}

std::string SmtpServer::log() const { return dir_.read("server.log"); }

}  // namespace pw::test
