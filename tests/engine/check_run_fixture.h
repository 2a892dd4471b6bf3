#pragma once
// What the check-run tests share: a program directory with its stores, a
// scripted engine host, rules bound to one account, and POP3 servers played
// by scripted peers, one per session the run opens.
#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "base/local_time.h"
#include "base/program_dir.h"
#include "engine/check_run.h"
#include "engine/deletion_journal.h"
#include "engine/engine_host.h"
#include "engine/mail_processor.h"
#include "rules/rule.h"
#include "net/sender_verifier.h"
#include "stores/local_mail_index.h"
#include "stores/mailbox_list.h"
#include "stores/operation_log.h"
#include "support/data_builders.h"
#include "support/scripted_peer.h"
#include "support/temp_dir.h"

namespace pw::test {

class ScriptedEngineHost final : public EngineHost {
 public:
  struct Confirmation {
    std::string address;
    size_t mails = 0;
    int countdown = 0;
  };
  struct LoginRequest {
    LoginService service;
    LoginData refused;
  };

  void report(const StatusReport& r) override {
    reports.push_back(r);
    if (on_report) on_report(r);
  }
  void notice(std::string_view title, std::string_view message) override {
    notices.emplace_back(std::string(title) + "|" + std::string(message));
  }
  bool ask_yes_no(std::string_view message) override {
    ADD_FAILURE() << "unexpected question: " << message;
    return false;
  }
  void warning(std::string_view message) override { ADD_FAILURE() << "unexpected warning: " << message; }
  DownloadResult download_mail(const DownloadRequest&) override {
    ADD_FAILURE() << "unexpected download";
    return {};
  }
  std::optional<LoginData> correct_login(LoginService service, const LoginData& refused,
                                         std::string_view) override {
    login_requests.push_back({service, refused});
    if (logins.empty()) return std::nullopt;
    std::optional<LoginData> next = logins.front();
    logins.pop_front();
    return next;
  }
  void bring_to_front() override { ++fronts; }
  bool confirm(std::string_view address, std::span<MailProcessor* const> mails, int countdown) override {
    confirmations.push_back({std::string(address), mails.size(), countdown});
    if (on_confirm) on_confirm(mails);
    return answers_confirmations;
  }
  void dial_up_failed(std::string_view message) override { dial_messages.emplace_back(message); }

  // The texts shown in `pane`, in order.
  [[nodiscard]] std::vector<std::string> texts(int pane) const {
    std::vector<std::string> out;
    for (const StatusReport& r : reports)
      if (r.kind == StatusReport::Kind::text && r.pane == pane) out.push_back(r.text);
    return out;
  }

  std::deque<std::optional<LoginData>> logins;  // answers to correct_login
  std::function<void(std::span<MailProcessor* const>)> on_confirm;
  std::function<void(const StatusReport&)> on_report;
  bool answers_confirmations = true;  // false: as if no window could be shown

  std::vector<StatusReport> reports;
  std::vector<std::string> notices;  // "title|message"
  std::vector<LoginRequest> login_requests;
  std::vector<Confirmation> confirmations;
  std::vector<std::string> dial_messages;
  int fronts = 0;
};

class NoVerifier final : public SenderVerifier {
 public:
  bool verify(std::string_view, std::string_view) override { return true; }
};

class ScriptedDialUp final : public DialUp {
 public:
  std::vector<std::string> list_entries() override { return {}; }
  DialResult dial(const DialRequest& r) override {
    dialled.push_back(r.entry);
    return next;
  }
  void hang_up() override { ++hang_ups; }
  DialResult next;
  std::vector<std::string> dialled;
  int hang_ups = 0;
};

// A byte stream that plays a peer the fixture keeps, so the test can look at
// it after the session is gone.
class PeerStream final : public ByteStream {
 public:
  PeerStream(ScriptedPeer& peer, std::vector<size_t>& receive_sizes) : peer_(peer), sizes_(receive_sizes) {}
  bool connect(const std::string& host, int port) override { return peer_.connect(host, port); }
  int send(std::string_view data) override { return peer_.send(data); }
  int receive(char* buffer, size_t capacity) override {
    sizes_.push_back(capacity);
    return peer_.receive(buffer, capacity);
  }

