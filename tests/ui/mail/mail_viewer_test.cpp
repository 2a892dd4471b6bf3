// The mail viewer: links found in plain text and what a click opens, the
// header block, the HTML view that loads nothing from the network, and
// attachments written only inside MailTemp.
#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTcpServer>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <thread>

#include "base/file_io.h"
#include "engine/mail_processor.h"
#include "res/string_ids.h"
#include "ui/gb_qstring.h"
#include "ui/mail/html_ctrl.h"
#include "ui/mail/mail_links.h"
#include "ui/mail/mail_viewer.h"
#include "ui/view_fixture.h"

using namespace pw;
using namespace pw::ui;
using namespace pw::ui::testing;

namespace {

std::unique_ptr<MailProcessor> processor(MailboxAccount& account, std::string text) {
  MailSummary mail;
  mail.mail_text = std::move(text);
  mail.full_text = true;
  return std::make_unique<MailProcessor>(std::move(mail), account);
}

// A PNG picture of the given size.
std::string png_of(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(Qt::blue);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes.toStdString();
}

// The size each picture of `doc` is shown at, by its address, as the
// document's layout reads it.
std::map<std::string, QSize> picture_sizes(QTextDocument& doc) {
  std::map<std::string, QSize> out;
  QTextObjectInterface* handler = doc.documentLayout()->handlerForObject(QTextFormat::ImageObject);
  for (QTextBlock block = doc.begin(); block.isValid(); block = block.next())
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      if (!fragment.charFormat().isImageFormat()) continue;
      const QTextImageFormat format = fragment.charFormat().toImageFormat();
      out[format.name().toStdString()] = handler->intrinsicSize(&doc, fragment.position(), format).toSize();
    }
  return out;
}

// Each link of `text` as its target, in order.
QStringList targets(const std::string& text) {
  QStringList out;
  for (const MailLink& link : find_mail_links(text)) out << QString::fromStdString(link_target(text, link));
  return out;
}

const char kMixedMail[] =
    "From: Li <li@example.com>\r\nTo: zhang@example.com\r\nSubject: pictures\r\n"
    "Date: Tue, 08 Dec 2026 10:00:00 +0800\r\nMIME-Version: 1.0\r\n"
    "Content-Type: multipart/mixed; boundary=\"b1\"\r\n\r\n"
    "--b1\r\nContent-Type: text/plain\r\n\r\nsee www\r\n"
    "--b1\r\nContent-Type: text/html\r\n\r\n<p>hello</p>\r\n"
    "--b1\r\nContent-Type: application/octet-stream; name=\"../../evil.txt\"\r\n"
    "Content-Disposition: attachment; filename=\"../../evil.txt\"\r\n"
    "Content-Transfer-Encoding: base64\r\n\r\nZmlyc3Q=\r\n"
    "--b1\r\nContent-Type: application/octet-stream; name=\"evil.txt\"\r\n"
    "Content-Disposition: attachment; filename=\"evil.txt\"\r\n"
    "Content-Transfer-Encoding: base64\r\n\r\nc2Vjb25k\r\n"
    "--b1--\r\n";

}  // namespace

class MailViewerTest : public QObject {
  Q_OBJECT

 private slots:
  void linksAreFoundAndOpenedAsTheirKindWants() {
    struct Case {
      std::string text;
      QStringList expected;
    };
    const Case cases[] = {
        {"write to li@example.com.", {"mailto:li@example.com"}},
        // A dotted local part is still an address.
        {"john.doe@mail.example.org;", {"mailto:john.doe@mail.example.org"}},
        {"see HTTP://Example.com/a?b=1, or ftp://files.example.net/x.", {"HTTP://Example.com/a?b=1",
                                                                          "ftp://files.example.net/x"}},
        // A user in a URL does not make it an address.
        {"http://user@host.example/", {"http://user@host.example/"}},
        {"<http://example.com/x>\"", {"http://example.com/x"}},
        {"http:// bare prefix, @alone, a@nodot, a@.x, b@x.", {}},
        {"\xd6\xd0li@example.com\xce\xc4", {"mailto:li@example.com"}},
        // 0x41 ('A') as the trail byte of a character never joins an address.
        {"\x81\x41@example.com", {}},
    };
    for (const Case& c : cases) QCOMPARE(targets(c.text), c.expected);
  }

