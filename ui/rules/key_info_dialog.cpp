#include "ui/rules/key_info_dialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "rules/rule.h"
#include "ui/message_boxes.h"
#include "ui/dialog_parts.h"
#include "ui/rules/multiline_text.h"
#include "ui/rules/pattern_popup.h"
#include "ui/rules/rule_check.h"
#include "ui/ui_text.h"

namespace pw::ui {

KeyInfoDialog::KeyInfoDialog(const std::string& key_template, std::string body_pattern, MessageBoxes& boxes,
                             QWidget* parent)
    : QDialog(parent), boxes_(boxes), template_(key_template) {
  setObjectName(QStringLiteral("KeyInfoDialog"));
  setWindowTitle(ui::text("保存邮件关键信息"));
  pattern_ = new PatternField(std::move(body_pattern), boxes_, this);
  edit_ = new QPlainTextEdit(from_gb_lines(key_template), this);
  edit_->setObjectName(QStringLiteral("template"));
  limit_gb_lines(edit_, Rule::kKeyInfoTemplateWidth - 1);
  auto* star = new QPushButton(QStringLiteral("*"), this);
  star->setObjectName(QStringLiteral("patternButton"));
  star->setAutoDefault(false);
  star->setFixedWidth(star->fontMetrics().horizontalAdvance(QStringLiteral("WW")) + 12);

  auto* layout = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  grid->addWidget(make_label(this, ui::text("请输入要保存的邮件信息(&I)"), edit_), 0, 0);
  grid->addWidget(edit_, 1, 0);
  grid->addWidget(star, 1, 1, Qt::AlignTop);
  layout->addLayout(grid);
  add_ok_cancel(this, layout);
  connect(star, &QPushButton::clicked, pattern_, &PatternField::open);
  resize(420, 240);
}

const std::string& KeyInfoDialog::body_pattern() const { return pattern_->pattern(); }

void KeyInfoDialog::accept() {
  if (!pattern_->take_open_text() || !pattern_->check()) return;
  const std::string key_template = to_gb_lines(edit_->toPlainText());
  const TemplateCheck<KeyInfoField> checked = check_key_info(key_template, pattern_->pattern());
  if (checked.failure) {
    boxes_.show(this, MessageKind::input_error, checked.failure->message_id);
    edit_->setFocus();
    return;
  }
  template_ = key_template;
  level_ = checked.level;
  pattern_->dismiss();
  QDialog::accept();
}

void KeyInfoDialog::reject() {
  pattern_->dismiss();
  QDialog::reject();
}

}  // namespace pw::ui