 private:
  ScriptedPeer& peer_;
  std::vector<size_t>& sizes_;
};

// POP3 script pieces for the account of the fixture (login "me", password
// "pop-secret").
inline ScriptedPeer& pop_login(ScriptedPeer& p) {
  return p.server("+OK ready\r\n").client("USER me\r\n").server("+OK\r\n").client("PASS pop-secret\r\n").server(
      "+OK logged in\r\n");
}
inline ScriptedPeer& pop_uidl(ScriptedPeer& p, const std::vector<std::string>& uids) {
  std::string listing = "+OK\r\n";
  for (size_t i = 0; i < uids.size(); ++i) listing += std::to_string(i + 1) + " " + uids[i] + "\r\n";
  return p.client("UIDL\r\n").server(listing + ".\r\n");
}
inline ScriptedPeer& pop_quit(ScriptedPeer& p) { return p.client("QUIT\r\n").server("+OK bye\r\n"); }
// LIST of all messages: (message number, size) pairs.
inline ScriptedPeer& pop_list_all(ScriptedPeer& p, const std::vector<std::pair<int, size_t>>& sizes) {
  std::string listing = "+OK\r\n";
  for (const auto& [n, size] : sizes) listing += std::to_string(n) + " " + std::to_string(size) + "\r\n";
  return p.client("LIST\r\n").server(listing + ".\r\n");
}
// CAPA answered with `lines`, or refused when there are none.
inline ScriptedPeer& pop_capa(ScriptedPeer& p, const std::vector<std::string>& lines) {
  if (lines.empty()) return p.client("CAPA\r\n").server("-ERR unknown command\r\n");
  std::string reply = "+OK\r\n";
  for (const std::string& l : lines) reply += l + "\r\n";
  return p.client("CAPA\r\n").server(reply + ".\r\n");
}
inline ScriptedPeer& pop_retr(ScriptedPeer& p, int n, const std::string& mail, size_t chunk = 0) {
  return p.client("RETR " + std::to_string(n) + "\r\n").server("+OK\r\n" + mail + ".\r\n", chunk);
}
inline ScriptedPeer& pop_top(ScriptedPeer& p, int n, const std::string& header) {
  return p.client("TOP " + std::to_string(n) + " 0\r\n").server("+OK\r\n" + header + ".\r\n");
}

inline std::string small_mail(int k) {
  return "From: sender" + std::to_string(k) + "@example.test\r\nTo: me@home.test\r\nSubject: mail " +
         std::to_string(k) + "\r\n\r\nbody " + std::to_string(k) + "\r\n";
}

class CheckRunFixture : public ::testing::Test {
 protected:
  CheckRunFixture() {
    EXPECT_TRUE(program.create_directories());
    log.load_current_month();
    local_mail.load_current_month();
    account = mailboxes.create(account_record("me@home.test", "pop-secret", "pop.home.test", "127.0.0.1:1"), false);
  }

  // A rule matching every mail, bound to the account.
  Rule& add_rule(uint32_t fetch_need, uint32_t actions = 0, int32_t confirm_seconds = 0) {
    Rule r;
    r.id = static_cast<int32_t>(rules.size() + 1);
    r.name = "rule " + std::to_string(r.id);
    r.fetch_need = fetch_need;
    r.action_mask = actions;
    r.confirm_seconds = confirm_seconds;
    r.delete_always = true;
    rules.push_back(r);
    EXPECT_TRUE(mailboxes.bind(*account, static_cast<uint32_t>(r.id)));
    return rules.back();
  }

  RunSettings settings() const {
    RunSettings s;
    s.rules.assign(rules.begin(), rules.end());
    return s;
  }

  // A scripted server for the next session the run opens.
  ScriptedPeer& next_session() {
    peers.push_back(std::make_unique<ScriptedPeer>());
    return *peers.back();
  }
  // A next session that logs in and lists `uids`; the test scripts the rest.
  ScriptedPeer& listed_session(const std::vector<std::string>& uids) {
    return pop_uidl(pop_login(next_session()), uids);
  }
  // A next session that lists `uids` and fetches nothing (a scan without a
  // fetch need), or deletes the messages `deleted` (by number) of the listing.
  void scan_session(const std::vector<std::string>& uids) { deletion_session(uids, {}); }
  void deletion_session(const std::vector<std::string>& uids, const std::vector<int>& deleted) {
    ScriptedPeer& p = listed_session(uids);
    for (int n : deleted) p.client("DELE " + std::to_string(n) + "\r\n").server("+OK\r\n");
    pop_quit(p);
  }

  RunOutcome check() { return run.run(nullptr, settings()); }

  void expect_sessions_done() {
    EXPECT_EQ(opened, peers.size()) << "sessions opened";
    for (size_t k = 0; k < peers.size(); ++k) EXPECT_TRUE(peers[k]->done()) << "session " << k << " not played out";
  }

  std::vector<LogRecord> log_records() const { return log.records(); }
  std::vector<std::string> seen_file_lines() const { return file_lines(account->seen().file()); }
  std::filesystem::path journal_file() const { return DeletionJournal::file_for(account->seen().file()); }

  TempDir dir;
  ProgramDir program{dir.path()};
  FixedClock clock{1101179103};
  OperationLog log{program, clock};
  LocalMailIndex local_mail{program, clock};
  MailboxList mailboxes{program};
  std::shared_ptr<MailboxAccount> account;
  std::deque<Rule> rules;  // a deque, so references from add_rule stay valid
  ScriptedEngineHost host;
  NoVerifier verifier;
  ScriptedDialUp dial_up;
  std::vector<std::unique_ptr<ScriptedPeer>> peers;
  size_t opened = 0;
  std::vector<size_t> receive_sizes;  // the capacity of every receive, all sessions
  // The POP3 sessions' clock: still, unless a peer trickles on it.
  std::chrono::steady_clock::time_point pop3_now{};
  CheckRun run{CheckServices{mailboxes, log, local_mail, verifier, clock, dial_up, host, {}, Pop3Options{.stream = [this] {
                               std::unique_ptr<ByteStream> s;
                               if (opened < peers.size()) {
                                 s = std::make_unique<PeerStream>(*peers[opened], receive_sizes);
                               } else {
                                 ADD_FAILURE() << "the run opened a session the test did not script";
                                 peers.push_back(std::make_unique<ScriptedPeer>());
                                 peers.back()->refuse_connect();
                                 s = std::make_unique<PeerStream>(*peers.back(), receive_sizes);
                               }
                               ++opened;
                               return s;
                             },
                             .clock = [this] { return pop3_now; }}}};
};

}  // namespace pw::test
