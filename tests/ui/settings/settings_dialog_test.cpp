// The settings dialog: each check's message and focus (their order is the
// form check's), what opening shows, the enabling rules, what "确定" stores, and the
// start-with-session entry.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include <functional>

#include "net/dial_up.h"
#include "res/string_ids.h"
#include "stores/run_at_startup.h"
#include "ui/gb_qstring.h"
#include "ui/settings/settings_dialog.h"
#include "ui/view_fixture.h"

using namespace pw;
using namespace pw::ui;
using namespace pw::ui::testing;

namespace {

// A dialler that offers fixed connections.
class Entries final : public DialUp {
 public:
  explicit Entries(std::vector<std::string> names) : names_(std::move(names)) {}
  std::vector<std::string> list_entries() override { return names_; }
  DialResult dial(const DialRequest&) override { return {}; }
  void hang_up() override {}

 private:
  std::vector<std::string> names_;
};

struct Rig {
  pw::test::TempDir temp;
  SystemSettings settings;
  Entries dial_up{{"wired", "modem"}};
  RunAtStartup autostart{temp / "config", "/opt/pelliwick/pelliwick"};
  RecordingBoxes boxes;

  template <class W>
  static W* field(QDialog& d, const char* name) {
    return d.findChild<W*>(QString::fromLatin1(name));
  }
  static QLineEdit* edit(QDialog& d, const char* name) { return field<QLineEdit>(d, name); }
  static QCheckBox* box(QDialog& d, const char* name) { return field<QCheckBox>(d, name); }
  static bool ok(QDialog& d) {
    field<QPushButton>(d, "ok")->click();
    return d.result() == QDialog::Accepted;
  }
};

}  // namespace

class SettingsDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void eachFailureShowsItsMessageAndFocusesItsField() {
    struct Case {
      const char* name;
      std::function<void(CSettingsDialog&)> enter;
      QString message;
      const char* focus;
    };
    const QString range = text(sid::kNotInRange).arg(1).arg(120);
    const Case cases[] = {
        {"interval not a number", [](auto& d) { Rig::edit(d, "interval")->setText("5x"); }, text(sid::kNotANumber), "interval"},
        {"months 0 with purging off", [](auto& d) { Rig::edit(d, "monthsToKeep")->setText("0"); }, range,
         "purgeLogs"},
        {"months not a number",
         [](auto& d) {
           Rig::box(d, "purgeLogs")->setChecked(true);
           Rig::edit(d, "monthsToKeep")->setText("twelve");
         },
         text(sid::kNotANumber), "monthsToKeep"},
        {"no connection chosen", [](auto& d) { Rig::box(d, "autoDial")->setChecked(true); }, text(sid::kNoDialUpEntry),
         "dialEntry"},
        {"phone with a letter",
         [](auto& d) {
           Rig::box(d, "autoDial")->setChecked(true);
           Rig::field<QComboBox>(d, "dialEntry")->setCurrentIndex(0);
           Rig::edit(d, "phoneNumber")->setText("0123x");
         },
         text(sid::kBadPhone), "phoneNumber"},
        {"hour 24",
         [](auto& d) {
           Rig::box(d, "autoShutdown")->setChecked(true);
           Rig::edit(d, "shutdownTime")->setText("24:00");
         },
         text(sid::kBadShutdownTime), "shutdownTime"},
        {"login password mismatch",
         [](auto& d) {
           Rig::box(d, "loginPassword")->setChecked(true);
           Rig::edit(d, "password")->setText("abc");
           Rig::edit(d, "confirmation")->setText("abd");
         },
         text(sid::kBadLoginPassword), "password"},
    };
    for (const Case& c : cases) {
      Rig rig;
      const SystemSettings before = rig.settings;
      CSettingsDialog dialog(rig.settings, rig.dial_up, rig.autostart, rig.boxes);
      dialog.show();
      c.enter(dialog);
      QVERIFY2(!Rig::ok(dialog), c.name);
      QVERIFY2(dialog.isVisible(), c.name);
      QCOMPARE(rig.boxes.shown.size(), size_t{1});
      QCOMPARE(rig.boxes.shown[0].kind, MessageKind::input_error);
      QCOMPARE(rig.boxes.shown[0].text, c.message);
      QVERIFY2(dialog.focusWidget(), c.name);
      QCOMPARE(dialog.focusWidget()->objectName(), QString::fromLatin1(c.focus));
      QVERIFY2(rig.settings == before, c.name);
    }
  }

  void okStoresEveryValue() {
    Rig rig;
    rig.settings.next_rule_id = 42;
    CSettingsDialog dialog(rig.settings, rig.dial_up, rig.autostart, rig.boxes);
    dialog.show();
    Rig::edit(dialog, "interval")->setText("30");
    Rig::field<QComboBox>(dialog, "intervalUnit")->setCurrentIndex(0);
    Rig::box(dialog, "autoDial")->setChecked(true);
    Rig::field<QComboBox>(dialog, "dialEntry")->setCurrentText("wired");
    Rig::edit(dialog, "phoneNumber")->setText("16300");
    Rig::edit(dialog, "dialUser")->setText("用户");
    Rig::edit(dialog, "dialPassword")->setText("pw");
    Rig::box(dialog, "hangUp")->setChecked(true);
    Rig::box(dialog, "purgeLogs")->setChecked(true);
    Rig::edit(dialog, "monthsToKeep")->setText("3");
    Rig::box(dialog, "autoShutdown")->setChecked(true);
    Rig::edit(dialog, "shutdownTime")->setText("7:5");
    Rig::box(dialog, "checkAtStart")->setChecked(true);
    Rig::box(dialog, "notifications")->setChecked(false);
    QCOMPARE(Rig::field<QSpinBox>(dialog, "mailboxesAtOnce")->value(), 4);
    Rig::field<QSpinBox>(dialog, "mailboxesAtOnce")->setValue(2);
    // Stored although the option is off.
    Rig::edit(dialog, "password")->setText("kept");
    QVERIFY(Rig::ok(dialog));
    const SystemSettings& s = rig.settings;
    QCOMPARE(s.options, SystemSettings::kAutoDial | SystemSettings::kHangUp | SystemSettings::kPurgeLogs |
                            SystemSettings::kAutoShutdown | SystemSettings::kCheckAtStart);
    QCOMPARE(s.check_interval, 30);
    QCOMPARE(s.interval_unit, SystemSettings::kSeconds);
    QCOMPARE(s.dial_entry, std::string("wired"));
    QCOMPARE(s.phone_number, std::string("16300"));
    QCOMPARE(s.dial_user, to_gb(QStringLiteral("用户")));
    QCOMPARE(s.dial_password, std::string("pw"));
    QCOMPARE(s.months_to_keep, 3);
    QCOMPARE(std::pair(s.shutdown_hour, s.shutdown_minute), std::pair(7, 5));
    QCOMPARE(s.login_password, std::string("kept"));
    QCOMPARE(s.next_rule_id, 42u);
    QVERIFY(!s.notifications());
    QCOMPARE(s.mailboxes_at_once(), 2);

    // Opened again it shows what was stored.
    CSettingsDialog again(rig.settings, rig.dial_up, rig.autostart, rig.boxes);
    QCOMPARE(Rig::edit(again, "shutdownTime")->text(), QStringLiteral("07:05"));
    QCOMPARE(Rig::field<QComboBox>(again, "dialEntry")->currentText(), QStringLiteral("wired"));
    QVERIFY(Rig::box(again, "autoDial")->isChecked());
    QVERIFY(Rig::edit(again, "phoneNumber")->isEnabled());
    QVERIFY(!Rig::box(again, "notifications")->isChecked());
    QCOMPARE(Rig::field<QSpinBox>(again, "mailboxesAtOnce")->value(), 2);
  }

  void openingShowsDefaultsAndSortedConnections() {
    Rig rig;
    CSettingsDialog dialog(rig.settings, rig.dial_up, rig.autostart, rig.boxes);
    auto* entries = Rig::field<QComboBox>(dialog, "dialEntry");
    QCOMPARE(entries->count(), 2);
    QCOMPARE(entries->itemText(0), QStringLiteral("modem"));
    QCOMPARE(Rig::edit(dialog, "monthsToKeep")->text(), QStringLiteral("12"));
    QCOMPARE(Rig::edit(dialog, "interval")->text(), QStringLiteral("5"));
    QCOMPARE(Rig::field<QComboBox>(dialog, "intervalUnit")->currentText(), text(sid::kMinutesUnit));
    QCOMPARE(Rig::edit(dialog, "shutdownTime")->text(), QStringLiteral("00:00"));
    QVERIFY(Rig::box(dialog, "autoDial")->isEnabled());
    QVERIFY(!Rig::box(dialog, "autoDial")->isChecked());
  }

  void enablingFollowsTheCheckBoxes() {
    const std::pair<const char*, std::vector<const char*>> rules[] = {
        {"autoDial", {"dialEntry", "phoneNumber", "dialUser", "dialPassword", "hangUp"}},
        {"purgeLogs", {"monthsToKeep"}},
        {"autoShutdown", {"shutdownTime"}},
        {"loginPassword", {"password", "confirmation"}},
    };
    Rig rig;
    CSettingsDialog dialog(rig.settings, rig.dial_up, rig.autostart, rig.boxes);
    for (const auto& [box, fields] : rules) {
      for (bool on : {true, false}) {
        Rig::box(dialog, box)->setChecked(on);
        for (const char* f : fields) QVERIFY2(Rig::field<QWidget>(dialog, f)->isEnabled() == on, f);
      }
    }
  }

  void dialOptionsDropWithoutAConnectionToDial() {
    struct Case {
      const char* name;
      std::vector<std::string> entries;
      std::string stored_entry;
      uint32_t stored;
    };
    const Case cases[] = {
        {"no connections at all", {}, "modem", SystemSettings::kAutoDial | SystemSettings::kHangUp},
        {"stored connection gone", {"wired"}, "modem", SystemSettings::kAutoDial | SystemSettings::kHangUp},
        {"hang-up stored without auto-dial", {"modem"}, "modem", SystemSettings::kHangUp},
    };
    for (const Case& c : cases) {
      Rig rig;
      Entries dial_up(c.entries);
      rig.settings.dial_entry = c.stored_entry;
      rig.settings.options = c.stored | SystemSettings::kPurgeLogs;
      CSettingsDialog dialog(rig.settings, dial_up, rig.autostart, rig.boxes);
      dialog.show();
      QCOMPARE(Rig::box(dialog, "autoDial")->isEnabled(), !c.entries.empty());
      QVERIFY2(!Rig::box(dialog, "hangUp")->isEnabled(), c.name);
      QVERIFY2(Rig::ok(dialog), c.name);
      QCOMPARE(rig.settings.options, SystemSettings::kPurgeLogs);
    }
  }

  void startWithSessionFollowsTheExecutablesPlace() {
    Rig rig;
    QVERIFY(RunAtStartup(rig.temp / "config", "/old/place/pelliwick").set());
    {
      CSettingsDialog dialog(rig.settings, rig.dial_up, rig.autostart, rig.boxes);
      dialog.show();
      QVERIFY(!Rig::box(dialog, "runAtStartup")->isChecked());
      Rig::box(dialog, "runAtStartup")->setChecked(true);
      QVERIFY(Rig::ok(dialog));
    }
    QVERIFY(rig.autostart.query());
    QVERIFY(rig.temp.read("config/autostart/Pelliwick.desktop").find("Exec=/opt/pelliwick/pelliwick -hide") !=
            std::string::npos);
    CSettingsDialog dialog(rig.settings, rig.dial_up, rig.autostart, rig.boxes);
    dialog.show();
    QVERIFY(Rig::box(dialog, "runAtStartup")->isChecked());
    Rig::box(dialog, "runAtStartup")->setChecked(false);
    QVERIFY(Rig::ok(dialog));
    QVERIFY(!std::filesystem::exists(rig.autostart.entry_file()));
  }

  void cancelChangesNothing() {
    Rig rig;
    const SystemSettings before = rig.settings;
    CSettingsDialog dialog(rig.settings, rig.dial_up, rig.autostart, rig.boxes);
    dialog.show();
    Rig::edit(dialog, "interval")->setText("99");
    Rig::box(dialog, "runAtStartup")->setChecked(true);
    Rig::field<QPushButton>(dialog, "cancel")->click();
    QVERIFY(rig.settings == before);
    QVERIFY(!rig.autostart.query());
  }
};

QTEST_MAIN(SettingsDialogTest)
#include "settings_dialog_test.moc"
