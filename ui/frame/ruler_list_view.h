#pragma once
// The list of all rules in store order, one column "所有规则". A rule's
// picture shows whether any mailbox uses it. Here the user creates,
// modifies, deletes, imports and exports rules and binds them to mailboxes.
//
// Creating and modifying need the rule editor, which the frame hands in with
// set_rule_editor(); until then those two commands are disabled.
#include <QTreeWidget>

#include <functional>

class QMenu;

namespace pw {
class MailboxList;
class RuleStore;
struct Rule;
struct SystemSettings;
}  // namespace pw

namespace pw::ui {

class FileDialogs;
class MessageBoxes;
class StoreSaver;

class CRulerListView : public QTreeWidget {
  Q_OBJECT

 public:
  // Edits `rule` (a working copy) in the rule editor; true when the user
  // confirmed. `is_new` is set for a new rule.
  using RuleEditor = std::function<bool(QWidget* parent, Rule& rule, bool is_new)>;

  CRulerListView(RuleStore& rules, MailboxList& mailboxes, SystemSettings& settings, StoreSaver& saver,
                 MessageBoxes& boxes, FileDialogs& files, QWidget* parent = nullptr);

  void set_rule_editor(RuleEditor editor) { editor_ = std::move(editor); }

  // The rule of the selected row, or nullptr.
  [[nodiscard]] Rule* selected_rule() const;

  // The rule commands (new, modify, delete, import, export) and the
  // configure-rules dialog (cmd::kConfigureRules). False for other ids.
  [[nodiscard]] bool command_enabled(int id) const;
  // Runs an enabled command; false when it is disabled or not the list's.
  bool run_command(int id);

  // The context menu for a right click; `on_row` when the click hit a row.
  // The caller owns the menu; each action's data is its command id.
  [[nodiscard]] QMenu* context_menu(bool on_row);

 public slots:
  // Every row's picture from its rule's use count again.
  void refresh_images();
  // Appends a row for a rule of the store.
  void add_row(const pw::Rule& rule);

 signals:
  // Watch flags changed: a deleted rule or the configure-rules dialog left
  // mailboxes without rules, which were paused. The tree redraws its marks.
  void watch_marks_changed();
  // Rules were added or removed: the frame updates its command states.
  void rules_changed();
  // Mailboxes given a rule began to be watched: they are checked at once.
  void watching_started();

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void fill();
  void set_image(QTreeWidgetItem* item, const Rule& rule);
  [[nodiscard]] Rule* rule_of(const QTreeWidgetItem* item) const;

  void new_rule();
  void modify_rule();
  void delete_rule();
  void import_rules();
  void export_rules();
  void configure_rules();
  void pause_accounts_without_rules();

  RuleStore& rules_;
  MailboxList& mailboxes_;
  SystemSettings& settings_;
  StoreSaver& saver_;
  MessageBoxes& boxes_;
  FileDialogs& files_;
  RuleEditor editor_;
};

}  // namespace pw::ui
