#include "ui/rules/pattern_dialog.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "rules/body_pattern.h"
#include "ui/message_boxes.h"
#include "ui/dialog_parts.h"
#include "ui/rules/multiline_text.h"
#include "ui/rules/pattern_popup.h"
#include "ui/ui_text.h"

namespace pw::ui {

PatternDialog::PatternDialog(const std::string& pattern, MessageBoxes& boxes, QWidget* parent)
    : QDialog(parent), boxes_(boxes), pattern_(pattern) {
  setObjectName(QStringLiteral("PatternDialog"));
  setWindowTitle(ui::text("邮件格式"));
  edit_ = new QPlainTextEdit(from_gb_lines(pattern), this);
  edit_->setObjectName(QStringLiteral("pattern"));
  limit_gb_lines(edit_, kPatternLimit);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(make_label(this, ui::text("请输入要邮件的格式(&I)"), edit_));
  layout->addWidget(edit_);
  add_ok_cancel(this, layout);
  resize(420, 260);
}

void PatternDialog::accept() {
  const std::string pattern = to_gb_lines(edit_->toPlainText());
  PatternCheck check = validate_pattern(pattern);
  if (!check.ok) {
    boxes_.show(this, MessageKind::input_error, sid::kBadPattern);
    edit_->setFocus();
    select_stored_bytes(edit_, pattern, check.begin, check.end);
    return;
  }
  pattern_ = pattern;
  QDialog::accept();
}

}  // namespace pw::ui
