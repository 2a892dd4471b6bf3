#pragma once
// The host of a check run without a display (`--check-once`): status reports
// become a progress display on a terminal (otherwise one line per account),
// notices go to the error stream, and the run's own errors also to the
// operation log.
// Nobody is there to answer: the confirmation window is not shown (the run
// then acts on a mail whose rules count down and leaves one that waits for
// ever for the next check that can ask); a refused password is not corrected; the yes/no
// question (continue a reply without an attachment that cannot be read)
// gets No, so nothing incomplete is sent unseen. A whole mail is downloaded
// directly, without a dialog.
#include <cstdio>
#include <string>

#include "engine/engine_host.h"
#include "engine/pop3_opener.h"

namespace pw {

class OperationLog;

class HeadlessHost final : public EngineHost {
 public:
  // Writes to `out` (stderr normally). `log` receives the run's errors.
  HeadlessHost(std::FILE* out, OperationLog& log);

  // How a download's session is opened (its connection and protocol log).
  void set_pop3(Pop3Options options) { pop3_ = std::move(options); }

  void report(const StatusReport& report) override;
  void notice(std::string_view title, std::string_view message) override;
  bool ask_yes_no(std::string_view message) override;
  void warning(std::string_view message) override;
  DownloadResult download_mail(const DownloadRequest& request) override;
  std::optional<LoginData> correct_login(LoginService service, const LoginData& refused,
                                         std::string_view refusal) override;
  void bring_to_front() override {}
  bool confirm(std::string_view, std::span<MailProcessor* const>, int) override { return false; }
  void dial_up_failed(std::string_view message) override;

  // Ends a progress line left on the terminal.
  void finish() { clear_progress_line(); }

  // Notices, warnings and failures shown so far: each is an error of the run.
  [[nodiscard]] size_t errors() const { return errors_; }

 private:
  void line(std::string_view gb_text);
  void clear_progress_line();

  std::FILE* out_;
  OperationLog& log_;
  Pop3Options pop3_;
  const bool terminal_;
  std::string account_text_;  // pane 0
  std::string step_text_;     // pane 1
  int range_high_ = 0;
  int position_ = 0;
  bool progress_shown_ = false;
  bool line_open_ = false;  // a progress line without its line end is on the terminal
  size_t errors_ = 0;
};

}  // namespace pw
