// Remote management's session without the view: listing in both modes and
// carrying out a deletion against Dovecot; a listing cut short by the server;
// a stop while the server never answers.
#include "engine/remote_session.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "check_run_fixture.h"
#include "net/pop3_session.h"
#include "res/string_table.h"
#include "support/dovecot_server.h"
#include "support/loopback_listener.h"

namespace pw::test {
namespace {

class RemoteSessionTest : public CheckRunFixture {
 protected:
  // Starts Dovecot with `count` mails for the account and points the account at it.
  void start_dovecot(int count) {
    for (int k = 0; k < count; ++k) dovecot.deliver("me", small_mail(k));
    ASSERT_TRUE(dovecot.start({{"me", "pop-secret"}})) << dovecot.error();
    MailboxRecord r = account->record();
    r.pop_server = dovecot.server_field();
    account->set_record(r);
    Pop3Session pop;
    ASSERT_TRUE(pop.log_in(dovecot.server_field(), "me", "pop-secret") && pop.uidl_all());
    for (int i = 1; i <= pop.message_count(); ++i) uids.emplace_back(pop.unique_id(i));
    (void)pop.quit();
  }
  RemoteSession session(Pop3Options pop3 = {}) {
    return RemoteSession(*account, {host, log, local_mail, clock, {}, std::move(pop3)});
  }
  RemoteSession::Rows list(RemoteSession& s, RemoteSession::Mode mode) {
    RemoteSession::Rows rows;
    s.list(mode, [&](std::unique_ptr<MailProcessor> row) { rows.push_back(std::move(row)); }, stop);
    return rows;
  }

  DovecotServer dovecot;
  std::vector<std::string> uids;
  StopSignal stop;
};

TEST_F(RemoteSessionTest, listingGivesHeadersOfAllOrOfTheUnseenMails) {
  ASSERT_NO_FATAL_FAILURE(start_dovecot(3));
  (void)account->seen().add(uids[1]);
  RemoteSession s = session();
  const struct {
    RemoteSession::Mode mode;
    std::vector<std::string> subjects;
  } cases[] = {{RemoteSession::Mode::all_mails, {"mail 0", "mail 1", "mail 2"}},
               {RemoteSession::Mode::new_mails, {"mail 0", "mail 2"}}};
  for (const auto& c : cases) {
    const RemoteSession::Rows rows = list(s, c.mode);
    std::vector<std::string> subjects;
    for (const auto& row : rows) {
      subjects.push_back(row->subject());
      EXPECT_EQ(row->mail_size(), small_mail(0).size());
      EXPECT_FALSE(row->summary().full_text);
    }
    EXPECT_EQ(subjects, c.subjects);
  }
  EXPECT_TRUE(s.processed(uids[1]));
  EXPECT_TRUE(host.notices.empty());
}

TEST_F(RemoteSessionTest, deletionMarkDeletesWithoutDownloadingAndLogs) {
  ASSERT_NO_FATAL_FAILURE(start_dovecot(2));
  std::vector<std::string> traced;
  RemoteSession s = session({.trace = [&](std::string_view line) { traced.emplace_back(line); }});
  RemoteSession::Rows rows = list(s, RemoteSession::Mode::all_mails);
  ASSERT_EQ(rows.size(), 2u);
  rows[0]->extra().operations = ExtraOperations::kDelete;
  s.carry_out(rows, stop);
  EXPECT_EQ(dovecot.message_count("me"), 1u);
  EXPECT_FALSE(rows[0]->summary().full_text);
  // Marked seen for the automatic check while it ran, gone from the list once deleted.
  EXPECT_FALSE(s.processed(uids[0]));
  const std::vector<LogRecord> logged = log_records();
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_TRUE(logged[0].success);
  EXPECT_EQ(std::count(traced.begin(), traced.end(), "C: RETR 1"), 0);
  EXPECT_EQ(std::count(traced.begin(), traced.end(), "C: DELE 1"), 1);
}

TEST_F(RemoteSessionTest, listingCutShortByTheServerIsReported) {
  pop_uidl(pop_login(next_session()), {"a", "b"});
  pop_top(*peers.back(), 1, "Subject: first\r\n").client("LIST 1\r\n").server("+OK 1 120\r\n");
  peers.back()->client("TOP 2 0\r\n").close();
  RemoteSession s = session({.stream = [this] { return std::make_unique<PeerStream>(*peers[opened++], receive_sizes); }});
  const RemoteSession::Rows rows = list(s, RemoteSession::Mode::all_mails);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0]->subject(), "first");
  EXPECT_EQ(rows[0]->mail_size(), 120u);
  ASSERT_EQ(host.notices.size(), 1u);
  EXPECT_EQ(host.notices[0], res::text(sid::kErrorTitle) + "|" + res::text(sid::kListingError));
}

TEST_F(RemoteSessionTest, stopEndsTheWaitForAMuteServerAtOnceWithoutNotice) {
  Listener mute;  // takes connections and never says a word
  MailboxRecord r = account->record();
  r.pop_server = "127.0.0.1:" + std::to_string(mute.port());
  account->set_record(r);
  RemoteSession s = session();
  std::chrono::steady_clock::time_point stopped;
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // well into the wait for the greeting
    stopped = std::chrono::steady_clock::now();
    stop.raise();
  });
  const RemoteSession::Rows rows = list(s, RemoteSession::Mode::all_mails);
  const auto ended = std::chrono::steady_clock::now();
  stopper.join();
  EXPECT_LT(ended - stopped, std::chrono::seconds(1));  // the server's own wait is 20 s
  EXPECT_TRUE(rows.empty());
  EXPECT_TRUE(host.notices.empty());
}

}  // namespace
}  // namespace pw::test
