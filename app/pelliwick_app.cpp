#include "app/pelliwick_app.h"

#include <QApplication>
#include <QDesktopServices>
#include <QStandardPaths>

#include <system_error>

#include "app/desktop_notifier.h"
#include "app/gui_check_control.h"
#include "app/help_pages.h"
#include "app/login_dialog.h"
#include "app/main_frame.h"
#include "app/power_off.h"
#include "app/single_instance.h"
#include "app/system_tray.h"
#include "base/file_io.h"
#include "engine/oauth_access.h"
#include "net/network_manager_dial_up.h"
#include "res/language.h"
#include "stores/run_at_startup.h"
#include "net/smtp_sender_verifier.h"
#include "ui/file_dialogs.h"
#include "ui/gb_qstring.h"
#include "ui/frame/command_ids.h"
#include "ui/host/host_dialogs.h"
#include "ui/mail/mail_desk.h"
#include "ui/message_boxes.h"
#include "ui/host/qt_engine_host.h"
#include "ui/settings/recipient_picker_dialog.h"
#include "ui/host/status_bar_sink.h"
#include "ui/frame/store_saver.h"
#include "ui/ui_text.h"
#include "ui/frame/user_info_view.h"
#include "ui/frame/user_tree_view.h"

namespace pw::app {
namespace {

std::filesystem::path default_first_run_marker() {
  const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  return ui::to_path(dir) / "pelliwick" / "first-run-done";
}

}  // namespace

CPelliwickApp::CPelliwickApp(AppOptions options)
    : options_(std::move(options)),
      clock_(options_.clock ? *options_.clock : system_clock_),
      mailboxes_(options_.dir, &counter_),
      log_(options_.dir, clock_),
      local_mail_(options_.dir, clock_),
      address_book_(options_.dir),
      own_boxes_(options_.boxes ? nullptr : std::make_unique<ui::QtMessageBoxes>()),
      own_files_(options_.files ? nullptr : std::make_unique<ui::QtFileDialogs>()),
      own_power_off_(options_.power_off ? nullptr : std::make_unique<LogindPowerOff>()),
      boxes_(options_.boxes ? *options_.boxes : *own_boxes_),
      files_(options_.files ? *options_.files : *own_files_),
      power_off_(options_.power_off ? *options_.power_off : *own_power_off_) {
  if (!options_.open_url) options_.open_url = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
  if (options_.first_run_marker.empty()) options_.first_run_marker = default_first_run_marker();
  if (!options_.dial_up) own_dial_up_ = std::make_unique<NetworkManagerDialUp>();
  dial_up_ = options_.dial_up ? options_.dial_up : own_dial_up_.get();
  // A start from the session runs on the same data directory as this one.
  std::error_code error;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  const std::filesystem::path data = std::filesystem::absolute(options_.dir.root(), error).lexically_normal();
  // The entry names the data directory only when a start without
  // --data-dir would pick another one.
  const std::filesystem::path found = std::filesystem::absolute(ProgramDir::locate({}).root(), error).lexically_normal();
  autostart_ = std::make_unique<RunAtStartup>(
      options_.autostart_config_dir.empty() ? RunAtStartup::user_config_dir() : options_.autostart_config_dir, exe,
      data == found ? std::filesystem::path() : data);
}

CPelliwickApp::~CPelliwickApp() {
  // The views listen to the stores: they go first.
  if (host_) host_->shut_down();
  checks_.reset();
  frame_.reset();
  saved_mail_.reset();
  desk_.reset();
}

bool CPelliwickApp::start() {
  // The Chinese title names the socket in every language, so a start under
  // another locale still finds the running program.
  const std::string_view title = res::text_utf8(sid::kProgramTitle, res::Language::chinese);
  const QString name = options_.instance_name.isEmpty()
                           ? SingleInstance::name_for(QString::fromUtf8(title.data(), title.size()))
                           : options_.instance_name;
  instance_ = std::make_unique<SingleInstance>(name);
  if (instance_->hand_over_to_running()) return false;

  (void)options_.dir.create_directories();  // a failure shows where files are used
  settings_ = SystemSettings::load(options_.dir);
  ask_first_run();
  if (settings_.option(SystemSettings::kLoginPassword) && !ask_login()) return false;

  (void)rules_.load(options_.dir);
  (void)mailboxes_.load([this](uint32_t id) { return rules_.find_by_id(static_cast<int32_t>(id)) != nullptr; });
  log_.load_current_month();
  if (settings_.option(SystemSettings::kPurgeLogs)) (void)log_.purge_old_months(settings_.months_to_keep);
  local_mail_.load_current_month();
  (void)address_book_.load();

  saver_ = std::make_unique<ui::StoreSaver>(options_.dir, mailboxes_, rules_, settings_, boxes_);
  CheckControl& checks = options_.checks ? *options_.checks : static_cast<CheckControl&>(*this);
  frame_ = std::make_unique<CMainFrame>(FrameServices{mailboxes_, rules_, settings_, log_, local_mail_, *saver_,
                                                      boxes_, files_, checks, clock_, shutdown_fired_,
                                                      options_.open_url, address_book_, *dial_up_, *autostart_,
                                                      FeedbackAddresses::configured(), options_.dir.root(),
                                                      options_.view_state_file});
  connect(frame_.get(), &CMainFrame::closed, this, [this] {
    // No worker may wait for the UI thread from now on: a busy dialog or a
    // reply being sent ends on its own, and the exit waits for it.
    if (host_) host_->shut_down();
    emit finished();
  });
  connect(instance_.get(), &SingleInstance::show_requested, frame_.get(), &CMainFrame::show_main);
  connect(frame_.get(), &CMainFrame::check_finished, this, [this](const RunOutcome& outcome) {
    if (!settings_.notifications()) return;
    std::optional<CheckNotification> n = check_notification(outcome);
    if (!n) return;
    if (!options_.notifier) {  // the session bus, once there is something to say
      own_notifier_ = std::make_unique<DesktopNotifier>();
      options_.notifier = own_notifier_.get();
    }
    options_.notifier->notify(*n);
  });

  if (!options_.checks) {
    if (!options_.dialogs) {
      own_dialogs_ = std::make_unique<ui::QtHostDialogs>();
      options_.dialogs = own_dialogs_.get();
    }
    options_.dialogs->set_recipient_picker(
        [this](QWidget* parent) { return ui::pick_forward_recipients(parent, address_book_); });
    host_ = std::make_unique<ui::QtEngineHost>(frame_.get(), frame_->status_sink(), boxes_, *options_.dialogs);
    oauth_ = std::make_shared<const OAuthAccess>(options_.dir);
    const Pop3Options pop3{.trace = options_.pop3_trace, .oauth = oauth_};
    host_->set_pop3(pop3);
    options_.dialogs->set_pop3(pop3);
    // Once the event loop ends no worker may wait for it any more.
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { host_->shut_down(); });
    verifier_ = std::make_unique<SmtpSenderVerifier>();
    CheckServices services{mailboxes_, log_, local_mail_, *verifier_, clock_, *dial_up_, *host_};
    ui::QtEngineHost* host = host_.get();
    services.smtp.notice = [host](const std::string& title, const std::string& message) {
      host->notice(title, message);
    };
    services.smtp.login_prompt = [host](const LoginData& refused, std::string_view refusal) {
      return host->correct_login(LoginService::smtp, refused, refusal);
    };
    services.pop3 = pop3;
    services.smtp.trace = options_.smtp_trace;
    services.smtp.bearer = [oauth = oauth_](const MailboxRecord& record) { return oauth->source(record); };
    const SmtpDeliveryOptions smtp = services.smtp;
    checks_ = std::make_unique<GuiCheckControl>(options_.dir, std::move(services), rules_, settings_);
    wire_mail_screens(smtp);
  }

