#include "ui/settings/mailbox_dialog.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDateTime>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QFontMetrics>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "mail/address_list.h"
#include "res/language.h"
#include "stores/mailbox_account.h"
#include "stores/mailbox_list.h"
#include "ui/gb_qstring.h"
#include "ui/message_boxes.h"
#include "ui/settings/oauth_sign_in.h"
#include "ui/settings/settings_check.h"
#include "ui/ui_text.h"

namespace pw::ui {
namespace {

constexpr int kMethodNames[] = {sid::kPasswordMethod, sid::kMicrosoftMethod, sid::kGoogleMethod, sid::kCustomMethod};

// Byte limits of the stored fields: one less than each field's width.
constexpr size_t kAddressLimit = 127;
constexpr size_t kLoginLimit = 127;
constexpr size_t kPasswordLimit = 31;
constexpr size_t kServerLimit = 63;

QLineEdit* line_edit(QWidget* parent, const char* name, size_t limit, bool password = false) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QString::fromLatin1(name));
  if (password) edit->setEchoMode(QLineEdit::Password);
  // Wide enough for a server name with a port, such as "pop.example.cn:1110".
  edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("pop.mail.example.com.cn:1110")));
  limit_gb_bytes(edit, limit);
  return edit;
}

}  // namespace

CMailboxDialog::CMailboxDialog(const MailboxList& list, MessageBoxes& boxes, const MailboxAccount* account,
                               QWidget* parent)
    : QDialog(parent), list_(list), boxes_(boxes), new_account_(account == nullptr), oauth_(list.program_dir()) {
  setObjectName(QStringLiteral("MailboxDialog"));
  setWindowTitle(ui::text("邮箱信息"));

  address_ = line_edit(this, "address", kAddressLimit);
  login_name_ = line_edit(this, "loginName", kLoginLimit);
  password_ = line_edit(this, "password", kPasswordLimit, true);
  pop_server_ = line_edit(this, "popServer", kServerLimit);
  smtp_server_ = line_edit(this, "smtpServer", kServerLimit);
  smtp_auth_ = new QCheckBox(ui::text("SMTP服务器需要身份认证(&A)"), this);
  smtp_auth_->setObjectName(QStringLiteral("smtpAuth"));
  same_as_pop_ = new QRadioButton(ui::text("验证信息与POP服务器相同(&E)"), this);
  same_as_pop_->setObjectName(QStringLiteral("sameAsPop"));
  own_credentials_ = new QRadioButton(ui::text("SMTP服务器验证信息(&D)"), this);
  own_credentials_->setObjectName(QStringLiteral("ownCredentials"));
  auto* choice = new QButtonGroup(this);
  choice->addButton(same_as_pop_);
  choice->addButton(own_credentials_);
  same_as_pop_->setChecked(true);
  smtp_login_name_ = line_edit(this, "smtpLoginName", kLoginLimit);
  smtp_password_ = line_edit(this, "smtpPassword", kPasswordLimit, true);
  require_tls_ = new QCheckBox(ui::text(sid::kRequireTls), this);
  require_tls_->setObjectName(QStringLiteral("requireTls"));
  sign_in_ = new QComboBox(this);
  sign_in_->setObjectName(QStringLiteral("signIn"));
  for (int id : kMethodNames) sign_in_->addItem(ui::text(id));
  auto plain_edit = [this](const char* name) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
  };
  authorize_url_ = plain_edit("authorizeUrl");
  token_url_ = plain_edit("tokenUrl");
  scope_ = plain_edit("scope");
  client_id_ = plain_edit("clientId");
  client_secret_ = plain_edit("clientSecret");
  client_secret_->setEchoMode(QLineEdit::Password);
  sign_in_button_ = new QPushButton(ui::text(sid::kSignInButton), this);
  sign_in_button_->setObjectName(QStringLiteral("signInButton"));
  sign_in_state_ = new QLabel(this);
  sign_in_state_->setObjectName(QStringLiteral("signInState"));
  sign_in_state_->setWordWrap(true);
  sign_in_address_ = plain_edit("signInAddress");
  sign_in_address_->setReadOnly(true);
  sign_in_address_->hide();

  auto* grid = new QGridLayout;
  int row = 0;
  auto add_row = [&](const QString& label, QWidget* field, int indent = 0) {
    auto* l = new QLabel(label, this);
    l->setBuddy(field);
    if (indent) l->setIndent(indent);
    grid->addWidget(l, row, 0);
    grid->addWidget(field, row, 1);
    ++row;
  };
  add_row(ui::text("邮箱地址(&M)"), address_);
  add_row(ui::text("登录名(&L)"), login_name_);
  add_row(ui::text("密码(&W)"), password_);
  add_row(ui::text(sid::kSignInMethod), sign_in_);
  add_row(ui::text(sid::kAuthorizeUrl), authorize_url_, 20);
  add_row(ui::text(sid::kTokenUrl), token_url_, 20);
  add_row(ui::text(sid::kScope), scope_, 20);
  add_row(ui::text(sid::kClientId), client_id_, 20);
  add_row(ui::text(sid::kClientSecret), client_secret_, 20);
  grid->addWidget(sign_in_button_, row, 0);
  grid->addWidget(sign_in_state_, row++, 1);
  grid->addWidget(sign_in_address_, row++, 0, 1, 2);
  add_row(ui::text("POP服务器(&P)"), pop_server_);
  add_row(ui::text("SMTP服务器(&S)"), smtp_server_);
  grid->addWidget(smtp_auth_, row++, 0, 1, 2);
  grid->addWidget(same_as_pop_, row++, 0, 1, 2);
  grid->addWidget(own_credentials_, row++, 0, 1, 2);
  add_row(ui::text("登录名(&N)"), smtp_login_name_, 20);
  add_row(ui::text("密码(&O)"), smtp_password_, 20);
  grid->addWidget(require_tls_, row++, 0, 1, 2);

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(ui::text("确定"), QDialogButtonBox::AcceptRole);
  ok->setObjectName(QStringLiteral("ok"));
  ok->setDefault(true);
  QPushButton* cancel = buttons->addButton(ui::text("取消"), QDialogButtonBox::RejectRole);
  cancel->setObjectName(QStringLiteral("cancel"));
  connect(buttons, &QDialogButtonBox::accepted, this, &CMailboxDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CMailboxDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(buttons);

  if (account) {
    record_ = account->record();
    fill(record_);
    address_->setEnabled(false);
  } else {
    // A new account uses TLS unless the user says otherwise.
    require_tls_->setChecked(true);
  }
  tls_shown_ = require_tls_->isChecked();
  update_enabling();
  connect(smtp_server_, &QLineEdit::textChanged, this, &CMailboxDialog::update_enabling);
  connect(smtp_auth_, &QCheckBox::toggled, this, &CMailboxDialog::update_enabling);
  connect(same_as_pop_, &QRadioButton::toggled, this, &CMailboxDialog::update_enabling);
  connect(sign_in_, &QComboBox::currentIndexChanged, this, &CMailboxDialog::update_enabling);
  connect(sign_in_button_, &QPushButton::clicked, this, &CMailboxDialog::start_sign_in);
  show_sign_in_state();
}

