// The mail viewer opening a mail of many parts, from its construction to its
// first paint and the whole page laid out (offscreen): a mail of N pictures
// embedded in its HTML on one line, a newsletter of N pictures in a table,
// and a mail of N attachments of the same name. Each run starts with an
// empty MailTemp directory. Target: under 1 s for 4,000 parts.
//
//   cmake --build build --target bench_viewer_bench && build/bench/bench_viewer_bench
#include <benchmark/benchmark.h>

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>

#include <filesystem>
#include <string>

#include "engine/mail_processor.h"
#include "stores/mailbox_list.h"
#include "support/temp_dir.h"
#include "ui/mail/mail_viewer.h"

namespace {

// A 1x1 PNG.
constexpr char kPixel[] =
    "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNkYPhfDwAChwGA60e6kgAAAABJRU5ErkJggg==";

std::string pictures_mail(int n) {
  std::string html = "<html><body>";
  std::string parts;
  for (int k = 0; k < n; ++k) {
    html += "<img src=\"cid:p" + std::to_string(k) + "@x\">";
    parts += "--r\r\nContent-Type: image/png; name=\"image.png\"\r\nContent-ID: <p" + std::to_string(k) +
             "@x>\r\nContent-Disposition: inline; filename=\"image.png\"\r\n"
             "Content-Transfer-Encoding: base64\r\n\r\n" + kPixel + "\r\n";
  }
  return "From: a@example.com\r\nTo: b@example.com\r\nSubject: pictures\r\nMIME-Version: 1.0\r\n"
         "Content-Type: multipart/related; boundary=\"r\"\r\n\r\n"
         "--r\r\nContent-Type: text/html\r\n\r\n" + html + "</body></html>\r\n" + parts + "--r--\r\n";
}

// A newsletter's shape: pictures of 48 x 48 pixels under names of their own,
// the page giving each one's size.
std::string newsletter_mail(int n) {
  QImage image(48, 48, QImage::Format_RGB32);
  image.fill(Qt::darkCyan);
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  const std::string data = png.toBase64().toStdString();
  std::string html = "<html><body><table>";
  std::string parts;
  for (int k = 0; k < n; ++k) {
    char name[32];
    std::snprintf(name, sizeof name, "image%04d.png", k);
    if (k % 8 == 0) html += "<tr>";
    html += "<td><img width=\"48\" height=\"48\" src=\"cid:" + std::string(name) + "@01DA\"><br>Item " +
            std::to_string(k) + "</td>";
    parts += "--r\r\nContent-Type: image/png; name=\"" + std::string(name) + "\"\r\nContent-ID: <" + name +
             "@01DA>\r\nContent-Disposition: inline; filename=\"" + name +
             "\"\r\nContent-Transfer-Encoding: base64\r\n\r\n" + data + "\r\n";
  }
  return "From: a@example.com\r\nTo: b@example.com\r\nSubject: news\r\nMIME-Version: 1.0\r\n"
         "Content-Type: multipart/related; boundary=\"r\"\r\n\r\n"
         "--r\r\nContent-Type: text/html\r\n\r\n" + html + "</table></body></html>\r\n" + parts + "--r--\r\n";
}

std::string attachments_mail(int n) {
  std::string mail =
      "From: a@example.com\r\nTo: b@example.com\r\nSubject: parts\r\nMIME-Version: 1.0\r\n"
      "Content-Type: multipart/mixed; boundary=\"m\"\r\n\r\n--m\r\nContent-Type: text/plain\r\n\r\nsee below\r\n";
  for (int k = 0; k < n; ++k)
    mail += "--m\r\nContent-Type: text/plain; name=\"part.txt\"\r\n"
            "Content-Disposition: inline; filename=\"part.txt\"\r\n\r\nline " + std::to_string(k) + "\r\n";
  return mail + "--m--\r\n";
}

void open_viewer(benchmark::State& state, std::string (*make)(int)) {
  const std::string text = make(static_cast<int>(state.range(0)));
  pw::test::TempDir temp;
  pw::ProgramDir dir(temp.path());
  pw::MailboxList mailboxes(dir, nullptr);
  pw::MailboxRecord record;
  record.address = "b@example.com";
  auto account = mailboxes.create(record, true);
  for (auto _ : state) {
    state.PauseTiming();
    const auto mail_temp = temp.path() / "MailTemp";
    std::filesystem::remove_all(mail_temp);
    std::filesystem::create_directories(mail_temp);
    pw::MailSummary summary;
    summary.mail_text = text;
    summary.full_text = true;
    pw::MailProcessor mail(std::move(summary), *account);
    state.ResumeTiming();
    pw::ui::CMailViewer viewer(mail, {mail_temp, [](const QUrl&) { return true; }, {}});
    viewer.show();
    QApplication::processEvents();
    viewer.repaint();
    // The view lays a long page out in steps between events; the mail is
    // shown once the last block has its place.
    if (auto* html = viewer.findChild<QTextBrowser*>(QStringLiteral("htmlView")); html && html->isVisible()) {
      QTextDocument* doc = html->document();
      (void)doc->documentLayout()->blockBoundingRect(doc->lastBlock());
    }
  }
}

void BM_ViewerEmbeddedPictures(benchmark::State& state) { open_viewer(state, pictures_mail); }
void BM_ViewerAttachments(benchmark::State& state) { open_viewer(state, attachments_mail); }
void BM_ViewerNewsletter(benchmark::State& state) { open_viewer(state, newsletter_mail); }

BENCHMARK(BM_ViewerEmbeddedPictures)->Arg(400)->Arg(4000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ViewerAttachments)->Arg(400)->Arg(4000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ViewerNewsletter)->Arg(400)->Arg(4000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
