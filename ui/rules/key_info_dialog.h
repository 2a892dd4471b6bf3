#pragma once
// The key-information dialog "保存邮件关键信息": the template of what is
// written for each mail, which may use the captures of the rule's body
// pattern (edited in the pop-up behind "*").
#include <QDialog>

#include <string>

#include "rules/rule_template.h"

class QPlainTextEdit;

namespace pw::ui {

class MessageBoxes;
class PatternField;

class KeyInfoDialog : public QDialog {
  Q_OBJECT

 public:
  KeyInfoDialog(const std::string& key_template, std::string body_pattern, MessageBoxes& boxes,
                QWidget* parent = nullptr);

  // Valid once the dialog ended with OK.
  [[nodiscard]] const std::string& key_template() const { return template_; }
  [[nodiscard]] const std::string& body_pattern() const;
  [[nodiscard]] TemplateLevel level() const { return level_; }

  // The pop-up's length, the pattern, then the template against it.
  void accept() override;
  void reject() override;

 private:
  MessageBoxes& boxes_;
  std::string template_;
  TemplateLevel level_ = TemplateLevel::plain;
  PatternField* pattern_;
  QPlainTextEdit* edit_;
};

}  // namespace pw::ui
