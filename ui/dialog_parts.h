#pragma once
// Small pieces every rule dialog is built from: the OK and Cancel row, named
// radio pairs, labels with a buddy, and the stored form of a chosen path.
#include <QString>

#include <cstddef>
#include <optional>
#include <string>

class QButtonGroup;
class QDialog;
class QLabel;
class QLayout;
class QPushButton;
class QRadioButton;
class QWidget;

namespace pw::ui {

class MessageBoxes;

// Stored paths hold at most 259 bytes (a 260-byte field).
inline constexpr size_t kPathLimit = 259;

// "确定" (objectName "ok", the default button) and "取消" ("cancel") wired to
// the dialog's accept and reject; returns the OK button.
QPushButton* add_ok_cancel(QDialog* dialog, QLayout* layout);

[[nodiscard]] QRadioButton* make_radio(QWidget* parent, const QString& text, const char* name);
// Groups two radios and checks the one of `index`; the group gives the
// chosen index back with checkedId().
QButtonGroup* group_radios(QWidget* parent, QRadioButton* first, QRadioButton* second, int index);

[[nodiscard]] QLabel* make_label(QWidget* parent, const QString& text, QWidget* buddy = nullptr);

// `chosen` as the bytes a path field stores; nullopt, after a message, when
// it does not fit the field.
[[nodiscard]] std::optional<std::string> stored_path(const QString& chosen, MessageBoxes& boxes, QWidget* parent);

}  // namespace pw::ui
