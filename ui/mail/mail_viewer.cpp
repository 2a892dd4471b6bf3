#include "ui/mail/mail_viewer.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QHash>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QResizeEvent>
#include <QTextBrowser>

#include <fcntl.h>
#include <unistd.h>

#include "base/code_page.h"
#include "base/file_io.h"
#include "base/safe_name.h"
#include "res/string_table.h"
#include "engine/mail_processor.h"
#include "ui/gb_qstring.h"
#include "ui/mail/html_ctrl.h"
#include "ui/ui_text.h"

namespace pw::ui {
namespace {

constexpr char kHtmlFile[] = "temp.htm";

constexpr int kMargin = 11;
constexpr int kHeaderHeight = 60;
constexpr int kListHeight = 75;
constexpr int kAttachmentArea = 110;

// A piece of the plain text for the rich-text box: CR LF shows as one line end.
QString escaped(std::string_view gb) {
  return from_gb(gb).replace(QLatin1String("\r\n"), QLatin1String("\n")).toHtmlEscaped();
}

}  // namespace

std::filesystem::path write_into(const std::filesystem::path& dir, std::string_view name, std::string_view data) {
  // Room for the scratch name's ".new.PID" within the file system's limit.
  const std::string safe = fitted_file_name(gb_to_utf8(sanitise_file_name(name, "attachment")), {}, {},
                                            kMaxFileNameBytes - 20);
  const std::filesystem::path path = dir / safe;
  if (path.parent_path() != dir) return {};
  // A new file renamed over the name: an entry there, a link included, is
  // replaced rather than written through. Scratch files need no flush to
  // disk, which would wait for everything the disk has pending.
  std::filesystem::path fresh = path;
  fresh += ".new." + std::to_string(::getpid());
  const int fd = ::open(fresh.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return {};
  bool ok = write_all(fd, data);
  ok = ::close(fd) == 0 && ok;
  if (!ok || ::rename(fresh.c_str(), path.c_str()) != 0) {
    ::unlink(fresh.c_str());
    return {};
  }
  return path;
}

CMailViewer::CMailViewer(MailProcessor& mail, ViewerServices services, QWidget* parent)
    : QDialog(parent), mail_(mail), services_(std::move(services)) {
  setObjectName(QStringLiteral("MailViewer"));
  setWindowTitle(ui::text("显示邮件内容"));
  setSizeGripEnabled(true);
  if (!services_.open_url) services_.open_url = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
  if (!services_.boxes) {
    own_boxes_ = std::make_unique<QtMessageBoxes>();
    services_.boxes = own_boxes_.get();
  }
  if (!services_.save_path)
    services_.save_path = [](QWidget* parent, const QString& name) {
      return QFileDialog::getSaveFileName(parent, QString(), name, QStringLiteral("All Files (*)"));
    };

  header_ = new QTextEdit(this);
  header_->setObjectName(QStringLiteral("headerBox"));
  header_->setReadOnly(true);
  body_label_ = new QLabel(ui::text("邮件内容(&C)"), this);
  text_button_ = new QPushButton(ui::text("文本格式"), this);
  text_button_->setObjectName(QStringLiteral("textButton"));
  html_button_ = new QPushButton(ui::text("超文本格式"), this);
  html_button_->setObjectName(QStringLiteral("htmlButton"));
  connect(text_button_, &QPushButton::clicked, this, &CMailViewer::show_plain_text);
  connect(html_button_, &QPushButton::clicked, this, &CMailViewer::show_html);

  plain_ = new QTextBrowser(this);
  plain_->setObjectName(QStringLiteral("plainBox"));
  plain_->setOpenLinks(false);
  connect(plain_, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
    // The anchor names the link by its index: the target comes from the text.
    bool ok = false;
    const int k = url.fragment().toInt(&ok);
    if (ok && k >= 0 && static_cast<size_t>(k) < links_.size())
      open(QUrl(QString::fromLatin1(link_target(body_, links_[static_cast<size_t>(k)]))));
  });
  body_label_->setBuddy(plain_);

  html_ = new CHtmlCtrl(services_.mail_temp, this);
  html_->open_external = [this](const QUrl& url) { open(url); };

  attachment_label_ = new QLabel(ui::text("邮件附件(&A)"), this);
  attachments_ = new QListWidget(this);
  attachments_->setObjectName(QStringLiteral("attachmentList"));
  attachments_->setViewMode(QListView::IconMode);
  attachments_->setFlow(QListView::LeftToRight);
  attachments_->setWrapping(true);
  attachments_->setContextMenuPolicy(Qt::CustomContextMenu);
  attachment_label_->setBuddy(attachments_);
  connect(attachments_, &QListWidget::itemDoubleClicked, this,
          [this](QListWidgetItem* item) { open_attachment(attachments_->row(item)); });
  connect(attachments_, &QListWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    QListWidgetItem* item = attachments_->itemAt(pos);
    if (!item || attachments_->row(item) >= listed_attachments_) return;
    clicked_attachment_ = attachments_->row(item);
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("AttachmentMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(text(sid::kOpenAttachment), this, [this] { open_attachment(clicked_attachment_); });
    menu->addAction(text(sid::kSaveAttachment), this, [this] { save_attachment(clicked_attachment_); });
    menu->popup(attachments_->viewport()->mapToGlobal(pos));
  });

  fill_header();
  fill_body();
  fill_attachments();
  resize(640, 480);
  lay_out(width(), height());
}

CMailViewer::~CMailViewer() = default;

void CMailViewer::show_mail(MailProcessor& mail, const ViewerServices& services, QWidget* parent) {
  CMailViewer viewer(mail, services, parent);
  viewer.exec();
}

void CMailViewer::fill_header() {
  std::string block =
      res::text(sid::kFromLabel) + mail_.sender() + "\r\n" + res::text(sid::kToLabel) + mail_.recipient() + "\r\n";
  if (!mail_.copy().empty()) block += res::text(sid::kCcLabel) + mail_.copy() + "\r\n";
  block += res::text(sid::kSubjectLabel) + mail_.subject();
  header_->setPlainText(from_gb(block));
}

void CMailViewer::fill_body() {
  has_html_ = mail_.message().has_html();
  if (has_html_) {
    std::error_code error;
    std::filesystem::create_directories(services_.mail_temp, error);
    const std::string& html = mail_.reader().html_body(services_.mail_temp);
    // An unwritable page leaves the view empty.
    if (write_into(services_.mail_temp, kHtmlFile, html).empty())
      (void)std::filesystem::remove(services_.mail_temp / kHtmlFile, error);
    html_->navigate(QString::fromLatin1(kHtmlFile));
  }
  text_button_->setVisible(has_html_);
  html_button_->setVisible(has_html_);

  body_ = mail_.text_body();
  links_ = find_mail_links(body_);
  QString page = QStringLiteral("<pre style=\"white-space: pre-wrap\">");
  size_t at = 0;
  for (size_t k = 0; k < links_.size(); ++k) {
    const MailLink& link = links_[k];
    page += escaped(std::string_view(body_).substr(at, link.begin - at));
    page += QStringLiteral("<a href=\"#%1\">").arg(k);
    page += escaped(std::string_view(body_).substr(link.begin, link.end - link.begin)) + QStringLiteral("</a>");
    at = link.end;
  }
  page += escaped(std::string_view(body_).substr(at)) + QStringLiteral("</pre>");
  plain_->setHtml(page);
  if (has_html_)
    show_html();
  else
    show_plain_text();
}

void CMailViewer::fill_attachments() {
  const MimeMessage& message = mail_.message();
  has_attachments_ = mail_.has_attachment() && message.attachment_count() > 0;
  attachment_label_->setVisible(has_attachments_);
  attachments_->setVisible(has_attachments_);
  if (!has_attachments_) return;
  // A mail of thousands of parts would hold the window for many seconds:
  // the list stops at kMaxListedAttachments and its last line says so.
  const int count = message.attachment_count();
  listed_attachments_ = std::min(count, kMaxListedAttachments);
  QFileIconProvider icons;
  QHash<QString, QIcon> by_suffix;
  for (int i = 0; i < listed_attachments_; ++i) {
    const QString name = from_gb(message.attachment_name(i));
    const QFileInfo info(name);
    auto known = by_suffix.constFind(info.suffix());
    if (known == by_suffix.constEnd()) {
      QIcon icon = icons.icon(info);
      if (icon.isNull()) icon = icons.icon(QAbstractFileIconProvider::File);
      known = by_suffix.insert(info.suffix(), icon);
    }
    auto* item = new QListWidgetItem(*known, name, attachments_);
    item->setToolTip(name);
  }
  if (listed_attachments_ < count) {
    auto* note =
        new QListWidgetItem(text(sid::kAttachmentsNotListed).arg(count).arg(listed_attachments_), attachments_);
    note->setFlags(Qt::ItemIsEnabled);
    note->setToolTip(note->text());
  }
}

void CMailViewer::show_plain_text() {
  plain_->show();
  html_->hide();
}

void CMailViewer::show_html() {
  html_->show();
  plain_->hide();
}

bool CMailViewer::open(const QUrl& url) const { return services_.open_url(url); }

void CMailViewer::open_attachment(int index) {
  if (index >= listed_attachments_) return;  // the line that says the rest is not listed
  clicked_attachment_ = index;
  const MimeMessage& message = mail_.message();
  std::optional<std::string> data = message.attachment_data(index);
  if (!data) return;
  const std::filesystem::path path = write_into(services_.mail_temp, message.attachment_name(index), *data);
  if (path.empty()) return;
  const QString file = QString::fromStdString(path.string());
  if (!open(QUrl::fromLocalFile(file)))
    (void)services_.boxes->show(this, MessageKind::notice, text(sid::kAttachmentNotOpened).arg(file));
}

void CMailViewer::save_attachment(int index) {
  if (index >= listed_attachments_) return;
  clicked_attachment_ = index;
  const MimeMessage& message = mail_.message();
  std::optional<std::string> data = message.attachment_data(index);
  if (!data) return;
  const QString chosen = services_.save_path(this, from_gb(message.attachment_name(index)));
  if (!chosen.isEmpty()) (void)write_file_atomic(to_path(chosen), *data, kPrivateFile);
}

void CMailViewer::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  lay_out(event->size().width(), event->size().height());
}

void CMailViewer::lay_out(int w, int h) {
  header_->setGeometry(kMargin, kMargin, w - 2 * kMargin, kHeaderHeight);
  const int line = kMargin + kHeaderHeight + 6;
  body_label_->setGeometry(kMargin, line + 3, 120, 20);
  const int button_width = 84;
  html_button_->setGeometry(w - kMargin - button_width, line, button_width, 24);
  text_button_->setGeometry(w - kMargin - 2 * button_width - 6, line, button_width, 24);
  const int top = line + 30;
  const int bottom = h - (has_attachments_ ? kAttachmentArea : kMargin);
  plain_->setGeometry(kMargin, top, w - 2 * kMargin, std::max(0, bottom - top));
  html_->setGeometry(plain_->geometry());
  attachment_label_->setGeometry(kMargin, h - kMargin - kListHeight - 24, 120, 20);
  attachments_->setGeometry(kMargin, h - kMargin - kListHeight, w - 2 * kMargin, kListHeight);
}

}  // namespace pw::ui
