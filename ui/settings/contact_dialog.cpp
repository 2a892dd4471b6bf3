#include "ui/settings/contact_dialog.h"

#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
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
constexpr size_t kAddressLimit = 63;
constexpr size_t kDescriptionLimit = 2047;

}  // namespace

CContactDialog::CContactDialog(MessageBoxes& boxes, const Contact* contact, QWidget* parent)
    : QDialog(parent), boxes_(boxes), contact_(contact ? *contact : Contact{}) {
  setObjectName(QStringLiteral("ContactDialog"));
  setWindowTitle(ui::text("联系人"));
  name_ = new QLineEdit(from_gb(contact_.name), this);
  name_->setObjectName(QStringLiteral("name"));
  limit_gb_bytes(name_, kNameLimit);
  address_ = new QLineEdit(from_gb(contact_.address), this);
  address_->setObjectName(QStringLiteral("address"));
  limit_gb_bytes(address_, kAddressLimit);
  description_ = new QPlainTextEdit(from_gb(contact_.description), this);
  description_->setObjectName(QStringLiteral("description"));

  auto* form = new QFormLayout;
  form->addRow(ui::text("称呼(&N)"), name_);
  form->addRow(ui::text("邮件地址(&E)"), address_);
  form->addRow(ui::text("附带信息(&I)"), description_);


  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  add_ok_cancel(this, layout);
}

void CContactDialog::accept() {
  if (std::optional<int> message = check_contact(to_gb(address_->text()))) {
    boxes_.show(this, MessageKind::input_error, *message);
    address_->selectAll();
    address_->setFocus();
    return;
  }
  contact_.name = to_gb(name_->text());
  contact_.address = to_gb(address_->text());
  contact_.description = to_gb(fit_gb(description_->toPlainText(), kDescriptionLimit));
  QDialog::accept();
}

}  // namespace pw::ui
