// The mail screens of the documentation screenshots: the viewer with a
// plain-text mail and its links, the viewer with an HTML mail, an embedded
// picture and attachments, and remote management with marks on a
// throwaway Dovecot.
#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>
#include <QTreeWidget>

#include <cstdio>

#include "app/main_frame.h"
#include "app/pelliwick_app.h"
#include "tools/sample_text.h"
#include "base/local_time.h"
#include "engine/mail_processor.h"
#include "support/dovecot_server.h"
#include "ui/gb_qstring.h"
#include "ui/host/host_dialogs.h"
#include "ui/mail/mail_viewer.h"
#include "ui/mail/remote_manager.h"
#include "ui/message_boxes.h"
#include "ui/host/qt_engine_host.h"
#include "ui/host/status_bar_sink.h"

bool save(QWidget* widget, const QString& file);

namespace {

using pw::ui::to_gb;

std::string gb(const char* utf8) { return to_gb(QString::fromUtf8(pw::tools::sample(utf8))); }

std::string text_mail() {
  return "From: " + gb("李娜") + " <li.na@example.com>\r\nTo: zhang.wei@example.com\r\nCc: wang.q@example.org\r\n"
         "Subject: " + gb("本周例会纪要") + "\r\nDate: Tue, 08 Dec 2026 09:12:40 +0800\r\n"
         "Content-Type: text/plain; charset=gb2312\r\n\r\n" +
         gb("张伟，你好：\r\n\r\n本周例会的纪要已经放在 http://wiki.example.com/meeting/2026-12-08 ，"
            "请在周五前看一遍。\r\n需要修改的地方直接回信给我 li.na@example.com，"
            "或者抄送 admin@example.com。\r\n资料也可以从 ftp://files.example.com/meeting/ 下载。\r\n\r\n李娜\r\n");
}

std::string chart_png() {
  QImage image(260, 110, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter g(&image);
  g.setRenderHint(QPainter::Antialiasing);
  const int values[] = {40, 65, 52, 88, 73};
  for (int k = 0; k < 5; ++k) {
    g.setBrush(QColor(60 + 30 * k, 120, 200 - 25 * k));
    g.setPen(Qt::NoPen);
    g.drawRect(20 + k * 48, 100 - values[k], 34, values[k]);
  }
  g.setPen(Qt::darkGray);
  g.drawLine(10, 100, 250, 100);
  g.end();
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  QByteArray b64 = png.toBase64();
  std::string out;
  for (qsizetype i = 0; i < b64.size(); i += 76) out += b64.mid(i, 76).toStdString() + "\r\n";
  return out;
}

std::string attachment(const std::string& name, const char* type, const std::string& data) {
  return "--mixed\r\nContent-Type: " + std::string(type) + "; name=\"" + name +
         "\"\r\nContent-Disposition: attachment; filename=\"" + name +
         "\"\r\nContent-Transfer-Encoding: base64\r\n\r\n" + QByteArray::fromStdString(data).toBase64().toStdString() +
         "\r\n";
}

std::string html_mail() {
  const std::string html = gb(
      "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\"></head><body>"
      "<h3>十二月销售简报</h3><p>各位好，附上本月<b>各区销售额</b>：</p>"
      "<p><img src=\"cid:chart1@example.com\"></p>"
      "<p>合同草稿与报价单见附件，照片打包在 photos.zip 里。</p><p>周建</p></body></html>");
  return "From: " + gb("周建") + " <zhou.j@example.com>\r\nTo: zhang.wei@example.com\r\nSubject: " +
         gb("十二月销售简报（附件）") + "\r\nDate: Tue, 08 Dec 2026 10:02:11 +0800\r\nMIME-Version: 1.0\r\n"
         "Content-Type: multipart/mixed; boundary=\"mixed\"\r\n\r\n"
         "--mixed\r\nContent-Type: multipart/related; boundary=\"related\"\r\n\r\n"
         "--related\r\nContent-Type: text/html; charset=gb2312\r\n\r\n" + html + "\r\n"
         "--related\r\nContent-Type: image/png; name=\"chart.png\"\r\nContent-ID: <chart1@example.com>\r\n"
         "Content-Transfer-Encoding: base64\r\n\r\n" + chart_png() + "--related--\r\n" +
         attachment(gb("合同草稿.pdf"), "application/pdf", "%PDF-1.4") +
         attachment(gb("报价单.xlsx"), "application/vnd.ms-excel", "PK") +
         attachment("photos.zip", "application/zip", "PK") + "--mixed--\r\n";
}

bool wait_for(const std::function<bool()>& done, int ms) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 50);
  return done();
}

}  // namespace

