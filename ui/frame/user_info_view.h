#pragma once
// The information view: for one month, the local mails (mails saved to disk
// by the backup action) or the operation log, filtered to the account chosen
// in the mailbox tree, or every account when the tree's root is chosen.
//
// The view listens to both monthly stores. Their appends come on worker
// threads: the view only queues a call to its own thread there, which then
// shows the records the list has not shown yet, in store order.
#include <QWidget>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "stores/local_mail_record.h"
#include "stores/mailbox_account.h"  // complete for the slot's argument type
#include "stores/log_record.h"
#include "stores/record_added_listener.h"

class QLabel;
class QMenu;
class QScrollBar;
class QSettings;
class QTabBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace pw {
class LocalMailIndex;
class OperationLog;
}  // namespace pw

namespace pw::ui {

class ColumnFitter;

// "%.2f %s" of the size in B, KB or MB: 1536 is "1.50 KB", 1024 "1024.00 B".
[[nodiscard]] QString format_mail_size(uint32_t bytes);

class CUserInfoView : public QWidget {
  Q_OBJECT

 public:
  enum Tab { kLocalMailTab = 0, kLogTab = 1 };

  // Registers itself as the listener of both stores until it is destroyed;
  // destroy it only when no check can append any more.
  CUserInfoView(OperationLog& log, LocalMailIndex& local_mail, QWidget* parent = nullptr);
  ~CUserInfoView() override;

  [[nodiscard]] int current_tab() const { return tab_; }
  [[nodiscard]] QTreeWidget* local_mail_list() const { return local_list_; }
  [[nodiscard]] QTreeWidget* log_list() const { return log_list_; }
  [[nodiscard]] QString month_text() const;

  // The local-mail list's context menu for the current selection. The
  // caller owns the menu; each action's data is its command id.
  [[nodiscard]] QMenu* local_mail_menu();

  // Carries out "查看邮件", "回复邮件" and "转发邮件" (command id and the
  // chosen row's record); without it those commands are not offered.
  using SavedMailHandler = std::function<void(int command, const LocalMailRecord& record)>;
  void set_saved_mail_handler(SavedMailHandler handler) { saved_mail_ = std::move(handler); }
  // Runs command 31, 32 or 33 on the one selected local mail.
  void run_saved_mail_command(int command);

  // The column widths the user set in both lists; until then the columns
  // follow their content.
  void save_columns(QSettings& settings) const;
  void restore_columns(const QSettings& settings);

 public slots:
  // The tree's selection: the filter account, or none for the root.
  void show_account(pw::MailboxAccount* account);
  void select_tab(int tab);
  void previous_month();
  void next_month();
  // Deletes the selected local mails: their files, their records, their rows.
  void delete_selected_mails();

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  class LocalMailItem;
  template <class Record>
  class Relay;

  void go_to_month(int year, int month);
  void refill_current();
  void fill_local();
  void fill_log();
  void catch_up_local();
  void catch_up_log();
  [[nodiscard]] bool passes(const std::string& account) const;
  void append_local(const LocalMailRecord& record, size_t index);
  void append_log(const LogRecord& record);
  [[nodiscard]] std::optional<size_t> store_index(const LocalMailItem& item) const;
  void lay_out(int width, int height);

  OperationLog& log_;
  LocalMailIndex& local_;
  std::unique_ptr<Relay<LogRecord>> log_relay_;
  std::unique_ptr<Relay<LocalMailRecord>> local_relay_;

  QTabBar* tabs_;
  QTreeWidget* local_list_;
  QTreeWidget* log_list_;
  QLabel* month_label_;
  QScrollBar* month_arrows_;
  ColumnFitter* local_columns_;
  ColumnFitter* log_columns_;

  int tab_ = kLocalMailTab;
  std::optional<std::string> filter_;  // the filter account's address
  bool local_filled_ = false;
  bool log_filled_ = false;
  // How many records of the shown month each list has gone through; rows
  // arriving from workers start there.
  size_t local_seen_ = 0;
  size_t log_seen_ = 0;
  SavedMailHandler saved_mail_;
};

}  // namespace pw::ui