  void headerBlockShowsCopyOnlyWhenThereIsOne() {
    Stores stores;
    auto account = stores.add_account("zhang@example.com");
    test::TempDir temp;
    for (bool with_copy : {false, true}) {
      std::string mail = "From: li@example.com\r\nTo: zhang@example.com\r\n";
      if (with_copy) mail += "Cc: wang@example.com\r\n";
      mail += "Subject: hi\r\nDate: Tue, 08 Dec 2026 10:00:00 +0800\r\n\r\nbody\r\n";
      auto p = processor(*account, mail);
      CMailViewer viewer(*p, {temp.path(), [](const QUrl&) { return true; }, {}});
      const QString header = viewer.findChild<QTextEdit*>("headerBox")->toPlainText();
      QString expected = QStringLiteral("发件人：li@example.com\n收件人：zhang@example.com\n");
      if (with_copy) expected += QStringLiteral("抄送：wang@example.com\n");
      expected += QStringLiteral("主题：hi");
      QCOMPARE(header, expected);
      QVERIFY(viewer.findChild<QPushButton*>("htmlButton")->isHidden());
      QVERIFY(viewer.findChild<QListWidget*>("attachmentList")->isHidden());
    }
  }

  void clickedPlainTextLinkOpensItsTarget() {
    Stores stores;
    auto account = stores.add_account("zhang@example.com");
    test::TempDir temp;
    auto p = processor(*account, "From: a@b.example\r\nSubject: s\r\n\r\nmail li@example.com or http://x.example/\r\n");
    QList<QUrl> opened;
    CMailViewer viewer(*p, {temp.path(), [&](const QUrl& url) { return opened << url, true; }, {}});
    auto* plain = viewer.findChild<QTextBrowser*>("plainBox");
    emit plain->anchorClicked(QUrl("#1"));
    emit plain->anchorClicked(QUrl("#0"));
    QCOMPARE(opened, (QList<QUrl>{QUrl("http://x.example/"), QUrl("mailto:li@example.com")}));
  }

  void htmlViewLoadsNothingFromTheNetwork() {
    QTcpServer listener;
    QVERIFY(listener.listen(QHostAddress::LocalHost));
    int connections = 0;
    connect(&listener, &QTcpServer::newConnection, this, [&] { ++connections; });
    const std::string port = std::to_string(listener.serverPort());
    const std::string base = "http://127.0.0.1:" + port;
    test::TempDir temp;
    const std::string page = ("<html><head><link rel=\"stylesheet\" href=\"" + base + "/s.css\">"
                              "<style>@import url(" + base + "/i.css);</style></head><body>"
                              "<img src=\"" + base + "/a.png\"><img src=\"//127.0.0.1:" + port + "/b.png\">"
                              "<script>document.write('x')</script><a href=\"app:do-it\">go</a></body></html>");
    QVERIFY(write_file_atomic(temp.path() / "temp.htm", page));
    CHtmlCtrl view(temp.path());
    QStringList commands;
    view.app_command = [&](const QString& rest) { commands << rest; };
    view.resize(400, 300);
    view.show();
    view.navigate("temp.htm");
    QTest::qWait(300);
    QCOMPARE(connections, 0);
    QVERIFY(!view.toPlainText().contains("document.write"));
    emit view.anchorClicked(QUrl("APP:do-it"));
    QCOMPARE(commands, QStringList{"do-it"});
  }

