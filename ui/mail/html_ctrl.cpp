#include "ui/mail/html_ctrl.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QImageReader>
#include <QPixmap>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QThread>

#include "base/file_io.h"
#include "ui/gb_qstring.h"
#include "ui/ui_text.h"

namespace pw::ui {
namespace {

constexpr size_t kMaxResource = size_t{64} << 20;
// A data: address longer than this is not decoded: a mail's pictures come as
// parts (files in the directory), an inline one is small.
constexpr qsizetype kMaxDataUrl = qsizetype{1} << 20;
// A picture of more pixels than this is not decoded (64 MiB at 32 bits).
constexpr qint64 kMaxPixels = qint64{16} << 20;

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

// Qt takes pictures as pixmaps on the UI thread and as images elsewhere.
QVariant as_picture(const QImage& image) {
  if (QThread::currentThread() != QCoreApplication::instance()->thread()) return image;
  return QPixmap::fromImage(image);
}

// What a refused picture shows: one transparent pixel. It must not be a null
// picture, or Qt's image handler tries the name as a file of its own.
QVariant no_picture() {
  QImage image(1, 1, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  return as_picture(image);
}

QVariant picture(const QByteArray& bytes) {
  QBuffer buffer;
  buffer.setData(bytes);
  if (!buffer.open(QIODevice::ReadOnly)) return no_picture();
  QImageReader reader(&buffer);
  const QSize size = reader.size();
  if (size.isValid() && qint64{size.width()} * size.height() > kMaxPixels) return no_picture();
  const QImage image = reader.read();
  return image.isNull() ? no_picture() : as_picture(image);
}

// The payload of a data: address ("data:[type][;base64],payload").
std::optional<QByteArray> data_url_payload(const QUrl& url) {
  const QByteArray encoded = url.toEncoded();
  if (encoded.size() > kMaxDataUrl) return std::nullopt;
  const qsizetype comma = encoded.indexOf(',');
  if (comma < 0) return std::nullopt;
  QByteArray payload = QByteArray::fromPercentEncoding(encoded.mid(comma + 1));
  if (encoded.left(comma).toLower().endsWith(";base64")) payload = QByteArray::fromBase64(payload);
  return payload;
}

// The end of the tag that starts at `at` (one past its '>'); quoted
// attribute values may hold a '>'.
qsizetype tag_end(const QString& html, qsizetype at) {
  QChar quote;
  for (qsizetype k = at + 1; k < html.size(); ++k) {
    const QChar c = html.at(k);
    if (!quote.isNull()) {
      if (c == quote) quote = QChar();
    } else if (c == u'"' || c == u'\'') {
      quote = c;
    } else if (c == u'>') {
      return k + 1;
    }
  }
  return html.size();
}

}  // namespace

int limit_pictures(QString& html, int keep) {
  QString out;
  int count = 0;
  qsizetype copied = 0;
  for (qsizetype at = html.indexOf(QLatin1String("<img"), 0, Qt::CaseInsensitive); at >= 0;
       at = html.indexOf(QLatin1String("<img"), at + 4, Qt::CaseInsensitive)) {
    const QChar next = at + 4 < html.size() ? html.at(at + 4) : QChar(u'>');
    if (!next.isSpace() && next != u'/' && next != u'>') continue;  // <imgx> is another tag
    if (++count <= keep) continue;
    if (out.isEmpty()) out.reserve(html.size());
    out += QStringView(html).mid(copied, at - copied);
    copied = tag_end(html, at);
    at = copied - 4;
  }
  if (count > keep) {
    out += QStringView(html).mid(copied);
    html = std::move(out);
  }
  return count;
}

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
  QString html = page ? decode_html(*page) : QString();
  // Qt takes time in the square of the pictures on one line to build the
  // page: past kMaxPictures they are left out, and the page says so first.
  const int pictures = limit_pictures(html, kMaxPictures);
  if (pictures > kMaxPictures) {
    const QString note = QStringLiteral("<p style=\"background-color: #ffffe1\">%1</p>")
                             .arg(text(sid::kPicturesLeftOut).arg(pictures).arg(kMaxPictures).toHtmlEscaped());
    const QRegularExpression body(QStringLiteral("<body[^>]*>"), QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = body.match(html);
    html.insert(match.hasMatch() ? match.capturedEnd() : 0, note);
  }
  setHtml(html);
}

std::optional<QByteArray> CHtmlCtrl::local_resource(const QUrl& url) const {
  if (!url.isLocalFile()) return std::nullopt;
  const std::filesystem::path path = to_path(url.toLocalFile()).lexically_normal();
  if (path.parent_path() != root_ || !path.has_filename()) return std::nullopt;
  std::optional<std::string> bytes = read_plain_file(path, kMaxResource);
  if (!bytes) return std::nullopt;
  return QByteArray(bytes->data(), static_cast<qsizetype>(bytes->size()));
}

QVariant CHtmlCtrl::loadResource(int type, const QUrl& name) {
  // Relative names resolve against the page; anything not a local file of
  // the directory (or a small data: address) is refused here. A refusal is
  // an empty value of the resource's type, never a null one: for a null
  // value Qt would open the address itself.
  const QUrl url = document()->baseUrl().resolved(name);
  const std::optional<QByteArray> bytes =
      url.scheme().compare(QLatin1String("data"), Qt::CaseInsensitive) == 0 ? data_url_payload(url)
                                                                            : local_resource(url);
  switch (type) {
    case QTextDocument::ImageResource:
      return bytes ? picture(*bytes) : no_picture();
    case QTextDocument::HtmlResource:
    case QTextDocument::StyleSheetResource:
    case QTextDocument::MarkdownResource:
      return bytes ? decode_html(*bytes) : QString();
    default:
      return bytes ? *bytes : QByteArray();
  }
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
