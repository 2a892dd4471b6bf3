#include "engine/headless_host.h"

#include <unistd.h>

#include "base/code_page.h"
#include "engine/direct_download.h"
#include "res/language.h"
#include "res/string_table.h"
#include "stores/operation_log.h"

namespace pw {
namespace {

// One line for the error stream: UTF-8, a line break or tab turned into a
// blank and every other control character (C0, DEL, C1) dropped. Much of
// what is printed is server text, and an escape sequence from a hostile
// server must not reach the terminal.
std::string printable(std::string_view gb_text) {
  const std::string text = gb_to_utf8(gb_text);
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '\n' || c == '\t') {
      out += ' ';
    } else if (c == 0xc2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xa0) {
      ++i;  // U+0080..U+009F (CSI among them)
    } else if (c >= 0x20 && c != 0x7f) {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace

HeadlessHost::HeadlessHost(std::FILE* out, OperationLog& log)
    : out_(out), log_(log), terminal_(out && ::isatty(::fileno(out)) == 1) {}

void HeadlessHost::clear_progress_line() {
  if (!line_open_) return;
  std::fputs("\r\033[K", out_);
  line_open_ = false;
}

void HeadlessHost::line(std::string_view gb_text) {
  if (!out_) return;
  clear_progress_line();
  std::fprintf(out_, "%s\n", printable(gb_text).c_str());
  std::fflush(out_);
}

void HeadlessHost::report(const StatusReport& r) {
  if (!out_) return;
  switch (r.kind) {
    case StatusReport::Kind::text:
      if (r.pane == StatusReport::kMessagePane) {
        account_text_ = r.text;
      } else if (r.pane == StatusReport::kStepPane) {
        step_text_ = r.text;
      }
      if (!terminal_) {
        // A log (cron mail, say) gets the accounts as they are checked, not
        // every step of every mail.
        if (r.pane == StatusReport::kMessagePane && !r.text.empty()) line(r.text);
        return;
      }
      break;
    case StatusReport::Kind::progress_range:
      range_high_ = r.range_high;
      position_ = r.position;
      progress_shown_ = true;
      break;
    case StatusReport::Kind::progress_position:
      position_ = r.position;
      if (!terminal_ || range_high_ <= 0) return;
      break;
    case StatusReport::Kind::hide_progress:
      progress_shown_ = false;
      break;
  }
  if (!terminal_) return;
  // A terminal shows one line that each report rewrites.
  std::string text = printable(account_text_);
  if (!step_text_.empty()) text += "  " + printable(step_text_);
  if (progress_shown_ && range_high_ > 0) text += "  " + std::to_string(position_ * 100 / range_high_) + "%";
  std::fprintf(out_, "\r\033[K%s", text.c_str());
  std::fflush(out_);
  line_open_ = true;
}

void HeadlessHost::notice(std::string_view title, std::string_view message) {
  // The account's SMTP server failed and direct delivery is tried next: an
  // error only if that fails too, which the log record then says.
  if (message != res::text(sid::kTryingDirectDelivery)) ++errors_;
  line(std::string(title) + ": " + res::displayed(message));
}

bool HeadlessHost::ask_yes_no(std::string_view message) {
  ++errors_;
  line(std::string(message) + " -> No");
  return false;
}

void HeadlessHost::warning(std::string_view message) {
  ++errors_;
  line(message);
}

DownloadResult HeadlessHost::download_mail(const DownloadRequest& request) {
  return download_directly(request, pop3_);
}

std::optional<LoginData> HeadlessHost::correct_login(LoginService service, const LoginData& refused,
                                                     std::string_view refusal) {
  line(std::string(service == LoginService::pop3 ? "POP3 " : "SMTP ") + refused.user + ": " + std::string(refusal));
  return std::nullopt;
}

void HeadlessHost::dial_up_failed(std::string_view message) {
  ++errors_;
  line(message);
}

}  // namespace pw
