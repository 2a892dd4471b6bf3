#pragma once
// The window "符合条件邮件" that the check run opens before it acts on mails
// whose rules ask first. It lists those mails; for the mail shown it lets the
// user switch single actions of its rules off (a three-state tree) and choose
// one-off extra operations with their parameters; it counts down to an
// automatic execute. Whatever is chosen is written into the mails'
// MailProcessor records; the run acts once the window has closed, whichever
// way it closed ("执行", Escape, the close box or the countdown).
#include <QDialog>

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "engine/action_host.h"
#include "engine/extra_operations.h"
#include "rules/rule_description.h"
#include "ui/confirm/countdown_ticker.h"
#include "ui/mail_size.h"  // mail_size_text, the size column

class QLabel;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace pw {
class MailProcessor;
}

namespace pw::ui {

class DescriptionBrowser;
class ExtraEditors;
class MessageBoxes;

struct ConfirmServices {
  MessageBoxes& boxes;
  ExtraEditors& editors;
  // Downloads a whole mail, blocking; empty: the POP3 download run on a
  // thread of its own while the window waits.
  std::function<DownloadResult(const DownloadRequest&)> download = {};
  // Shows a whole mail; empty until there is a mail viewer.
  std::function<void(QWidget*, MailProcessor&)> view = {};
  // What counts the seconds down; null: a one-second timer of the window's own.
  CountdownTicker* ticker = nullptr;
};

class ConfirmMailsDialog final : public QDialog {
  Q_OBJECT

 public:
  // `mails` is the account's new-mail list; the window lists those that ask
  // first. `countdown` 0 counts nothing down.
  ConfirmMailsDialog(QWidget* parent, std::string_view address, std::span<MailProcessor* const> mails, int countdown,
                     ConfirmServices services);

  [[nodiscard]] bool counting() const { return ticker_->active(); }
  [[nodiscard]] int remaining_seconds() const { return remaining_; }

  // Execute: closes the window unless the extra operations of the mail
  // shown miss a parameter (then says which and stays open).
  void reject() override;

  // The user is at the window: the countdown stops for good.
  void stop_countdown();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void build();
  void fill_list();
  void row_changed(int row);
  void fill_tree(MailProcessor& mail);
  void store_ticks();
  void tree_item_changed(QTreeWidgetItem* item);
  void extra_rows_changed();
  void rebuild_description();
  void link_clicked(size_t position);
  void view_mail();
  void tick();
  // Another window of the program is open over or beside this one: the user
  // is at it, and nothing here may act meanwhile.
  [[nodiscard]] bool other_window_open() const;
  // Back to this window after one of its own windows closed.
  void come_back();
  // The extra-operation check of the mail shown; says what is missing.
  bool extra_ready();
  [[nodiscard]] MailProcessor* shown() const;

  std::vector<MailProcessor*> mails_;  // those that ask first, in list order
  ConfirmServices services_;
  const int countdown_;
  int remaining_;
  int shown_ = -1;
  bool filling_ = false;
  bool resize_stops_ = false;  // set once the window has settled after showing
  RuleDescription description_;
  std::unique_ptr<CountdownTicker> own_ticker_;
  CountdownTicker* ticker_;

  QTableWidget* mail_list_ = nullptr;
  QToolButton* view_button_ = nullptr;
  QTreeWidget* rule_tree_ = nullptr;
  QTreeWidget* extra_list_ = nullptr;
  DescriptionBrowser* description_view_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QLabel* status_ = nullptr;
  QPushButton* execute_ = nullptr;
};

}  // namespace pw::ui
