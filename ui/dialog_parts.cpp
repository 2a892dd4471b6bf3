#include "ui/dialog_parts.h"

#include <QButtonGroup>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QRadioButton>

#include "ui/gb_qstring.h"
#include "ui/message_boxes.h"
#include "ui/ui_text.h"

namespace pw::ui {

QPushButton* add_ok_cancel(QDialog* dialog, QLayout* layout) {
  auto* buttons = new QDialogButtonBox(dialog);
  QPushButton* ok = buttons->addButton(ui::text("确定"), QDialogButtonBox::AcceptRole);
  ok->setObjectName(QStringLiteral("ok"));
  ok->setDefault(true);
  QPushButton* cancel = buttons->addButton(ui::text("取消"), QDialogButtonBox::RejectRole);
  cancel->setObjectName(QStringLiteral("cancel"));
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  layout->addWidget(buttons);
  return ok;
}

QRadioButton* make_radio(QWidget* parent, const QString& text, const char* name) {
  auto* radio = new QRadioButton(text, parent);
  radio->setObjectName(QString::fromLatin1(name));
  return radio;
}

QButtonGroup* group_radios(QWidget* parent, QRadioButton* first, QRadioButton* second, int index) {
  auto* group = new QButtonGroup(parent);
  group->addButton(first, 0);
  group->addButton(second, 1);
  (index == 0 ? first : second)->setChecked(true);
  return group;
}

QLabel* make_label(QWidget* parent, const QString& text, QWidget* buddy) {
  auto* label = new QLabel(text, parent);
  if (buddy) label->setBuddy(buddy);
  return label;
}

std::optional<std::string> stored_path(const QString& chosen, MessageBoxes& boxes, QWidget* parent) {
  std::string path = to_gb(chosen);
  if (path.size() > kPathLimit) {
    boxes.show(parent, MessageKind::input_error, sid::kPathTooLong);
    return std::nullopt;
  }
  return path;
}

}  // namespace pw::ui