MailboxRecord::SignIn CMailboxDialog::method() const {
  return static_cast<MailboxRecord::SignIn>(std::max(0, sign_in_->currentIndex()));
}

OAuthClient CMailboxDialog::client_entered() const {
  if (method() != MailboxRecord::SignIn::custom) return oauth_client(method(), oauth_.load(), to_gb(address_->text()));
  OAuthClient c;
  c.authorize_url = authorize_url_->text().trimmed().toStdString();
  c.token_url = token_url_->text().trimmed().toStdString();
  c.scope = scope_->text().simplified().toStdString();
  c.client_id = client_id_->text().trimmed().toStdString();
  c.client_secret = client_secret_->text().toStdString();
  return c;
}

void CMailboxDialog::start_sign_in() {
  const QString address = address_->text();
  if (!is_acceptable_address(to_gb(address))) {
    (void)fail(address_, sid::kBadAddress);
    return;
  }
  const OAuthClient client = client_entered();
  if (client.client_id.empty()) {
    boxes_.show(this, MessageKind::input_error, sid::kNoClientId);
    return;
  }
  delete flow_;
  flow_ = new OAuthSignIn(this);
  if (browser_) flow_->set_browser(browser_);
  connect(flow_, &OAuthSignIn::succeeded, this, &CMailboxDialog::signed_in);
  connect(flow_, &OAuthSignIn::failed, this, [this](const QString& reason) {
    sign_in_state_->setText(ui::text(sid::kSignInFailed) + reason);
    sign_in_button_->setEnabled(true);
  });
  const QString hint = login_name_->text().contains(u'@') ? login_name_->text() : address;
  if (!flow_->start(client, hint)) return;
  sign_in_button_->setEnabled(false);
  if (flow_->browser_opened()) {
    sign_in_state_->setText(ui::text(sid::kWaitingForBrowser));
  } else {
    // Nothing could open a browser: the user copies the address into one.
    sign_in_state_->setText(ui::text(sid::kCopyAddress));
    sign_in_address_->setText(flow_->authorization_url().toString(QUrl::FullyEncoded));
    sign_in_address_->show();
  }
}

