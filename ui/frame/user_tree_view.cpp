#include "ui/frame/user_tree_view.h"

#include <QContextMenuEvent>
#include <QDateTime>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMetaMethod>
#include <QPainter>

#include <optional>

#include "engine/oauth_access.h"
#include "res/language.h"
#include "rules/rule_store.h"
#include "stores/mailbox_list.h"
#include "stores/mailbox_text.h"
#include "stores/oauth_store.h"
#include "ui/frame/command_ids.h"
#include "ui/file_dialogs.h"
#include "ui/gb_qstring.h"
#include "ui/rules/list_chooser_dialog.h"
#include "ui/settings/mailbox_dialog.h"
#include "ui/message_boxes.h"
#include "ui/frame/store_saver.h"
#include "ui/ui_text.h"
#include "ui/view_icons.h"
#include "ui/frame/watch_offer.h"

namespace pw::ui {
namespace {

constexpr int kNeedsSignInRole = Qt::UserRole + 2;
constexpr int kRootImage = 0;
constexpr int kWatchedImage = 1;
constexpr int kPausedImage = 2;

int image_of(const MailboxAccount& account) { return account.paused() ? kPausedImage : kWatchedImage; }

// The mark of a last check as mailbox_icon numbers it.
int mark_of(const AccountCheck& check) {
  switch (check.result) {
    case AccountCheck::Result::ok: return 1;
    case AccountCheck::Result::failed: return 2;
    case AccountCheck::Result::stopped: return 3;
  }
  return 0;
}

QString check_tip(const std::optional<AccountCheck>& check) {
  if (!check) return text(sid::kNotCheckedTip);
  const QString time = QDateTime::fromSecsSinceEpoch(check->time).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
  switch (check->result) {
    case AccountCheck::Result::ok: return text(sid::kCheckedTip).arg(time);
    case AccountCheck::Result::failed: return text(sid::kFailedTip).arg(time, from_gb(res::displayed(check->reason)));
    case AccountCheck::Result::stopped: return text(sid::kStoppedTip).arg(time);
  }
  return {};
}

}  // namespace

class CUserTreeView::AccountItem : public QTreeWidgetItem {
 public:
  explicit AccountItem(std::shared_ptr<MailboxAccount> account) : account_(std::move(account)) {
    setText(0, from_gb(account_->address()));
  }
  [[nodiscard]] const std::shared_ptr<MailboxAccount>& account() const { return account_; }
  std::optional<AccountCheck> last_check;

 private:
  std::shared_ptr<MailboxAccount> account_;
};

CUserTreeView::CUserTreeView(MailboxList& mailboxes, const RuleStore& rules, StoreSaver& saver, MessageBoxes& boxes,
                             FileDialogs& files, QWidget* parent)
    : QTreeWidget(parent), mailboxes_(mailboxes), rules_(rules), saver_(saver), boxes_(boxes), files_(files) {
  setObjectName(QStringLiteral("UserTreeView"));
  setHeaderHidden(true);
  setColumnCount(1);
  setRootIsDecorated(true);
  setItemsExpandable(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setMouseTracking(true);  // the item under the mouse is highlighted
  setIconSize(QSize(16, 16));
  fill();

  connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
    auto* item = dynamic_cast<AccountItem*>(current);
    emit account_selected(item ? item->account().get() : nullptr);
  });
  connect(this, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
    if (dynamic_cast<AccountItem*>(item)) run_command(cmd::kModifyMailbox);
  });
}

void CUserTreeView::fill() {
  clear();
  root_ = new QTreeWidgetItem(this);
  root_->setText(0, text(sid::kAllMailboxes));
  set_image(root_, kRootImage);
  for (const auto& account : mailboxes_.accounts()) add_item(account);
  root_->setExpanded(true);
  refresh_sign_in_marks();
}

QTreeWidgetItem* CUserTreeView::add_item(std::shared_ptr<MailboxAccount> account) {
  auto* item = new AccountItem(std::move(account));
  root_->addChild(item);
  update_item(item);
  return item;
}

void CUserTreeView::set_image(QTreeWidgetItem* item, int image) {
  item->setIcon(0, mailbox_icon(image));
  item->setData(0, kImageRole, image);
}

void CUserTreeView::update_item(AccountItem* item) {
  const MailboxAccount& account = *item->account();
  const int image = image_of(account);
  const int mark = item->last_check ? mark_of(*item->last_check) : 0;
  item->setIcon(0, mailbox_icon(image, mark));
  item->setData(0, kImageRole, image);
  item->setData(0, kCheckMarkRole, mark);
  QString tip = text(account.paused() ? sid::kPausedTip : sid::kWatchedTip);
  if (account.bound_count() == 0) tip += text("（") + text(sid::kNoRulesTip) + text("）");
  item->setToolTip(0, from_gb(account.address()) + QLatin1Char('\n') + tip + QLatin1Char('\n') +
                          check_tip(item->last_check));
}

