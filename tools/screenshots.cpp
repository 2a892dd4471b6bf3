// Renders the documentation screenshots: fills a fresh program directory
// with two mailboxes, three rules and a month of log and local-mail rows,
// and an address book, then grabs the main window (also maximised on the
// operation log), the first-run question, the mailbox dialog, the
// rule editor with three of its dialogs, the tray menu, the confirmation
// window over two mails and with the mail viewer over it, the main window
// after a mailbox's check failed, the settings dialog, the address book, the
// recipient picker, the mail viewer and remote management.
//   pelliwick_screenshots DATA_DIR OUT_DIR
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <QTreeWidget>

#include <cstdio>

#include "app/main_frame.h"
#include "app/pelliwick_app.h"
#include "app/qt_translations.h"
#include "app/system_tray.h"
#include "tools/sample_text.h"
#include "base/file_io.h"
#include "engine/check_run.h"
#include "engine/mail_processor.h"
#include "net/dial_up.h"
#include "res/language.h"
#include "res/string_table.h"
#include "rules/rule_store.h"
#include "stores/mailbox_list.h"
#include "stores/run_at_startup.h"
#include "ui/confirm/confirm_mails_dialog.h"
#include "ui/rules/extra_editors.h"
#include "ui/mail/mail_viewer.h"
#include "ui/frame/command_ids.h"
#include "ui/gb_qstring.h"
#include "ui/file_dialogs.h"
#include "ui/settings/mailbox_dialog.h"
#include "ui/rules/forward_dialog.h"
#include "ui/rules/reply_dialog.h"
#include "ui/rules/rule_editor_dialog.h"
#include "ui/rules/word_list_dialog.h"
#include "ui/message_boxes.h"
#include "ui/settings/address_book_dialog.h"
#include "ui/settings/recipient_picker_dialog.h"
#include "ui/settings/settings_dialog.h"
#include "ui/frame/user_info_view.h"
#include "ui/frame/user_tree_view.h"

// In mail_screenshots.cpp: the viewer and remote management; the failures.
int mail_screenshots(pw::app::CPelliwickApp& app, const QDir& out);
bool save(QWidget* widget, const QString& file);

namespace {

using pw::ui::to_gb;

QString sample_q(const char* chinese) { return QString::fromUtf8(pw::tools::sample(chinese)); }

// The connections a NetworkManager might offer.
class SampleConnections final : public pw::DialUp {
 public:
  std::vector<std::string> list_entries() override {
    return {to_gb(sample_q("有线连接 1")), to_gb(sample_q("宽带拨号")), to_gb(sample_q("移动热点"))};
  }
  pw::DialResult dial(const pw::DialRequest&) override { return {}; }
  void hang_up() override {}
};

void fill(pw::app::CPelliwickApp& app) {
  pw::SystemSettings& settings = app.settings();
  for (const char* name : {"垃圾邮件直接删除", "订单邮件转发给财务", "备份客户来信"}) {
    pw::Rule rule;
    rule.name = to_gb(sample_q(name));
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
    app.log().write(r.account, to_gb(sample_q(r.sender)), r.account, to_gb(sample_q(r.subject)),
                    to_gb(QString::fromUtf8(r.operation)), r.ok);
  pw::AddressBook& book = app.address_book();
  const char* people[][3] = {{"财务部", "caiwu@example.cn", "月底对账"},
                             {"李娜", "li.na@example.com", "项目经理"},
                             {"王强", "wang.q@example.org", "老客户"},
                             {"周建", "zhou.j@example.com", ""}};
  std::vector<uint32_t> ids;
  for (const auto& p : people)
    ids.push_back(book.add_contact({to_gb(sample_q(p[0])), p[1], to_gb(sample_q(p[2])), 0}));
  pw::ContactGroup& team = book.add_group(to_gb(sample_q("项目组")));
  (void)book.add_member(team, ids[1]);
  (void)book.add_member(team, ids[3]);
  (void)book.add_group(to_gb(sample_q("客户")));
  // No check at start: the pictures must not start a check.
  settings.options = pw::SystemSettings::kAutoDial | pw::SystemSettings::kHangUp | pw::SystemSettings::kPurgeLogs;
  settings.dial_entry = to_gb(sample_q("宽带拨号"));
  settings.phone_number = "16300";
  settings.dial_user = "zhang.wei";
  settings.months_to_keep = 6;
  settings.shutdown_hour = 23;
  settings.shutdown_minute = 30;
  app.local_mail().add(false, "zhang.wei@example.com", to_gb(sample_q("李娜 <li.na@example.com>")),
                       to_gb(sample_q("本周例会纪要")), "2026/12/08 09:12:40", 18432,
                       pw::tools::sample("/home/zhang/邮件备份/本周例会纪要.eml"));
  app.local_mail().add(true, "zhang.wei@example.com", to_gb(sample_q("周建 <zhou.j@example.com>")),
                       to_gb(sample_q("合同草稿（附件）")), "2026/12/08 10:02:11", 245760,
                       pw::tools::sample("/home/zhang/邮件备份/合同草稿.eml"));
}

}  // namespace

// The operation log filling the whole screen. Xvfb runs no window manager
// to maximise the window: it is given the screen's size as well.
static bool log_maximised_shot(pw::app::CMainFrame* frame, const QString& file) {
  const QRect normal = frame->geometry();
  frame->setWindowState(Qt::WindowMaximized);
  if (QScreen* screen = frame->screen()) frame->setGeometry(screen->availableGeometry());
  QApplication::processEvents();
  const bool ok = save(frame, file);
  frame->setWindowState(Qt::WindowNoState);
  frame->setGeometry(normal);
  QApplication::processEvents();
  return ok;
}

// The question of the first start, as the program asks it.
static bool first_run_shot(pw::ui::MessageBoxes& boxes, const QString& file) {
  bool ok = false;
  QTimer::singleShot(300, [&] {
    auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!box) return;
    ok = save(box, file);
    box->reject();
  });
  (void)boxes.show(nullptr, pw::ui::MessageKind::question, pw::sid::kAskFirstRun);
  return ok;
}

