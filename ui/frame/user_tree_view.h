#pragma once
// The mailbox tree: a root item "所有邮箱" with one child per account in list
// order, showing whether each is watched. Here the user adds, edits, deletes,
// pauses, resumes, checks, imports and exports accounts.
//
// The frame routes the tree's menu and toolbar commands through
// command_enabled() and run_command(); the context menu and the keys use the
// same two.
#include <QTreeWidget>

#include <memory>
#include <vector>

// Complete, as the signals and slots carry them.
#include "engine/account_check.h"
#include "stores/mailbox_account.h"

class QMenu;

namespace pw {
class MailboxList;
class RuleStore;
}  // namespace pw

namespace pw::ui {

class FileDialogs;
class MessageBoxes;
class StoreSaver;

class CUserTreeView : public QTreeWidget {
  Q_OBJECT

 public:
  CUserTreeView(MailboxList& mailboxes, const RuleStore& rules, StoreSaver& saver, MessageBoxes& boxes,
                FileDialogs& files, QWidget* parent = nullptr);

  // The selected account: the current item's, unless that is the root.
  [[nodiscard]] std::shared_ptr<MailboxAccount> selected_account() const;
  [[nodiscard]] QTreeWidgetItem* root() const { return root_; }
  // The item of `account`, or nullptr.
  [[nodiscard]] QTreeWidgetItem* item_of(const MailboxAccount& account) const;

  // The tree's commands (cmd::kAddMailbox ... cmd::kExportMailboxes). False
  // for other ids. The check and remote-management commands are enabled
  // only while a receiver is connected to their signals.
  [[nodiscard]] bool command_enabled(int id) const;
  // Runs an enabled command; false when it is disabled or not the tree's.
  bool run_command(int id);

  // The context menu for a right click on `hit` (nullptr: empty space).
  // The caller owns the menu; each action's data is its command id.
  [[nodiscard]] QMenu* context_menu(QTreeWidgetItem* hit);

  // The hint drawn under the root while there is no account: how to begin.
  // Empty once an account exists.
  [[nodiscard]] QString empty_hint() const;

 public slots:
  // Every account item's picture from its paused flag again, after the frame
  // paused or resumed many accounts or bindings changed elsewhere.
  void refresh_icons();
  // While a check runs, the check command is disabled. When it ends, the
  // marks of mailboxes that need a new OAuth 2.0 sign-in are refreshed.
  void set_check_running(bool running);
  // How the accounts' last checks ended: each item's mark and tool tip.
  void show_checks(const std::vector<pw::AccountCheck>& checks);
  // Appends "（需要登录）" to every OAuth 2.0 mailbox whose grant is gone.
  void refresh_sign_in_marks();

 signals:
  // The selection moved; nullptr for the root item.
  void account_selected(pw::MailboxAccount* account);
  // "立即检查邮箱": check this account alone.
  void check_account_requested(std::shared_ptr<pw::MailboxAccount> account);
  // Remote management of an account, listing all mails or only new ones.
  void remote_management_requested(std::shared_ptr<pw::MailboxAccount> account, bool all_mails);
  // Accounts were added or removed, or one was paused or resumed: the frame
  // updates its command states.
  void mailboxes_changed();
  // An account began to be watched: it is checked at once.
  void watching_started(std::shared_ptr<pw::MailboxAccount> account);
  // Bindings changed (an account was removed or given rules): the rule list
  // refreshes its pictures.
  void bindings_changed();

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  class AccountItem;

  void fill();
  QTreeWidgetItem* add_item(std::shared_ptr<MailboxAccount> account);
  void set_image(QTreeWidgetItem* item, int image);
  // An account item's picture, mark and tool tip from its state.
  void update_item(AccountItem* item);

  void add_account();
  void modify_account();
  void delete_account();
  void resume_account();
  void pause_account();
  void import_accounts();
  void export_accounts();

  MailboxList& mailboxes_;
  const RuleStore& rules_;
  StoreSaver& saver_;
  MessageBoxes& boxes_;
  FileDialogs& files_;
  QTreeWidgetItem* root_ = nullptr;
  bool check_running_ = false;
};

}  // namespace pw::ui
