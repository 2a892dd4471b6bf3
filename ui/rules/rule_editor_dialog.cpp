#include "ui/rules/rule_editor_dialog.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "rules/rule_store.h"
#include "ui/file_dialogs.h"
#include "ui/gb_qstring.h"
#include "ui/message_boxes.h"
#include "ui/rules/choice_dialog.h"
#include "ui/rules/description_browser.h"
#include "ui/dialog_parts.h"
#include "ui/rules/folder_chooser.h"
#include "ui/rules/key_info_dialog.h"
#include "ui/rules/number_dialog.h"
#include "ui/rules/pattern_dialog.h"
#include "ui/rules/reply_dialog.h"
#include "ui/rules/word_list_dialog.h"
#include "ui/ui_text.h"

namespace pw::ui {
namespace {

QTreeWidget* check_list(QWidget* parent, const QString& column, const char* name) {
  auto* list = new QTreeWidget(parent);
  list->setObjectName(QString::fromLatin1(name));
  list->setColumnCount(1);
  list->setHeaderLabels({column});
  list->setRootIsDecorated(false);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setAllColumnsShowFocus(true);
  list->header()->setStretchLastSection(true);
  return list;
}

void add_row(QTreeWidget* list, int label, uint32_t bit) {
  auto* item = new QTreeWidgetItem(list, {text(label)});
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
  item->setCheckState(0, Qt::Unchecked);
  item->setData(0, Qt::UserRole, bit);
}

uint32_t ticked_bits(const QTreeWidget* list) {
  uint32_t mask = 0;
  for (int i = 0; i < list->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* item = list->topLevelItem(i);
    if (item->checkState(0) == Qt::Checked) mask |= item->data(0, Qt::UserRole).toUInt();
  }
  return mask;
}

void tick_bits(QTreeWidget* list, uint32_t mask) {
  for (int i = 0; i < list->topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = list->topLevelItem(i);
    item->setCheckState(0, (mask & item->data(0, Qt::UserRole).toUInt()) ? Qt::Checked : Qt::Unchecked);
  }
}

// The lists have a fixed number of rows: show them all without scrolling.
void fit_rows(QTreeWidget* list) {
  const int rows = list->topLevelItemCount();
  list->setFixedHeight(list->sizeHintForRow(0) * rows + list->header()->sizeHint().height() +
                       2 * list->frameWidth() + 2);
  list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void set_bit(uint32_t& mask, uint32_t bit, bool on) { mask = on ? (mask | bit) : (mask & ~bit); }

}  // namespace

RuleEditorDialog::RuleEditorDialog(Rule rule, const Rule* editing, const RuleStore& rules, MessageBoxes& boxes,
                                   FileDialogs& files, RecipientPicker picker, QWidget* parent)
    : QDialog(parent),
      rule_(std::move(rule)),
      editing_(editing),
      rules_(rules),
      boxes_(boxes),
      files_(files),
      picker_(std::move(picker)) {
  setObjectName(QStringLiteral("RuleEditorDialog"));
  setWindowTitle(ui::text("规则"));

  name_ = new QLineEdit(from_gb(rule_.name), this);
  name_->setObjectName(QStringLiteral("name"));
  limit_gb_bytes(name_, Rule::kNameWidth - 1);
  conditions_ = check_list(this, QStringLiteral("condition"), "conditions");
  for (ConditionKind kind : kConditionKinds) add_row(conditions_, label_id(kind), bit(kind));
  actions_ = check_list(this, QStringLiteral("operation"), "actions");
  for (ActionKind kind : kActionKinds) add_row(actions_, label_id(kind), bit(kind));
  fit_rows(conditions_);
  fit_rows(actions_);
  browser_ = new DescriptionBrowser(this);
  browser_->setMinimumHeight(120);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(make_label(this, ui::text("1. 规则名称(&N):"), name_));
  layout->addWidget(name_);
  layout->addWidget(make_label(this, ui::text("2. 选择规则条件(&C):"), conditions_));
  layout->addWidget(conditions_);
  layout->addWidget(make_label(this, ui::text("3. 选择规则操作(&A):"), actions_));
  layout->addWidget(actions_);
  layout->addWidget(make_label(this, ui::text("4. 规则描述（单击带下划线的值可以进行编辑）(&D):"), browser_));
  layout->addWidget(browser_, 1);
  add_ok_cancel(this, layout);

  checks_from_masks();
  rebuild();
  connect(conditions_, &QTreeWidget::itemChanged, this, &RuleEditorDialog::masks_from_checks);
  connect(actions_, &QTreeWidget::itemChanged, this, &RuleEditorDialog::masks_from_checks);
  connect(browser_, &DescriptionBrowser::span_clicked, this, &RuleEditorDialog::click_description);
  resize(std::max(480, sizeHint().width()), sizeHint().height());
}

void RuleEditorDialog::masks_from_checks() {
  if (syncing_) return;
  const uint32_t conditions = ticked_bits(conditions_);
  const uint32_t actions = ticked_bits(actions_);
  if (conditions == rule_.condition_mask && actions == rule_.action_mask) return;
  rule_.condition_mask = conditions;
  rule_.action_mask = actions;
  rebuild();
}

void RuleEditorDialog::checks_from_masks() {
  syncing_ = true;
  tick_bits(conditions_, rule_.condition_mask);
  tick_bits(actions_, rule_.action_mask);
  syncing_ = false;
}

void RuleEditorDialog::rebuild() {
  description_ = build_rule_description(rule_);
  browser_->show_description(description_);
}

void RuleEditorDialog::note_captures(bool used) {
  if (!used) return;
  rule_.condition_mask |= bit(ConditionKind::body_pattern);
  checks_from_masks();
}

void RuleEditorDialog::click_description(size_t position) {
  DescriptionHit hit = description_.hit(position);
  switch (hit.target) {
    case DescriptionHit::Target::none: return;
    case DescriptionHit::Target::joiner: (void)edit_parameter({}); return;
    case DescriptionHit::Target::link: break;
  }
  const DescriptionLink& link = *hit.link;
  const auto target = link.kind == LinkKind::condition ? RuleParameter::Target::condition
                                                        : RuleParameter::Target::action;
  (void)edit_parameter({target, link.bit, link.sub_item});
}

bool RuleEditorDialog::edit_parameter(const RuleParameter& parameter) {
  Rule& r = rule_;
  bool stored = false;
  if (parameter.target == RuleParameter::Target::and_or) {
    ChoiceDialog dialog(ChoiceDialog::Use::and_or, r.match_all ? 0 : 1, this);
    if ((stored = dialog.exec() == QDialog::Accepted)) r.match_all = dialog.index() == 0;
  } else if (parameter.target == RuleParameter::Target::condition) {
    const auto kind = static_cast<ConditionKind>(parameter.bit);
    if (is_word_condition(kind)) {
      WordListDialog dialog(kind, r.word_list(kind), r.sense(kind), r.all_words(kind), boxes_, this);
      if ((stored = dialog.exec() == QDialog::Accepted)) {
        r.word_lists[static_cast<size_t>(word_list_index(kind))] = dialog.list();
        set_bit(r.sense_mask, parameter.bit, dialog.contains());
        set_bit(r.all_words_mask, parameter.bit, dialog.all_words());
      }
    } else if (kind == ConditionKind::age_hours || kind == ConditionKind::size) {
      const bool hours = kind == ConditionKind::age_hours;
      int32_t& value = hours ? r.age_hours : r.size_kb;
      NumberDialog dialog(hours ? NumberDialog::Use::hours : NumberDialog::Use::size, value, r.sense(kind), boxes_,
                          this);
      if ((stored = dialog.exec() == QDialog::Accepted)) {
        value = dialog.value();
        set_bit(r.sense_mask, parameter.bit, dialog.greater());
      }
    } else if (kind == ConditionKind::has_attachment) {
      ChoiceDialog dialog(ChoiceDialog::Use::attachment, r.sense(kind) ? 0 : 1, this);
      if ((stored = dialog.exec() == QDialog::Accepted)) set_bit(r.sense_mask, parameter.bit, dialog.index() == 0);
    } else if (kind == ConditionKind::body_pattern) {
      PatternDialog dialog(r.body_pattern, boxes_, this);
      if ((stored = dialog.exec() == QDialog::Accepted)) r.body_pattern = dialog.pattern();
    }
  } else {
    switch (static_cast<ActionKind>(parameter.bit)) {
      case ActionKind::confirm: {
        NumberDialog dialog(NumberDialog::Use::seconds, r.confirm_seconds, true, boxes_, this);
        if ((stored = dialog.exec() == QDialog::Accepted)) r.confirm_seconds = dialog.value();
        break;
      }
      case ActionKind::forward: {
        ForwardDialog dialog(r.forward, boxes_, picker_, this);
        if ((stored = dialog.exec() == QDialog::Accepted)) r.forward = dialog.settings();
        break;
      }
      case ActionKind::reply: {
        ReplyDialog dialog(r.reply, r.body_pattern, boxes_, files_, this);
        if ((stored = dialog.exec() == QDialog::Accepted)) {
          r.reply = dialog.settings();
          r.body_pattern = dialog.body_pattern();
          note_captures(dialog.level() == TemplateLevel::captures);
        }
        break;
      }
      case ActionKind::backup:
      case ActionKind::attachments: {
        const bool backup = parameter.bit == bit(ActionKind::backup);
        auto folder =
            choose_folder(files_, boxes_, this, backup ? sid::kChooseBackupFolder : sid::kChooseAttachmentFolder);
        if ((stored = folder.has_value())) (backup ? r.backup_dir : r.attachment_dir) = *folder;
        break;
      }
      case ActionKind::key_info: {
        if (parameter.sub_item == 1) {
          QString chosen = files_.save_file(this, QString::fromLatin1(kTextFileFilter));
          std::optional<std::string> path;
          if (!chosen.isEmpty()) path = stored_path(chosen, boxes_, this);
          if ((stored = path.has_value())) r.key_info_file = *path;
          break;
        }
        KeyInfoDialog dialog(r.key_info_template, r.body_pattern, boxes_, this);
        if ((stored = dialog.exec() == QDialog::Accepted)) {
          r.key_info_template = dialog.key_template();
          r.body_pattern = dialog.body_pattern();
          note_captures(dialog.level() == TemplateLevel::captures);
        }
        break;
      }
      case ActionKind::delete_on_server: {
        ChoiceDialog dialog(ChoiceDialog::Use::delete_mail, r.delete_always ? 1 : 0, this);
        if ((stored = dialog.exec() == QDialog::Accepted)) r.delete_always = dialog.index() == 1;
        break;
      }
    }
  }
  if (stored) rebuild();
  return stored;
}

void RuleEditorDialog::accept() {
  rule_.name = to_gb(name_->text());
  for (;;) {
    std::optional<RuleCheckFailure> failure = check_rule(rule_, rules_, editing_);
    if (!failure) break;
    boxes_.show(this, MessageKind::input_error, failure->message_id);
    if (failure->focus_name) {
      name_->setFocus();
      name_->selectAll();
    }
    if (!failure->open || !edit_parameter(*failure->open)) return;
  }
  rule_.fetch_need = compute_fetch_need(rule_);
  QDialog::accept();
}

bool edit_rule(QWidget* parent, Rule& rule, bool is_new, const RuleStore& rules, MessageBoxes& boxes,
               FileDialogs& files, RecipientPicker picker) {
  const Rule* editing = is_new ? nullptr : rules.find_by_id(rule.id);
  RuleEditorDialog dialog(rule, editing, rules, boxes, files, std::move(picker), parent);
  if (dialog.exec() != QDialog::Accepted) return false;
  rule = dialog.rule();
  return true;
}

}  // namespace pw::ui
