// The English interface: every text written in the widget code has its
// English in the catalogue, with the same placeholders and mnemonics; the
// locale picks the language (--help of the built program); the main window
// and a dialog come up in English under an English locale and unchanged in
// Chinese.
#include <QAbstractButton>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTest>

#include "app/frame_fixture.h"
#include "res/language.h"
#include "support/text_placeholders.h"
#include "ui/settings/mailbox_dialog.h"
#include "ui/ui_text.h"

using namespace pw;
using namespace pw::ui;
using namespace pw::ui::testing;

namespace {

// The string literals of a C++ source that hold a CJK character, unescaped,
// with comments left out.
QStringList chinese_literals(const QString& source) {
  // A string, a character, or a comment, whichever starts first.
  static const QRegularExpression kToken(
      QStringLiteral(R"re("((?:[^"\\\n]|\\.)*)"|'(?:[^'\\\n]|\\.)*'|/\*.*?\*/|//[^\n]*)re"),
      QRegularExpression::DotMatchesEverythingOption);
  QStringList out;
  for (auto it = kToken.globalMatch(source); it.hasNext();) {
    const QRegularExpressionMatch m = it.next();
    if (!m.captured(0).startsWith(QLatin1Char('"'))) continue;  // a comment or a character
    QString t = m.captured(1);
    t.replace(QStringLiteral("\\n"), QStringLiteral("\n")).replace(QStringLiteral("\\\""), QStringLiteral("\""));
    t.replace(QStringLiteral("\\\\"), QStringLiteral("\\"));
    if (test::has_cjk(t.toStdString())) out << t;
  }
  return out;
}

bool has_cjk(const QString& s) { return test::has_cjk(s.toStdString()); }

QStringList texts_of(const QWidget& w) {
  QStringList out{w.windowTitle()};
  for (auto* label : w.findChildren<QLabel*>()) out << label->text();
  for (auto* button : w.findChildren<QAbstractButton*>()) out << button->text();
  return out;
}

struct EnglishScope {
  EnglishScope() { res::set_language(res::Language::english); }
  ~EnglishScope() { res::set_language(res::Language::chinese); }
};

}  // namespace

class EnglishTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

  void everyWidgetTextHasItsEnglish() {
    QSet<QString> known;
    for (const CatalogueEntry& e : english_catalogue())
      known.insert(QString::fromUtf8(e.chinese.data(), static_cast<qsizetype>(e.chinese.size())));
    QSet<QString> used;
    for (const char* dir : {"ui", "app"}) {
      QDirIterator it(QStringLiteral(PW_SOURCE_DIR "/") + dir, {"*.cpp", "*.h"}, QDir::Files,
                      QDirIterator::Subdirectories);
      while (it.hasNext()) {
        const QString path = it.next();
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        for (const QString& t : chinese_literals(QString::fromUtf8(f.readAll()))) {
          used.insert(t);
          if (!known.contains(t)) QFAIL(qPrintable(path + ": no English for \"" + t + "\""));
        }
      }
    }
    // A text left in the catalogue after its code went would mislead a translator.
    for (const QString& k : known)
      if (!used.contains(k)) QFAIL(qPrintable("the catalogue's \"" + k + "\" is used nowhere"));
  }

  void catalogueEntriesAgreeBetweenTheLanguages() {
    QSet<QString> seen;
    for (const CatalogueEntry& e : english_catalogue()) {
      const QString zh = QString::fromUtf8(e.chinese.data(), static_cast<qsizetype>(e.chinese.size()));
      QVERIFY2(!seen.contains(zh), qPrintable(zh));
      seen.insert(zh);
      QVERIFY2(!e.english.empty() && !test::has_cjk(e.english), qPrintable(zh));
      QVERIFY2(test::placeholders(e.english) == test::placeholders(e.chinese), qPrintable(zh));
      QVERIFY2(test::mnemonics(e.english) == test::mnemonics(e.chinese), qPrintable(zh));
      QVERIFY2((e.english.find('\n') == std::string_view::npos) == (e.chinese.find('\n') == std::string_view::npos),
               qPrintable(zh));
    }
  }

  void localeDecidesTheLanguageOfHelp_data() {
    QTest::addColumn<QString>("lang");
    QTest::addColumn<QString>("start");
    QTest::newRow("English") << "en_US.UTF-8" << "Usage: pelliwick";
    QTest::newRow("Chinese") << "zh_CN.UTF-8" << "用法：pelliwick";
    QTest::newRow("C") << "C" << "Usage: pelliwick";
    QTest::newRow("German") << "de_DE.UTF-8" << "Usage: pelliwick";
  }
  void localeDecidesTheLanguageOfHelp() {
    QFETCH(QString, lang);
    QFETCH(QString, start);
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"}) env.remove(QString::fromLatin1(name));
    env.insert(QStringLiteral("LANG"), lang);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(PW_PELLIWICK), {QStringLiteral("--help")});
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitCode(), 0);
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    QVERIFY2(out.startsWith(start), qPrintable(out));
    QCOMPARE(has_cjk(out), lang.startsWith(QStringLiteral("zh")));
  }

  void mainWindowMenusAndADialogComeUpInEnglish() {
    EnglishScope english;
    FrameStores s;
    auto frame = s.frame();
    QStringList titles;
    for (QAction* a : frame->menuBar()->actions()) titles << a->text();
    QCOMPARE(titles, QStringList({"&System", "Remote Management (&D)", "&Mailbox", "&Rules", "Settings (&C)", "&View",
                                  "&Help"}));
    for (QAction* top : frame->menuBar()->actions())
      for (QAction* a : top->menu()->actions()) {
        QVERIFY2(!has_cjk(a->text()), qPrintable(a->text()));
        QVERIFY2(!has_cjk(a->statusTip()) && !has_cjk(a->toolTip()), qPrintable(a->statusTip()));
      }
    QCOMPARE(frame->windowTitle().contains(QStringLiteral("Pelliwick Mailbox Steward")), true);

    CMailboxDialog dialog(s.mailboxes, s.boxes, nullptr);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Mailbox"));
    for (const QString& t : texts_of(dialog)) QVERIFY2(!has_cjk(t), qPrintable(t));
  }

  void chineseInterfaceIsUnchanged() {
    FrameStores s;
    auto frame = s.frame();
    QCOMPARE(frame->menuBar()->actions()[0]->text(), QStringLiteral("系统(&S)"));
    QCOMPARE(frame->menuBar()->actions()[0]->menu()->actions()[0]->text(), QStringLiteral("开启所有监管(&R)"));
    CMailboxDialog dialog(s.mailboxes, s.boxes, nullptr);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("邮箱信息"));
  }
};

QTEST_MAIN(EnglishTest)
#include "english_test.moc"
