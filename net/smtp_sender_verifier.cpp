#include "net/smtp_sender_verifier.h"

#include "net/mx_lookup.h"
#include "net/smtp_command.h"
#include "net/smtp_delivery.h"

namespace pw {

SmtpSenderVerifier::SmtpSenderVerifier() : SmtpSenderVerifier(Options{}) {}

SmtpSenderVerifier::SmtpSenderVerifier(Options options) : options_(std::move(options)) {
  if (options_.local_host.empty()) options_.local_host = SmtpDeliveryOptions::local_host_name();
}

SmtpSenderVerifier::Probe SmtpSenderVerifier::probe(ByteStream& stream, const std::string& exchanger,
                                                    std::string_view local_host, std::string_view mailbox_address,
                                                    std::string_view sender_address,
                                                    const ProtocolTrace& trace) {
  const std::optional<std::string> server = exchanger_server(exchanger);
  if (!server) return Probe::unreachable;
  SmtpSession session(stream);
  if (trace) session.set_trace(trace);
  if (!session.connect(*server)) return Probe::unreachable;
  Probe result = Probe::unreachable;
  if (session.helo(local_host) && session.mail_from(mailbox_address)) {
    // No reply at all (closed, receive error, the wait ran out) counts as
    // accepted: a silent exchanger must not brand a sender as fake.
    result = session.rcpt_to(sender_address) == SmtpSession::kRefused ? Probe::rejected : Probe::accepted;
  }
  (void)session.quit();
  return result;
}

bool SmtpSenderVerifier::verify(std::string_view mailbox_address, std::string_view sender_address) {
  const size_t at = sender_address.find('@');
  if (at == std::string_view::npos || at + 1 == sender_address.size()) return false;
  // An address that cannot be sent cannot be verified; giving it to the
  // session would read as "no reply", which counts as accepted.
  if (!SmtpCommand::rcpt_to(sender_address).valid) return false;
  const std::string_view domain = sender_address.substr(at + 1);

  const std::vector<std::string> exchangers = options_.lookup ? options_.lookup(domain) : lookup_mx(domain).exchangers;
  for (const std::string& exchanger : exchangers) {
    LineSocket socket(options_.timeout);
    switch (probe(socket, exchanger, options_.local_host, mailbox_address, sender_address, options_.trace)) {
      case Probe::accepted: return true;
      case Probe::rejected: return false;
      case Probe::unreachable: break;
    }
  }
  return false;
}

}  // namespace pw
