#pragma once
// The word-list part of the "键入信息" and "转发" dialogs: an input field
// with "添加(&A)", the list "描述(&D)" showing the words one a line under a
// heading, and "删除(&R)". The list is kept as stored: each word followed by
// ';', at most 1023 bytes.
#include <QString>
#include <QStringList>
#include <QWidget>

#include <string>
#include <string_view>

class QLineEdit;
class QListWidget;
class QPushButton;
class QVBoxLayout;

namespace pw::ui {

class MessageBoxes;

struct EntryAdd {
  bool added = false;
  QString message;         // the refusal to show, empty when none
  bool select_input = false;  // the refusal points at the input
};

// Appends `input` and ';' to `list` unless refused: an empty input silently,
// ';' in it, a word already listed, a list past 1023 bytes, and (with
// `needs_address`) a malformed address with a message each.
[[nodiscard]] EntryAdd add_entry(std::string& list, const QString& input, bool needs_address);

// Appends each entry of `picked` (entries ending in ';') not yet listed, in
// order; false when the list limit stopped the addition.
[[nodiscard]] bool append_picked(std::string& list, std::string_view picked);

// The lines of the list: `heading`, then each word between double quotes,
// every word after the first preceded by `joiner` and a space.
[[nodiscard]] QStringList description_lines(const QString& heading, std::string_view list, const QString& joiner);

class WordListPanel : public QWidget {
  Q_OBJECT

 public:
  WordListPanel(const QString& prompt, std::string list, bool needs_address, MessageBoxes& boxes,
                QWidget* parent);

  // Rebuilds the list under a new heading and joiner.
  void set_heading(const QString& heading, const QString& joiner);
  // The dialog's OK: the default button whenever the input has no focus.
  void set_ok_button(QPushButton* ok);

  [[nodiscard]] const std::string& list() const { return list_; }
  // Appends what the address book gave (entries ending in ';').
  void append(std::string_view picked);

  // Room for buttons beside "添加(&A)".
  [[nodiscard]] QVBoxLayout* button_column() const { return buttons_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void add();
  void remove();
  void rebuild(int select_row = -1);

  std::string list_;
  const bool needs_address_;
  MessageBoxes& boxes_;
  QString heading_;
  QString joiner_;
  QLineEdit* input_;
  QPushButton* add_;
  QListWidget* lines_;
  QPushButton* ok_ = nullptr;
  QVBoxLayout* buttons_;
};

}  // namespace pw::ui
