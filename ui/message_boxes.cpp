#include "ui/message_boxes.h"

#include <QMessageBox>

#include "ui/ui_text.h"

namespace pw::ui {

bool MessageBoxes::show(QWidget* parent, MessageKind kind, int text_id) { return show(parent, kind, text(text_id)); }

bool QtMessageBoxes::show(QWidget* parent, MessageKind kind, const QString& message) {
  switch (kind) {
    case MessageKind::input_error: QMessageBox::warning(parent, text(sid::kErrorTitle), message); return false;
    case MessageKind::failure: QMessageBox::critical(parent, text(sid::kErrorTitle), message); return false;
    case MessageKind::question:
      return QMessageBox::question(parent, text(sid::kQuestionTitle), message, QMessageBox::Yes | QMessageBox::No,
                                   QMessageBox::No) == QMessageBox::Yes;
    case MessageKind::notice: QMessageBox::information(parent, text(sid::kNoticeTitle), message); return false;
  }
  return false;
}

}  // namespace pw::ui
