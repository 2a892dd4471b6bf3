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

// One conversion of the whole text, then a walk over its GB18030 sequences
// beside the text's code points (each code point is one sequence: 1 byte,
// 2 bytes, or 4 when the second byte is a digit), so a long paste costs one
// pass instead of one conversion per dropped character.
QString fit_gb(const QString& text, size_t max_bytes) {
  const std::string gb = to_gb(text);
  if (gb.size() <= max_bytes) return text;
  size_t bytes = 0;
  qsizetype units = 0;
  while (units < text.size() && bytes < gb.size()) {
    const auto lead = static_cast<unsigned char>(gb[bytes]);
    size_t length = 1;
    if (lead >= 0x80 && bytes + 1 < gb.size()) {
      const auto second = static_cast<unsigned char>(gb[bytes + 1]);
      length = second >= 0x30 && second <= 0x39 ? 4 : 2;
    }
    if (bytes + length > max_bytes) break;
    bytes += length;
    units += text.at(units).isHighSurrogate() && units + 1 < text.size() && text.at(units + 1).isLowSurrogate() ? 2 : 1;
  }
  return text.left(units);
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
