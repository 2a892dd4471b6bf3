#pragma once
// The word-list dialog "键入信息" of the six text conditions: contains or
// does not contain, all words or any word, and the words themselves.
#include <QDialog>

#include <string>

#include "rules/condition_kind.h"

class QRadioButton;

namespace pw::ui {

class MessageBoxes;
class WordListPanel;

class WordListDialog : public QDialog {
  Q_OBJECT

 public:
  WordListDialog(ConditionKind kind, std::string list, bool contains, bool all_words, MessageBoxes& boxes,
                 QWidget* parent = nullptr);

  [[nodiscard]] const std::string& list() const;
  [[nodiscard]] bool contains() const;
  [[nodiscard]] bool all_words() const;

 private:
  void rebuild();

  ConditionKind kind_;
  QRadioButton* contains_;
  QRadioButton* all_;
  WordListPanel* words_;
};

}  // namespace pw::ui
