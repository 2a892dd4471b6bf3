#pragma once
// The forward dialog "转发": the recipients (a stored word list of
// addresses), and whether the forwarded mail keeps its own headers or shows
// a chosen sender, recipient and subject. Used by the rule editor and for
// the one-off forward of the confirmation window.
#include <QDialog>

#include <functional>
#include <string>

#include "rules/forward_settings.h"

class QLineEdit;
class QRadioButton;

namespace pw::ui {

class MessageBoxes;
class WordListPanel;

// Asks the address book for recipients; the chosen addresses each end in
// ';', empty when the user cancelled.
using RecipientPicker = std::function<std::string(QWidget* parent)>;

class ForwardDialog : public QDialog {
  Q_OBJECT

 public:
  ForwardDialog(ForwardSettings settings, MessageBoxes& boxes, RecipientPicker picker, QWidget* parent = nullptr);

  // The values as entered, valid once the dialog ended with OK.
  [[nodiscard]] const ForwardSettings& settings() const { return settings_; }

  // Stores the values; an empty list is told ("没有填写任何发件人") but the
  // dialog closes all the same.
  void accept() override;

 private:
  void update_enabling();

  ForwardSettings settings_;
  MessageBoxes& boxes_;
  RecipientPicker picker_;
  WordListPanel* recipients_;
  QRadioButton* keep_headers_;
  QRadioButton* change_headers_;
  QLineEdit* shown_from_;
  QLineEdit* shown_to_;
  QLineEdit* shown_subject_;
};

}  // namespace pw::ui
