#pragma once
// Verifies a sender by asking the mail exchangers of its domain, in the order
// the resolver gives them, whether they take the sender as a recipient:
// connect, HELO, MAIL FROM the checked mailbox, RCPT TO the sender, QUIT. No
// mail is sent.
#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "net/byte_stream.h"
#include "net/line_socket.h"
#include "net/protocol_trace.h"
#include "net/smtp_session.h"
#include "net/sender_verifier.h"

namespace pw {

class SmtpSenderVerifier final : public SenderVerifier {
 public:
  enum class Probe {
    accepted,     // the exchanger took the sender, or gave no reply to RCPT TO
    rejected,     // it answered RCPT TO with a refusal
    unreachable,  // no connection, or greeting, HELO or MAIL FROM went wrong
  };

  struct Options {
    std::chrono::milliseconds timeout = LineSocket::kDefaultTimeout;
    std::string local_host;  // the name given in HELO; empty: this machine's host name
    ProtocolTrace trace;
    // The exchangers of a domain; empty: the system resolver's MX answer.
    std::function<std::vector<std::string>(std::string_view domain)> lookup;
  };

  SmtpSenderVerifier();
  explicit SmtpSenderVerifier(Options options);

  // False without asking anyone when the sender has no '@', an empty domain,
  // or cannot be written in a command line; false when the domain has no
  // exchanger or none could be reached.
  [[nodiscard]] bool verify(std::string_view mailbox_address, std::string_view sender_address) override;

  // One exchanger's answer over `stream`. Once the greeting was 220, QUIT
  // ends the conversation whatever followed, unless a reply was lost: then
  // the session sends nothing more and the connection is just closed.
  [[nodiscard]] static Probe probe(ByteStream& stream, const std::string& exchanger, std::string_view local_host,
                                   std::string_view mailbox_address, std::string_view sender_address,
                                   const ProtocolTrace& trace = {});

 private:
  Options options_;
};

}  // namespace pw
