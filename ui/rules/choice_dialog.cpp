#include "ui/rules/choice_dialog.h"

#include <QButtonGroup>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ui/dialog_parts.h"
#include "ui/ui_text.h"

namespace pw::ui {
namespace {

struct ChoiceTexts {
  const char* object_name;
  QString caption;
  QString text;
  QString first;
  QString second;
};

ChoiceTexts texts(ChoiceDialog::Use use) {
  switch (use) {
    case ChoiceDialog::Use::and_or:
      return {"AndOrDialog", ui::text("和/或"), ui::text("执行规则的操作，当"),
              ui::text("邮件符合所有规则(&A)"), ui::text("邮件符合任一规则(&O)")};
    case ChoiceDialog::Use::attachment:
      return {"AttachmentDialog", ui::text("附件"), ui::text("要求邮件"), ui::text("带有附件(&H)"),
              ui::text("不带附件(&N)")};
    case ChoiceDialog::Use::delete_mail:
      break;
  }
  return {"DeleteDialog", ui::text("删除邮件"), ui::text("执行删除操作，当"),
          ui::text("其它操作成功后(&O)"), ui::text("任何情况下(&A)")};
}

}  // namespace

ChoiceDialog::ChoiceDialog(Use use, int index, QWidget* parent) : QDialog(parent) {
  const ChoiceTexts t = texts(use);
  setObjectName(QString::fromLatin1(t.object_name));
  setWindowTitle(t.caption);
  auto* first = make_radio(this, t.first, "first");
  auto* second = make_radio(this, t.second, "second");
  group_ = group_radios(this, first, second, index);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(t.text, this));
  layout->addWidget(first);
  layout->addWidget(second);
  add_ok_cancel(this, layout);
}

int ChoiceDialog::index() const { return group_->checkedId(); }

}  // namespace pw::ui
