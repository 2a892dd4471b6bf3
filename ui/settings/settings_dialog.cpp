#include "ui/settings/settings_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

#include "net/dial_up.h"
#include "stores/oauth_store.h"
#include "stores/run_at_startup.h"
#include "stores/system_settings.h"
#include "ui/gb_qstring.h"
#include "ui/dialog_parts.h"
#include "ui/message_boxes.h"
#include "ui/settings/settings_check.h"
#include "ui/ui_text.h"

namespace pw::ui {
namespace {

constexpr int kDefaultMonths = 12;

// Byte limits of the stored fields.
constexpr size_t kEntryLimit = 63;
constexpr size_t kPhoneLimit = 31;
constexpr size_t kUserLimit = 63;
constexpr size_t kPasswordLimit = 31;

QLineEdit* line_edit(QWidget* parent, const char* name, size_t limit = 0, bool password = false) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QString::fromLatin1(name));
  if (password) edit->setEchoMode(QLineEdit::Password);
  if (limit) limit_gb_bytes(edit, limit);
  return edit;
}

QCheckBox* check_box(QWidget* parent, const QString& label, const char* name) {
  auto* box = new QCheckBox(label, parent);
  box->setObjectName(QString::fromLatin1(name));
  return box;
}

}  // namespace

CSettingsDialog::CSettingsDialog(SystemSettings& settings, DialUp& dial_up, const RunAtStartup& autostart,
                                 MessageBoxes& boxes, QWidget* parent)
    : QDialog(parent), settings_(settings), autostart_(autostart), boxes_(boxes) {
  setObjectName(QStringLiteral("SettingsDialog"));
  setWindowTitle(ui::text("系统设置"));

  interval_ = line_edit(this, "interval");
  unit_ = new QComboBox(this);
  unit_->setObjectName(QStringLiteral("intervalUnit"));
  auto_dial_ = check_box(this, ui::text("自动拨号(&D)"), "autoDial");
  entry_ = new QComboBox(this);
  entry_->setObjectName(QStringLiteral("dialEntry"));
  phone_ = line_edit(this, "phoneNumber", kPhoneLimit);
  dial_user_ = line_edit(this, "dialUser", kUserLimit);
  dial_password_ = line_edit(this, "dialPassword", kPasswordLimit, true);
  hang_up_ = check_box(this, ui::text("每次查看后自动断线(&H)"), "hangUp");
  run_at_startup_ = check_box(this, ui::text("机器启动时运行程序(&S)"), "runAtStartup");
  purge_logs_ = check_box(this, ui::text("定时清除日志(&C)"), "purgeLogs");
  months_ = line_edit(this, "monthsToKeep");
  auto_shutdown_ = check_box(this, ui::text("自动关机(&U)"), "autoShutdown");
  time_ = line_edit(this, "shutdownTime");
  login_password_ = check_box(this, ui::text("需要登录密码(&N)"), "loginPassword");
  password_ = line_edit(this, "password", kPasswordLimit, true);
  confirmation_ = line_edit(this, "confirmation", kPasswordLimit, true);
  check_at_start_ = check_box(this, ui::text("程序启动时检查邮箱(&M)"), "checkAtStart");
  notifications_ = check_box(this, text(sid::kShowNotifications), "notifications");
  at_once_ = new QSpinBox(this);
  at_once_->setObjectName(QStringLiteral("mailboxesAtOnce"));
  at_once_->setRange(1, SystemSettings::kMostMailboxesAtOnce);

  auto labelled = [this](QGridLayout* grid, int row, const QString& text, QWidget* field, int indent = 0) {
    auto* label = new QLabel(text, this);
    label->setBuddy(field);
    label->setIndent(indent);
    grid->addWidget(label, row, 0);
    grid->addWidget(field, row, 1);
  };

  // Left column: the interval and dialling.
  auto* left = new QGridLayout;
  auto* interval_row = new QHBoxLayout;
  interval_row->addWidget(interval_, 1);
  interval_row->addWidget(unit_);
  auto* interval_label = new QLabel(ui::text("监视间隔(&I)"), this);
  interval_label->setBuddy(interval_);
  left->addWidget(interval_label, 0, 0);
  left->addLayout(interval_row, 0, 1);
  left->addWidget(auto_dial_, 1, 0, 1, 2);
  labelled(left, 2, ui::text("拨号连接(&E)"), entry_, 20);
  labelled(left, 3, ui::text("电话号码(&P)"), phone_, 20);
  labelled(left, 4, ui::text("用户名(&L)"), dial_user_, 20);
  labelled(left, 5, ui::text("密码(&W)"), dial_password_, 20);
  left->addWidget(hang_up_, 6, 0, 1, 2);
  left->setRowStretch(7, 1);

  // Right column: start, logs, shutdown, login and the first check.
  auto* right = new QGridLayout;
  right->addWidget(run_at_startup_, 0, 0, 1, 2);
  right->addWidget(purge_logs_, 1, 0, 1, 2);
  labelled(right, 2, ui::text("保留(月)(&V)"), months_, 20);
  right->addWidget(auto_shutdown_, 3, 0, 1, 2);
  labelled(right, 4, ui::text("时间(&T)"), time_, 20);
  right->addWidget(login_password_, 5, 0, 1, 2);
  labelled(right, 6, ui::text("密码(&A)"), password_, 20);
  labelled(right, 7, ui::text("确认(&R)"), confirmation_, 20);
  right->addWidget(check_at_start_, 8, 0, 1, 2);
  right->addWidget(notifications_, 9, 0, 1, 2);
  labelled(right, 10, text(sid::kAtOnceLabel), at_once_);
  right->setRowStretch(11, 1);

  auto* columns = new QHBoxLayout;
  columns->addLayout(left);
  columns->addSpacing(16);
  columns->addLayout(right);

  // The user's own OAuth 2.0 clients, shown once a token file is given.
  auto* clients = new QGridLayout;
  auto client_edit = [this](const char* name) {
    auto* e = new QLineEdit(this);
    e->setObjectName(QString::fromLatin1(name));
    return e;
  };
  microsoft_client_ = client_edit("microsoftClientId");
  google_client_ = client_edit("googleClientId");
  google_secret_ = client_edit("googleClientSecret");
  google_secret_->setEchoMode(QLineEdit::Password);
  labelled(clients, 0, text(sid::kMicrosoftClientId), microsoft_client_, 0);
  labelled(clients, 1, text(sid::kGoogleClientId), google_client_, 0);
  labelled(clients, 2, text(sid::kGoogleClientSecret), google_secret_, 0);
  auto* where = new QLabel(text(sid::kClientIdsHint), this);
  where->setWordWrap(true);
  clients->addWidget(where, 3, 0, 1, 2);
  auto* client_box = new QWidget(this);
  client_box->setObjectName(QStringLiteral("oauthClients"));
  client_box->setLayout(clients);
  client_box->hide();


  auto* layout = new QVBoxLayout(this);
  layout->addLayout(columns);
  layout->addWidget(client_box);
  add_ok_cancel(this, layout);

  // Opening: the units, the connections to dial, then the stored values.
  unit_->addItems({text(sid::kSecondsUnit), text(sid::kMinutesUnit), text(sid::kHoursUnit)});
  unit_->setCurrentIndex(0);
  QStringList entries;
  for (const std::string& name : dial_up.list_entries()) entries << from_gb(name);
  std::sort(entries.begin(), entries.end());
  entry_->addItems(entries);
  entry_->setCurrentIndex(-1);
  auto_dial_->setEnabled(!entries.isEmpty());
  fill();
  update_enabling();
  for (QCheckBox* box : {auto_dial_, purge_logs_, auto_shutdown_, login_password_})
    connect(box, &QCheckBox::toggled, this, &CSettingsDialog::update_enabling);
}