  // With the login password on, the window always shows (the user has just
  // logged in). Without a notification area a hidden start would leave no
  // way back to the window: it starts minimised instead.
  if (options_.hide && !settings_.option(SystemSettings::kLoginPassword)) {
    if (frame_->tray()->available())
      frame_->hide();
    else
      frame_->showMinimized();
  } else {
    frame_->show();
  }
  started_ = true;
  return true;
}

void CPelliwickApp::wire_mail_screens(const SmtpDeliveryOptions& smtp) {
  desk_ = std::make_unique<ui::MailDesk>(ui::MailDesk{*host_, log_, local_mail_, mailboxes_, clock_, boxes_, files_,
                                                      &address_book_, smtp,
                                                      ui::ViewerServices{options_.dir.file("MailTemp"),
                                                                         options_.open_url, {}, &boxes_},
                                                      Pop3Options{.trace = options_.pop3_trace, .oauth = oauth_}});
  saved_mail_ = std::make_unique<ui::SavedMailCommands>(*desk_);
  options_.dialogs->set_mail_viewer([viewer = desk_->viewer](QWidget* parent, MailProcessor& mail) {
    ui::CMailViewer::show_mail(mail, viewer, parent);
  });
  frame_->info_view()->set_saved_mail_handler([this](int command, const LocalMailRecord& record) {
    switch (command) {
      case ui::cmd::kViewMail: saved_mail_->view(frame_.get(), record); break;
      case ui::cmd::kReplyMail: saved_mail_->reply(frame_.get(), record); break;
      case ui::cmd::kForwardMail: saved_mail_->forward(frame_.get(), record); break;
      default: break;
    }
  });
  connect(frame_->tree(), &ui::CUserTreeView::remote_management_requested, this,
          [this](std::shared_ptr<MailboxAccount> account, bool all_mails) {
            using Mode = ui::CRemoteManager::Mode;
            (void)ui::CRemoteManager::run(std::move(account), all_mails ? Mode::all_mails : Mode::new_mails,
                                          ui::remote_services(*desk_), frame_.get());
          });
}

