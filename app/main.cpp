#include <QApplication>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <optional>

#include "app/command_line.h"
#include "app/desktop_notifier.h"
#include "app/pelliwick_app.h"
#include "app/qt_translations.h"
#include "engine/check_once.h"
#include "engine/check_run.h"
#include "net/trace_file.h"
#include "res/language.h"
#include "res/string_table.h"
#include "stores/system_settings.h"

namespace {

int check_once(int argc, char** argv, const pw::ProgramDir& dir, pw::TraceFile* trace) {
  // No display is needed; the core application only carries the D-Bus call.
  QCoreApplication qt(argc, argv);
  pw::CheckOnceOptions options;
  if (trace) {
    options.pop3_trace = trace->sink("POP3");
    options.smtp_trace = trace->sink("SMTP");
  }
  options.finished = [](const pw::RunOutcome& outcome, const pw::SystemSettings& settings) {
    if (!settings.notifications()) return;
    if (std::optional<pw::app::CheckNotification> n = pw::app::check_notification(outcome))
      pw::app::DesktopNotifier().notify(*n).waitForFinished();
  };
  return pw::run_check_once(dir, options);
}

}  // namespace

int main(int argc, char** argv) {
  using pw::app::CommandLine;
  // The language of every text, --help's included: English unless the
  // locale is Chinese. The stored records stay Chinese either way.
  pw::res::set_language(pw::res::language_from_environment());
  const CommandLine line = CommandLine::parse(argc, argv);
  switch (line.mode) {
    case CommandLine::Mode::error:
      std::fputs(pw::app::usage_error_text(line.error).c_str(), stderr);
      return CommandLine::kUsageError;
    case CommandLine::Mode::help:
      std::fputs(pw::app::help_text(line.program_dir()).c_str(), stdout);
      return 0;
    case CommandLine::Mode::version:
      std::fputs(pw::app::version_text().c_str(), stdout);
      return 0;
    default:
      break;
  }

  std::unique_ptr<pw::TraceFile> trace;
  if (!line.trace.empty()) {
    trace = std::make_unique<pw::TraceFile>(line.trace);
    if (!trace->ok()) {
      // A symbolic link or a FIFO in the trace's place is somebody's trap,
      // not a typing error: say so.
      const int error = trace->error();
      const std::string text(
          pw::res::text_utf8(error == ELOOP || error == EINVAL ? pw::sid::kTraceNotPlainFile : pw::sid::kTraceFailed));
      std::fprintf(stderr, "pelliwick: %s\n", QString::fromStdString(text).arg(line.trace.c_str()).toUtf8().constData());
      return 1;
    }
  }
  if (line.mode == CommandLine::Mode::check_once) return check_once(argc, argv, line.program_dir(), trace.get());

  QApplication qt(argc, argv);
  QApplication::setApplicationName(QStringLiteral("pelliwick"));
  QApplication::setDesktopFileName(QStringLiteral("pelliwick"));
  // The window hides in the notification area; only the frame's close ends.
  QApplication::setQuitOnLastWindowClosed(false);
  if (pw::res::language() == pw::res::Language::chinese) (void)pw::app::install_qt_translations(qt);

  pw::app::AppOptions options;
  options.dir = line.program_dir();
  options.hide = line.hide;
  if (trace) {
    options.pop3_trace = trace->sink("POP3");
    options.smtp_trace = trace->sink("SMTP");
  }
  pw::app::CPelliwickApp app(std::move(options));
  if (!app.start()) return 0;
  pw::app::end_event_loop_when_finished(app);
  const int code = QApplication::exec();
  app.exit();
  return code;
}
