#include "app/help_pages.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "ui/message_boxes.h"
#include "ui/ui_text.h"

#include "res/language.h"

namespace pw::app {
namespace {

constexpr char kHelpDir[] = "pelliwick/help/";

bool inside(const QString& path, const QString& dir) {
  const QString canonical = QFileInfo(dir).canonicalFilePath();
  return !canonical.isEmpty() && (path == canonical || path.startsWith(canonical + QLatin1Char('/')));
}

}  // namespace

QUrl help_index() {
  // The English pages are in en/ beside the Chinese ones.
  const QString index = res::language() == res::Language::english ? QStringLiteral("en/index.html")
                                                                     : QStringLiteral("index.html");
  const QString program_dir = QFileInfo(QCoreApplication::applicationDirPath()).canonicalFilePath();
  QStringList pages{QDir(program_dir).filePath(QStringLiteral("../share/") + QLatin1String(kHelpDir) + index),
                    QStringLiteral(PW_HELP_INSTALL_DIR "/") + index};
  pages << QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QLatin1String(kHelpDir) + index);
  // The source tree only for a program that runs from its build tree.
  if (inside(program_dir, QStringLiteral(PW_BUILD_DIR))) pages << QStringLiteral(PW_HELP_SOURCE_DIR "/") + index;
  for (const QString& page : pages) {
    if (QFileInfo::exists(page)) return QUrl::fromLocalFile(QFileInfo(page).canonicalFilePath());
  }
  return {};
}

void open_help(const std::function<bool(const QUrl&)>& open_url, ui::MessageBoxes& boxes, QWidget* parent) {
  const QUrl page = help_index();
  if (page.isEmpty()) {
    (void)boxes.show(parent, ui::MessageKind::notice,
                     ui::text(sid::kHelpNotFound).arg(QDir::toNativeSeparators(QStringLiteral(PW_HELP_INSTALL_DIR))));
    return;
  }
  if (open_url(page)) return;
  (void)boxes.show(parent, ui::MessageKind::notice, ui::text(sid::kHelpNotOpened).arg(page.toLocalFile()));
}

}  // namespace pw::app