bool save(QWidget* widget, const QString& file) {
  const bool ok = widget->grab().save(file);
  std::fprintf(stderr, "%s %s\n", ok ? "wrote" : "FAILED", qPrintable(file));
  return ok;
}

namespace {

// An asking rule with a 30-second countdown that forwards and deletes.
pw::Rule order_rule() {
  pw::Rule rule;
  rule.name = to_gb(sample_q("订单邮件转发给财务"));
  rule.action_mask = 0x01 | 0x02 | 0x40;
  rule.confirm_seconds = 30;
  rule.forward.to = "caiwu@example.cn;";
  return rule;
}

// The confirmation window over two new mails of the first mailbox, both met
// by an asking rule that forwards and deletes; the first also forwarded once
// more and deleted by extra operations, the second held only by its header.
bool confirm_window_shot(pw::app::CPelliwickApp& app, pw::ui::MessageBoxes& boxes, QWidget* parent,
                         const QString& file) {
  const pw::Rule rule = order_rule();
  const char* mails[][3] = {{"王强 <wang.q@example.org>", "订单 2026-1208-07", "Tue, 8 Dec 2026 09:30:12 +0800"},
                            {"陈静 <chen.j@example.net>", "订单 2026-1208-11", "Tue, 8 Dec 2026 10:05:47 +0800"}};
  std::vector<std::unique_ptr<pw::MailProcessor>> held;
  std::vector<pw::MailProcessor*> list;
  for (int k = 0; k < 2; ++k) {
    pw::MailSummary summary;
    summary.uid = "shot" + std::to_string(k);
    summary.mail_text = to_gb(QStringLiteral("From: %1\r\nTo: sales@example.cn\r\nSubject: %2\r\nDate: %3\r\n")
                                  .arg(sample_q(mails[k][0]), sample_q(mails[k][1]),
                                       QString::fromUtf8(mails[k][2])));
    summary.size = k == 0 ? 48213 : 1536;
    summary.full_text = k == 0;
    held.push_back(std::make_unique<pw::MailProcessor>(std::move(summary), *app.mailboxes().at(0)));
    held.back()->add_rule(rule);
    list.push_back(held.back().get());
  }
  pw::ExtraOperations& extra = held[0]->extra();
  extra.operations = pw::ExtraOperations::kForward | pw::ExtraOperations::kDelete;
  extra.forward.to = "zhang.wei@example.com;li.na@example.com;";
  pw::ui::QtFileDialogs files;
  pw::ui::QtExtraEditors editors(boxes, files, {});
  pw::ui::ConfirmMailsDialog dialog(parent, app.mailboxes().at(0)->address(), list, 30, {boxes, editors});
  dialog.show();
  QApplication::processEvents();
  return save(&dialog, file);
}

// What the screen shows around `area`: windows over windows, tool tips.
bool save_screen(const QRect& area, const QString& file) {
  QApplication::processEvents();
  const bool ok = QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(), area.height())
                      .save(file);
  std::fprintf(stderr, "%s %s\n", ok ? "wrote" : "FAILED", qPrintable(file));
  return ok;
}