void CMailboxDialog::signed_in(const TokenGrant& grant, const QString& address) {
  grant_ = grant;
  signed_in_as_ = address.isEmpty() ? login_name_->text() : address;
  sign_in_address_->hide();
  sign_in_button_->setEnabled(true);
  show_sign_in_state();
}

void CMailboxDialog::show_sign_in_state() {
  if (grant_) {
    sign_in_state_->setText(ui::text(sid::kSignedInAs) + signed_in_as_);
    return;
  }
  const OAuthFile file = oauth_.load();
  const OAuthMailbox* m = new_account_ ? nullptr : file.mailbox(record_.address);
  if (m && !m->refresh_token.empty() && m->refused.empty()) {
    sign_in_state_->setText(ui::text(sid::kSignedInAs) + from_gb(m->signed_in_as));
  } else if (m && !m->refused.empty()) {
    sign_in_state_->setText(ui::text(sid::kNotSignedIn) + QStringLiteral(" (") + from_gb(res::displayed(m->refused)) +
                            QLatin1Char(')'));
  } else {
    sign_in_state_->setText(ui::text(sid::kNotSignedIn));
  }
}

bool CMailboxDialog::store_sign_in() {
  const std::string address = to_gb(address_->text());
  const MailboxRecord::SignIn m = method();
  if (m == MailboxRecord::SignIn::password) return true;
  const OAuthClient custom = m == MailboxRecord::SignIn::custom ? client_entered() : OAuthClient{};
  return oauth_.update([&](OAuthFile& f) {
    OAuthMailbox& entry = f.mailboxes[OAuthFile::key(address)];
    entry.custom = custom;
    if (!grant_) return;
    entry.access_token = grant_->access_token;
    entry.refresh_token = grant_->refresh_token;
    entry.expires_at = QDateTime::currentSecsSinceEpoch() + (grant_->expires_in > 0 ? grant_->expires_in : 3600);
    entry.signed_in_as = to_gb(signed_in_as_);
    entry.refused.clear();
  });
}

void CMailboxDialog::fill(const MailboxRecord& r) {
  address_->setText(from_gb(r.address));
  login_name_->setText(from_gb(r.login_name));
  password_->setText(from_gb(r.password));
  pop_server_->setText(from_gb(r.pop_server));
  smtp_server_->setText(from_gb(r.smtp_server));
  smtp_auth_->setChecked(r.smtp_auth != 0);
  // A server once seen over TLS is held to it: the box shows that, and
  // clearing it is how the user accepts a server that has given TLS up.
  require_tls_->setChecked(r.require_tls || r.tls_seen);
  sign_in_->setCurrentIndex(static_cast<int>(r.sign_in));
  if (const OAuthMailbox* m = oauth_.load().mailbox(r.address)) {
    authorize_url_->setText(QString::fromStdString(m->custom.authorize_url));
    token_url_->setText(QString::fromStdString(m->custom.token_url));
    scope_->setText(QString::fromStdString(m->custom.scope));
    client_id_->setText(QString::fromStdString(m->custom.client_id));
    client_secret_->setText(QString::fromStdString(m->custom.client_secret));
  }
  bool own = r.smtp_login_name != r.login_name || r.smtp_password != r.password;
  (own ? own_credentials_ : same_as_pop_)->setChecked(true);
  if (own) {
    smtp_login_name_->setText(from_gb(r.smtp_login_name));
    smtp_password_->setText(from_gb(r.smtp_password));
  }
}

