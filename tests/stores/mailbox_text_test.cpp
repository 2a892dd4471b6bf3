// Export of the accounts to text and import from it.
#include "stores/mailbox_text.h"

#include <gtest/gtest.h>

#include "res/string_ids.h"
#include "support/temp_dir.h"

namespace pw {
namespace {

class MailboxTextTest : public ::testing::Test {
 protected:
  MailboxTextTest() { std::filesystem::create_directories(dir / "MailUID"); }

  void add(std::string address, bool auth) {
    MailboxRecord r;
    r.address = std::move(address);
    r.login_name = "login";
    r.password = "pemvu";
    r.pop_server = "pop.x.cn";
    r.smtp_server = "smtp.x.cn";
    r.smtp_auth = auth ? 1 : 0;
    r.smtp_login_name = auth ? "slogin" : "";
    r.smtp_password = auth ? "spass" : "";
    list.create(r, false);
  }

  // An account signing in with OAuth 2.0: no passwords, TLS required.
  void add_oauth(std::string address, MailboxRecord::SignIn method) {
    MailboxRecord r;
    r.address = std::move(address);
    r.login_name = "login";
    r.pop_server = "pop.x.cn";
    r.smtp_server = "smtp.x.cn";
    r.smtp_auth = 1;
    r.smtp_login_name = "login";
    r.require_tls = true;
    r.sign_in = method;
    list.create(r, false);
  }

