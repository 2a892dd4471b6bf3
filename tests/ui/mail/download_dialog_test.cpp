// The download dialog against a local Dovecot: the receive block and the
// progress scale for the mail's size, and what cancelling gives at each
// moment.
#include <QProgressBar>

#include "engine/direct_download.h"
#include "net/pop3_session.h"
#include "support/dovecot_server.h"
#include "ui/mail/download_dialog.h"
#include "ui/view_fixture.h"

using namespace pw;
using namespace pw::ui;

namespace {

// A mail whose size on the wire (CR LF line ends) is exactly `size` bytes.
std::string mail_of_size(size_t size) {
  std::string mail = "Subject: sized\n\n";
  size_t wire = mail.size() + 2;  // each LF goes out as CR LF
  const std::string line = std::string(75, 'a') + "\n";
  for (; wire + line.size() + 1 + 2 < size; wire += line.size() + 1) mail += line;
  mail += std::string(size - wire - 2, 'b') + "\n";
  return mail;
}

std::string uid_of(const test::DovecotServer& server, int n) {
  Pop3Session pop;
  if (!pop.log_in(server.server_field(), "alice", "secret") || !pop.uidl_all()) return {};
  std::string uid(pop.unique_id(n));
  (void)pop.quit();
  return uid;
}

// Cancels once `when` says so, given the last progress reported.
class CancellingWatcher final : public DownloadWatcher {
 public:
  explicit CancellingWatcher(std::function<bool(int position, int top)> when) : when_(std::move(when)) {}
  void step(int) override {}
  void sized(uint32_t, uint32_t, int top) override { top_ = top; }
  void progress(int position) override { cancelled_ = cancelled_ || when_(position, top_); }
  bool cancelled() const override { return cancelled_; }

 private:
  std::function<bool(int, int)> when_;
  int top_ = 0;
  bool cancelled_ = false;
};

}  // namespace

class DownloadDialogTest : public QObject {
  Q_OBJECT

 private:
  test::DovecotServer server_;

 private slots:
  void initTestCase() {
    if (!server_.start({{"alice", "secret"}})) QSKIP(qPrintable(QString::fromStdString(server_.error())));
    server_.deliver("alice", mail_of_size(5000));
    server_.deliver("alice", mail_of_size(1 << 20));
  }

  void blockAndScaleFollowTheSize() {
    struct Case {
      int message;
      uint32_t size, block, scale;
    };
    for (const Case& c : {Case{1, 5000, 1024, 100}, Case{2, 1u << 20, 131072, 100000}}) {
      std::vector<std::string> traced;
      const Pop3Options traced_pop3{.trace = [&](std::string_view line) { traced.emplace_back(line); }};
      CDownloadDialog dialog({{server_.server_field(), "alice", "secret"}, uid_of(server_, c.message)}, traced_pop3);
      QCOMPARE(dialog.exec(), int(DownloadResult::Outcome::downloaded));
      // The download's conversation reaches the protocol log.
      QCOMPARE(std::count(traced.begin(), traced.end(), "C: RETR " + std::to_string(c.message)), 1);
      QCOMPARE(dialog.result().text.size(), size_t{c.size});
      QCOMPARE(dialog.block_size(), c.block);
      QCOMPARE(dialog.progress_scale(), c.scale);
      auto* bar = dialog.findChild<QProgressBar*>("progressBar");
      QCOMPARE(bar->maximum(), int(c.size / c.scale + 1));
      QCOMPARE(bar->value(), bar->maximum());
    }
  }

  void cancellingGivesCancelledUntilTheTextIsIn() {
    const DownloadRequest request{{server_.server_field(), "alice", "secret"}, uid_of(server_, 2)};
    struct Case {
      const char* name;
      std::function<bool(int, int)> when;
      DownloadResult::Outcome expected;
    };
    const Case cases[] = {
        {"during", [](int position, int) { return position > 0; }, DownloadResult::Outcome::cancelled},
        {"after the text", [](int position, int top) { return position == top; },
         DownloadResult::Outcome::downloaded},
    };
    for (const Case& c : cases) {
      CancellingWatcher watcher(c.when);
      QCOMPARE(int(download_directly(request, {}, &watcher).outcome), int(c.expected));
    }
    // Cancelled before the worker began.
    CDownloadDialog dialog(request);
    dialog.cancel();
    QCOMPARE(int(dialog.result().outcome), int(DownloadResult::Outcome::cancelled));
  }
};

QTEST_MAIN(DownloadDialogTest)
#include "download_dialog_test.moc"
