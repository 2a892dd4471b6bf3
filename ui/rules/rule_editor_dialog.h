#pragma once
// The rule editor "规则": the rule's name, its conditions and actions as
// check-box lists, and the description in which every value is a link to
// the dialog that edits it. OK checks the rule in a fixed order; a failing
// check names a parameter, whose dialog opens until the rule passes or the
// user cancels that dialog.
#include <QDialog>

#include <cstddef>

#include "rules/rule.h"
#include "rules/rule_description.h"
#include "ui/rules/forward_dialog.h"
#include "ui/rules/rule_check.h"

class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;

namespace pw {
class RuleStore;
}

namespace pw::ui {

class DescriptionBrowser;
class FileDialogs;
class MessageBoxes;

class RuleEditorDialog : public QDialog {
  Q_OBJECT

 public:
  // Edits a working copy of `rule`. `editing` is the stored rule being
  // modified, null for a new one; `picker` serves the forward dialog's
  // address-book button.
  RuleEditorDialog(Rule rule, const Rule* editing, const RuleStore& rules, MessageBoxes& boxes, FileDialogs& files,
                   RecipientPicker picker, QWidget* parent = nullptr);

  // The working copy; once the dialog ended with OK, the rule to keep, with
  // its name and fetch need set.
  [[nodiscard]] const Rule& rule() const { return rule_; }
  [[nodiscard]] const RuleDescription& description() const { return description_; }

  // Opens the dialog of `parameter` and stores its values on OK; false when
  // it was cancelled.
  bool edit_parameter(const RuleParameter& parameter);
  // A click on the description at byte `position`.
  void click_description(size_t position);

  void accept() override;

 private:
  void masks_from_checks();
  void checks_from_masks();
  void rebuild();
  // Sets the body-pattern condition when a template uses a capture.
  void note_captures(bool used);

  Rule rule_;
  const Rule* editing_;
  const RuleStore& rules_;
  MessageBoxes& boxes_;
  FileDialogs& files_;
  RecipientPicker picker_;
  RuleDescription description_;
  bool syncing_ = false;
  QLineEdit* name_;
  QTreeWidget* conditions_;
  QTreeWidget* actions_;
  DescriptionBrowser* browser_;
};

// Runs the editor on `rule`, a working copy, for a new rule or the stored
// rule with the same id; true, with `rule` replaced by the result, when the
// user confirmed.
bool edit_rule(QWidget* parent, Rule& rule, bool is_new, const RuleStore& rules, MessageBoxes& boxes,
               FileDialogs& files, RecipientPicker picker);

}  // namespace pw::ui
