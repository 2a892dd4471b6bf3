#pragma once
// The reply dialog "回复邮件": the reply is either a complete mail file sent
// unchanged, or composed from a subject, a text and attachments. Subject and
// text are templates that may use the captures of the rule's body pattern,
// which the "*" button edits; without a pattern (the one-off reply of the
// confirmation window) that button is hidden.
#include <QDialog>

#include <optional>
#include <string>
#include <vector>

#include "rules/reply_settings.h"
#include "rules/rule_template.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTreeWidget;

namespace pw::ui {

class FileDialogs;
class MessageBoxes;
class PatternField;

class ReplyDialog : public QDialog {
  Q_OBJECT

 public:
  // `body_pattern` is the rule's pattern; nullopt hides the "*" button and
  // checks the templates against an empty pattern.
  ReplyDialog(ReplySettings settings, std::optional<std::string> body_pattern, MessageBoxes& boxes,
              FileDialogs& files, QWidget* parent = nullptr);

  // Valid once the dialog ended with OK.
  [[nodiscard]] const ReplySettings& settings() const { return settings_; }
  [[nodiscard]] const std::string& body_pattern() const;
  // The larger level of the two templates: captures means the rule must
  // match its body pattern.
  [[nodiscard]] TemplateLevel level() const { return level_; }

  // Checks in order: the open pop-up's length, the pattern, the subject
  // template, the text template; the first failure keeps the dialog open.
  void accept() override;
  void reject() override;

 private:
  void update_enabling();
  void browse_file();
  void add_attachments();
  void remove_attachments();

  ReplySettings settings_;
  MessageBoxes& boxes_;
  FileDialogs& files_;
  PatternField* pattern_;
  TemplateLevel level_ = TemplateLevel::plain;
  QRadioButton* from_file_;
  QRadioButton* typed_;
  QLineEdit* file_;
  QPushButton* browse_;
  QLineEdit* subject_;
  QPlainTextEdit* text_;
  QPushButton* pattern_button_;
  QTreeWidget* attachments_;
  QPushButton* add_;
  QPushButton* remove_;
};

}  // namespace pw::ui
