#include "app/help_pages.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include "res/language.h"

namespace pw::app {

QUrl help_index() {
  // The English pages are in en/ beside the Chinese ones.
  const QString index = res::language() == res::Language::english ? QStringLiteral("en/index.html")
                                                                     : QStringLiteral("index.html");
  const QString installed =
      QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../share/pelliwick/help/") + index);
  for (const QString& page : {installed, QStringLiteral(PW_HELP_SOURCE_DIR "/") + index}) {
    if (QFileInfo::exists(page)) return QUrl::fromLocalFile(QFileInfo(page).canonicalFilePath());
  }
  return {};
}

}  // namespace pw::app
