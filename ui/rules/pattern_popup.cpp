#include "ui/rules/pattern_popup.h"

#include <QCloseEvent>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "rules/body_pattern.h"
#include "ui/message_boxes.h"
#include "ui/rules/multiline_text.h"
#include "ui/ui_text.h"

namespace pw::ui {

PatternPopup::PatternPopup(const std::string& pattern, MessageBoxes& boxes, QWidget* dialog)
    : QWidget(dialog, Qt::Window), boxes_(boxes) {
  setObjectName(QStringLiteral("PatternPopup"));
  setWindowTitle(text(sid::kPatternTitle));
  setAttribute(Qt::WA_DeleteOnClose);
  edit_ = new QPlainTextEdit(this);
  edit_->setObjectName(QStringLiteral("pattern"));
  edit_->setPlainText(from_gb_lines(pattern));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(edit_);
  resize(360, 200);
  // Right of and above the dialog's client area, so both stay in view.
  move(dialog->mapToGlobal(QPoint(100, -100)));
}

std::string PatternPopup::pattern() const { return to_gb_lines(edit_->toPlainText()); }

bool PatternPopup::fits() {
  if (pattern().size() <= kPatternLimit) return true;
  boxes_.show(this, MessageKind::input_error, sid::kPatternTooLong);
  edit_->setFocus();
  return false;
}

void PatternPopup::select_bytes(size_t begin, size_t end) {
  select_stored_bytes(edit_, pattern(), begin, end);
  edit_->setFocus();
}

void PatternPopup::closeEvent(QCloseEvent* event) {
  if (!fits()) {
    event->ignore();
    return;
  }
  emit closing(pattern());
  event->accept();
}

PatternField::PatternField(std::string pattern, MessageBoxes& boxes, QWidget* dialog)
    : QObject(dialog), pattern_(std::move(pattern)), boxes_(boxes), dialog_(dialog) {}

void PatternField::open() {
  if (!popup_) {
    popup_ = new PatternPopup(pattern_, boxes_, dialog_);
    connect(popup_, &PatternPopup::closing, this, [this](const std::string& pattern) { pattern_ = pattern; });
  }
  popup_->show();
  popup_->raise();
  popup_->activateWindow();
}

bool PatternField::take_open_text() {
  if (!popup_) return true;
  if (!popup_->fits()) return false;
  pattern_ = popup_->pattern();
  return true;
}

void PatternField::dismiss() { delete popup_.data(); }

bool PatternField::check() {
  PatternCheck result = validate_pattern(pattern_);
  if (result.ok) return true;
  boxes_.show(dialog_, MessageKind::input_error, sid::kBadPattern);
  open();
  popup_->select_bytes(result.begin, result.end);
  return false;
}

}  // namespace pw::ui
