// The account list, its file "Mailbox", bindings and counters.
#include "stores/mailbox_list.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <set>
#include <thread>

#include "record_bytes.h"
#include "res/string_ids.h"

namespace pw {
namespace {

class CountingRules : public RuleUseCounter {
 public:
  void rule_bound(uint32_t id) override { ++use[id]; }
  void rule_unbound(uint32_t id) override { --use[id]; }
  std::map<uint32_t, int> use;
};

MailboxRecord record_for(std::string address) {
  MailboxRecord r;
  r.address = std::move(address);
  r.login_name = "user";
  r.password = "pw";
  r.pop_server = "pop.example.cn";
  r.smtp_server = "smtp.example.cn";
  return r;
}

class MailboxListTest : public ::testing::Test {
 protected:
  MailboxListTest() { std::filesystem::create_directories(dir / "MailUID"); }

  std::function<bool(uint32_t)> rules_exist(std::set<uint32_t> ids) {
    return [ids](uint32_t id) { return ids.count(id) > 0; };
  }

  test::TempDir dir;
  CountingRules rules;
  MailboxList list{ProgramDir(dir.path()), &rules};
};

TEST_F(MailboxListTest, savedEntryIsTheRecordThenCountThenHexRuleIds) {
  auto account = list.create(record_for("a@b.cn"), false);
  ASSERT_TRUE(list.bind(*account, 1));
  ASSERT_TRUE(list.bind(*account, 26));
  ASSERT_TRUE(list.save().ok);
  std::string expected = account->record().encode(false) + test::hex_bytes("02 00 00 00") + "000000010000001a";
  EXPECT_EQ(dir.read("Mailbox"), expected);
  EXPECT_EQ(dir.read("Mailbox").substr(0, 6), "a@b.cn");
}

TEST_F(MailboxListTest, saveAndLoadRoundTripAccountsBindingsAndPausedFlags) {
  auto a = list.create(record_for("a@b.cn"), false);
  auto b = list.create(record_for("c@d.cn"), true);
  auto c = list.create(record_for("e@f.cn"), false);  // no rules: stays unpaused
  list.bind(*a, 7);
  list.bind(*a, 0xdeadbeef);
  list.bind(*b, 7);
  ASSERT_TRUE(list.save().ok);
  std::string first = dir.read("Mailbox");
  list.release();
  EXPECT_EQ(rules.use[7], 0);
  EXPECT_EQ(rules.use[0xdeadbeef], 0);

  MailboxList loaded(ProgramDir(dir.path()), &rules);
  MailboxLoadReport report = loaded.load(rules_exist({7, 0xdeadbeef}));
  EXPECT_EQ(report.accounts, 3u);
  EXPECT_FALSE(report.damaged);
  ASSERT_EQ(loaded.count(), 3u);
  EXPECT_EQ(loaded.at(0)->record(), a->record());
  EXPECT_EQ(loaded.at(0)->bound_rules(), (std::vector<uint32_t>{7, 0xdeadbeef}));
  EXPECT_TRUE(loaded.at(1)->paused());
  EXPECT_FALSE(loaded.at(2)->paused());
  EXPECT_EQ(loaded.at(2)->bound_count(), 0u);
  EXPECT_EQ(loaded.watched_count(), 2u);
  EXPECT_EQ(loaded.binding_count(), 3u);
  EXPECT_EQ(rules.use[7], 2);
  EXPECT_EQ(rules.use[0xdeadbeef], 1);
  EXPECT_EQ(loaded.at(3), nullptr);
  ASSERT_TRUE(loaded.save().ok);
  EXPECT_EQ(dir.read("Mailbox"), first);
}

TEST_F(MailboxListTest, passwordHoldingItsKeyLettersSurvivesSaveAndLoad) {
  MailboxRecord r = record_for("a@b.cn");
  r.password = "pemvu-pass";
  r.smtp_password = "p";
  list.create(r, false);
  ASSERT_TRUE(list.save().ok);
  MailboxList loaded(ProgramDir(dir.path()));
  loaded.load(nullptr);
  EXPECT_EQ(loaded.at(0)->record().password, "pemvu-pass");
  EXPECT_EQ(loaded.at(0)->record().smtp_password, "p");
}

TEST_F(MailboxListTest, ruleIdsWithoutARuleOrNotHexAreDropped) {
  std::string data = record_for("a@b.cn").encode(false) + test::hex_bytes("03 00 00 00") +
                     "00000001" "0000zz02" "00000003";
  dir.write("Mailbox", data);
  MailboxLoadReport report = list.load(rules_exist({1, 2}));
  EXPECT_EQ(report.dropped_rule_ids, 2u);
  EXPECT_EQ(list.at(0)->bound_rules(), (std::vector<uint32_t>{1}));
  EXPECT_EQ(list.binding_count(), 1u);
}

TEST_F(MailboxListTest, uppercaseHexAndRepeatedIdsLoadAsOneBinding) {
  dir.write("Mailbox", record_for("a@b.cn").encode(false) + test::hex_bytes("02 00 00 00") + "0000001A0000001a");
  list.load(rules_exist({26}));
  EXPECT_EQ(list.at(0)->bound_rules(), (std::vector<uint32_t>{26}));
  EXPECT_EQ(rules.use[26], 1);
}

TEST_F(MailboxListTest, missingEmptyOrDirectoryFileGivesAnEmptyList) {
  EXPECT_EQ(list.load(nullptr).accounts, 0u);
  dir.write("Mailbox", "");
  EXPECT_EQ(list.load(nullptr).accounts, 0u);
  std::filesystem::remove(dir / "Mailbox");
  std::filesystem::create_directories(dir / "Mailbox");
  MailboxLoadReport report = list.load(nullptr);
  EXPECT_EQ(report.accounts, 0u);
  EXPECT_FALSE(report.damaged);
  EXPECT_EQ(list.count(), 0u);
}

TEST_F(MailboxListTest, damagedLastRecordIsDropped) {
  std::string good = record_for("a@b.cn").encode(false) + test::hex_bytes("00 00 00 00");
  std::string cut = record_for("c@d.cn").encode(false).substr(0, 583);
  dir.write("Mailbox", good + cut);
  MailboxLoadReport report = list.load(nullptr);
  EXPECT_TRUE(report.damaged);
  ASSERT_EQ(list.count(), 1u);
  EXPECT_EQ(list.at(0)->address(), "a@b.cn");
}

TEST_F(MailboxListTest, completeRecordWithoutItsCountIsKeptWithoutRules) {
  dir.write("Mailbox", record_for("a@b.cn").encode(false) + test::hex_bytes("01 00"));
  MailboxLoadReport report = list.load(rules_exist({1}));
  EXPECT_TRUE(report.damaged);
  ASSERT_EQ(list.count(), 1u);
  EXPECT_EQ(list.at(0)->bound_count(), 0u);
}

TEST_F(MailboxListTest, countRunningPastTheEndKeepsTheCompleteIds) {
  dir.write("Mailbox", record_for("a@b.cn").encode(false) + test::hex_bytes("ff ff ff ff") + "00000001000000");
  MailboxLoadReport report = list.load(rules_exist({1}));
  EXPECT_TRUE(report.damaged);
  ASSERT_EQ(list.count(), 1u);
  EXPECT_EQ(list.at(0)->bound_rules(), (std::vector<uint32_t>{1}));
}

TEST_F(MailboxListTest, laterEntryRepeatingAnAddressIsSkipped) {
  std::string none = test::hex_bytes("00 00 00 00");
  MailboxRecord second = record_for("A@B.CN");
  second.login_name = "other";
  dir.write("Mailbox", record_for("a@b.cn").encode(false) + none + second.encode(false) + test::hex_bytes("01 00 00 00") +
                           "00000001" + record_for("c@d.cn").encode(false) + none);
  MailboxLoadReport report = list.load(rules_exist({1}));
  EXPECT_EQ(report.duplicate_accounts, 1u);
  ASSERT_EQ(list.count(), 2u);
  EXPECT_EQ(list.at(0)->record().login_name, "user");
  EXPECT_EQ(list.at(1)->address(), "c@d.cn");
  EXPECT_EQ(list.binding_count(), 0u);
}

TEST_F(MailboxListTest, loadReadsTheSeenListsAndSaveLeavesTheirFilesToTheChecks) {
  dir.write("MailUID/a@b.cn.uid", "u1\r\nu2\r\n");
  dir.write("Mailbox", record_for("a@b.cn").encode(false) + test::hex_bytes("00 00 00 00"));
  list.load(nullptr);
  auto account = list.at(0);
  EXPECT_EQ(account->seen().identifiers(), (std::vector<std::string>{"u1", "u2"}));
  account->seen().mark_seen(*account->seen().find("u2"));
  account->set_uid_list_complete();
  // Meanwhile a headless check beside the window appended an identifier:
  // a save from this start-time copy must not lose it.
  dir.write("MailUID/a@b.cn.uid", "u1\r\nu2\r\nu3\r\n");
  ASSERT_TRUE(list.save().ok);
  EXPECT_EQ(dir.read("MailUID/a@b.cn.uid"), "u1\r\nu2\r\nu3\r\n");
  EXPECT_EQ(list.count(), 1u) << "a save keeps the accounts in memory";
}

TEST_F(MailboxListTest, saveLoginsChangesOnlyTheLogInOfTheFileAsItIsNow) {
  auto a = list.create(record_for("a@b.cn"), false);
  ASSERT_TRUE(list.bind(*a, 7));
  ASSERT_TRUE(list.save().ok);
  // The window saves an edit after the headless check read the file.
  MailboxList window(ProgramDir(dir.path()));
  window.load(rules_exist({7, 9}));
  MailboxRecord edited = window.at(0)->record();
  edited.pop_server = "pop.edited.cn";
  window.at(0)->set_record(edited);
  ASSERT_TRUE(window.bind(*window.at(0), 9));
  window.create(record_for("new@b.cn"));
  ASSERT_TRUE(window.save().ok);

  a->set_pop_login("user", "corrected");
  ASSERT_TRUE(list.save_logins({a}).ok);

  MailboxList reread(ProgramDir(dir.path()));
  reread.load(rules_exist({7, 9}));
  ASSERT_EQ(reread.count(), 2u);
  EXPECT_EQ(reread.at(0)->record().password, "corrected");
  EXPECT_EQ(reread.at(0)->record().pop_server, "pop.edited.cn");
  EXPECT_EQ(reread.at(0)->bound_rules(), (std::vector<uint32_t>{7, 9}));
  EXPECT_EQ(reread.at(1)->address(), "new@b.cn");
  EXPECT_TRUE(list.save_logins({}).ok);
}

// A headless check keeps a server's first TLS handshake by setting that one
// bit in the file as it is now: the window's edits stay byte for byte, and an
// entry whose POP server the window changed gets no mark.
TEST_F(MailboxListTest, saveTlsSeenSetsOnlyThatBitOfTheFileAsItIsNow) {
  auto a = list.create(record_for("a@b.cn"), false);
  auto b = list.create(record_for("c@d.cn"), false);
  ASSERT_TRUE(list.save().ok);
  MailboxList window(ProgramDir(dir.path()));
  window.load(nullptr);
  MailboxRecord edited = window.at(0)->record();
  edited.password = "typed in the window";
  edited.require_tls = true;
  window.at(0)->set_record(edited);
  edited = window.at(1)->record();
  edited.pop_server = "pop.moved.cn";
  window.at(1)->set_record(edited);
  ASSERT_TRUE(window.save().ok);
  const std::string before = dir.read("Mailbox");

  for (const auto& account : {a, b}) EXPECT_TRUE(account->mark_tls_seen(account->record().pop_server));
  EXPECT_FALSE(a->mark_tls_seen(a->record().pop_server)) << "marked already";
  ASSERT_TRUE(list.save_tls_seen({a, b}).ok);

  std::string expected = before;
  expected[581] = static_cast<char>(expected[581] | 0x02);
  EXPECT_EQ(dir.read("Mailbox"), expected);
  MailboxList reread(ProgramDir(dir.path()));
  reread.load(nullptr);
  EXPECT_TRUE(reread.at(0)->record().tls_seen);
  EXPECT_EQ(reread.at(0)->record().password, "typed in the window");
  EXPECT_FALSE(reread.at(1)->record().tls_seen);

  // A record whose POP server changed in memory is not marked for the old one.
  MailboxRecord moved = b->record();
  moved.tls_seen = false;
  moved.pop_server = "pop.new.cn";
  b->set_record(moved);
  EXPECT_FALSE(b->mark_tls_seen("pop.old.cn"));
  EXPECT_FALSE(b->record().tls_seen);
}

TEST_F(MailboxListTest, passwordFilesAreTheOwnersAloneAndAnOldOneIsTightened) {
  list.create(record_for("a@b.cn"));
  dir.write("Mailbox", "");
  std::filesystem::permissions(dir / "Mailbox", std::filesystem::perms(0644));
  ASSERT_TRUE(list.save().ok);
  EXPECT_EQ(std::filesystem::status(dir / "Mailbox").permissions(), std::filesystem::perms(0600));
  ASSERT_TRUE(list.save_logins({list.at(0)}).ok);
  EXPECT_EQ(std::filesystem::status(dir / "Mailbox").permissions(), std::filesystem::perms(0600));
}

TEST_F(MailboxListTest, failedSaveReportsItsText) {
  auto account = list.create(record_for("a@b.cn"), false);
  account->seen().add("u1");
  std::filesystem::create_directories(dir / "Mailbox" / "inner");
  StoreResult result = list.save();
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.text_id, sid::kMailboxesFileFailed);
  EXPECT_FALSE(std::filesystem::exists(dir / "MailUID" / "a@b.cn.uid"));
  EXPECT_EQ(list.count(), 1u);
}

TEST_F(MailboxListTest, addressThatCannotNameAFileGetsNoSeenListFile) {
  dir.write("evil.uid", "keep\r\n");
  dir.write("Mailbox", record_for("../evil").encode(false) + test::hex_bytes("00 00 00 00"));
  list.load(nullptr);
  ASSERT_EQ(list.count(), 1u);
  auto account = list.at(0);
  EXPECT_FALSE(account->seen().has_file());
  EXPECT_EQ(account->seen().size(), 0u);
  account->seen().add("x");
  EXPECT_FALSE(account->seen().append_seen("x"));
  ASSERT_TRUE(list.save().ok);
  EXPECT_EQ(dir.read("evil.uid"), "keep\r\n");
  // Normal addresses keep their exact name, letter case included.
  auto normal = list.create(record_for("Zhang.San@Example.CN"));
  EXPECT_EQ(normal->seen().file(), dir / "MailUID" / "Zhang.San@Example.CN.uid");
}

TEST_F(MailboxListTest, findIgnoresCaseAndReturnsTheFirst) {
  list.create(record_for("Li@Example.cn"));
  EXPECT_EQ(list.find("li@example.CN")->address(), "Li@Example.cn");
  EXPECT_EQ(list.find("li@example.com"), nullptr);
}

TEST_F(MailboxListTest, watchedCountFollowsCreatePauseResumeAndRemove) {
  auto a = list.create(record_for("a@b.cn"), false);
  auto b = list.create(record_for("c@d.cn"));  // new accounts start paused
  EXPECT_TRUE(b->paused());
  EXPECT_EQ(list.watched_count(), 1u);
  list.resume(*b);
  list.resume(*b);
  EXPECT_EQ(list.watched_count(), 2u);
  list.pause(*a);
  list.pause(*a);
  EXPECT_EQ(list.watched_count(), 1u);
  EXPECT_TRUE(list.remove(*b));
  EXPECT_EQ(list.watched_count(), 0u);
  EXPECT_FALSE(list.remove(*b));
}

TEST_F(MailboxListTest, bindingCountAndUseCountsMoveTogether) {
  auto a = list.create(record_for("a@b.cn"), false);
  auto b = list.create(record_for("c@d.cn"), false);
  EXPECT_TRUE(list.bind(*a, 1));
  EXPECT_FALSE(list.bind(*a, 1)) << "already bound";
  list.bind(*a, 2);
  list.bind(*b, 1);
  EXPECT_EQ(list.binding_count(), 3u);
  EXPECT_EQ(rules.use[1], 2);
  EXPECT_TRUE(a->is_bound(2));
  EXPECT_TRUE(list.unbind(*a, 2));
  EXPECT_FALSE(list.unbind(*a, 2));
  EXPECT_EQ(rules.use[2], 0);
  EXPECT_EQ(list.unbind_all(*a), 1u);
  EXPECT_EQ(list.binding_count(), 1u);
  EXPECT_EQ(rules.use[1], 1);
  list.remove(*b);
  EXPECT_EQ(list.binding_count(), 0u);
  EXPECT_EQ(rules.use[1], 0);
}

TEST_F(MailboxListTest, accountOfAnotherListIsNotBound) {
  MailboxList other(ProgramDir(dir.path()));
  auto stranger = other.create(record_for("x@y.cn"), false);
  EXPECT_FALSE(list.bind(*stranger, 1));
  EXPECT_EQ(stranger->bound_count(), 0u);
  EXPECT_EQ(rules.use[1], 0);
}

TEST_F(MailboxListTest, unbindingADeletedRuleEverywherePausesAccountsLeftWithoutRules) {
  auto a = list.create(record_for("a@b.cn"), false);
  auto b = list.create(record_for("c@d.cn"), false);
  auto c = list.create(record_for("e@f.cn"), false);
  list.bind(*a, 5);
  list.bind(*b, 5);
  list.bind(*b, 6);
  EXPECT_EQ(list.unbind_everywhere(5), 2u);
  EXPECT_EQ(rules.use[5], 0);
  EXPECT_TRUE(a->paused());
  EXPECT_FALSE(b->paused());
  EXPECT_TRUE(c->paused()) << "every account without a rule is paused";
  EXPECT_EQ(list.watched_count(), 1u);
  EXPECT_EQ(list.binding_count(), 1u);
}

TEST_F(MailboxListTest, resumeAllResumesOnlyAccountsWithRules) {
  auto a = list.create(record_for("a@b.cn"), false);
  auto b = list.create(record_for("c@d.cn"), false);
  list.bind(*a, 1);
  list.pause_all();
  EXPECT_EQ(list.watched_count(), 0u);
  EXPECT_TRUE(b->paused());
  list.resume_all();
  EXPECT_FALSE(a->paused());
  EXPECT_TRUE(b->paused());
  EXPECT_EQ(list.watched_count(), 1u);
}

TEST_F(MailboxListTest, removedAccountDeletesItsFilesAndStaysUsableForItsHolder) {
  dir.write("MailUID/a@b.cn.uid", "u1\r\n");
  dir.write("MailUID/a@b.cn.del", "u1\ts\tr\tsubj\tdelete\t#\r\n");
  dir.write("Mailbox", record_for("a@b.cn").encode(false) + test::hex_bytes("00 00 00 00"));
  list.load(nullptr);
  std::shared_ptr<MailboxAccount> held = list.at(0);
  ASSERT_TRUE(list.remove(*held));
  EXPECT_FALSE(std::filesystem::exists(dir / "MailUID" / "a@b.cn.uid"));
  EXPECT_FALSE(std::filesystem::exists(dir / "MailUID" / "a@b.cn.del")) << "a new account would inherit its deletions";
  // A worker still holding the account reads it and cannot recreate the file.
  EXPECT_EQ(held->address(), "a@b.cn");
  EXPECT_TRUE(held->seen().contains("u1"));
  EXPECT_FALSE(held->seen().append_seen("u2"));
  EXPECT_FALSE(std::filesystem::exists(dir / "MailUID" / "a@b.cn.uid"));
}

TEST_F(MailboxListTest, recordEditsKeepTheAddress) {
  auto a = list.create(record_for("a@b.cn"));
  MailboxRecord edited = record_for("other@b.cn");
  edited.login_name = "new";
  a->set_record(edited);
  a->set_pop_login("corrected", "secret");
  a->set_smtp_login("smtp-user", "smtp-secret");
  MailboxRecord r = a->record();
  EXPECT_EQ(r.address, "a@b.cn");
  EXPECT_EQ(r.login_name, "corrected");
  EXPECT_EQ(r.password, "secret");
  EXPECT_EQ(r.smtp_login_name, "smtp-user");
  EXPECT_EQ(r.smtp_password, "smtp-secret");
}

TEST_F(MailboxListTest, workerReadingAccountsWhileTheUserEditsThem) {
  MailboxList shared(ProgramDir(dir.path()));
  for (int i = 0; i < 8; ++i) shared.create(record_for("u" + std::to_string(i) + "@x.cn"), false);
  std::atomic<bool> started{false};
  std::atomic<bool> stop{false};
  std::thread worker([&] {
    size_t seen = 0;
    do {
      for (const auto& account : shared.accounts()) {
        seen += account->record().login_name.size() + account->bound_rules().size() + account->paused();
        account->set_pop_login("corrected", "pw");
      }
      started = true;
    } while (!stop);
    EXPECT_GT(seen, 0u);
  });
  while (!started) std::this_thread::yield();
  for (int round = 0; round < 200; ++round) {
    auto account = shared.at(static_cast<size_t>(round) % shared.count());
    shared.bind(*account, uint32_t(round));
    shared.pause(*account);
    MailboxRecord edited = account->record();
    edited.pop_server = "pop" + std::to_string(round) + ".x.cn";
    account->set_record(edited);
    shared.resume(*account);
    if (round % 20 == 0) {
      shared.remove(*account);
      shared.create(record_for("n" + std::to_string(round) + "@x.cn"), false);
    }
  }
  stop = true;
  worker.join();
  size_t bindings = 0;
  for (const auto& account : shared.accounts()) bindings += account->bound_count();
  EXPECT_EQ(shared.binding_count(), bindings);
  EXPECT_EQ(shared.watched_count(), shared.count());
}

}  // namespace
}  // namespace pw