int mail_screenshots(pw::app::CPelliwickApp& app, const QDir& out) {
  int failures = 0;
  std::shared_ptr<pw::MailboxAccount> account = app.mailboxes().at(0);
  const pw::ui::ViewerServices viewer{app.mailboxes().uid_dir().parent_path() / "MailTemp", [](const QUrl&) { return true; }, {}};
  for (auto [name, text] : {std::pair{"mail_viewer_text.png", text_mail()}, std::pair{"mail_viewer_html.png", html_mail()}}) {
    pw::MailSummary summary;
    summary.mail_text = text;
    summary.full_text = true;
    pw::MailProcessor mail(std::move(summary), *account);
    pw::ui::CMailViewer dialog(mail, viewer, app.frame());
    dialog.resize(680, 500);
    dialog.show();
    QApplication::processEvents();
    failures += !save(&dialog, out.filePath(QString::fromLatin1(name)));
  }

  pw::test::DovecotServer server;
  if (!server.start({{"zhang.wei", "secret"}})) {
    std::fprintf(stderr, "FAILED to start Dovecot: %s\n", server.error().c_str());
    return failures + 1;
  }
  const char* mails[][2] = {{"王强 <wang.q@example.org>", "订单 2026-1208-07"},
                            {"陈静 <chen.j@example.net>", "询价：办公椅 200 把"},
                            {"promo@ads.example", "限时优惠！全场五折"},
                            {"李娜 <li.na@example.com>", "本周例会纪要"},
                            {"周建 <zhou.j@example.com>", "合同草稿（附件）"},
                            {"newsletter@news.example", "十二月行业通讯"}};
  int k = 0;
  for (auto& m : mails) {
    std::string body(1500 + 2100 * k++, 'x');
    server.deliver("zhang.wei", "From: " + gb(m[0]) + "\nTo: zhang.wei@example.com\nSubject: " + gb(m[1]) +
                                    "\nDate: Tue, 08 Dec 2026 0" + std::to_string(k) + ":15:00 +0800\n\n" + body + "\n");
  }
  pw::MailboxRecord record = account->record();
  record.pop_server = server.server_field();
  account->set_record(record);

  pw::SystemClock clock;
  pw::ui::QtMessageBoxes boxes;
  pw::ui::QtHostDialogs dialogs;
  pw::ui::QtEngineHost host(app.frame(), app.frame()->status_sink(), boxes, dialogs);
  pw::ui::RemoteServices services{host, app.log(), app.local_mail(), clock, boxes};
  services.backup_dir = [](QWidget*) { return gb("/home/zhang/邮件备份"); };
  services.forward_dialog = [](QWidget*, pw::ExtraOperations& e) {
    e.forward.to = "caiwu@example.cn;";
    return true;
  };
  services.reply_dialog = [](QWidget*, pw::ExtraOperations& e) {
    e.reply.subject = gb("已收到询价");
    return true;
  };
  pw::ui::CRemoteManager dialog(account, pw::ui::CRemoteManager::Mode::all_mails, services, app.frame());
  dialog.resize(960, 300);
  dialog.show();
  if (!wait_for([&] { return dialog.operate_button()->isEnabled(); }, 20000)) return failures + 1;
  auto mark = [&](std::initializer_list<int> rows, char toggle) {
    dialog.list()->clearSelection();
    for (int r : rows) dialog.list()->topLevelItem(r)->setSelected(true);
    dialog.toggle(toggle)->click();
  };
  mark({0, 4}, 'S');
  mark({0}, 'F');
  mark({1}, 'R');
  mark({1, 3}, 'T');
  mark({2}, 'D');
  mark({5}, 'D');
  dialog.list()->clearSelection();
  dialog.list()->topLevelItem(0)->setSelected(true);
  QApplication::processEvents();
  failures += !save(&dialog, out.filePath(QStringLiteral("remote_management.png")));
  dialog.cancel();
  return failures;
}
