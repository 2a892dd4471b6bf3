#pragma once
// What every action test needs: a program directory with its log and
// local-mail stores, a fixed clock, a scripted host, one account and a way to
// make processors for mails.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/local_time.h"
#include "base/program_dir.h"
#include "engine/mail_processor.h"
#include "engine/mail_sender.h"
#include "engine/pending_deletion.h"
#include "rules/rule.h"
#include "stores/local_mail_index.h"
#include "stores/mailbox_account.h"
#include "stores/operation_log.h"
#include "support/data_builders.h"
#include "support/scripted_action_host.h"
#include "support/smtp_server.h"
#include "support/temp_dir.h"

namespace pw::test {

inline const std::string kPlainMail =
    "Received: from relay.example.test\r\n"
    "From: \"Alice Liddell\" <alice@example.test>\r\n"
    "To: bob@example.test\r\n"
    "Subject: Order 42\r\n"
    "Date: Tue, 7 Dec 2004 09:05:03 +0800\r\n"
    "\r\n"
    "Hello Bob,\r\n"
    ".a line that starts with a dot\r\n"
    "bye\r\n";

// Every regular file below `dir`, relative to it, sorted.
inline std::vector<std::string> files_under(const std::filesystem::path& dir) {
  std::vector<std::string> out;
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(dir, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_regular_file()) out.push_back(std::filesystem::relative(it->path(), dir).string());
  }
  std::sort(out.begin(), out.end());
  return out;
}

// The permission bits of `path`.
inline unsigned file_mode(const std::filesystem::path& path) {
  return static_cast<unsigned>(std::filesystem::status(path).permissions()) & 07777;
}

// A mail exchanger: no log-in, port 25 of `address`.
inline SmtpServerOptions exchanger(std::string address) {
  SmtpServerOptions o;
  o.address = std::move(address);
  o.port = 25;
  return o;
}

class ActionFixture : public ::testing::Test {
 protected:
  ActionFixture() {
    EXPECT_TRUE(program.create_directories());
    log.load_current_month();
    local_mail.load_current_month();
  }

  // Nothing listens on the SMTP server: sending through the account fails
  // at once.
  static MailboxRecord account_on(std::string address = "me@home.test") {
    return account_record(std::move(address), "pop-secret", "pop.home.test:11110", "127.0.0.1:1");
  }

  std::unique_ptr<MailProcessor> processor(std::string_view mail = kPlainMail, bool whole = true,
                                           MailboxAccount* on = nullptr) {
    MailSummary s;
    s.uid = "UID-1";
    s.mail_text = std::string(mail);
    s.full_text = whole;
    return std::make_unique<MailProcessor>(std::move(s), on ? *on : account);
  }

  static SmtpDeliveryOptions delivery_options() {
    SmtpDeliveryOptions o;
    o.timeout = std::chrono::seconds(5);
    o.local_host = "pc.home.test";
    return o;
  }

  std::vector<LogRecord> log_records() const { return log.records(); }

  TempDir dir;
  ProgramDir program{dir.path()};
  FixedClock clock{1101179103};  // 2004-11-23, a fixed moment
  OperationLog log{program, clock};
  LocalMailIndex local_mail{program, clock};
  PendingDeletionQueue deletions;
  ScriptedActionHost host;
  MailSender sender{delivery_options()};
  ActionServices services{host, log, local_mail, sender, clock, deletions};
  MailboxAccount account{account_on(), false, {}};
};

}  // namespace pw::test