void end_event_loop_when_finished(CPelliwickApp& app) {
  QObject::connect(&app, &CPelliwickApp::finished, qApp, [] { QCoreApplication::exit(0); });
}

void CPelliwickApp::ask_first_run() {
  std::error_code error;
  if (std::filesystem::exists(options_.first_run_marker, error)) return;
  if (boxes_.show(nullptr, ui::MessageKind::question, sid::kAskFirstRun)) open_help(options_.open_url, boxes_, nullptr);
  std::filesystem::create_directories(options_.first_run_marker.parent_path(), error);
  (void)write_file_atomic(options_.first_run_marker, "");
}

bool CPelliwickApp::ask_login() {
  if (options_.login) return options_.login(settings_.login_password);
  CLoginDialog dialog(settings_.login_password);
  return dialog.exec() == QDialog::Accepted;
}

void CPelliwickApp::exit() {
  if (!started_) return;
  started_ = false;
  // Replies and forwards still being sent write to the stores: they end first.
  if (host_) host_->shut_down();
  saved_mail_.reset();
  if (StoreResult r = mailboxes_.save(); !r.ok) boxes_.show(nullptr, ui::MessageKind::failure, r.text_id);
  if (RuleSaveResult r = rules_.save(options_.dir); !r.ok) boxes_.show(nullptr, ui::MessageKind::failure, r.message_id);
  (void)address_book_.save();
  if (StoreResult r = settings_.save(options_.dir); !r.ok) boxes_.show(nullptr, ui::MessageKind::failure, r.text_id);

  if (host_) host_->shut_down();
  checks_.reset();  // waits for a worker still winding down
  frame_.reset();
  host_.reset();
  mailboxes_.release();
  rules_.release();
  address_book_.clear();
  log_.clear();
  local_mail_.clear();
  empty_mail_temp();
  if (shutdown_fired_) power_off_.power_off();
}

void CPelliwickApp::empty_mail_temp() const {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(options_.dir.file("MailTemp"), error)) {
    std::error_code ignored;
    if (!entry.is_directory(ignored)) std::filesystem::remove(entry.path(), ignored);
  }
}

bool CPelliwickApp::start(std::shared_ptr<MailboxAccount> account) {
  return checks_ && checks_->start(std::move(account));
}
bool CPelliwickApp::check_running() const { return checks_ && checks_->check_running(); }
bool CPelliwickApp::single_check() const { return checks_ && checks_->single_check(); }
void CPelliwickApp::stop() {
  if (checks_) checks_->stop();
}
void CPelliwickApp::run_ended() {
  if (checks_) checks_->run_ended();
}
RunOutcome CPelliwickApp::last_outcome() const { return checks_ ? checks_->last_outcome() : RunOutcome{}; }

}  // namespace pw::app
