#include "ui/frame/ruler_list_view.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>

#include <algorithm>

#include "rules/rule_store.h"
#include "stores/mailbox_list.h"
#include "stores/system_settings.h"
#include "ui/frame/command_ids.h"
#include "ui/rules/configure_rules_dialog.h"
#include "ui/file_dialogs.h"
#include "ui/gb_qstring.h"
#include "ui/rules/list_chooser_dialog.h"
#include "ui/message_boxes.h"
#include "ui/frame/store_saver.h"
#include "ui/ui_text.h"
#include "ui/view_icons.h"
#include "ui/frame/watch_offer.h"

namespace pw::ui {
namespace {

// Rows keep their rule's id: the pointer is looked up in the store, so a row
// never reaches a released rule.
constexpr int kRuleIdRole = Qt::UserRole;

}  // namespace

CRulerListView::CRulerListView(RuleStore& rules, MailboxList& mailboxes, SystemSettings& settings, StoreSaver& saver,
                               MessageBoxes& boxes, FileDialogs& files, QWidget* parent)
    : QTreeWidget(parent),
      rules_(rules),
      mailboxes_(mailboxes),
      settings_(settings),
      saver_(saver),
      boxes_(boxes),
      files_(files) {
  setObjectName(QStringLiteral("RulerListView"));
  setColumnCount(1);
  setHeaderLabels({text(sid::kAllRules)});
  header()->setStretchLastSection(true);  // the column follows the view's width
  setRootIsDecorated(false);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setAllColumnsShowFocus(true);
  setIconSize(QSize(16, 16));
  fill();
  connect(this, &QTreeWidget::itemDoubleClicked, this, [this] { run_command(cmd::kModifyRule); });
}

void CRulerListView::fill() {
  clear();
  for (size_t i = 0; i < rules_.count(); ++i) add_row(*rules_.at(i));
}

void CRulerListView::add_row(const Rule& rule) {
  auto* item = new QTreeWidgetItem(this);
  item->setText(0, from_gb(rule.name));
  item->setData(0, kRuleIdRole, rule.id);
  set_image(item, rule);
}

void CRulerListView::set_image(QTreeWidgetItem* item, const Rule& rule) {
  int image = rule.use_count != 0 ? 1 : 0;
  item->setIcon(0, rule_icon(image));
  item->setData(0, kImageRole, image);
}

void CRulerListView::refresh_images() {
  for (int i = 0; i < topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = topLevelItem(i);
    if (const Rule* rule = rule_of(item)) set_image(item, *rule);
  }
}

Rule* CRulerListView::rule_of(const QTreeWidgetItem* item) const {
  return item ? rules_.find_by_id(item->data(0, kRuleIdRole).toInt()) : nullptr;
}

Rule* CRulerListView::selected_rule() const {
  QList<QTreeWidgetItem*> selected = selectedItems();
  return selected.isEmpty() ? nullptr : rule_of(selected.first());
}

bool CRulerListView::command_enabled(int id) const {
  switch (id) {
    case cmd::kNewRule: return bool(editor_);
    case cmd::kModifyRule: return editor_ && selected_rule();
    case cmd::kDeleteRule: return selected_rule() != nullptr;
    case cmd::kImportRules: return true;
    case cmd::kExportRules: return rules_.count() > 0;
    case cmd::kConfigureRules: return rules_.count() > 0 && mailboxes_.count() > 0;
    default: return false;
  }
}

bool CRulerListView::run_command(int id) {
  if (!command_enabled(id)) return false;
  switch (id) {
    case cmd::kNewRule: new_rule(); break;
    case cmd::kModifyRule: modify_rule(); break;
    case cmd::kDeleteRule: delete_rule(); break;
    case cmd::kImportRules: import_rules(); break;
    case cmd::kExportRules: export_rules(); break;
    case cmd::kConfigureRules: configure_rules(); break;
    default: return false;
  }
  return true;
}

QMenu* CRulerListView::context_menu(bool on_row) {
  auto* menu = new QMenu(this);
  menu->setObjectName(QStringLiteral("RulerListMenu"));
  auto add = [this, menu](int text_id, int id) {
    QAction* action = menu->addAction(text(text_id));
    action->setData(id);
    action->setEnabled(command_enabled(id));
    connect(action, &QAction::triggered, this, [this, id] { run_command(id); });
  };
  add(sid::kImportRulesMenu, cmd::kImportRules);
  add(sid::kExportRulesMenu, cmd::kExportRules);
  menu->addSeparator();
  add(sid::kAddRuleMenu, cmd::kNewRule);
  if (on_row) {
    add(sid::kModifyRuleMenu, cmd::kModifyRule);
    add(sid::kDeleteRuleMenu, cmd::kDeleteRule);
  }
  return menu;
}

void CRulerListView::contextMenuEvent(QContextMenuEvent* event) {
  QTreeWidgetItem* hit = itemAt(event->pos());
  if (hit) setCurrentItem(hit);
  QMenu* menu = context_menu(hit != nullptr);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(event->globalPos());
}

void CRulerListView::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Delete) {
    run_command(cmd::kDeleteRule);
    return;
  }
  QTreeWidget::keyPressEvent(event);
}

