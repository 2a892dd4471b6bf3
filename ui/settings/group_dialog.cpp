#include "ui/settings/group_dialog.h"

#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/gb_qstring.h"
#include "ui/dialog_parts.h"
#include "ui/message_boxes.h"
#include "ui/settings/settings_check.h"
#include "ui/ui_text.h"

namespace pw::ui {
namespace {

constexpr size_t kNameLimit = 63;

}  // namespace

CGroupDialog::CGroupDialog(const AddressBook& book, MessageBoxes& boxes, QWidget* parent)
    : QDialog(parent), book_(book), boxes_(boxes) {
  setObjectName(QStringLiteral("GroupDialog"));
  setWindowTitle(ui::text("分组"));
  name_ = new QLineEdit(this);
  name_->setObjectName(QStringLiteral("name"));
  limit_gb_bytes(name_, kNameLimit);

  auto* form = new QFormLayout;
  form->addRow(ui::text("分组名称(&N)"), name_);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  add_ok_cancel(this, layout);
}

std::string CGroupDialog::name() const { return to_gb(name_->text()); }

void CGroupDialog::accept() {
  if (std::optional<int> message = check_group(name(), book_)) {
    boxes_.show(this, MessageKind::input_error, *message);
    name_->selectAll();
    name_->setFocus();
    return;
  }
  QDialog::accept();
}

}  // namespace pw::ui
