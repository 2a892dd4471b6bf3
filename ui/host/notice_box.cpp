#include "ui/host/notice_box.h"
#include "ui/ui_text.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>

namespace pw::ui {

CNoticeBox::CNoticeBox(const QString& title, const QString& message, QWidget* parent,
                       std::chrono::milliseconds lifetime)
    : QDialog(parent) {
  setObjectName(QStringLiteral("NoticeBox"));
  setWindowTitle(title);
  setModal(true);

  message_ = new QTextEdit(this);
  message_->setObjectName(QStringLiteral("message"));
  message_->setReadOnly(true);
  // The message may carry a server's reply: shown as it is, never as markup.
  QString lines = message;
  message_->setPlainText(lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(ui::text("确定"), QDialogButtonBox::AcceptRole);
  ok->setObjectName(QStringLiteral("ok"));
  ok->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &CNoticeBox::accept);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(message_);
  layout->addWidget(buttons);
  resize(360, 200);

  close_timer_ = new QTimer(this);
  close_timer_->setSingleShot(true);
  close_timer_->setInterval(lifetime);
  connect(close_timer_, &QTimer::timeout, this, &CNoticeBox::accept);
  connect(this, &QDialog::finished, close_timer_, &QTimer::stop);
}

void CNoticeBox::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // The time runs from the opening, not from the construction.
  if (!close_timer_->isActive()) close_timer_->start();
}

void CNoticeBox::show_notice(QWidget* parent, const QString& title, const QString& message,
                             std::chrono::milliseconds lifetime) {
  CNoticeBox box(title, message, parent, lifetime);
  box.exec();
}

}  // namespace pw::ui
