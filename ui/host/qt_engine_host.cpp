#include "ui/host/qt_engine_host.h"

#include <QCoreApplication>
#include <QThread>

#include <memory>

#include "res/language.h"
#include "ui/gb_qstring.h"
#include "ui/host/host_dialogs.h"
#include "ui/mail/download_dialog.h"
#include "ui/message_boxes.h"
#include "ui/host/status_sink.h"

namespace pw::ui {

// One call handed to the UI thread; guarded by the host's mutex.
struct QtEngineHost::Call {
  bool started = false;  // the UI thread has begun the work
  bool done = false;
  bool dropped = false;  // the worker gave up waiting before it began
};

QtEngineHost::QtEngineHost(QWidget* window, StatusSink& status, MessageBoxes& boxes, HostDialogs& dialogs)
    : window_(window), status_(status), boxes_(boxes), dialogs_(dialogs) {
  if (auto* app = QCoreApplication::instance())
    QObject::connect(app, &QCoreApplication::aboutToQuit, &context_, [this] { shut_down(); });
}

QtEngineHost::~QtEngineHost() { shut_down(); }

void QtEngineHost::shut_down() {
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
  }
  changed_.notify_all();
}

bool QtEngineHost::on_ui_thread(const std::function<void()>& work) {
  if (QThread::currentThread() == context_.thread()) {
    work();
    return true;
  }
  auto call = std::make_shared<Call>();
  {
    std::lock_guard lock(mutex_);
    if (closed_) return false;
  }
  // `work` lives on this thread's stack until the wait below ends, and the
  // UI thread only runs it when the worker is still waiting for it.
  QMetaObject::invokeMethod(
      &context_,
      [this, call, &work] {
        {
          std::lock_guard lock(mutex_);
          if (call->dropped) return;
          call->started = true;
        }
        work();
        {
          std::lock_guard lock(mutex_);
          call->done = true;
        }
        changed_.notify_all();
      },
      Qt::QueuedConnection);
  std::unique_lock lock(mutex_);
  // Work already begun (a dialog that is open) is always waited for.
  changed_.wait(lock, [&] { return call->done || (closed_ && !call->started); });
  if (call->done) return true;
  call->dropped = true;
  return false;
}

void QtEngineHost::report(const StatusReport& report) {
  (void)on_ui_thread([&] { status_.apply(report); });
}

void QtEngineHost::notice(std::string_view title, std::string_view message) {
  (void)on_ui_thread([&] { dialogs_.notice(window_, from_gb(title), from_gb(res::displayed(message))); });
}

bool QtEngineHost::ask_yes_no(std::string_view message) {
  bool yes = false;
  (void)on_ui_thread([&] { yes = boxes_.show(window_, MessageKind::question, from_gb(message)); });
  return yes;
}

void QtEngineHost::warning(std::string_view message) {
  (void)on_ui_thread([&] { (void)boxes_.show(window_, MessageKind::input_error, from_gb(message)); });
}

DownloadResult QtEngineHost::download_mail(const DownloadRequest& request) {
  DownloadResult result;
  (void)on_ui_thread([&] { result = CDownloadDialog::download(request, pop3_, window_); });
  return result;
}

std::optional<LoginData> QtEngineHost::correct_login(LoginService, const LoginData& refused, std::string_view) {
  // The dialog is the same for both servers and shows no reply.
  std::optional<LoginData> corrected;
  (void)on_ui_thread([&] { corrected = dialogs_.correct_login(window_, refused); });
  return corrected;
}

void QtEngineHost::bring_to_front() {
  (void)on_ui_thread([&] {
    if (!window_) return;
    if (window_->isMinimized()) window_->setWindowState(window_->windowState() & ~Qt::WindowMinimized);
    window_->show();
    window_->raise();
    window_->activateWindow();
  });
}

bool QtEngineHost::confirm(std::string_view address, std::span<MailProcessor* const> mails, int countdown_seconds) {
  return on_ui_thread([&] { dialogs_.confirm(window_, address, mails, countdown_seconds); });
}

void QtEngineHost::dial_up_failed(std::string_view message) { warning(message); }

}  // namespace pw::ui
