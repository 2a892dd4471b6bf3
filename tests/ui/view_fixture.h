#pragma once
// Shared pieces of the view tests: stores in a temporary program directory,
// message boxes that record and answer, scripted file dialogs, and a helper
// that works a modal dialog once its exec() has opened it.
#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/program_dir.h"
#include "rules/rule_store.h"
#include "stores/mailbox_list.h"
#include "rules/rule_store_use_counter.h"
#include "stores/system_settings.h"
#include "support/temp_dir.h"
#include "ui/file_dialogs.h"
#include "ui/message_boxes.h"
#include "ui/frame/store_saver.h"
#include "ui/ui_text.h"

namespace pw::ui::testing {

struct ShownMessage {
  MessageKind kind;
  QString text;
};

class RecordingBoxes final : public MessageBoxes {
 public:
  using MessageBoxes::show;
  bool show(QWidget*, MessageKind kind, const QString& message) override {
    shown.push_back({kind, message});
    return kind == MessageKind::question && answer_yes;
  }
  [[nodiscard]] bool only(MessageKind kind, int text_id) const {
    return shown.size() == 1 && shown[0].kind == kind && shown[0].text == ui::text(text_id);
  }
  std::vector<ShownMessage> shown;
  bool answer_yes = true;
};

class ScriptedFiles final : public FileDialogs {
 public:
  QString open_file(QWidget*, const QString& filter) override {
    filters.push_back(filter);
    return open_name;
  }
  QString save_file(QWidget*, const QString& filter) override {
    filters.push_back(filter);
    return save_name;
  }
  QStringList open_files(QWidget*, const QString& filter) override {
    filters.push_back(filter);
    return open_names;
  }
  QString choose_folder(QWidget*, const QString& title) override {
    folder_titles.push_back(title);
    return folder;
  }
  QString open_name;
  QString save_name;
  QStringList open_names;
  QString folder;
  QStringList folder_titles;
  QStringList filters;
};

// Everything the views take, over a fresh program directory.
struct Stores {
  pw::test::TempDir temp;
  ProgramDir dir{temp.path()};
  RuleStore rules;
  RuleStoreUseCounter counter{rules};
  MailboxList mailboxes{dir, &counter};
  SystemSettings settings;
  RecordingBoxes boxes;
  ScriptedFiles files;
  StoreSaver saver{dir, mailboxes, rules, settings, boxes};

  Stores() { (void)dir.create_directories(); }

  Rule& add_rule(const std::string& name) {
    Rule rule;
    rule.name = name;
    rule.id = rules.take_next_id(settings.next_rule_id);
    return rules.add(std::move(rule));
  }
  std::shared_ptr<MailboxAccount> add_account(const std::string& address, bool paused = true) {
    MailboxRecord record;
    record.address = address;
    record.login_name = "user";
    record.password = "secret";
    record.pop_server = "pop.example.com";
    record.smtp_server = "smtp.example.com";
    record.smtp_login_name = "user";
    record.smtp_password = "secret";
    return mailboxes.create(record, paused);
  }
};

// While it lives, calls `work` with the next modal dialog of type D once
// its exec() has opened it (once only). The work ends the dialog (accept,
// reject or close). Declare it before the command that opens the dialog.
template <class D = QDialog>
class OnModal {
 public:
  explicit OnModal(std::function<void(D*)> work) {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this, work] {
      if (auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget())) {
        timer_.stop();
        ++seen_;
        work(dialog);
      }
    });
    timer_.start();
  }
  OnModal(const OnModal&) = delete;
  OnModal& operator=(const OnModal&) = delete;

  // How many times the dialog was opened (0 or 1).
  [[nodiscard]] int seen() const { return seen_; }

 private:
  QTimer timer_;
  int seen_ = 0;
};

// The texts of a menu's entries, "-" for a separator.
inline QStringList menu_texts(const QMenu* menu) {
  QStringList texts;
  for (const QAction* a : menu->actions()) texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
  return texts;
}

// The entry of `menu` (or of its submenus) for command `id`.
inline QAction* menu_action(const QMenu* menu, int id) {
  for (QAction* a : menu->actions()) {
    if (a->menu()) {
      if (QAction* inner = menu_action(a->menu(), id)) return inner;
    } else if (!a->isSeparator() && a->data().toInt() == id) {
      return a;
    }
  }
  return nullptr;
}

}  // namespace pw::ui::testing
