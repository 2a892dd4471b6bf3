// Renders the documentation screenshots: fills a fresh program directory
// with two mailboxes, three rules and a month of log and local-mail rows,
// then grabs the main window, the mailbox dialog, the tray menu, the mail
// viewer and remote management.
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
#include "ui/mailbox_dialog.h"
#include "ui/message_boxes.h"
#include "ui/user_info_view.h"
#include "ui/user_tree_view.h"

// In mail_screenshots.cpp: the viewer and remote management; the failures.
int mail_screenshots(pw::app::CPelliwickApp& app, const QDir& out);
bool save(QWidget* widget, const QString& file);

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

}  // namespace

bool save(QWidget* widget, const QString& file) {
  const bool ok = widget->grab().save(file);
  std::fprintf(stderr, "%s %s\n", ok ? "wrote" : "FAILED", qPrintable(file));
  return ok;
}

int main(int argc, char** argv) {
  QApplication qt(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s DATA_DIR OUT_DIR\n", argv[0]);
    return 2;
  }
  const QDir out(QString::fromLocal8Bit(argv[2]));
  pw::ui::QtMessageBoxes boxes;
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

    QMenu* menu = frame->tray()->menu();
    frame->update_commands();
    menu->popup(frame->geometry().center());
    QApplication::processEvents();
    failures += !save(menu, out.filePath(QStringLiteral("tray_menu.png")));
    menu->hide();

    failures += mail_screenshots(app, out);

    QApplication::exit(0);
  });
  QApplication::exec();
  app.exit();
  return failures == 0 ? 0 : 1;
}
