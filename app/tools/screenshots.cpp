// Renders the documentation screenshots: fills a fresh program directory
// with two mailboxes, three rules and a month of log and local-mail rows,
// then grabs the main window, the mailbox dialog, the rule editor with
// three of its dialogs and the tray menu.
//   pelliwick_screenshots DATA_DIR OUT_DIR
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QTimer>

#include <cstdio>

#include "app/main_frame.h"
#include "app/pelliwick_app.h"
#include "app/system_tray.h"
#include "base/file_io.h"
#include "rules/rule_store.h"
#include "stores/mailbox_list.h"
#include "ui/command_ids.h"
#include "ui/gb_qstring.h"
#include "ui/file_dialogs.h"
#include "ui/mailbox_dialog.h"
#include "ui/rules/forward_dialog.h"
#include "ui/rules/reply_dialog.h"
#include "ui/rules/rule_editor_dialog.h"
#include "ui/rules/word_list_dialog.h"
#include "ui/message_boxes.h"
#include "ui/user_info_view.h"
#include "ui/user_tree_view.h"

namespace {

using pw::ui::to_gb;

void fill(pw::app::CPelliwickApp& app) {
  pw::SystemSettings& settings = app.settings();
  for (const char* name : {"垃圾邮件直接删除", "订单邮件转发给财务", "备份客户来信"}) {
    pw::Rule rule;
    rule.name = to_gb(QString::fromUtf8(name));
    rule.id = app.rules().take_next_id(settings.next_rule_id);
    app.rules().add(std::move(rule));
  }
  const char* addresses[] = {"zhang.wei@example.com", "sales@example.cn"};
  for (int i = 0; i < 2; ++i) {
    pw::MailboxRecord record;
    record.address = addresses[i];
    record.login_name = i == 0 ? "zhang.wei" : "sales";
    record.password = "secret";
    record.pop_server = i == 0 ? "pop.example.com" : "pop.example.cn:1110";
    record.smtp_server = i == 0 ? "smtp.example.com" : "smtp.example.cn";
    auto account = app.mailboxes().create(record, false);
    for (size_t r = 0; r < app.rules().count(); ++r)
      if (r != static_cast<size_t>(i)) app.mailboxes().bind(*account, static_cast<uint32_t>(app.rules().at(r)->id));
  }
  struct Row {
    const char* account;
    const char* sender;
    const char* subject;
    const char* operation;
    bool ok;
  };
  const Row rows[] = {
      {"zhang.wei@example.com", "李娜 <li.na@example.com>", "本周例会纪要", "邮件备份到 /home/zhang/邮件备份", true},
      {"zhang.wei@example.com", "promo@ads.example", "限时优惠！", "从服务器上删除邮件", true},
      {"sales@example.cn", "王强 <wang.q@example.org>", "订单 2026-1208-07", "转发给 caiwu@example.cn;", true},
      {"sales@example.cn", "陈静 <chen.j@example.net>", "询价：办公椅 200 把", "回复邮件", false},
  };
  for (const Row& r : rows)
    app.log().write(r.account, to_gb(QString::fromUtf8(r.sender)), r.account, to_gb(QString::fromUtf8(r.subject)),
                    to_gb(QString::fromUtf8(r.operation)), r.ok);
  app.local_mail().add(false, "zhang.wei@example.com", to_gb(QStringLiteral("李娜 <li.na@example.com>")),
                       to_gb(QStringLiteral("本周例会纪要")), "2026/12/08 09:12:40", 18432,
                       "/home/zhang/邮件备份/本周例会纪要.eml");
  app.local_mail().add(true, "zhang.wei@example.com", to_gb(QStringLiteral("周建 <zhou.j@example.com>")),
                       to_gb(QStringLiteral("合同草稿（附件）")), "2026/12/08 10:02:11", 245760,
                       "/home/zhang/邮件备份/合同草稿.eml");
}

bool save(QWidget* widget, const QString& file) {
  const bool ok = widget->grab().save(file);
  std::fprintf(stderr, "%s %s\n", ok ? "wrote" : "FAILED", qPrintable(file));
  return ok;
}

// A rule with every condition and most actions, each with its parameter.
pw::Rule full_rule() {
  pw::Rule r;
  r.name = to_gb(QStringLiteral("订单邮件转发给财务"));
  for (pw::ConditionKind kind : pw::kConditionKinds) r.condition_mask |= pw::bit(kind);
  const char* words[] = {"sales@example.cn;订单中心;", "caiwu@example.cn;", "boss@example.cn;",
                         "caiwu@example.cn;", "订单;发票;",        "金额;"};
  for (size_t i = 0; i < r.word_lists.size(); ++i) r.word_lists[i] = to_gb(QString::fromUtf8(words[i]));
  r.sense_mask &= ~pw::bit(pw::ConditionKind::copy_words);
  r.all_words_mask &= ~pw::bit(pw::ConditionKind::subject_words);
  r.age_hours = 48;
  r.size_kb = 500;
  r.sense_mask &= ~pw::bit(pw::ConditionKind::size);
  r.body_pattern = to_gb(QStringLiteral("订单号：*<#1 min=6>\r\n金额：*<#2>"));
  r.action_mask = 0x01 | 0x02 | 0x04 | 0x10 | 0x40;
  r.confirm_seconds = 30;
  r.forward_to = "caiwu@example.cn;boss@example.cn;";
  r.forward_change_headers = true;
  r.forward_shown_subject = to_gb(QStringLiteral("订单 #1#"));
  r.reply_subject = to_gb(QStringLiteral("回复：#S#"));
  r.reply_text = to_gb(QStringLiteral("您好，订单 #1# 已收到，金额 #2#。\r\n财务部"));
  r.reply_attachments = {to_gb(QStringLiteral("/home/zhang/文档/付款说明.pdf"))};
  r.key_info_template = to_gb(QStringLiteral("#D# #F# 订单#1# 金额#2#"));
  r.key_info_file = to_gb(QStringLiteral("/home/zhang/订单.txt"));
  return r;
}

int rule_screenshots(QWidget* parent, pw::ui::MessageBoxes& boxes, pw::ui::FileDialogs& files,
                     const pw::RuleStore& rules, const QDir& out) {
  int failures = 0;
  const pw::Rule rule = full_rule();
  auto shot = [&](QDialog* dialog, const char* name) {
    dialog->show();
    QApplication::processEvents();
    failures += !save(dialog, out.filePath(QString::fromLatin1(name)));
    dialog->hide();
  };
  pw::ui::RuleEditorDialog editor(rule, nullptr, rules, boxes, files, nullptr, parent);
  editor.resize(540, 980);
  shot(&editor, "rule_editor.png");
  pw::ui::WordListDialog words(pw::ConditionKind::sender_words, rule.word_lists[0], true, true, boxes, &editor);
  shot(&words, "rule_word_list_dialog.png");
  pw::ui::ForwardDialog forward({rule.forward_to, true, "", "", rule.forward_shown_subject}, boxes, nullptr, &editor);
  shot(&forward, "rule_forward_dialog.png");
  pw::ui::ReplyDialog reply({false, "", rule.reply_subject, rule.reply_text, rule.reply_attachments},
                            rule.body_pattern, boxes, files, &editor);
  shot(&reply, "rule_reply_dialog.png");
  return failures;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication qt(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s DATA_DIR OUT_DIR\n", argv[0]);
    return 2;
  }
  const QDir out(QString::fromLocal8Bit(argv[2]));
  pw::ui::QtMessageBoxes boxes;
  pw::ui::QtFileDialogs files;
  pw::app::AppOptions options;
  options.dir = pw::ProgramDir(argv[1]);
  options.instance_name = QStringLiteral("pelliwick-screenshots");
  options.boxes = &boxes;
  // No first-run question in the pictures.
  options.first_run_marker = options.dir.file("first-run-done");
  (void)pw::write_file_atomic(options.first_run_marker, "");
  {
    // Written and saved first, so the views read them as at any start.
    pw::app::CPelliwickApp first(options);
    if (!first.start()) return 1;
    fill(first);
    first.exit();
  }
  pw::app::CPelliwickApp app(options);
  if (!app.start()) return 1;
  pw::app::CMainFrame* frame = app.frame();
  frame->tree()->setCurrentItem(frame->tree()->root());
  frame->info_view()->select_tab(pw::ui::CUserInfoView::kLogTab);
  int failures = 0;
  QTimer::singleShot(1500, [&] {
    frame->tick_countdown();
    frame->tick_countdown();
    QApplication::processEvents();
    failures += !save(frame, out.filePath(QStringLiteral("main_window.png")));
    frame->info_view()->select_tab(pw::ui::CUserInfoView::kLocalMailTab);
    failures += !save(frame, out.filePath(QStringLiteral("main_window_local_mail.png")));

    pw::ui::CMailboxDialog dialog(app.mailboxes(), boxes, app.mailboxes().at(1).get(), frame);
    dialog.show();
    QApplication::processEvents();
    failures += !save(&dialog, out.filePath(QStringLiteral("mailbox_dialog.png")));
    dialog.hide();

    failures += rule_screenshots(frame, boxes, files, app.rules(), out);

    QMenu* menu = frame->tray()->menu();
    frame->update_commands();
    menu->popup(frame->geometry().center());
    QApplication::processEvents();
    failures += !save(menu, out.filePath(QStringLiteral("tray_menu.png")));
    menu->hide();

    QApplication::exit(0);
  });
  QApplication::exec();
  app.exit();
  return failures == 0 ? 0 : 1;
}
