#include "ui/mailbox_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QFontMetrics>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "base/safe_name.h"
#include "stores/mailbox_account.h"
#include "stores/mailbox_list.h"
#include "ui/address_check.h"
#include "ui/gb_qstring.h"
#include "ui/message_boxes.h"
#include "ui/ui_text.h"

namespace pw::ui {
namespace {

constexpr int kBadAddress = 61214;
constexpr int kAddressExists = 61219;
constexpr int kBadLoginName = 61216;
constexpr int kBadPassword = 61217;
constexpr int kBadPopServer = 61218;
constexpr int kBadSmtpServer = 61432;
constexpr int kBadSmtpLoginName = 61222;
constexpr int kBadSmtpPassword = 61223;
constexpr int kRequireTls = 62207;  // "要求加密连接(TLS)(&T)"

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
    : QDialog(parent), list_(list), boxes_(boxes), new_account_(account == nullptr) {
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
  require_tls_ = new QCheckBox(ui::text(kRequireTls), this);
  require_tls_->setObjectName(QStringLiteral("requireTls"));

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
  }
  update_enabling();
  connect(smtp_server_, &QLineEdit::textChanged, this, &CMailboxDialog::update_enabling);
  connect(smtp_auth_, &QCheckBox::toggled, this, &CMailboxDialog::update_enabling);
  connect(same_as_pop_, &QRadioButton::toggled, this, &CMailboxDialog::update_enabling);
}

void CMailboxDialog::fill(const MailboxRecord& r) {
  address_->setText(from_gb(r.address));
  login_name_->setText(from_gb(r.login_name));
  password_->setText(from_gb(r.password));
  pop_server_->setText(from_gb(r.pop_server));
  smtp_server_->setText(from_gb(r.smtp_server));
  smtp_auth_->setChecked(r.smtp_auth != 0);
  require_tls_->setChecked(r.require_tls);
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
  smtp_login_name_->setEnabled(own);
  smtp_password_->setEnabled(own);
}

bool CMailboxDialog::fail(QLineEdit* field, int text_id) {
  boxes_.show(this, MessageKind::input_error, text_id);
  field->setFocus();
  return false;
}

bool CMailboxDialog::validate() {
  const QString address = address_->text();
  if (address.isEmpty() || !address_well_formed(address)) return fail(address_, kBadAddress);
  if (new_account_) {
    std::string gb = to_gb(address);
    // The address names the account's seen-mail file: one that cannot be a
    // file name would leave the account without one, and every mail would
    // be new again after a restart.
    if (!is_safe_file_name(gb + ".uid")) return fail(address_, kBadAddress);
    if (list_.find(gb)) return fail(address_, kAddressExists);
  }
  if (login_name_->text().isEmpty()) return fail(login_name_, kBadLoginName);
  if (password_->text().isEmpty()) return fail(password_, kBadPassword);
  if (!pop_server_->text().contains(u'.')) return fail(pop_server_, kBadPopServer);
  if (!smtp_server_->text().contains(u'.')) return fail(smtp_server_, kBadSmtpServer);
  if (smtp_auth_->isChecked() && own_credentials_->isChecked()) {
    if (smtp_login_name_->text().isEmpty()) return fail(smtp_login_name_, kBadSmtpLoginName);
    if (smtp_password_->text().isEmpty()) return fail(smtp_password_, kBadSmtpPassword);
  }
  return true;
}

void CMailboxDialog::store() {
  if (new_account_) {
    record_ = MailboxRecord{};
    record_.address = to_gb(address_->text());
  }
  record_.login_name = to_gb(login_name_->text());
  record_.password = to_gb(password_->text());
  record_.pop_server = to_gb(pop_server_->text());
  record_.smtp_server = to_gb(smtp_server_->text());
  record_.smtp_auth = smtp_auth_->isChecked() ? 1 : 0;
  record_.require_tls = require_tls_->isChecked();
  if (own_credentials_->isChecked()) {
    record_.smtp_login_name = to_gb(smtp_login_name_->text());
    record_.smtp_password = to_gb(smtp_password_->text());
  } else {
    record_.smtp_login_name = record_.login_name;
    record_.smtp_password = record_.password;
  }
}

void CMailboxDialog::accept() {
  if (!validate()) return;
  store();
  QDialog::accept();
}

}  // namespace pw::ui