void CRulerListView::new_rule() {
  Rule rule;
  if (!editor_(this, rule, true)) return;
  rule.id = rules_.take_next_id(settings_.next_rule_id);
  rule.use_count = 0;
  Rule& stored = rules_.add(std::move(rule));
  bool watching = false;
  if (mailboxes_.count() > 0) {
    CListChooserDialog chooser(mailboxes_, stored, this);
    if (chooser.exec() == QDialog::Accepted) {
      std::vector<std::shared_ptr<MailboxAccount>> bound;
      for (const auto& account : mailboxes_.accounts()) {
        const std::vector<uint32_t> ids = account->bound_rules();
        if (std::find(ids.begin(), ids.end(), static_cast<uint32_t>(stored.id)) != ids.end()) bound.push_back(account);
      }
      watching = offer_watching(this, mailboxes_, boxes_, bound);
    }
  }
  add_row(stored);
  saver_.save_rules(this);
  saver_.save_settings(this);
  saver_.save_mailboxes(this);
  emit rules_changed();
  if (watching) {
    emit watch_marks_changed();
    emit watching_started();
  }
}

void CRulerListView::modify_rule() {
  Rule* stored = selected_rule();
  Rule copy = *stored;
  if (!editor_(this, copy, false)) return;
  RuleStore::replace(*stored, std::move(copy));
  selectedItems().first()->setText(0, from_gb(stored->name));
  saver_.save_rules(this);
}

void CRulerListView::delete_rule() {
  Rule* rule = selected_rule();
  if (!boxes_.show(this, MessageKind::question, sid::kAskDeleteRule)) return;
  QTreeWidgetItem* item = selectedItems().first();
  // Every mailbox left without a rule stops being watched.
  (void)mailboxes_.unbind_everywhere(static_cast<uint32_t>(rule->id));
  (void)rules_.remove(rule);
  delete item;
  saver_.save_mailboxes(this);
  saver_.save_rules(this);
  emit watch_marks_changed();
  emit rules_changed();
}

void CRulerListView::import_rules() {
  QString file = files_.open_file(this, QString::fromLatin1(kRuleFileFilter));
  if (file.isEmpty()) return;
  RuleImportResult result = rules_.import_from(to_path(file), settings_.next_rule_id);
  if (result.added.empty()) return;
  for (const Rule* rule : result.added) add_row(*rule);
  saver_.save_rules(this);
  saver_.save_settings(this);
  emit rules_changed();
}

void CRulerListView::export_rules() {
  QString file = files_.save_file(this, QString::fromLatin1(kRuleFileFilter));
  if (file.isEmpty()) return;
  RuleExportResult result = rules_.export_to(to_path(file));
  boxes_.show(this, result.ok ? MessageKind::notice : MessageKind::failure, result.message_id);
}

void CRulerListView::configure_rules() {
  // The mailboxes that had no rule: those given one are offered watching.
  std::vector<std::shared_ptr<MailboxAccount>> ruleless;
  for (const auto& account : mailboxes_.accounts())
    if (account->bound_count() == 0) ruleless.push_back(account);
  {
    CConfigureRulesDialog dialog(mailboxes_, rules_, this);
    (void)dialog.exec();
  }
  refresh_images();
  pause_accounts_without_rules();
  const bool watching = offer_watching(this, mailboxes_, boxes_, ruleless);
  saver_.save_mailboxes(this);
  emit watch_marks_changed();
  if (watching) emit watching_started();
}

void CRulerListView::pause_accounts_without_rules() {
  for (const auto& account : mailboxes_.accounts()) {
    if (account->bound_count() == 0 && !account->paused()) mailboxes_.pause(*account);
  }
}

}  // namespace pw::ui
