#pragma once
// Stored text is GB18030 bytes; widgets show QString. Conversions, and the
// byte limits of the stored fields applied to line edits.
#include <QString>

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

class QLineEdit;

namespace pw::ui {

[[nodiscard]] QString from_gb(std::string_view gb18030);
[[nodiscard]] std::string to_gb(const QString& text);

// Bytes `text` takes in GB18030.
[[nodiscard]] size_t gb_size(const QString& text);
// The longest prefix of `text` that takes at most `max_bytes` in GB18030.
[[nodiscard]] QString fit_gb(const QString& text, size_t max_bytes);

// Keeps the text of `edit` within `max_bytes` GB18030 bytes, cutting typed or
// pasted text that would not fit its stored field.
void limit_gb_bytes(QLineEdit* edit, size_t max_bytes);

// A file name chosen in a file dialog as the path the stores open.
[[nodiscard]] std::filesystem::path to_path(const QString& file_name);

}  // namespace pw::ui