void CSettingsDialog::fill() {
  const SystemSettings& s = settings_;
  // Auto-dial shows as on only with its stored connection still offered;
  // otherwise "确定" switches it off.
  const int entry = s.option(SystemSettings::kAutoDial) ? entry_->findText(from_gb(s.dial_entry)) : -1;
  if (entry >= 0) {
    auto_dial_->setChecked(true);
    entry_->setCurrentIndex(entry);
  }
  hang_up_->setChecked(s.option(SystemSettings::kHangUp));
  purge_logs_->setChecked(s.option(SystemSettings::kPurgeLogs));
  auto_shutdown_->setChecked(s.option(SystemSettings::kAutoShutdown));
  login_password_->setChecked(s.option(SystemSettings::kLoginPassword));
  check_at_start_->setChecked(s.option(SystemSettings::kCheckAtStart));
  notifications_->setChecked(s.notifications());
  at_once_->setValue(s.mailboxes_at_once());
  run_at_startup_->setChecked(autostart_.query());

  interval_->setText(QString::number(s.check_interval));
  if (s.interval_unit >= SystemSettings::kSeconds && s.interval_unit <= SystemSettings::kHours)
    unit_->setCurrentIndex(s.interval_unit);
  phone_->setText(from_gb(s.phone_number));
  dial_user_->setText(from_gb(s.dial_user));
  dial_password_->setText(from_gb(s.dial_password));
  months_->setText(QString::number(s.months_to_keep > 0 ? s.months_to_keep : kDefaultMonths));
  time_->setText(QString::asprintf("%02d:%02d", s.shutdown_hour, s.shutdown_minute));
  password_->setText(from_gb(s.login_password));
  confirmation_->setText(from_gb(s.login_password));
}

