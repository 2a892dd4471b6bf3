#include "engine/side_by_side.h"

#include "res/string_table.h"

namespace pw {
namespace {

thread_local std::optional<size_t> t_current;

}  // namespace

MailboxTurns::MailboxTurns(std::vector<std::string> keys)
    : keys_(std::move(keys)), taken_(keys_.size(), false), asked_(keys_.size(), false) {}

std::optional<size_t> MailboxTurns::take() {
  std::unique_lock lock(mutex_);
  for (;;) {
    bool left = false;
    for (size_t k = 0; k < keys_.size(); ++k) {
      if (taken_[k]) continue;
      left = true;
      if (held_.contains(keys_[k])) continue;
      taken_[k] = true;
      held_.insert(keys_[k]);
      ++active_;
      return k;
    }
    if (!left) return std::nullopt;
    changed_.wait(lock);
  }
}

void MailboxTurns::done(size_t k) {
  {
    std::lock_guard lock(mutex_);
    held_.erase(held_.find(keys_[k]));
    --active_;
  }
  asked(k);
}

void MailboxTurns::wait_to_ask(size_t k) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return next_to_ask_ >= k; });
}

void MailboxTurns::asked(size_t k) {
  {
    std::lock_guard lock(mutex_);
    asked_[k] = true;
    while (next_to_ask_ < asked_.size() && asked_[next_to_ask_]) ++next_to_ask_;
  }
  changed_.notify_all();
}

size_t MailboxTurns::active() const {
  std::lock_guard lock(mutex_);
  return active_;
}

SideBySideHost::SideBySideHost(EngineHost& host) : host_(host) {}

void SideBySideHost::set_current(std::optional<size_t> k) { t_current = k; }

void SideBySideHost::show_count() {
  if (checking_.size() < 2) return;
  host_.report(StatusReport::show_text(
      StatusReport::kMessagePane,
      res::text(sid::kCheckingMany) + std::to_string(checking_.size()) + res::text(sid::kMailboxesWord)));
}

void SideBySideHost::started(size_t k) {
  std::lock_guard lock(reports_);
  checking_.insert(k);
  lead_ = *checking_.begin();
  show_count();
}

void SideBySideHost::ended(size_t k) {
  std::lock_guard lock(reports_);
  checking_.erase(k);
  lead_ = checking_.empty() ? std::nullopt : std::optional<size_t>(*checking_.begin());
  show_count();
}

void SideBySideHost::report(const StatusReport& report) {
  std::lock_guard lock(reports_);
  if (t_current && checking_.size() >= 2) {
    // Each mailbox's "checking ..." gives way to the count; its steps and
    // progress show only while it is the first being checked.
    if (report.pane == StatusReport::kMessagePane && report.kind == StatusReport::Kind::text &&
        report.text.starts_with(res::text(sid::kCheckingMailbox)))
      return;
    if (report.pane != StatusReport::kMessagePane && t_current != lead_) return;
  }
  host_.report(report);
}

void SideBySideHost::notice(std::string_view title, std::string_view message) {
  std::lock_guard lock(boxes_);
  host_.notice(title, message);
}

bool SideBySideHost::ask_yes_no(std::string_view message) {
  std::lock_guard lock(boxes_);
  return host_.ask_yes_no(message);
}

void SideBySideHost::warning(std::string_view message) {
  std::lock_guard lock(boxes_);
  host_.warning(message);
}

DownloadResult SideBySideHost::download_mail(const DownloadRequest& request) {
  std::lock_guard lock(boxes_);
  return host_.download_mail(request);
}

std::optional<LoginData> SideBySideHost::correct_login(LoginService service, const LoginData& refused,
                                                       std::string_view refusal) {
  std::lock_guard lock(boxes_);
  return host_.correct_login(service, refused, refusal);
}

void SideBySideHost::bring_to_front() {
  std::lock_guard lock(boxes_);
  host_.bring_to_front();
}

bool SideBySideHost::confirm(std::string_view address, std::span<MailProcessor* const> mails, int countdown_seconds) {
  std::lock_guard lock(boxes_);
  {
    std::lock_guard shown(reports_);
    host_.report(
        StatusReport::show_text(StatusReport::kMessagePane, res::text(sid::kMailboxAsking) + std::string(address)));
  }
  const bool answered = host_.confirm(address, mails, countdown_seconds);
  std::lock_guard shown(reports_);
  if (checking_.size() >= 2)
    show_count();
  else
    host_.report(
        StatusReport::show_text(StatusReport::kMessagePane, res::text(sid::kCheckingMailbox) + std::string(address)));
  return answered;
}

void SideBySideHost::dial_up_failed(std::string_view message) {
  std::lock_guard lock(boxes_);
  host_.dial_up_failed(message);
}

void SideBySideHost::run_error(std::string_view account, std::string_view title, std::string_view message) {
  std::lock_guard lock(boxes_);
  host_.run_error(account, title, message);
}

}  // namespace pw