  void htmlViewHoldsOnlyPlainFilesOfItsDirectory() {
    test::TempDir temp, outside;
    const auto dir = temp.path() / "MailTemp";
    std::filesystem::create_directories(dir);
    const std::string png = png_of(7, 5);
    for (const auto& path : {dir / "pic.png", temp.path() / "up.png", outside.path() / "secret.png"})
      QVERIFY(write_file_atomic(path, png));
    std::filesystem::create_symlink(outside.path() / "secret.png", dir / "link.png");
    QCOMPARE(::mkfifo((dir / "fifo.png").c_str(), 0600), 0);
    const std::string red = "p { color: #ff0000 }";
    QVERIFY(write_file_atomic(dir / "ok.css", "span { color: #00ff00 }"));
    QVERIFY(write_file_atomic(temp.path() / "up.css", red));
    QVERIFY(write_file_atomic(outside.path() / "out.css", red));
    const std::string base64 = QByteArray::fromStdString(png).toBase64().toStdString();
    // Past the size the view decodes, though its picture would still read.
    const std::string huge = base64 + std::string((size_t{3} << 20) - base64.size() % 4, 'A');
    const std::string file = "file://" + outside.path().string();

    struct Case {
      std::string src;
      QSize shown;
    };
    const QSize refused(1, 1);
    const Case cases[] = {
        {"pic.png", {7, 5}},
        {"data:image/png;base64," + base64, {7, 5}},
        {"file:///dev/zero", refused},
        {"fifo.png", refused},
        {"link.png", refused},
        {"../up.png", refused},
        {"MailTemp/../../up.png", refused},
        {file + "/secret.png", refused},
        {"data:image/png;base64," + huge, refused},
        {"http://127.0.0.1:1/x.png", refused},
    };
    std::string page = "<html><head>";
    for (const std::string& sheet : {std::string("file:///etc/passwd"), std::string("ok.css"),
                                     std::string("../up.css"), file + "/out.css"})
      page += "<link rel=\"stylesheet\" type=\"text/css\" href=\"" + sheet + "\">";
    page += "</head><body>";
    for (const Case& c : cases) page += "<img src=\"" + c.src + "\">";
    page += "<p>plain <span>green</span></p></body></html>";
    QVERIFY(write_file_atomic(dir / "temp.htm", page));

    // Qt's own loader would wait on the FIFO for a writer: one comes, so a
    // failure does not hang the test.
    std::atomic<bool> stop{false};
    std::thread writer([&] {
      for (int k = 0; k < 100 && !stop; ++k) {
        const int fd = ::open((dir / "fifo.png").c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) ::close(fd);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
    });
    CHtmlCtrl view(dir);
    view.resize(400, 300);
    view.navigate("temp.htm");
    const std::map<std::string, QSize> shown = picture_sizes(*view.document());
    stop = true;
    writer.join();
    for (const Case& c : cases) QCOMPARE(shown.at(c.src), c.shown);
    QTextDocument* doc = view.document();
    QCOMPARE(doc->find("plain").charFormat().foreground().color() == QColor(255, 0, 0), false);
    QCOMPARE(doc->find("green").charFormat().foreground().color(), QColor(0, 255, 0));
    const QVariant passwd = doc->resource(QTextDocument::StyleSheetResource, QUrl("file:///etc/passwd"));
    QVERIFY(!passwd.isNull());
    QCOMPARE(passwd.toString(), QString());
  }

  void openedAttachmentsStayInsideMailTemp() {
    Stores stores;
    auto account = stores.add_account("zhang@example.com");
    test::TempDir temp, outside;
    const auto dir = temp.path() / "MailTemp";
    std::filesystem::create_directories(dir);
    // A link planted under the attachment's name is replaced, not written through.
    QVERIFY(write_file_atomic(outside.path() / "target", "keep"));
    std::filesystem::create_symlink(outside.path() / "target", dir / "evil.txt");
    auto p = processor(*account, kMixedMail);
    QList<QUrl> opened;
    bool opens = true;
    RecordingBoxes boxes;
    CMailViewer viewer(*p, {dir, [&](const QUrl& url) { return opened << url, opens; }, {}, &boxes});
    auto* list = viewer.findChild<QListWidget*>("attachmentList");
    QVERIFY(!list->isHidden());
    QCOMPARE(list->count(), 2);
    QVERIFY(!viewer.findChild<QPushButton*>("htmlButton")->isHidden());
    QVERIFY(viewer.findChild<QTextBrowser*>("plainBox")->isHidden());  // the HTML view comes first
    QVERIFY(std::filesystem::exists(dir / "temp.htm"));

    viewer.open_attachment(0);
    QCOMPARE(read_file(dir / "evil.txt").value_or(""), std::string("first"));
    viewer.open_attachment(1);  // the same name: the same file
    QCOMPARE(read_file(dir / "evil.txt").value_or(""), std::string("second"));
    QCOMPARE(read_file(outside.path() / "target").value_or(""), std::string("keep"));
    QVERIFY(!std::filesystem::is_symlink(dir / "evil.txt"));
    QCOMPARE(opened.size(), 2);
    QCOMPARE(opened[0].toLocalFile(), QString::fromStdString((dir / "evil.txt").string()));
    QVERIFY(!std::filesystem::exists(temp.path() / "evil.txt"));
    QVERIFY(boxes.shown.empty());
    // Where nothing can open it, a box says where the attachment was written.
    opens = false;
    viewer.open_attachment(0);
    QCOMPARE(boxes.shown.size(), size_t{1});
    QVERIFY(boxes.shown[0].text.contains(QString::fromStdString((dir / "evil.txt").string())));
  }

  void picturesPastTheCapAreLeftOut_data() {
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("kept");
    QTest::addColumn<int>("count");
    QTest::newRow("under the cap") << "<p><img src=a></p>" << "<p><img src=a></p>" << 1;
    QTest::newRow("the third goes") << "a<img src=1>b<IMG src=2>c<img src=3>d" << "a<img src=1>b<IMG src=2>cd" << 3;
    QTest::newRow("other tags stay") << "<imgx><img/><image><img\tsrc=2><img>" << "<imgx><img/><image><img\tsrc=2>" << 3;
    QTest::newRow("a quoted > is no end") << "<img a=1><img b=2><img alt=\"a>b\" src='c>d'>e" << "<img a=1><img b=2>e"
                                          << 3;
    QTest::newRow("an open tag goes to the end") << "<img><img><p>x<img src=\"y" << "<img><img><p>x" << 3;
  }

  void picturesPastTheCapAreLeftOut() {
    QFETCH(QString, html);
    QFETCH(QString, kept);
    QFETCH(int, count);
    QCOMPARE(limit_pictures(html, 2), count);
    QCOMPARE(html, kept);
  }

  // A page of thousands of pictures is built in little time: past the cap
  // they are left out and the page says so first. The whole page is shown,
  // however long.
  void pageOfManyPicturesShowsTheFirstAndSaysSo() {
    Stores stores;
    auto account = stores.add_account("zhang@example.com");
    test::TempDir temp;
    const int count = CHtmlCtrl::kMaxPictures + 100;
    const std::string png = QByteArray::fromStdString(png_of(3, 2)).toBase64().toStdString();
    std::string html = "<html><body><p>first</p>";
    std::string parts;
    for (int k = 0; k < count; ++k) {
      const std::string id = "p" + std::to_string(k) + "@x";
      html += "<img src=\"cid:" + id + "\">";
      parts += "--r\r\nContent-Type: image/png\r\nContent-ID: <" + id +
               ">\r\nContent-Transfer-Encoding: base64\r\n\r\n" + png + "\r\n";
    }
    html += "<p>" + std::string(20000, 'x') + "</p><p>last words</p></body></html>";
    auto p = processor(*account, "From: li@example.com\r\nSubject: news\r\nMIME-Version: 1.0\r\n"
                                 "Content-Type: multipart/related; boundary=\"r\"\r\n\r\n"
                                 "--r\r\nContent-Type: text/html\r\n\r\n" + html + "\r\n" + parts + "--r--\r\n");
    CMailViewer viewer(*p, {temp.path(), [](const QUrl&) { return true; }, {}});
    QTextDocument* doc = viewer.findChild<QTextBrowser*>("htmlView")->document();
    const std::map<std::string, QSize> shown = picture_sizes(*doc);
    QCOMPARE(int(shown.size()), CHtmlCtrl::kMaxPictures);
    for (const auto& [name, size] : shown) QCOMPARE(size, QSize(3, 2));
    QVERIFY(doc->firstBlock().text().startsWith(text(sid::kPicturesLeftOut).arg(count).arg(CHtmlCtrl::kMaxPictures)));
    QVERIFY(doc->toPlainText().contains("last words"));
  }

  void savedAttachmentIsTheOwnersAlone() {
    Stores stores;
    auto account = stores.add_account("zhang@example.com");
    test::TempDir temp, chosen;
    auto p = processor(*account, kMixedMail);
    const QString target = QString::fromStdString((chosen / "saved.txt").string());
    CMailViewer viewer(*p, {temp.path(), [](const QUrl&) { return true; },
                            [&](QWidget*, const QString&) { return target; }});
    viewer.save_attachment(1);
    QCOMPARE(read_file(chosen / "saved.txt").value_or(""), std::string("second"));
    QCOMPARE(std::filesystem::status(chosen / "saved.txt").permissions(),
             std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  }

  void attachmentListStopsAtItsCapAndSaysSo() {
    Stores stores;
    auto account = stores.add_account("zhang@example.com");
    test::TempDir temp;
    const int count = CMailViewer::kMaxListedAttachments + 5;
    std::string mail = "From: li@example.com\r\nSubject: parts\r\nMIME-Version: 1.0\r\n"
                       "Content-Type: multipart/mixed; boundary=\"m\"\r\n\r\n--m\r\nContent-Type: text/plain\r\n\r\nx\r\n";
    for (int k = 0; k < count; ++k)
      mail += "--m\r\nContent-Type: text/plain; name=\"p" + std::to_string(k) + ".txt\"\r\n"
              "Content-Disposition: inline; filename=\"p" + std::to_string(k) + ".txt\"\r\n\r\nline\r\n";
    auto p = processor(*account, mail + "--m--\r\n");
    QList<QUrl> opened;
    CMailViewer viewer(*p, {temp.path(), [&](const QUrl& url) { opened << url; return true; }, {}});
    auto* list = viewer.findChild<QListWidget*>("attachmentList");
    QCOMPARE(list->count(), CMailViewer::kMaxListedAttachments + 1);
    QCOMPARE(list->item(CMailViewer::kMaxListedAttachments - 1)->text(),
             QStringLiteral("p%1.txt").arg(CMailViewer::kMaxListedAttachments - 1));
    QCOMPARE(list->item(CMailViewer::kMaxListedAttachments)->text(),
             text(sid::kAttachmentsNotListed).arg(count).arg(CMailViewer::kMaxListedAttachments));
    viewer.open_attachment(CMailViewer::kMaxListedAttachments);  // the note opens nothing
    QVERIFY(opened.isEmpty());
    viewer.open_attachment(CMailViewer::kMaxListedAttachments - 1);
    QCOMPARE(opened.size(), 1);
  }
};

QTEST_MAIN(MailViewerTest)
#include "mail_viewer_test.moc"