// The authentication group follows the SMTP server, the check box and the
// choice: each level is enabled only when the one above it is on.
void CMailboxDialog::update_enabling() {
  bool server = !smtp_server_->text().isEmpty();
  bool auth = server && smtp_auth_->isChecked();
  bool own = auth && own_credentials_->isChecked();
  smtp_auth_->setEnabled(server);
  same_as_pop_->setEnabled(auth);
  own_credentials_->setEnabled(auth);
  // Signed in through the provider: no password, and always over TLS.
  const bool oauth = method() != MailboxRecord::SignIn::password;
  const bool custom = method() == MailboxRecord::SignIn::custom;
  smtp_login_name_->setEnabled(own);
  smtp_password_->setEnabled(own && !oauth);
  password_->setEnabled(!oauth);
  if (oauth) require_tls_->setChecked(true);
  require_tls_->setEnabled(!oauth);
  for (QLineEdit* e : {authorize_url_, token_url_, scope_, client_id_, client_secret_}) e->setEnabled(custom);
  sign_in_button_->setEnabled(oauth);
}

bool CMailboxDialog::fail(QLineEdit* field, int text_id) {
  boxes_.show(this, MessageKind::input_error, text_id);
  field->setFocus();
  return false;
}

MailboxForm CMailboxDialog::form() const {
  MailboxForm f;
  f.new_account = new_account_;
  f.oauth = method() != MailboxRecord::SignIn::password;
  f.address = to_gb(address_->text());
  f.login_name = to_gb(login_name_->text());
  f.password = to_gb(password_->text());
  f.pop_server = to_gb(pop_server_->text());
  f.smtp_server = to_gb(smtp_server_->text());
  f.own_smtp_credentials = smtp_auth_->isChecked() && own_credentials_->isChecked();
  f.smtp_login_name = to_gb(smtp_login_name_->text());
  f.smtp_password = to_gb(smtp_password_->text());
  return f;
}

bool CMailboxDialog::validate() {
  const std::optional<FormFailure<MailboxField>> failure = check_mailbox(form(), list_);
  if (!failure) return true;
  QLineEdit* const fields[] = {address_,     login_name_,      password_,     pop_server_,
                               smtp_server_, smtp_login_name_, smtp_password_};
  return fail(fields[static_cast<int>(failure->field)], failure->message_id);
}

void CMailboxDialog::store() {
  if (new_account_) {
    record_ = MailboxRecord{};
    record_.address = to_gb(address_->text());
  }
  record_.login_name = to_gb(login_name_->text());
  record_.password = to_gb(password_->text());
  const std::string pop_server = to_gb(pop_server_->text());
  // The mark belongs to the server that completed the handshake.
  if (pop_server != record_.pop_server) record_.tls_seen = false;
  record_.pop_server = pop_server;
  record_.smtp_server = to_gb(smtp_server_->text());
  record_.smtp_auth = smtp_auth_->isChecked() ? 1 : 0;
  // Left as shown, the stored choice stays (an old account seen over TLS
  // does not start requiring it of its SMTP server); changed, it is the
  // user's word.
  if (require_tls_->isChecked() != tls_shown_) {
    record_.require_tls = require_tls_->isChecked();
    if (!record_.require_tls) record_.tls_seen = false;
  } else if (new_account_) {
    record_.require_tls = tls_shown_;
  }
  record_.sign_in = method();
  if (own_credentials_->isChecked()) {
    record_.smtp_login_name = to_gb(smtp_login_name_->text());
    record_.smtp_password = to_gb(smtp_password_->text());
  } else {
    record_.smtp_login_name = record_.login_name;
    record_.smtp_password = record_.password;
  }
  if (record_.uses_oauth()) {
    record_.password.clear();
    record_.smtp_password.clear();
    record_.require_tls = true;
  }
}

void CMailboxDialog::accept() {
  if (!validate()) return;
  if (!store_sign_in()) {
    boxes_.show(this, MessageKind::failure,
                ui::text(sid::kCannotStoreToken) + QString::fromStdString(oauth_.path().string()));
    return;
  }
  store();
  QDialog::accept();
}

}  // namespace pw::ui
