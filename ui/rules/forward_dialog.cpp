#include "ui/rules/forward_dialog.h"

#include <QButtonGroup>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "rules/word_list.h"
#include "ui/gb_qstring.h"
#include "ui/message_boxes.h"
#include "ui/dialog_parts.h"
#include "ui/rules/word_list_panel.h"
#include "ui/ui_text.h"

namespace pw::ui {
namespace {

constexpr size_t kShownLimit = 1023;

// The forward label up to "指定": "转发给".
QString list_heading() {
  const QString label = text(sid::kForwardAction);
  return label.left(label.indexOf(text(sid::kGiven)));
}

QLineEdit* shown_field(QWidget* parent, const char* name, const std::string& value) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QString::fromLatin1(name));
  limit_gb_bytes(edit, kShownLimit);
  edit->setText(from_gb(value));
  return edit;
}

}  // namespace

ForwardDialog::ForwardDialog(ForwardSettings settings, MessageBoxes& boxes, RecipientPicker picker, QWidget* parent)
    : QDialog(parent), settings_(std::move(settings)), boxes_(boxes), picker_(std::move(picker)) {
  setObjectName(QStringLiteral("ForwardDialog"));
  setWindowTitle(ui::text("转发"));

  recipients_ = new WordListPanel(ui::text("键入要转发的用户，单击\"添加\"按钮添加(&N)"), settings_.to, true,
                                  boxes_, this);
  recipients_->set_heading(list_heading(), text(sid::kAnd));
  auto* book = new QPushButton(ui::text("地址簿(&A)..."), this);
  book->setObjectName(QStringLiteral("addressBook"));
  book->setAutoDefault(false);
  recipients_->button_column()->addWidget(book);
  connect(book, &QPushButton::clicked, this, [this] {
    if (!picker_) return;
    std::string picked = picker_(this);
    if (!picked.empty()) recipients_->append(picked);
  });

  keep_headers_ = make_radio(this, ui::text("保持原有的邮件头(&O)"), "keepHeaders");
  change_headers_ = make_radio(this, ui::text("转发时改变邮件头(&C)"), "changeHeaders");
  group_radios(this, keep_headers_, change_headers_, settings_.change_headers ? 1 : 0);
  shown_from_ = shown_field(this, "shownFrom", settings_.shown_from);
  shown_to_ = shown_field(this, "shownTo", settings_.shown_to);
  shown_subject_ = shown_field(this, "shownSubject", settings_.shown_subject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(recipients_);
  layout->addWidget(keep_headers_);
  layout->addWidget(change_headers_);
  auto* shown = new QFormLayout;
  shown->addRow(make_label(this, ui::text("显示发件人(&F)"), shown_from_), shown_from_);
  shown->addRow(make_label(this, ui::text("显示收件人(&T)"), shown_to_), shown_to_);
  shown->addRow(make_label(this, ui::text("显示主题(&S)"), shown_subject_), shown_subject_);
  layout->addLayout(shown);
  recipients_->set_ok_button(add_ok_cancel(this, layout));

  connect(change_headers_, &QRadioButton::toggled, this, &ForwardDialog::update_enabling);
  update_enabling();
  resize(460, sizeHint().height());
}

void ForwardDialog::update_enabling() {
  const bool change = change_headers_->isChecked();
  shown_from_->setEnabled(change);
  shown_to_->setEnabled(change);
  shown_subject_->setEnabled(change);
}

void ForwardDialog::accept() {
  settings_.to = recipients_->list();
  settings_.change_headers = change_headers_->isChecked();
  settings_.shown_from = to_gb(shown_from_->text());
  settings_.shown_to = to_gb(shown_to_->text());
  settings_.shown_subject = to_gb(shown_subject_->text());
  if (split_words(settings_.to).empty()) boxes_.show(this, MessageKind::input_error, sid::kNoRecipient);
  QDialog::accept();
}

}  // namespace pw::ui