void CUserTreeView::show_checks(const std::vector<AccountCheck>& checks) {
  for (const AccountCheck& check : checks) {
    for (int i = 0; i < root_->childCount(); ++i) {
      auto* item = static_cast<AccountItem*>(root_->child(i));
      if (item->account()->address() != check.address) continue;
      item->last_check = check;
      update_item(item);
    }
  }
}

std::shared_ptr<MailboxAccount> CUserTreeView::selected_account() const {
  auto* item = dynamic_cast<AccountItem*>(currentItem());
  return item ? item->account() : nullptr;
}

QTreeWidgetItem* CUserTreeView::item_of(const MailboxAccount& account) const {
  for (int i = 0; i < root_->childCount(); ++i) {
    auto* item = static_cast<AccountItem*>(root_->child(i));
    if (item->account().get() == &account) return item;
  }
  return nullptr;
}

void CUserTreeView::refresh_icons() {
  for (int i = 0; i < root_->childCount(); ++i) update_item(static_cast<AccountItem*>(root_->child(i)));
}

void CUserTreeView::set_check_running(bool running) {
  check_running_ = running;
  if (!running) refresh_sign_in_marks();
}

// A mailbox signed in with OAuth 2.0 whose grant is gone (never signed in,
// or the refresh was refused) says so beside its address until the user
// signs in again in the mailbox dialog.
void CUserTreeView::refresh_sign_in_marks() {
  if (!root_) return;
  const OAuthFile tokens = OAuthStore(mailboxes_.program_dir()).load();
  for (int i = 0; i < root_->childCount(); ++i) {
    auto* item = static_cast<AccountItem*>(root_->child(i));
    const MailboxAccount& account = *item->account();
    const bool needs = account.record().uses_oauth() && OAuthAccess::needs_sign_in(tokens, account.address());
    item->setText(0, from_gb(account.address()) + (needs ? text(sid::kNeedsSignIn) : QString()));
    item->setData(0, kNeedsSignInRole, needs);
  }
}

bool CUserTreeView::command_enabled(int id) const {
  std::shared_ptr<MailboxAccount> account = selected_account();
  switch (id) {
    case cmd::kAddMailbox:
    case cmd::kImportMailboxes:
      return true;
    case cmd::kExportMailboxes:
      return mailboxes_.count() > 0;
    case cmd::kModifyMailbox:
    case cmd::kDeleteMailbox:
      return account != nullptr;
    case cmd::kResumeMailbox:
      return account && account->paused();
    case cmd::kPauseMailbox:
      return account && !account->paused();
    case cmd::kCheckMailbox:
      return account && !account->paused() && account->bound_count() > 0 && !check_running_ &&
             isSignalConnected(QMetaMethod::fromSignal(&CUserTreeView::check_account_requested));
    case cmd::kRemoteAllMails:
    case cmd::kRemoteNewMails:
      return account && isSignalConnected(QMetaMethod::fromSignal(&CUserTreeView::remote_management_requested));
    default:
      return false;
  }
}

bool CUserTreeView::run_command(int id) {
  if (!command_enabled(id)) return false;
  switch (id) {
    case cmd::kAddMailbox: add_account(); break;
    case cmd::kModifyMailbox: modify_account(); break;
    case cmd::kDeleteMailbox: delete_account(); break;
    case cmd::kResumeMailbox: resume_account(); break;
    case cmd::kPauseMailbox: pause_account(); break;
    case cmd::kCheckMailbox: emit check_account_requested(selected_account()); break;
    case cmd::kRemoteAllMails: emit remote_management_requested(selected_account(), true); break;
    case cmd::kRemoteNewMails: emit remote_management_requested(selected_account(), false); break;
    case cmd::kImportMailboxes: import_accounts(); break;
    case cmd::kExportMailboxes: export_accounts(); break;
    default: return false;
  }
  return true;
}

QMenu* CUserTreeView::context_menu(QTreeWidgetItem* hit) {
  auto* menu = new QMenu(this);
  menu->setObjectName(QStringLiteral("UserTreeMenu"));
  auto add = [this](QMenu* m, const QString& label, int id) {
    QAction* action = m->addAction(label);
    action->setData(id);
    action->setEnabled(command_enabled(id));
    connect(action, &QAction::triggered, this, [this, id] { run_command(id); });
  };
  add(menu, ui::text("导入邮箱"), cmd::kImportMailboxes);
  add(menu, ui::text("导出邮箱"), cmd::kExportMailboxes);
  menu->addSeparator();
  add(menu, ui::text("添加邮箱"), cmd::kAddMailbox);
  if (!dynamic_cast<AccountItem*>(hit)) return menu;
  setCurrentItem(hit);
  add(menu, ui::text("修改邮箱"), cmd::kModifyMailbox);
  add(menu, ui::text("删除邮箱"), cmd::kDeleteMailbox);
  menu->addSeparator();
  add(menu, ui::text("开启邮箱监管"), cmd::kResumeMailbox);
  add(menu, ui::text("关闭邮箱监管"), cmd::kPauseMailbox);
  menu->addSeparator();
  add(menu, ui::text("立即检查邮箱"), cmd::kCheckMailbox);
  menu->addSeparator();
  QMenu* remote = menu->addMenu(text(sid::kRemoteManagement));
  remote->setObjectName(QStringLiteral("RemoteMenu"));
  add(remote, ui::text("显示新到邮件"), cmd::kRemoteNewMails);
  add(remote, ui::text("显示所有邮件"), cmd::kRemoteAllMails);
  return menu;
}

