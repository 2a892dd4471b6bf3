// What the POP3 and the SMTP session share: the same fault at the start of a
// conversation gives each the same reason (bar the ones each names on its
// own), the trace names the server, and after a break-off nothing more goes
// out, QUIT included.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <string_view>

#include "net/pop3_session.h"
#include "net/smtp_session.h"
#include "res/string_table.h"
#include "support/scripted_peer.h"

namespace pw {
namespace {

enum class Fault { refused, closed, silent, implicit_tls, no_upgrade_offered };

// The session's error text after the failed start and a QUIT, what the
// client wrote and the first trace line.
struct Played {
  std::string error, written, first_trace;
};

template <typename Session>
Played play(Fault fault, const char* greeting, const char* asked, const char* answer, const char* tls_port,
            const std::function<bool(Session&, const std::string&)>& start) {
  test::ScriptedPeer peer;
  if (fault == Fault::refused) peer.refuse_connect();
  if (fault == Fault::closed) peer.close();
  if (fault == Fault::silent) peer.silent();
  if (fault == Fault::no_upgrade_offered) peer.server(greeting).client(asked).server(answer);
  Session session(peer);
  Played p;
  session.set_trace([&p](std::string_view line) { if (p.first_trace.empty()) p.first_trace = line; });
  session.set_tls({.required = true});
  EXPECT_FALSE(start(session, std::string("mail.example.com") + (fault == Fault::implicit_tls ? tls_port : "")));
  p.error = session.error_text();
  EXPECT_FALSE(session.quit());
  p.written = peer.written();
  return p;
}

TEST(ProtocolSession, sameFaultAtTheStartGivesTheSameReasonAndEndsTheConversation) {
  const std::string interrupted = res::text(sid::kConnectionBroken);
  const std::string missing = tls_missing_text("mail.example.com");
  const struct {
    const char* name;
    Fault fault;
    std::string pop3_reason, smtp_reason;
  } cases[] = {
      {"connection refused", Fault::refused, res::text(sid::kCannotConnect), res::text(sid::kCannotConnect)},
      {"closed before the greeting", Fault::closed, interrupted, interrupted},
      // POP3 names the wait that ran out; SMTP counts it as an interruption.
      {"silent before the greeting", Fault::silent, res::text(sid::kTimedOut), interrupted},
      {"TLS from the first byte over a plain stream", Fault::implicit_tls, missing, missing},
      {"TLS required, no upgrade offered", Fault::no_upgrade_offered, missing, missing},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Played pop3 = play<Pop3Session>(c.fault, "+OK ready\r\n", "CAPA\r\n", "+OK\r\nUSER\r\n.\r\n", ":995",
                                          [](Pop3Session& s, const std::string& server) { return s.connect(server); });
    const Played smtp = play<SmtpSession>(
        c.fault, "220 ready\r\n", "EHLO me\r\n", "250-hi\r\n250 SIZE 100\r\n", ":465",
        [](SmtpSession& s, const std::string& server) { return s.connect(server) && s.hello("me"); });
    EXPECT_EQ(pop3.error, c.pop3_reason);
    EXPECT_EQ(smtp.error, c.smtp_reason);
    // Only what the script asked for went out: no QUIT after the break-off.
    const bool asked = c.fault == Fault::no_upgrade_offered;
    EXPECT_EQ(pop3.written, asked ? "CAPA\r\n" : "");
    EXPECT_EQ(smtp.written, asked ? "EHLO me\r\n" : "");
    EXPECT_EQ(pop3.first_trace.rfind("-- connect mail.example.com:", 0), 0u) << pop3.first_trace;
    EXPECT_EQ(smtp.first_trace.rfind("-- connect mail.example.com:", 0), 0u) << smtp.first_trace;
  }
}

}  // namespace
}  // namespace pw
