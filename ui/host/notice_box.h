#pragma once
// The notice box: a modal dialog with a title, a read-only message and
// "确定", which closes itself a fixed time after it opens (ten seconds). It
// reports errors and notices met while nobody may be watching, so that the
// unattended work goes on.
#include <QDialog>

#include <chrono>

class QTextEdit;
class QTimer;

namespace pw::ui {

class CNoticeBox final : public QDialog {
 public:
  static constexpr std::chrono::milliseconds kLifetime{10000};

  CNoticeBox(const QString& title, const QString& message, QWidget* parent = nullptr,
             std::chrono::milliseconds lifetime = kLifetime);

  // Shows the box and waits until it closed.
  static void show_notice(QWidget* parent, const QString& title, const QString& message,
                          std::chrono::milliseconds lifetime = kLifetime);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QTextEdit* message_;
  QTimer* close_timer_;
};

}  // namespace pw::ui
