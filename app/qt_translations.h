#pragma once
// Qt's own texts (standard buttons, file dialogs, context menus of edits) in
// Chinese: Qt's zh_CN translations from the system's Qt (Debian
// qt6-translations-l10n), installed into the application.
class QCoreApplication;

namespace pw::app {

// True when Qt's base translation was found and installed.
bool install_qt_translations(QCoreApplication& app);

}  // namespace pw::app
