// A check killed at many points and started again: no mail is acted on twice
// beyond the one whose actions were under way at each kill, none is skipped,
// and no queued deletion is lost.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <thread>

#include "e2e_fixture.h"
#include "engine/deletion_journal.h"

namespace pw::test {
namespace {

constexpr uint32_t kForward = bit(ActionKind::forward);
constexpr uint32_t kReply = bit(ActionKind::reply);
constexpr uint32_t kBackup = bit(ActionKind::backup);
constexpr uint32_t kDelete = bit(ActionKind::delete_on_server);
constexpr int kMails = 30;

// One mailbox, or four checked side by side (the program's default), with
// the same number of mails in all.
class CheckCrash : public ProgramEndToEnd, public ::testing::WithParamInterface<int> {
 protected:
  CheckCrash() {
    for (int b = 1; b < GetParam(); ++b) pop_users.push_back({"box" + std::to_string(b), "secret"});
  }

  // Times each mail's sender got a reply, by the mail's number.
  std::map<int, int> replies() const {
    std::map<int, int> out;
    for (const ReceivedMail& m : smtp.mails()) {
      if (m.recipients.size() != 1 || !m.recipients[0].starts_with("sender")) continue;
      ++out[std::stoi(m.recipients[0].substr(6))];
    }
    return out;
  }
};

TEST_P(CheckCrash, killedChecksRepeatAtMostTheMailInFlightAndLoseNothing) {
  Rule r = rule(kForward | kBackup | kReply | kDelete);
  r.reply.subject = "Re: #S#";
  r.reply.text = "Thank you, #N#.";
  std::vector<MailboxRecord> accounts;
  std::vector<std::filesystem::path> journals;
  for (const DovecotServer::User& user : pop_users) {
    MailboxRecord a = alice();
    a.address = user.name + "@home.test";
    a.login_name = user.name;
    accounts.push_back(a);
    journals.push_back(DeletionJournal::file_for(program.file("MailUID") / (a.address + ".uid")));
  }
  write_data(accounts, {r});
  std::map<std::string, int> wire;  // the mail as served -> its number
  for (int k = 1; k <= kMails; ++k) {
    pop.deliver(pop_users[size_t(k) % pop_users.size()].name, e2e_mail(k, 3000));
    wire[DovecotServer::wire_form(e2e_mail(k, 3000))] = k;
  }
  auto on_server = [&] {
    size_t n = 0;
    for (const DovecotServer::User& user : pop_users) n += pop.message_count(user.name);
    return n;
  };
  auto journalled = [&] {
    return std::any_of(journals.begin(), journals.end(), [](const auto& j) { return std::filesystem::exists(j); });
  };
  const std::filesystem::path exe = pelliwick_program();
  const std::vector<std::string> args = {"--check-once", "--data-dir", dir.path().string()};

  int kills = 0;
  for (int round = 0; round < 15 && on_server() > 0; ++round) {
    const size_t sent_before = smtp.mails().size();
    const size_t left = on_server();
    ProgramRun run(exe, args, dir.path() / "stderr.txt");
    // Kill points, in turn: just after a forward reached the server (the
    // mail's other actions under way), once every mail left was forwarded
    // (the deletion phase), and at a moment that moves through the run.
    const auto started = std::chrono::steady_clock::now();
    bool killed = false;
    while (!run.ended()) {
      const size_t sent = smtp.mails().size() - sent_before;
      const auto elapsed = std::chrono::steady_clock::now() - started;
      bool now = false;
      switch (round % 3) {
        case 0: now = sent >= 1 + size_t(round / 3); break;
        case 1: now = sent >= left || journalled(); break;
        case 2: now = elapsed >= std::chrono::milliseconds(5 + 12 * round); break;
      }
      if (now) {
        run.kill();
        killed = true;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));  // polling the servers' state
    }
    kills += killed ? 1 : 0;
    (void)run.wait();
  }
  // Then checks run to their end until nothing is left to do.
  int code = -1;
  for (int round = 0; round < 3 && code != 0; ++round) code = ProgramRun(exe, args, dir.path() / "stderr.txt").wait();
  EXPECT_EQ(code, 0) << stderr_text();
  EXPECT_GT(kills, 5);
  RecordProperty("kills", kills);

  EXPECT_EQ(on_server(), 0u) << "a queued deletion was lost";
  EXPECT_FALSE(journalled());
  std::map<int, int> forwarded = forwards();
  int repeats = 0;
  for (int k = 1; k <= kMails; ++k) {
    EXPECT_GE(forwarded[k], 1) << "mail " << k << " was skipped";
    repeats += std::max(0, forwarded[k] - 1);
  }
  EXPECT_LE(repeats, kills) << "more repeats than mails in flight at the kills";
  RecordProperty("repeats", repeats);
  std::map<int, int> replied = replies();
  int reply_repeats = 0;
  for (int k = 1; k <= kMails; ++k) {
    EXPECT_GE(replied[k], 1) << "mail " << k << " got no reply";
    reply_repeats += std::max(0, replied[k] - 1);
  }
  EXPECT_LE(reply_repeats, kills) << "more repeated replies than mails in flight at the kills";
  std::map<int, int> backed_up;
  for (const std::string& content : backup_contents()) {
    ASSERT_TRUE(wire.contains(content)) << "a backup differs from every delivered mail: " << content.size()
                                        << " bytes";
    ++backed_up[wire[content]];
  }
  EXPECT_EQ(backed_up.size(), size_t(kMails));
  // Every line of each seen file is a whole identifier.
  for (const MailboxRecord& a : accounts) {
    const std::string text = read_file(program.file("MailUID") / (a.address + ".uid")).value_or("");
    for (size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
      EXPECT_EQ(end - at, 16u) << a.address;
  }
}

INSTANTIATE_TEST_SUITE_P(Mailboxes, CheckCrash, ::testing::Values(1, 4));

}  // namespace
}  // namespace pw::test