// The confirmation window with the mail viewer over it: opening the mail
// stopped the countdown ("自动计时终止" at the bottom left).
bool confirm_with_viewer_shot(pw::app::CPelliwickApp& app, pw::ui::MessageBoxes& boxes, QWidget* parent,
                              const QString& file) {
  const pw::Rule rule = order_rule();
  pw::MailSummary summary;
  summary.uid = "viewer-shot";
  summary.mail_text = to_gb(QStringLiteral("From: %1\r\nTo: sales@example.cn\r\nSubject: %2\r\n"
                                           "Date: Tue, 8 Dec 2026 09:30:12 +0800\r\n"
                                           "Content-Type: text/plain; charset=utf-8\r\n\r\n%3")
                                .arg(sample_q("王强 <wang.q@example.org>"), sample_q("订单 2026-1208-07"),
                                     sample_q("您好：\r\n\r\n附上本周订单，共 12 项，请安排发货。\r\n\r\n王强\r\n")));
  summary.size = 48213;
  summary.full_text = true;
  pw::MailProcessor mail(std::move(summary), *app.mailboxes().at(0));
  mail.add_rule(rule);
  std::vector<pw::MailProcessor*> list{&mail};
  pw::ui::QtFileDialogs files;
  pw::ui::QtExtraEditors editors(boxes, files, {});
  const pw::ui::ViewerServices viewer_services{app.mailboxes().uid_dir().parent_path() / "MailTemp",
                                               [](const QUrl&) { return true; }, {}};
  bool ok = false;
  pw::ui::ConfirmMailsDialog* shown = nullptr;
  auto view = [&](QWidget* over, pw::MailProcessor& held) {
    pw::ui::CMailViewer viewer(held, viewer_services, over);
    viewer.move(shown->geometry().topLeft() + QPoint(160, 150));
    viewer.show();
    QApplication::processEvents();
    ok = save_screen(shown->frameGeometry().united(viewer.frameGeometry()).adjusted(-8, -8, 8, 8), file);
  };
  pw::ui::ConfirmMailsDialog dialog(parent, app.mailboxes().at(0)->address(), list, 30, {boxes, editors, {}, view});
  shown = &dialog;
  dialog.move(40, 40);
  dialog.show();
  QApplication::processEvents();
  dialog.findChild<QToolButton*>(QStringLiteral("viewMail"))->click();
  dialog.hide();
  return ok;
}

// The main window after a check of the first mailbox failed: its mark in the
// tree and the tool tip that says when and why.
bool failed_mailbox_shot(pw::app::CMainFrame* frame, pw::app::CPelliwickApp& app, const QString& file) {
  const std::string address = app.mailboxes().at(0)->address();
  // The record the failed check leaves in the operation log.
  (void)app.log().write(address, "", "", "", pw::res::record_text(pw::sid::kTimedOut), false);
  frame->info_view()->select_tab(pw::ui::CUserInfoView::kLogTab);
  frame->tree()->show_checks(
      {{address, pw::AccountCheck::Result::failed, pw::res::record_text(pw::sid::kTimedOut),
        static_cast<std::time_t>(1796707800)},
       {app.mailboxes().at(1)->address(), pw::AccountCheck::Result::ok, "", static_cast<std::time_t>(1796707800)}});
  QTreeWidgetItem* item = frame->tree()->item_of(*app.mailboxes().at(0));
  const QRect rect = frame->tree()->visualItemRect(item);
  const QPoint at = frame->tree()->viewport()->mapToGlobal(rect.center());
  QToolTip::showText(at, item->toolTip(0), frame->tree()->viewport(), rect);
  QApplication::processEvents();
  const bool ok = save_screen(frame->frameGeometry().adjusted(-4, -4, 4, 4), file);
  QToolTip::hideText();
  return ok;
}

