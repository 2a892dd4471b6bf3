#include "app/help_pages.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace pw::app {

QUrl help_index() {
  const QString installed =
      QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../share/pelliwick/help/index.html"));
  for (const QString& page : {installed, QStringLiteral(PW_HELP_SOURCE_DIR "/index.html")}) {
    if (QFileInfo::exists(page)) return QUrl::fromLocalFile(QFileInfo(page).canonicalFilePath());
  }
  return {};
}

}  // namespace pw::app
