#include "ui/settings/feedback_dialog.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/local_time.h"
#include "stores/mailbox_list.h"
#include "ui/gb_qstring.h"
#include "ui/message_boxes.h"
#include "ui/ui_text.h"

namespace pw::ui {

CFeedbackDialog::CFeedbackDialog(const MailboxList& accounts, const Clock& clock, MessageBoxes& boxes,
                                 FeedbackAddresses addresses, QWidget* parent)
    : QDialog(parent), accounts_(accounts), clock_(clock), boxes_(boxes), addresses_(std::move(addresses)) {
  setObjectName(QStringLiteral("FeedbackDialog"));
  setWindowTitle(ui::text("建议和意见"));
  reply_ = new QLineEdit(this);
  reply_->setObjectName(QStringLiteral("replyAddress"));
  message_ = new QPlainTextEdit(this);
  message_->setObjectName(QStringLiteral("message"));
  progress_ = new QProgressBar(this);
  progress_->setObjectName(QStringLiteral("progress"));
  progress_->setTextVisible(false);
  progress_->hide();
  send_ = new QPushButton(ui::text("发送"), this);
  send_->setObjectName(QStringLiteral("send"));
  send_->setDefault(true);
  cancel_ = new QPushButton(ui::text("取消"), this);
  cancel_->setObjectName(QStringLiteral("cancel"));

  auto* reply_label = new QLabel(ui::text("如果您想我们给您回信的话，请留下你的Email(&E)"), this);
  reply_label->setBuddy(reply_);
  auto* message_label = new QLabel(ui::text("内容(&C)"), this);
  message_label->setBuddy(message_);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(progress_, 1);
  buttons->addStretch();
  buttons->addWidget(send_);
  buttons->addWidget(cancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(reply_label);
  layout->addWidget(reply_);
  layout->addWidget(message_label);
  layout->addWidget(message_, 1);
  layout->addLayout(buttons);
  resize(460, 340);

  connect(send_, &QPushButton::clicked, this, &CFeedbackDialog::send);
  connect(cancel_, &QPushButton::clicked, this, &CFeedbackDialog::reject);
}

CFeedbackDialog::~CFeedbackDialog() {
  if (worker_.joinable()) worker_.join();
}

void CFeedbackDialog::reject() {
  if (!sending_) QDialog::reject();
}

void CFeedbackDialog::send() {
  if (sending_) return;
  if (message_->toPlainText().isEmpty()) {
    boxes_.show(this, MessageKind::input_error, sid::kNoFeedback);
    message_->setFocus();
    return;
  }
  const FeedbackHeaders headers = feedback_headers(to_gb(reply_->text()), accounts_, addresses_);
  // The text part goes out with CR LF line ends like every mail line.
  QString body = message_->toPlainText();
  body.replace(QLatin1String("\n"), QLatin1String("\r\n"));
  mail_ = compose_feedback(headers, to_gb(body), clock_.now());

  sending_ = true;
  cancel_->setEnabled(false);
  send_->setEnabled(false);
  message_->setEnabled(false);
  progress_->setRange(0, FeedbackDelivery::kProgressEnd);
  progress_->setValue(0);
  progress_->show();

  if (worker_.joinable()) worker_.join();
  FeedbackDelivery options;
  options.progress = [this](int position) {
    QMetaObject::invokeMethod(progress_, [this, position] { progress_->setValue(position); }, Qt::QueuedConnection);
  };
  worker_ = std::thread([this, options, mail = mail_, addresses = addresses_] {
    const bool delivered = deliver_feedback(addresses, mail, options);
    QMetaObject::invokeMethod(this, [this, delivered] { finish(delivered); }, Qt::QueuedConnection);
  });
}

void CFeedbackDialog::finish(bool delivered) {
  if (worker_.joinable()) worker_.join();
  sending_ = false;
  emit sent(delivered);
  if (delivered)
    boxes_.show(this, MessageKind::notice, sid::kFeedbackSent);
  else
    boxes_.show(this, MessageKind::input_error, sid::kFeedbackNotSent);
  cancel_->setEnabled(true);
  done(delivered ? QDialog::Accepted : QDialog::Rejected);
}

}  // namespace pw::ui
