#include "ui/rules/multiline_text.h"

#include <QPlainTextEdit>
#include <QTextCursor>

#include <algorithm>

#include "ui/gb_qstring.h"

namespace pw::ui {

QString from_gb_lines(std::string_view gb18030) {
  QString text = from_gb(gb18030);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text;
}

std::string to_gb_lines(const QString& text) {
  QString crlf = text;
  crlf.remove(u'\r');
  crlf.replace(u'\n', QStringLiteral("\r\n"));
  return to_gb(crlf);
}

void limit_gb_lines(QPlainTextEdit* edit, size_t max_bytes) {
  QObject::connect(edit, &QPlainTextEdit::textChanged, edit, [edit, max_bytes] {
    const QString text = edit->toPlainText();
    if (to_gb_lines(text).size() <= max_bytes) return;
    int cursor = edit->textCursor().position();
    // The longest prefix that fits, found by halving (every character takes
    // a byte at least, a line end one more when stored); a surrogate pair is
    // never cut in two.
    qsizetype fits = 0;
    qsizetype too_long = std::min<qsizetype>(text.size(), static_cast<qsizetype>(max_bytes)) + 1;
    while (too_long - fits > 1) {
      const qsizetype middle = fits + (too_long - fits) / 2;
      if (to_gb_lines(text.left(middle)).size() <= max_bytes) fits = middle;
      else too_long = middle;
    }
    if (fits > 0 && text.at(fits - 1).isHighSurrogate()) --fits;
    const QString fitted = text.left(fits);
    const QSignalBlocker block(edit);
    edit->setPlainText(fitted);
    QTextCursor c = edit->textCursor();
    c.setPosition(std::min<int>(cursor, static_cast<int>(fitted.size())));
    edit->setTextCursor(c);
  });
}

int shown_index(std::string_view gb_lines, size_t offset) {
  return static_cast<int>(from_gb_lines(gb_lines.substr(0, std::min(offset, gb_lines.size()))).size());
}

void select_stored_bytes(QPlainTextEdit* edit, std::string_view gb_lines, size_t begin, size_t end) {
  QTextCursor c = edit->textCursor();
  c.setPosition(shown_index(gb_lines, begin));
  c.setPosition(shown_index(gb_lines, end), QTextCursor::KeepAnchor);
  edit->setTextCursor(c);
}

}  // namespace pw::ui
