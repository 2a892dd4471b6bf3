#pragma once
// The engine host of the windowed program. The check run calls it on its
// worker thread; each call is handed to the UI thread and the worker waits
// until the UI thread has dealt with it (the report shown, the dialog
// closed), so reports and dialogs keep the order the run made them in. The
// UI thread's event loop keeps running meanwhile. A call made on the UI
// thread itself runs at once.
//
// Once the application quits (or shut_down() was called) a call that has not
// begun on the UI thread is answered as if nobody were there: nothing shown,
// No, no correction. So a worker never waits for an event loop that has
// ended, and the frame can wait for it before tearing down.
//
// download_mail() shows the download dialog on the UI thread.
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <condition_variable>
#include <functional>
#include <mutex>

#include "engine/engine_host.h"

namespace pw::ui {

class HostDialogs;
class MessageBoxes;
class StatusSink;

class QtEngineHost final : public EngineHost {
 public:
  // Made on the UI thread. `window` (may be null) parents the boxes and is
  // the window brought to the front; `status` gets the status reports;
  // `boxes` shows the question and the warnings; `dialogs` the notice box and
  // the password dialog. All but `window` must outlive the host.
  QtEngineHost(QWidget* window, StatusSink& status, MessageBoxes& boxes, HostDialogs& dialogs);
  ~QtEngineHost() override;
  QtEngineHost(const QtEngineHost&) = delete;
  QtEngineHost& operator=(const QtEngineHost&) = delete;

  // How the download dialog opens its session (connection, protocol log).
  // On the UI thread, before any worker runs.
  void set_pop3(Pop3Options options) { pop3_ = std::move(options); }

  // From now on calls from workers no longer reach the UI thread; a worker
  // waiting for a call that has not begun there is let go. On the UI thread.
  void shut_down();

  void report(const StatusReport& report) override;
  void notice(std::string_view title, std::string_view message) override;
  bool ask_yes_no(std::string_view message) override;
  void warning(std::string_view message) override;
  DownloadResult download_mail(const DownloadRequest& request) override;
  std::optional<LoginData> correct_login(LoginService service, const LoginData& refused,
                                         std::string_view refusal) override;
  void bring_to_front() override;
  // False when the host was shut down before the window could open.
  bool confirm(std::string_view address, std::span<MailProcessor* const> mails, int countdown_seconds) override;
  void dial_up_failed(std::string_view message) override;

 private:
  struct Call;

  // Runs `work` on the UI thread and waits for its end; false (and `work`
  // not run) when the host was shut down before it began.
  bool on_ui_thread(const std::function<void()>& work);

  QPointer<QWidget> window_;
  StatusSink& status_;
  MessageBoxes& boxes_;
  HostDialogs& dialogs_;
  Pop3Options pop3_;

  std::mutex mutex_;
  std::condition_variable changed_;
  bool closed_ = false;
  // Declared last, so destroyed first: calls still queued for it are dropped
  // before the members they use go.
  QObject context_;
};

}  // namespace pw::ui
