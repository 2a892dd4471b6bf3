#include "ui/mail/html_ctrl.h"

#include <sys/stat.h>

#include <QStringDecoder>

#include "base/file_io.h"
#include "ui/gb_qstring.h"

namespace pw::ui {
namespace {

constexpr size_t kMaxResource = size_t{64} << 20;

// Mail HTML keeps the charset it came in: the one its meta tag names, else
// UTF-8 when it reads as such, else the system code page.
QString decode_html(const QByteArray& bytes) {
  if (bytes.contains("charset") || bytes.contains("CHARSET") || bytes.startsWith("\xef\xbb\xbf")) {
    QStringDecoder decoder = QStringDecoder::decoderForHtml(bytes);
    if (decoder.isValid()) return decoder.decode(bytes);
  }
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString text = utf8.decode(bytes);
  if (!utf8.hasError()) return text;
  return from_gb(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
}

}  // namespace

CHtmlCtrl::CHtmlCtrl(std::filesystem::path root, QWidget* parent)
    : QTextBrowser(parent), root_(std::move(root).lexically_normal()) {
  setObjectName(QStringLiteral("htmlView"));
  setFrameShape(QFrame::StyledPanel);
  setOpenLinks(false);
  setOpenExternalLinks(false);
  connect(this, &QTextBrowser::anchorClicked, this, &CHtmlCtrl::follow);
}

void CHtmlCtrl::navigate(const QString& name) {
  const QUrl url = QUrl::fromLocalFile(QString::fromStdString((root_ / to_path(name)).string()));
  std::optional<QByteArray> page = local_resource(url);
  // The page's own address resolves its pictures' relative names.
  document()->setBaseUrl(url);
  setHtml(page ? decode_html(*page) : QString());
}

std::optional<QByteArray> CHtmlCtrl::local_resource(const QUrl& url) const {
  if (!url.isLocalFile()) return std::nullopt;
  const std::filesystem::path path = to_path(url.toLocalFile()).lexically_normal();
  if (path.parent_path() != root_ || !path.has_filename()) return std::nullopt;
  struct stat st{};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  std::optional<std::string> bytes = read_file(path, kMaxResource);
  if (!bytes) return std::nullopt;
  return QByteArray(bytes->data(), static_cast<qsizetype>(bytes->size()));
}

QVariant CHtmlCtrl::loadResource(int type, const QUrl& name) {
  // Relative names resolve against the page; anything not a local file of
  // the directory is refused here, before any loader sees it.
  const QUrl url = document()->baseUrl().resolved(name);
  std::optional<QByteArray> bytes = local_resource(url);
  if (!bytes) return {};
  if (type == QTextDocument::HtmlResource || type == QTextDocument::StyleSheetResource) return decode_html(*bytes);
  return *bytes;
}

void CHtmlCtrl::follow(const QUrl& url) {
  const QString scheme = url.scheme().toLower();
  if (scheme == QLatin1String("app")) {
    const QString address = url.toString();
    if (app_command) app_command(address.mid(address.indexOf(QLatin1Char(':')) + 1));
    return;
  }
  if (scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("ftp") ||
      scheme == QLatin1String("mailto")) {
    if (open_external) open_external(url);
  }
}

}  // namespace pw::ui