  test::TempDir dir;
  MailboxList list{ProgramDir(dir.path())};
};

TEST_F(MailboxTextTest, exportWritesPlainLinesAndSmtpLoginOnlyWithAuthentication) {
  add("a@x.cn", true);
  add("b@x.cn", false);
  MailboxExportResult result = export_mailboxes(list, dir / "out.txt");
  EXPECT_EQ(result.text_id, sid::kExportDone);
  EXPECT_EQ(result.accounts, 2u);
  EXPECT_EQ(dir.read("out.txt"),
            "a@x.cn\r\nlogin\r\npemvu\r\npop.x.cn\r\nsmtp.x.cn\r\nslogin\r\nspass\r\n\r\n"
            "b@x.cn\r\nlogin\r\npemvu\r\npop.x.cn\r\nsmtp.x.cn\r\n\r\n");
}

TEST_F(MailboxTextTest, exportAppendsTxtOnlyWhenTheNameLacksIt) {
  struct Case {
    const char* chosen;
    const char* written;
  };
  const Case cases[] = {{"list", "list.txt"}, {"list.txt", "list.txt"}, {"list.TXT", "list.TXT.txt"},
                        {"list.tx", "list.tx.txt"}};
  for (const Case& c : cases) {
    MailboxExportResult result = export_mailboxes(list, dir / c.chosen);
    EXPECT_EQ(result.file, dir / c.written) << c.chosen;
    EXPECT_TRUE(std::filesystem::exists(dir / c.written)) << c.chosen;
  }
}

TEST_F(MailboxTextTest, exportThatCannotWriteReportsFailure) {
  add("a@x.cn", false);
  std::filesystem::create_directories(dir / "taken.txt" / "inner");
  EXPECT_EQ(export_mailboxes(list, dir / "taken.txt").text_id, sid::kExportFailed);
  EXPECT_EQ(export_mailboxes(list, dir / "no-such-dir" / "out.txt").text_id, sid::kExportFailed);
}

TEST_F(MailboxTextTest, exportThenImportIntoAnEmptyListRecreatesEveryAccountPaused) {
  add("a@x.cn", true);
  add("b@x.cn", false);
  add_oauth("c@x.cn", MailboxRecord::SignIn::google);
  add_oauth("d@x.cn", MailboxRecord::SignIn::custom);
  ASSERT_EQ(export_mailboxes(list, dir / "out.txt").text_id, sid::kExportDone);
  // The method travels, a placeholder stands for the absent passwords.
  EXPECT_NE(dir.read("out.txt").find("c@x.cn\r\nlogin\r\n*\r\npop.x.cn\r\nsmtp.x.cn\r\nlogin\r\n*\r\nOAUTH2 google\r\n\r\n"),
            std::string::npos);

  test::TempDir other;
  MailboxList fresh{ProgramDir(other.path())};
  MailboxImportResult result = import_mailboxes(fresh, dir / "out.txt");
  EXPECT_EQ(result.text_id, sid::kImportDone);
  EXPECT_EQ(result.added, 4u);
  ASSERT_EQ(fresh.count(), 4u);
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(fresh.at(i)->record(), list.at(i)->record()) << i;
    EXPECT_TRUE(fresh.at(i)->paused()) << i;
  }
  EXPECT_EQ(fresh.at(0)->record().smtp_auth, 1u);
  EXPECT_EQ(fresh.at(1)->record().smtp_auth, 0u);
  EXPECT_EQ(fresh.watched_count(), 0u);
  EXPECT_EQ(result.accounts.size(), 4u);
  EXPECT_EQ(result.accounts[1], fresh.at(1));
}

TEST_F(MailboxTextTest, importOfExistingAddressesAddsNothingAndStillSucceeds) {
  add("a@x.cn", false);
  dir.write("in.txt", "A@X.CN\r\nl\r\np\r\npop\r\nsmtp\r\n\r\n");
  MailboxImportResult result = import_mailboxes(list, dir / "in.txt");
  EXPECT_EQ(result.text_id, sid::kImportDone);
  EXPECT_EQ(result.added, 0u);
  EXPECT_EQ(result.duplicates, 1u);
  EXPECT_EQ(list.count(), 1u);
}

TEST_F(MailboxTextTest, importReadsBlocksBetweenAnyRunOfEmptyLinesWithEitherLineEnd) {
  dir.write("in.txt",
            "\n\r\n"
            "one@x.cn\nl1\np1\npop1\nsmtp1\n"
            "\n\n\n"
            "two@x.cn\r\nl2\r\np2\r\npop2\r\nsmtp2\r\nsl\r\nsp\r\nextra\r\nmore\r\n"
            "\r\n"
            "three@x.cn\r\nonly-login");
  MailboxImportResult result = import_mailboxes(list, dir / "in.txt");
  ASSERT_EQ(result.added, 3u);
  MailboxRecord one = list.at(0)->record();
  EXPECT_EQ(one.address, "one@x.cn");
  EXPECT_EQ(one.smtp_server, "smtp1");
  EXPECT_EQ(one.smtp_auth, 0u);
  MailboxRecord two = list.at(1)->record();
  EXPECT_EQ(two.smtp_auth, 1u);
  EXPECT_EQ(two.smtp_login_name, "sl");
  EXPECT_EQ(two.smtp_password, "sp");
  MailboxRecord three = list.at(2)->record();
  EXPECT_EQ(three.login_name, "only-login");
  EXPECT_EQ(three.password, "");
}

TEST_F(MailboxTextTest, sixLineBlockTurnsAuthenticationOnWithAnEmptyPassword) {
  dir.write("in.txt", "a@x.cn\r\nl\r\np\r\npop\r\nsmtp\r\nsl\r\n");
  ASSERT_EQ(import_mailboxes(list, dir / "in.txt").added, 1u);
  EXPECT_EQ(list.at(0)->record().smtp_auth, 1u);
  EXPECT_EQ(list.at(0)->record().smtp_password, "");
}

TEST_F(MailboxTextTest, importCutsEachLineToItsField) {
  dir.write("in.txt", std::string(200, 'a') + "@x.cn\r\n" + std::string(200, 'l') + "\r\n" + std::string(50, 'p') +
                          "\r\n" + std::string(80, 's') + "\r\n");
  ASSERT_EQ(import_mailboxes(list, dir / "in.txt").added, 1u);
  MailboxRecord r = list.at(0)->record();
  EXPECT_EQ(r.address, std::string(127, 'a'));
  EXPECT_EQ(r.login_name, std::string(127, 'l'));
  EXPECT_EQ(r.password, std::string(31, 'p'));
  EXPECT_EQ(r.pop_server, std::string(63, 's'));
}

TEST_F(MailboxTextTest, blocksWhoseAddressCannotNameAFileAreSkippedAndCounted) {
  dir.write("in.txt",
            "../../etc/x\r\nl\r\n\r\n"
            "a\\b@x.cn\r\nl\r\n\r\n"
            "..\r\nl\r\n\r\n"
            "tab\there@x.cn\r\nl\r\n\r\n"
            "fine@x.cn\r\nl\r\n\r\n");
  MailboxImportResult result = import_mailboxes(list, dir / "in.txt");
  EXPECT_EQ(result.text_id, sid::kImportDone);
  EXPECT_EQ(result.unsafe, 4u);
  EXPECT_EQ(result.added, 1u);
  ASSERT_EQ(list.count(), 1u);
  EXPECT_EQ(list.at(0)->address(), "fine@x.cn");
}

TEST_F(MailboxTextTest, unreadableImportFileFails) {
  EXPECT_EQ(import_mailboxes(list, dir / "missing.txt").text_id, sid::kImportFailed);
  std::filesystem::create_directories(dir / "folder.txt");
  EXPECT_EQ(import_mailboxes(list, dir / "folder.txt").text_id, sid::kImportFailed);
  EXPECT_EQ(list.count(), 0u);
}

}  // namespace
}  // namespace pw