void CUserTreeView::contextMenuEvent(QContextMenuEvent* event) {
  QMenu* menu = context_menu(itemAt(event->pos()));
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(event->globalPos());
}

void CUserTreeView::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Delete) {
    run_command(cmd::kDeleteMailbox);
    return;
  }
  QTreeWidget::keyPressEvent(event);
}

void CUserTreeView::add_account() {
  CMailboxDialog dialog(mailboxes_, boxes_, nullptr, this);
  if (dialog.exec() != QDialog::Accepted) return;
  std::shared_ptr<MailboxAccount> account = mailboxes_.create(dialog.record(), true);
  add_item(account);
  root_->setExpanded(true);
  if (rules_.count() > 0) {
    CListChooserDialog chooser(mailboxes_, rules_, *account, this);
    if (chooser.exec() == QDialog::Accepted) emit bindings_changed();
  }
  const bool watch = offer_watching(this, mailboxes_, boxes_, {account});
  update_item(static_cast<AccountItem*>(item_of(*account)));
  saver_.save_mailboxes(this);
  emit mailboxes_changed();
  if (watch) emit watching_started(account);
}

void CUserTreeView::modify_account() {
  std::shared_ptr<MailboxAccount> account = selected_account();
  CMailboxDialog dialog(mailboxes_, boxes_, account.get(), this);
  if (dialog.exec() != QDialog::Accepted) return;
  account->set_record(dialog.record());
  saver_.save_mailboxes(this);
  refresh_sign_in_marks();
}

void CUserTreeView::delete_account() {
  std::shared_ptr<MailboxAccount> account = selected_account();
  if (!boxes_.show(this, MessageKind::question, sid::kAskDeleteMailbox)) return;
  QTreeWidgetItem* item = item_of(*account);
  const std::string address = account->address();
  (void)mailboxes_.remove(*account);
  delete item;
  // Its tokens go with it; a failed write leaves an entry nothing reads.
  (void)OAuthStore(mailboxes_.program_dir()).update([&](OAuthFile& f) { f.mailboxes.erase(OAuthFile::key(address)); });
  saver_.save_mailboxes(this);
  emit bindings_changed();
  emit mailboxes_changed();
}

void CUserTreeView::resume_account() {
  std::shared_ptr<MailboxAccount> account = selected_account();
  if (account->bound_count() == 0) {
    boxes_.show(this, MessageKind::notice, sid::kNoRulesNotice);
    return;
  }
  mailboxes_.resume(*account);
  update_item(static_cast<AccountItem*>(item_of(*account)));
  saver_.save_mailboxes(this);
  emit mailboxes_changed();
  emit watching_started(account);
}

void CUserTreeView::pause_account() {
  std::shared_ptr<MailboxAccount> account = selected_account();
  mailboxes_.pause(*account);
  update_item(static_cast<AccountItem*>(item_of(*account)));
  saver_.save_mailboxes(this);
  emit mailboxes_changed();
}

void CUserTreeView::import_accounts() {
  QString file = files_.open_file(this, QString::fromLatin1(kMailboxFileFilter));
  if (file.isEmpty()) return;
  MailboxImportResult result = import_mailboxes(mailboxes_, to_path(file));
  if (result.text_id != sid::kImportDone) {
    boxes_.show(this, MessageKind::failure, result.text_id);
    return;
  }
  for (const auto& account : result.accounts) add_item(account);
  root_->setExpanded(true);
  if (result.added > 0) {
    saver_.save_mailboxes(this);
    emit mailboxes_changed();
  }
  boxes_.show(this, MessageKind::notice, result.text_id);
}

void CUserTreeView::export_accounts() {
  if (!boxes_.show(this, MessageKind::question, sid::kAskExportPasswords)) return;
  QString file = files_.save_file(this, QString::fromLatin1(kMailboxFileFilter));
  if (file.isEmpty()) return;
  MailboxExportResult result = export_mailboxes(mailboxes_, to_path(file));
  bool done = result.text_id == sid::kExportDone;
  boxes_.show(this, done ? MessageKind::notice : MessageKind::failure, result.text_id);
}

QString CUserTreeView::empty_hint() const { return mailboxes_.count() == 0 ? text(sid::kEmptyTreeHint) : QString(); }

void CUserTreeView::paintEvent(QPaintEvent* event) {
  QTreeWidget::paintEvent(event);
  const QString hint = empty_hint();
  if (hint.isEmpty()) return;
  constexpr int kMargin = 8;
  QRect area = viewport()->rect().adjusted(kMargin, kMargin, -kMargin, -kMargin);
  area.setTop(visualItemRect(root_).bottom() + kMargin);
  QPainter painter(viewport());
  painter.setPen(palette().color(QPalette::PlaceholderText));
  painter.drawText(area, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, hint);
}

}  // namespace pw::ui
