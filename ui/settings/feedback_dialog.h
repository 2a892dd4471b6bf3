#pragma once
// The feedback dialog "建议和意见": the user's message goes to the makers as
// a mail delivered straight to their exchangers on a worker thread, with a
// progress bar; the dialog closes itself when the sending has ended.
#include <QDialog>

#include <string>
#include <thread>

#include "engine/feedback_sender.h"

class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace pw {
class Clock;
class MailboxList;
}  // namespace pw

namespace pw::ui {

class MessageBoxes;

class CFeedbackDialog : public QDialog {
  Q_OBJECT

 public:
  CFeedbackDialog(const MailboxList& accounts, const Clock& clock, MessageBoxes& boxes,
                  FeedbackAddresses addresses = FeedbackAddresses::configured(), QWidget* parent = nullptr);
  ~CFeedbackDialog() override;

  // The composed mail of the last "发送" (GB18030).
  [[nodiscard]] const std::string& mail() const { return mail_; }
  [[nodiscard]] bool sending() const { return sending_; }

  // Closing is refused while the mail is being sent.
  void reject() override;

 signals:
  // The sending ended (before the closing message box).
  void sent(bool delivered);

 private:
  void send();
  void finish(bool delivered);

  const MailboxList& accounts_;
  const Clock& clock_;
  MessageBoxes& boxes_;
  FeedbackAddresses addresses_;
  QLineEdit* reply_;
  QPlainTextEdit* message_;
  QProgressBar* progress_;
  QPushButton* send_;
  QPushButton* cancel_;
  std::string mail_;
  bool sending_ = false;
  std::thread worker_;
};

}  // namespace pw::ui
