// The form checks of the settings, mailbox, contact and group dialogs: each
// row breaks one field of a form that passes, or several to show which check
// comes first.
#include "ui/settings/settings_check.h"

#include <gtest/gtest.h>

#include <functional>

#include "res/string_ids.h"
#include "stores/address_book.h"
#include "stores/mailbox_list.h"
#include "support/temp_dir.h"

namespace pw::ui {
namespace {

template <class Form, class Field>
struct CheckCase {
  const char* name;
  std::function<void(Form&)> enter;
  std::optional<FormFailure<Field>> expected;
};

SettingsForm passing_settings() {
  SettingsForm f;
  f.interval = "5";
  f.months = "12";
  return f;
}

using SettingsCase = CheckCase<SettingsForm, SettingsField>;
using S = SettingsField;

TEST(SettingsCheck, reportsTheFirstFailureInOrder) {
  const SettingsCase cases[] = {
      {"defaults pass", [](SettingsForm&) {}, std::nullopt},
      {"interval not a number", [](SettingsForm& f) { f.interval = "5x"; }, {{S::interval, sid::kNotANumber}}},
      {"interval zero", [](SettingsForm& f) { f.interval = "0"; }, {{S::interval, sid::kIntervalTooSmall}}},
      {"interval beyond int", [](SettingsForm& f) { f.interval = "2147483648"; }, {{S::interval, sid::kNotANumber}}},
      {"interval before months",
       [](SettingsForm& f) {
         f.interval = "-1";
         f.months = "0";
       },
       {{S::interval, sid::kIntervalTooSmall}}},
      {"months 0", [](SettingsForm& f) { f.months = "0"; }, {{S::months, sid::kNotInRange}}},
      {"months 121", [](SettingsForm& f) { f.months = "121"; }, {{S::months, sid::kNotInRange}}},
      {"months 120 with a sign", [](SettingsForm& f) { f.months = "+120"; }, std::nullopt},
      {"months not a number", [](SettingsForm& f) { f.months = "twelve"; }, {{S::months, sid::kNotANumber}}},
      {"dial-up off ignores its fields", [](SettingsForm& f) { f.phone = "x"; }, std::nullopt},
      {"no connection chosen", [](SettingsForm& f) { f.auto_dial = true; }, {{S::dial_entry, sid::kNoDialUpEntry}}},
      {"phone with a letter",
       [](SettingsForm& f) {
         f.auto_dial = true;
         f.dial_entry = "wired";
         f.phone = "0123x";
       },
       {{S::phone, sid::kBadPhone}}},
      {"empty phone",
       [](SettingsForm& f) {
         f.auto_dial = true;
         f.dial_entry = "wired";
       },
       {{S::phone, sid::kBadPhone}}},
      {"hour 24",
       [](SettingsForm& f) {
         f.auto_shutdown = true;
         f.shutdown_time = "24:00";
       },
       {{S::shutdown_time, sid::kBadShutdownTime}}},
      {"shutdown off ignores its time", [](SettingsForm& f) { f.shutdown_time = "24:00"; }, std::nullopt},
      {"login password empty", [](SettingsForm& f) { f.login_password = true; }, {{S::password, sid::kBadLoginPassword}}},
      {"login password mismatch",
       [](SettingsForm& f) {
         f.login_password = true;
         f.password = "abc";
         f.confirmation = "abd";
       },
       {{S::password, sid::kBadLoginPassword}}},
  };
  for (const SettingsCase& c : cases) {
    SettingsForm form = passing_settings();
    c.enter(form);
    EXPECT_EQ(check_settings(form), c.expected) << c.name;
  }
}

TEST(SettingsCheck, shutdownTimeIsReadAsTwoNumbers) {
  struct Case {
    const char* typed;
    int hour;  // -1: refused
    int minute;
  };
  const Case cases[] = {{"7:5", 7, 5}, {"07:05", 7, 5}, {" 23:59", 23, 59}, {"0:0", 0, 0}, {"24:00", -1, 0},
                        {"12:60", -1, 0}, {"-1:10", -1, 0}, {"12 :30", -1, 0}, {"1230", -1, 0}, {"", -1, 0}};
  for (const Case& c : cases) {
    std::optional<ClockTime> t = read_shutdown_time(c.typed);
    EXPECT_EQ(t.has_value(), c.hour >= 0) << c.typed;
    if (t) EXPECT_EQ(std::pair(t->hour, t->minute), std::pair(c.hour, c.minute)) << c.typed;
  }
}

MailboxForm passing_mailbox() {
  MailboxForm f;
  f.new_account = true;
  f.address = "new@example.com";
  f.login_name = "new";
  f.password = "pw";
  f.pop_server = "pop.example.com";
  f.smtp_server = "smtp.example.com";
  return f;
}

using MailboxCase = CheckCase<MailboxForm, MailboxField>;
using M = MailboxField;

TEST(MailboxCheck, reportsTheFirstFailureInOrder) {
  test::TempDir temp;
  MailboxList accounts{ProgramDir(temp.path())};
  MailboxRecord taken;
  taken.address = "Taken@Example.com";
  (void)accounts.create(taken);
  const MailboxCase cases[] = {
      {"complete form passes", [](MailboxForm&) {}, std::nullopt},
      {"empty address", [](MailboxForm& f) { f.address.clear(); }, {{M::address, sid::kBadAddress}}},
      {"no at sign", [](MailboxForm& f) { f.address = "userexample.com"; }, {{M::address, sid::kBadAddress}}},
      {"only a dot before the at sign", [](MailboxForm& f) { f.address = "first.last@host"; }, {{M::address, sid::kBadAddress}}},
      {"chinese address", [](MailboxForm& f) { f.address = "\xd5\xc5@\xc0\xfd.cn"; }, std::nullopt},
      {"address cannot name a file", [](MailboxForm& f) { f.address = "a/b@example.com"; }, {{M::address, sid::kBadAddress}}},
      {"existing address in another case", [](MailboxForm& f) { f.address = "taken@example.COM"; },
       {{M::address, sid::kMailboxExists}}},
      {"an existing account keeps its address",
       [](MailboxForm& f) {
         f.new_account = false;
         f.address = "Taken@Example.com";
       },
       std::nullopt},
      {"address before login name",
       [](MailboxForm& f) {
         f.address = "x";
         f.login_name.clear();
       },
       {{M::address, sid::kBadAddress}}},
      {"empty login name", [](MailboxForm& f) { f.login_name.clear(); }, {{M::login_name, sid::kBadLoginName}}},
      {"empty password", [](MailboxForm& f) { f.password.clear(); }, {{M::password, sid::kBadPassword}}},
      {"no password signed in through a provider",
       [](MailboxForm& f) {
         f.oauth = true;
         f.password.clear();
       },
       std::nullopt},
      {"POP server without dot", [](MailboxForm& f) { f.pop_server = "localhost"; }, {{M::pop_server, sid::kBadPopServer}}},
      {"empty SMTP server", [](MailboxForm& f) { f.smtp_server.clear(); }, {{M::smtp_server, sid::kBadSmtpServer}}},
      {"own credentials, empty SMTP login", [](MailboxForm& f) { f.own_smtp_credentials = true; },
       {{M::smtp_login_name, sid::kBadSmtpLoginName}}},
      {"own credentials, empty SMTP password",
       [](MailboxForm& f) {
         f.own_smtp_credentials = true;
         f.smtp_login_name = "smtp-user";
       },
       {{M::smtp_password, sid::kBadSmtpPassword}}},
      {"SMTP credentials unused", [](MailboxForm& f) { f.smtp_login_name.clear(); }, std::nullopt},
  };
  for (const MailboxCase& c : cases) {
    MailboxForm form = passing_mailbox();
    c.enter(form);
    EXPECT_EQ(check_mailbox(form, accounts), c.expected) << c.name;
  }
}

TEST(ContactAndGroupCheck, refuseABadAddressAndATakenName) {
  EXPECT_EQ(check_contact("zs@x.cn"), std::nullopt);
  EXPECT_EQ(check_contact("zs@localhost"), sid::kNotAnAddress);
  test::TempDir temp;
  AddressBook book{ProgramDir(temp.path())};
  (void)book.add_group("Friends");
  EXPECT_EQ(check_group("friends", book), sid::kGroupExists);
  EXPECT_EQ(check_group("Family", book), std::nullopt);
}

}  // namespace
}  // namespace pw::ui
