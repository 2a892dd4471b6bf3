#pragma once
// Multi-line fields of the rule dialogs. The stored text separates lines
// with CR LF and counts its limit in those bytes; the edit shows '\n'.
#include <QString>

#include <cstddef>
#include <string>
#include <string_view>

class QPlainTextEdit;

namespace pw::ui {

[[nodiscard]] QString from_gb_lines(std::string_view gb18030);
[[nodiscard]] std::string to_gb_lines(const QString& text);

// Keeps the text of `edit` within `max_bytes` as stored (CR LF line ends).
void limit_gb_lines(QPlainTextEdit* edit, size_t max_bytes);

// The position in the shown text of byte `offset` of the stored text.
[[nodiscard]] int shown_index(std::string_view gb_lines, size_t offset);

// Selects bytes [begin, end) of the stored text `gb_lines` in `edit`.
void select_stored_bytes(QPlainTextEdit* edit, std::string_view gb_lines, size_t begin, size_t end);

}  // namespace pw::ui