void CSettingsDialog::update_enabling() {
  const bool dial = auto_dial_->isChecked();
  for (QWidget* w : std::initializer_list<QWidget*>{entry_, phone_, dial_user_, dial_password_, hang_up_})
    w->setEnabled(dial);
  months_->setEnabled(purge_logs_->isChecked());
  time_->setEnabled(auto_shutdown_->isChecked());
  password_->setEnabled(login_password_->isChecked());
  confirmation_->setEnabled(login_password_->isChecked());
}

SettingsForm CSettingsDialog::form() const {
  SettingsForm f;
  f.interval = to_gb(interval_->text().trimmed());
  f.months = to_gb(months_->text().trimmed());
  f.auto_dial = auto_dial_->isChecked();
  f.dial_entry = to_gb(entry_->currentText());
  f.phone = to_gb(phone_->text());
  f.auto_shutdown = auto_shutdown_->isChecked();
  f.shutdown_time = to_gb(time_->text());
  f.login_password = login_password_->isChecked();
  f.password = to_gb(password_->text());
  f.confirmation = to_gb(confirmation_->text());
  return f;
}

bool CSettingsDialog::validate() {
  const std::optional<FormFailure<SettingsField>> failure = check_settings(form());
  if (!failure) return true;
  QString message = text(failure->message_id);
  if (failure->message_id == sid::kNotInRange) message = message.arg(kMonthsMin).arg(kMonthsMax);
  QWidget* const fields[] = {interval_, months_, entry_, phone_, time_, password_};
  QWidget* field = fields[static_cast<int>(failure->field)];
  // Wrong months while purging is off: the box that enables them takes the
  // focus, as the disabled edit cannot.
  if (field == months_ && !months_->isEnabled()) field = purge_logs_;
  boxes_.show(this, MessageKind::input_error, message);
  field->setFocus();
  if (auto* edit = qobject_cast<QLineEdit*>(field)) edit->selectAll();
  return false;
}

void CSettingsDialog::store() {
  SystemSettings& s = settings_;
  const bool dial = auto_dial_->isChecked();
  s.options = 0;
  s.set_option(SystemSettings::kAutoDial, dial);
  s.set_option(SystemSettings::kHangUp, dial && hang_up_->isChecked());
  s.set_option(SystemSettings::kPurgeLogs, purge_logs_->isChecked());
  s.set_option(SystemSettings::kAutoShutdown, auto_shutdown_->isChecked());
  s.set_option(SystemSettings::kLoginPassword, login_password_->isChecked());
  s.set_option(SystemSettings::kCheckAtStart, check_at_start_->isChecked());
  s.set_notifications(notifications_->isChecked());
  if (oauth_) {
    const auto own = [](QLineEdit* id, QLineEdit* secret) {
      OAuthClient c;
      c.client_id = id->text().trimmed().toStdString();
      if (secret) c.client_secret = secret->text().trimmed().toStdString();
      return c;
    };
    // A failed write keeps the old identifiers; the sign-in then says so.
    (void)oauth_->update([&](OAuthFile& f) {
      f.clients["microsoft"] = own(microsoft_client_, nullptr);
      f.clients["google"] = own(google_client_, google_secret_);
    });
  }
  // The default stays stored as 0, so a later default applies to it.
  if (at_once_->value() != s.mailboxes_at_once()) s.set_mailboxes_at_once(at_once_->value());
  // Failures to write the entry are not reported.
  if (run_at_startup_->isChecked())
    (void)autostart_.set();
  else
    (void)autostart_.remove();

  const SettingsForm typed = form();
  s.check_interval = *read_whole_number(typed.interval);
  s.interval_unit = unit_->currentIndex();
  s.dial_entry = to_gb(fit_gb(entry_->currentText(), kEntryLimit));
  s.phone_number = to_gb(phone_->text());
  s.dial_user = to_gb(dial_user_->text());
  s.dial_password = to_gb(dial_password_->text());
  s.months_to_keep = *read_whole_number(typed.months);
  // A time left unreadable while the shutdown is off keeps the stored one.
  if (std::optional<ClockTime> t = read_shutdown_time(typed.shutdown_time)) {
    s.shutdown_hour = t->hour;
    s.shutdown_minute = t->minute;
  }
  s.login_password = to_gb(password_->text());
}

void CSettingsDialog::set_oauth_store(const OAuthStore* store) {
  oauth_ = store;
  if (!store) return;
  const OAuthFile file = store->load();
  auto shown = [&file](std::string_view provider, QLineEdit* id, QLineEdit* secret) {
    auto it = file.clients.find(provider);
    if (it == file.clients.end()) return;
    id->setText(QString::fromStdString(it->second.client_id));
    if (secret) secret->setText(QString::fromStdString(it->second.client_secret));
  };
  shown("microsoft", microsoft_client_, nullptr);
  shown("google", google_client_, google_secret_);
  findChild<QWidget*>(QStringLiteral("oauthClients"))->show();
}

void CSettingsDialog::accept() {
  if (!validate()) return;
  store();
  QDialog::accept();
}

}  // namespace pw::ui
