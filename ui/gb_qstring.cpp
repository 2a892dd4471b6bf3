#include "ui/gb_qstring.h"

#include <QFile>
#include <QLineEdit>

#include <algorithm>

#include "base/code_page.h"

namespace pw::ui {

QString from_gb(std::string_view gb18030) {
  std::string utf8 = gb_to_utf8(gb18030);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string to_gb(const QString& text) {
  QByteArray utf8 = text.toUtf8();
  return utf8_to_gb(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
}

size_t gb_size(const QString& text) { return to_gb(text).size(); }

QString fit_gb(const QString& text, size_t max_bytes) {
  QString fitted = text;
  while (!fitted.isEmpty() && gb_size(fitted) > max_bytes) {
    qsizetype cut = fitted.size() - 1;
    if (cut > 0 && fitted.at(cut).isLowSurrogate()) --cut;
    fitted.truncate(cut);
  }
  return fitted;
}

void limit_gb_bytes(QLineEdit* edit, size_t max_bytes) {
  QObject::connect(edit, &QLineEdit::textChanged, edit, [edit, max_bytes](const QString& text) {
    if (gb_size(text) <= max_bytes) return;
    int cursor = edit->cursorPosition();
    QString fitted = fit_gb(text, max_bytes);
    edit->setText(fitted);
    edit->setCursorPosition(std::min<int>(cursor, static_cast<int>(fitted.size())));
  });
}

std::filesystem::path to_path(const QString& file_name) {
  QByteArray local = QFile::encodeName(file_name);
  return std::filesystem::path(std::string(local.constData(), static_cast<size_t>(local.size())));
}

}  // namespace pw::ui
