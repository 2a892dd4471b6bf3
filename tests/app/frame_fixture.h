#pragma once
// The main window over the views' test stores, with a check control whose
// flags the test sets and a clock it moves.
#include <QUrl>

#include <ctime>
#include <memory>
#include <vector>

#include "app/check_control.h"
#include "app/main_frame.h"
#include "base/local_time.h"
#include "net/dial_up.h"
#include "stores/address_book.h"
#include "stores/run_at_startup.h"
#include "stores/local_mail_index.h"
#include "stores/operation_log.h"
#include "ui/view_fixture.h"

namespace pw::ui::testing {

class FakeChecks final : public app::CheckControl {
 public:
  bool start(std::shared_ptr<MailboxAccount> account) override {
    if (running) return false;
    starts.push_back(account);
    running = true;
    single = account != nullptr;
    return true;
  }
  [[nodiscard]] bool check_running() const override { return running; }
  [[nodiscard]] bool single_check() const override { return single; }
  void run_ended() override { ++ended; }
  void stop() override { ++stops; }
  [[nodiscard]] RunOutcome last_outcome() const override { return outcome; }
  void finish() { running = single = false; }

  bool running = false;
  bool single = false;
  int ended = 0;
  int stops = 0;
  RunOutcome outcome;
  std::vector<std::shared_ptr<MailboxAccount>> starts;
};

struct FrameStores : Stores {
  FixedClock clock{std::time(nullptr)};
  OperationLog log{dir, clock};
  LocalMailIndex local{dir, clock};
  FakeChecks checks;
  AddressBook book{dir};
  NoDialUp dial_up;
  RunAtStartup autostart{temp / "config", "/opt/pelliwick/pelliwick"};
  bool shutdown_fired = false;
  std::vector<QUrl> opened;
  bool url_opens = true;

  FrameStores() {
    log.load_current_month();
    local.load_current_month();
  }
  // An account that a check would look at: watched, one rule bound.
  std::shared_ptr<MailboxAccount> add_watched(const std::string& address) {
    if (rules.count() == 0) add_rule("rule");
    auto account = add_account(address);
    mailboxes.bind(*account, static_cast<uint32_t>(rules.at(0)->id));
    mailboxes.resume(*account);
    return account;
  }
  std::unique_ptr<app::CMainFrame> frame() {
    return std::make_unique<app::CMainFrame>(app::FrameServices{
        mailboxes, rules, settings, log, local, saver, boxes, files, checks, clock, shutdown_fired,
        [this](const QUrl& url) {
          opened.push_back(url);
          return url_opens;
        },
        book, dial_up, autostart, FeedbackAddresses::configured(), {},
        QString::fromStdString((temp.path() / "config" / "window.conf").string())});
  }
};

}  // namespace pw::ui::testing