// A rule with every condition and most actions, each with its parameter.
pw::Rule full_rule() {
  pw::Rule r;
  r.name = to_gb(sample_q("订单邮件转发给财务"));
  for (pw::ConditionKind kind : pw::kConditionKinds) r.condition_mask |= pw::bit(kind);
  const char* words[] = {"sales@example.cn;订单中心;", "caiwu@example.cn;", "boss@example.cn;",
                         "caiwu@example.cn;", "订单;发票;",        "金额;"};
  for (size_t i = 0; i < r.word_lists.size(); ++i) r.word_lists[i] = to_gb(sample_q(words[i]));
  r.sense_mask &= ~pw::bit(pw::ConditionKind::copy_words);
  r.all_words_mask &= ~pw::bit(pw::ConditionKind::subject_words);
  r.age_hours = 48;
  r.size_kb = 500;
  r.sense_mask &= ~pw::bit(pw::ConditionKind::size);
  r.body_pattern = to_gb(sample_q("订单号：*<#1 min=6>\r\n金额：*<#2>"));
  r.action_mask = 0x01 | 0x02 | 0x04 | 0x10 | 0x40;
  r.confirm_seconds = 30;
  r.forward.to = "caiwu@example.cn;boss@example.cn;";
  r.forward.change_headers = true;
  r.forward.shown_subject = to_gb(sample_q("订单 #1#"));
  r.reply.subject = to_gb(sample_q("回复：#S#"));
  r.reply.text = to_gb(sample_q("您好，订单 #1# 已收到，金额 #2#。\r\n财务部"));
  r.reply.attachments = {to_gb(sample_q("/home/zhang/文档/付款说明.pdf"))};
  r.key_info_template = to_gb(sample_q("#D# #F# 订单#1# 金额#2#"));
  r.key_info_file = to_gb(sample_q("/home/zhang/订单.txt"));
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
  pw::ui::ForwardDialog forward({rule.forward.to, true, "", "", rule.forward.shown_subject}, boxes, nullptr, &editor);
  shot(&forward, "rule_forward_dialog.png");
  pw::ui::ReplyDialog reply({false, "", rule.reply.subject, rule.reply.text, rule.reply.attachments},
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
  // The language of the pictures follows the locale, as the program's does.
  pw::res::set_language(pw::res::language_from_environment());
  if (pw::res::language() == pw::res::Language::chinese) (void)pw::app::install_qt_translations(qt);
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
    failures += !log_maximised_shot(frame, out.filePath(QStringLiteral("main_window_log_maximised.png")));
    frame->info_view()->select_tab(pw::ui::CUserInfoView::kLocalMailTab);
    failures += !save(frame, out.filePath(QStringLiteral("main_window_local_mail.png")));
    failures += !first_run_shot(boxes, out.filePath(QStringLiteral("first_run_question.png")));

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

    failures += mail_screenshots(app, out);
    failures += !confirm_window_shot(app, boxes, frame, out.filePath(QStringLiteral("confirm_window.png")));
    failures += !confirm_with_viewer_shot(app, boxes, frame, out.filePath(QStringLiteral("confirm_window_viewer.png")));
    failures += !failed_mailbox_shot(frame, app, out.filePath(QStringLiteral("failed_mailbox.png")));
    SampleConnections connections;
    pw::RunAtStartup autostart(QDir::tempPath().toStdString(), "/usr/bin/pelliwick");
    pw::ui::CSettingsDialog settings(app.settings(), connections, autostart, boxes, frame);
    settings.show();
    QApplication::processEvents();
    failures += !save(&settings, out.filePath(QStringLiteral("settings_dialog.png")));
    settings.hide();

    pw::ui::CAddressBookDialog book(app.address_book(), boxes, frame);
    book.show();
    auto* groups = book.findChild<QTreeWidget*>(QStringLiteral("groups"));
    groups->topLevelItem(0)->setSelected(true);
    book.findChild<QTreeWidget*>(QStringLiteral("allContacts"))->topLevelItem(1)->setSelected(true);
    QApplication::processEvents();
    failures += !save(&book, out.filePath(QStringLiteral("address_book.png")));
    book.hide();

    pw::ui::CRecipientPickerDialog picker(app.address_book(), frame);
    picker.show();
    picker.findChild<QTreeWidget*>(QStringLiteral("groups"))->topLevelItem(0)->setCheckState(0, Qt::Checked);
    picker.findChild<QTreeWidget*>(QStringLiteral("contacts"))->topLevelItem(0)->setCheckState(0, Qt::Checked);
    QApplication::processEvents();
    failures += !save(&picker, out.filePath(QStringLiteral("recipient_picker.png")));
    picker.hide();

    QApplication::exit(0);
  });
  QApplication::exec();
  app.exit();
  return failures == 0 ? 0 : 1;
}
