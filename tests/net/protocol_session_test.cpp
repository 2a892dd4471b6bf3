// What the POP3 and the SMTP session share: the same fault at the start of a
// conversation gives each the same reason (bar the reasons each names on its
// own), the trace names the server, and after a break-off nothing more goes
// out, QUIT included.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/pop3_session.h"
#include "net/smtp_session.h"
#include "net/tls_policy.h"
#include "res/string_table.h"
#include "support/scripted_peer.h"

namespace pw {
namespace {

enum class Fault { refused, closed, silent, implicit_tls, no_upgrade_offered };

struct Case {
  const char* name;
  Fault fault;
  std::string pop3_reason;
  std::string smtp_reason;
};

// Plays `fault` against one session kind; the session's error text after the
// failed start, and what the client wrote in all, QUIT attempted last.
struct Played {
  std::string error;
  std::string written;
  std::vector<std::string> trace;
};

void script(test::ScriptedPeer& peer, Fault fault, const char* greeting) {
  switch (fault) {
    case Fault::refused: peer.refuse_connect(); break;
    case Fault::closed: peer.close(); break;
    case Fault::silent: peer.silent(); break;
    case Fault::implicit_tls: break;
    case Fault::no_upgrade_offered: peer.server(greeting); break;
  }
}

const char* server_field(Fault fault, bool pop3) {
  if (fault == Fault::implicit_tls) return pop3 ? "mail.example.com:995" : "mail.example.com:465";
  return "mail.example.com";
}

Played play_pop3(Fault fault) {
  test::ScriptedPeer peer;
  script(peer, fault, "+OK ready\r\n");
  if (fault == Fault::no_upgrade_offered) peer.client("CAPA\r\n").server("+OK\r\nUSER\r\n.\r\n");
  Pop3Session pop(peer);
  Played p;
  pop.set_trace([&p](std::string_view line) { p.trace.emplace_back(line); });
  pop.set_tls({.required = true});
  EXPECT_EQ(pop.connect(server_field(fault, true)), Pop3Session::kFailure);
  p.error = pop.error_text();
  EXPECT_EQ(pop.quit(), Pop3Session::kFailure);
  p.written = peer.written();
  return p;
}

Played play_smtp(Fault fault) {
  test::ScriptedPeer peer;
  script(peer, fault, "220 ready\r\n");
  if (fault == Fault::no_upgrade_offered) peer.client("EHLO me\r\n").server("250-hi\r\n250 SIZE 100\r\n");
  SmtpSession smtp(peer);
  Played p;
  smtp.set_trace([&p](std::string_view line) { p.trace.emplace_back(line); });
  smtp.set_tls({.required = true});
  const bool started = smtp.connect(server_field(fault, false)) == 1 && smtp.hello("me") == 1;
  EXPECT_FALSE(started);
  p.error = smtp.error_text();
  EXPECT_EQ(smtp.quit(), 0);
  p.written = peer.written();
  return p;
}

TEST(ProtocolSession, sameFaultAtTheStartGivesTheSameReasonAndEndsTheConversation) {
  const std::string interrupted = res::text(61250);
  const std::string missing = tls_missing_text("mail.example.com");
  const Case cases[] = {
      {"connection refused", Fault::refused, res::text(61249), res::text(61249)},
      {"closed before the greeting", Fault::closed, interrupted, interrupted},
      // POP3 names the wait that ran out; SMTP counts it as an interruption.
      {"silent before the greeting", Fault::silent, res::text(62900), interrupted},
      {"TLS from the first byte over a plain stream", Fault::implicit_tls, missing, missing},
      {"TLS required, no upgrade offered", Fault::no_upgrade_offered, missing, missing},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Played pop3 = play_pop3(c.fault);
    const Played smtp = play_smtp(c.fault);
    EXPECT_EQ(pop3.error, c.pop3_reason);
    EXPECT_EQ(smtp.error, c.smtp_reason);
    // Only what the script asked for went out: no QUIT after the break-off.
    EXPECT_EQ(pop3.written, c.fault == Fault::no_upgrade_offered ? "CAPA\r\n" : "");
    EXPECT_EQ(smtp.written, c.fault == Fault::no_upgrade_offered ? "EHLO me\r\n" : "");
    ASSERT_FALSE(pop3.trace.empty());
    ASSERT_FALSE(smtp.trace.empty());
    EXPECT_EQ(pop3.trace.front().rfind("-- connect mail.example.com:", 0), 0u) << pop3.trace.front();
    EXPECT_EQ(smtp.trace.front().rfind("-- connect mail.example.com:", 0), 0u) << smtp.trace.front();
  }
}

}  // namespace
}  // namespace pw
