#include "ui/rules/reply_dialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "rules/rule.h"
#include "ui/file_dialogs.h"
#include "ui/gb_qstring.h"
#include "ui/message_boxes.h"
#include "ui/dialog_parts.h"
#include "ui/rules/multiline_text.h"
#include "ui/rules/pattern_popup.h"
#include "ui/rules/rule_check.h"
#include "ui/ui_text.h"

namespace pw::ui {
namespace {

QPushButton* small_button(QWidget* parent, const QString& text, const char* name) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setAutoDefault(false);
  button->setFixedWidth(button->fontMetrics().horizontalAdvance(QStringLiteral("WW")) + 12);
  return button;
}

}  // namespace

ReplyDialog::ReplyDialog(ReplySettings settings, std::optional<std::string> body_pattern, MessageBoxes& boxes,
                         FileDialogs& files, QWidget* parent)
    : QDialog(parent), settings_(std::move(settings)), boxes_(boxes), files_(files) {
  setObjectName(QStringLiteral("ReplyDialog"));
  setWindowTitle(ui::text("回复邮件"));
  pattern_ = new PatternField(body_pattern.value_or(std::string()), boxes_, this);

  from_file_ = make_radio(this, ui::text("回复邮件从文件读取(&F)"), "fromFile");
  typed_ = make_radio(this, ui::text("输入回复邮件内容(&W)"), "typed");
  group_radios(this, from_file_, typed_, settings_.from_file ? 0 : 1);
  file_ = new QLineEdit(from_gb(settings_.file), this);
  file_->setObjectName(QStringLiteral("replyFile"));
  limit_gb_bytes(file_, kPathLimit);
  browse_ = small_button(this, QStringLiteral("*"), "browseFile");
  subject_ = new QLineEdit(from_gb(settings_.subject), this);
  subject_->setObjectName(QStringLiteral("subject"));
  limit_gb_bytes(subject_, Rule::kReplySubjectWidth - 1);
  text_ = new QPlainTextEdit(from_gb_lines(settings_.text), this);
  text_->setObjectName(QStringLiteral("text"));
  limit_gb_lines(text_, Rule::kReplyTextWidth - 1);
  pattern_button_ = small_button(this, QStringLiteral("*"), "patternButton");
  pattern_button_->setVisible(body_pattern.has_value());
  attachments_ = new QTreeWidget(this);
  attachments_->setObjectName(QStringLiteral("attachments"));
  attachments_->setHeaderLabels({QStringLiteral("attachment")});
  attachments_->setRootIsDecorated(false);
  attachments_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  attachments_->setMinimumHeight(70);
  for (const std::string& path : settings_.attachments) {
    new QTreeWidgetItem(attachments_, {from_gb(path)});
  }
  add_ = small_button(this, QStringLiteral("+"), "addAttachment");
  remove_ = small_button(this, QStringLiteral("-"), "removeAttachment");

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(from_file_);
  auto* file_row = new QHBoxLayout;
  file_row->addSpacing(20);
  file_row->addWidget(file_);
  file_row->addWidget(browse_);
  layout->addLayout(file_row);
  layout->addWidget(typed_);
  auto* grid = new QGridLayout;
  grid->setColumnMinimumWidth(0, 20);
  grid->addWidget(make_label(this, ui::text("邮件主题(&S)"), subject_), 0, 1);
  grid->addWidget(subject_, 1, 1);
  grid->addWidget(make_label(this, ui::text("请输入要回复的邮件内容(&C)"), text_), 2, 1);
  grid->addWidget(text_, 3, 1);
  grid->addWidget(pattern_button_, 3, 2, Qt::AlignTop);
  auto* attachment_row = new QHBoxLayout;
  attachment_row->addWidget(make_label(this, ui::text("邮件附件(&A)"), attachments_));
  attachment_row->addStretch();
  attachment_row->addWidget(add_);
  attachment_row->addWidget(remove_);
  grid->addLayout(attachment_row, 4, 1);
  grid->addWidget(attachments_, 5, 1);
  grid->setColumnStretch(1, 1);
  layout->addLayout(grid);
  add_ok_cancel(this, layout);

  connect(from_file_, &QRadioButton::toggled, this, &ReplyDialog::update_enabling);
  connect(browse_, &QPushButton::clicked, this, &ReplyDialog::browse_file);
  connect(pattern_button_, &QPushButton::clicked, pattern_, &PatternField::open);
  connect(add_, &QPushButton::clicked, this, &ReplyDialog::add_attachments);
  connect(remove_, &QPushButton::clicked, this, &ReplyDialog::remove_attachments);
  update_enabling();
  resize(460, sizeHint().height());
}

const std::string& ReplyDialog::body_pattern() const { return pattern_->pattern(); }

void ReplyDialog::update_enabling() {
  const bool from_file = from_file_->isChecked();
  file_->setEnabled(from_file);
  browse_->setEnabled(from_file);
  for (QWidget* w : std::initializer_list<QWidget*>{subject_, text_, pattern_button_, attachments_, add_, remove_})
    w->setEnabled(!from_file);
}

void ReplyDialog::browse_file() {
  QString chosen = files_.open_file(this, QString::fromLatin1(kMailFileFilter));
  if (chosen.isEmpty()) return;
  if (std::optional<std::string> path = stored_path(chosen, boxes_, this)) file_->setText(from_gb(*path));
}

void ReplyDialog::add_attachments() {
  for (const QString& chosen : files_.open_files(this, QString::fromLatin1(kAllFilesFilter))) {
    if (!stored_path(chosen, boxes_, this)) continue;
    if (!attachments_->findItems(chosen, Qt::MatchExactly | Qt::MatchCaseSensitive).isEmpty()) continue;
    new QTreeWidgetItem(attachments_, {chosen});
  }
}

void ReplyDialog::remove_attachments() { qDeleteAll(attachments_->selectedItems()); }

void ReplyDialog::accept() {
  if (!pattern_->take_open_text() || !pattern_->check()) return;
  const std::string subject = to_gb(subject_->text());
  const std::string text = to_gb_lines(text_->toPlainText());
  const TemplateCheck<ReplyField> checked = check_reply(subject, text, pattern_->pattern());
  if (checked.failure) {
    boxes_.show(this, MessageKind::input_error, checked.failure->message_id);
    (checked.failure->field == ReplyField::subject ? static_cast<QWidget*>(subject_) : text_)->setFocus();
    return;
  }
  level_ = checked.level;
  settings_.from_file = from_file_->isChecked();
  settings_.file = to_gb(file_->text());
  settings_.subject = subject;
  settings_.text = text;
  settings_.attachments.clear();
  for (int i = 0; i < attachments_->topLevelItemCount(); ++i) {
    settings_.attachments.push_back(to_gb(attachments_->topLevelItem(i)->text(0)));
  }
  pattern_->dismiss();
  QDialog::accept();
}

void ReplyDialog::reject() {
  pattern_->dismiss();
  QDialog::reject();
}

}  // namespace pw::ui
