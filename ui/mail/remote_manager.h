#pragma once
// Remote management "远程管理": lists the mails on one account's POP server
// (all of them, or only those the seen list does not hold) on a worker
// thread, lets the user mark single mails for one-off operations (delete,
// forward, reply, back up), mark them processed or not and view them, and
// carries out every mark at once on a second worker. The POP3 work is the
// engine's RemoteSession; the dialog is its view.
//
// The dialog works on the account only while it holds the account's claim
// (MailboxAccount::claim): the automatic check then skips the account, and
// the dialog does not open while a check works on it. Its deletions go
// through a queue of its own.
#include <QDialog>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/extra_operations.h"
#include "engine/mail_processor.h"
#include "engine/pop3_opener.h"
#include "engine/remote_session.h"
#include "net/smtp_delivery.h"
#include "ui/mail/mail_viewer.h"

class QLabel;
class QPushButton;
class QTimer;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace pw {
class Clock;
class EngineHost;
class LocalMailIndex;
class OperationLog;
}  // namespace pw

namespace pw::ui {

class ColumnFitter;
class MessageBoxes;

struct RemoteServices {
  EngineHost& host;  // notices, password correction, downloads, the actions' boxes
  OperationLog& log;
  LocalMailIndex& local_mail;
  const Clock& clock;
  MessageBoxes& boxes;
  SmtpDeliveryOptions smtp = {};
  ViewerServices viewer = {};
  // Fill the forward or reply fields of `extra` (given the first row's);
  // false on cancel. Null: the toggle stays disabled.
  std::function<bool(QWidget* parent, ExtraOperations& extra)> forward_dialog;
  std::function<bool(QWidget* parent, ExtraOperations& extra)> reply_dialog;
  // The backup directory (GB18030), empty on cancel. Null: the folder chooser.
  std::function<std::string(QWidget* parent)> backup_dir;
  // Shows the viewer for a row. Null: CMailViewer.
  std::function<void(QWidget* parent, MailProcessor& mail)> view;
  // The connection and protocol log of the POP3 sessions (the password
  // prompt is the host's).
  Pop3Options pop3 = {};
};

// Which toggles are enabled for a selection of rows, and what they show.
struct ToggleStates {
  bool delete_enabled = false, delete_on = false;
  bool forward_enabled = false, forward_on = false;
  bool reply_enabled = false, reply_on = false;
  bool backup_enabled = false, backup_on = false;
  bool view_enabled = false;
  bool seen_enabled = false, seen_on = false;
};
[[nodiscard]] ToggleStates toggle_states(const std::vector<const ExtraOperations*>& selected,
                                         const std::vector<bool>& processed);

class CRemoteManager : public QDialog {
  Q_OBJECT

 public:
  using Mode = RemoteSession::Mode;
  static constexpr int kTickMs = 500;
  static constexpr int kDrainMs = 100;

  // Expects the caller to hold the account's remote-management claim.
  CRemoteManager(std::shared_ptr<MailboxAccount> account, Mode mode, RemoteServices services,
                 QWidget* parent = nullptr);
  ~CRemoteManager() override;  // stops and waits for a worker

  // Claims the account and shows the dialog until it closes; when a check
  // works on the account, says so instead. False when it did not open.
  static bool run(std::shared_ptr<MailboxAccount> account, Mode mode, const RemoteServices& services,
                  QWidget* parent);

  [[nodiscard]] QTreeWidget* list() const { return list_; }
  [[nodiscard]] size_t row_count() const { return rows_.size(); }
  [[nodiscard]] MailProcessor& row(size_t i) const { return *rows_[i]; }
  [[nodiscard]] bool busy() const { return busy_.load(); }
  [[nodiscard]] QToolButton* toggle(char letter) const;
  [[nodiscard]] QPushButton* operate_button() const { return operate_; }

 public slots:
  void toggle_extra(uint8_t op);  // an ExtraOperations bit
  void toggle_seen();
  void view_selected();
  void operate();
  void cancel();
  void reject() override { cancel(); }

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  enum class Phase { listing, idle, operating, closing };

  void list_mails();
  void carry_out();
  void take_listed();
  void tick();
  void update_toggles();
  void fit_columns();
  void show_row(size_t i);
  void fill_row(QTreeWidgetItem* item, size_t i);
  [[nodiscard]] std::vector<size_t> selected_rows() const;
  [[nodiscard]] bool processed(size_t i) const;
  void lay_out(int width, int height);

  std::shared_ptr<MailboxAccount> account_;
  Mode mode_;
  RemoteServices s_;
  RemoteSession session_;  // the listing, the carrying out and the seen marks
  Phase phase_ = Phase::listing;
  std::vector<std::unique_ptr<MailProcessor>> rows_;

  std::thread worker_;
  std::atomic<bool> busy_{false};
  StopSignal cancel_;  // ends the workers' waits for the server at once
  int dots_ = 0;
  // Rows the listing made and the UI thread has not taken yet.
  std::mutex listed_mutex_;
  std::vector<std::unique_ptr<MailProcessor>> listed_;

  QTreeWidget* list_;
  ColumnFitter* columns_;
  bool fit_queued_ = false;
  QLabel* status_;
  QToolButton* toggles_[6];  // S, R, F, D, T, C from the right edge
  QPushButton* operate_;
  QPushButton* cancel_button_;
  QTimer* timer_;
  QTimer* drain_;  // takes the listed rows while the listing runs
};

}  // namespace pw::ui
