#include "engine/reply_action.h"

#include "base/code_page.h"
#include "base/file_io.h"
#include "base/local_time.h"
#include "base/text_lines.h"
#include "engine/mail_processor.h"
#include "engine/mail_sender.h"
#include "engine/template_expander.h"
#include "mail/address_list.h"
#include "mail/header_field.h"
#include "mail/message_composer.h"
#include "res/language.h"
#include "res/string_table.h"
#include "rules/rule.h"
#include "rules/rule_description.h"
#include "stores/ascii_case.h"
#include "stores/mailbox_account.h"

namespace pw {

namespace {

// A reply file is a whole mail someone prepared; anything larger is not.
constexpr size_t kMaxReplyFile = size_t(64) << 20;

bool has_header(std::string_view block, std::string_view key) {
  for (std::ptrdiff_t at = find_header_key(block, key, 0); at >= 0;
       at = find_header_key(block, key, at + static_cast<std::ptrdiff_t>(key.size()))) {
    if (at == 0 || block[static_cast<size_t>(at) - 1] == '\n') return true;
  }
  return false;
}

// The first word of a header value in lower case ("Auto-Replied; x" gives
// "auto-replied").
std::string keyword(std::string_view value) {
  std::string out;
  for (char c : value) {
    if (c == ';' || c == ' ' || c == '\t' || c == '(') {
      if (out.empty()) continue;
      break;
    }
    out += ascii_lower(c);
  }
  return out;
}

}  // namespace

std::string ReplyAction::loop_refusal(std::string_view mail_text, std::string_view sender,
                                      std::string_view own_address) {
  const std::string_view block = mail_text.substr(0, header_block_end(mail_text));
  if (has_header(block, "auto-submitted:")) {
    if (keyword(header_field(block, "auto-submitted:")) != "no") return res::record_text(sid::kAutoSubmitted);
  }
  const std::string precedence = keyword(header_field(block, "precedence:"));
  if (precedence == "bulk" || precedence == "junk" || precedence == "list" || has_header(block, "list-id:"))
    return res::record_text(sid::kListMail);
  if (has_header(block, "return-path:") && sender_address(header_field(block, "return-path:")).empty())
    return res::record_text(sid::kBounce);
  const std::string from = sender_address(sender);
  const std::string local = from.substr(0, from.find('@'));
  if (ascii_iequal(local, "mailer-daemon")) return res::record_text(sid::kBounce);
  if (ascii_iequal(from, own_address)) return res::record_text(sid::kOwnMail);
  return {};
}

std::optional<std::string> ReplyAction::build(const ReplySettings& reply) {
  if (reply.from_file) {
    std::optional<std::string> text = read_file(path_from_gb(reply.file), kMaxReplyFile);
    if (!text || text->empty()) return std::nullopt;
    // A prepared reply is as automatic as a composed one, and says so
    // (RFC 3834) unless its author wrote the field already.
    if (!has_header(std::string_view(*text).substr(0, header_block_end(*text)), "auto-submitted:"))
      text->insert(0, "Auto-Submitted: auto-replied\r\n");
    return text;
  }
  const std::string message_id = mail_.reader().message_id();
  const std::string references = mail_.reader().references();
  const MessageComposer::Original original{message_id, references};
  MessageComposer composer;
  composer.begin(mail_.account().address(), mail_.sender(), reply.subject, services_.clock.now(), &original);
  composer.add_text(reply.text);
  for (const std::string& file : reply.attachments) {
    if (composer.add_attachment(path_from_gb(file))) continue;
    if (!services_.host.ask_yes_no(file + "\r\n" + res::text(sid::kAskReplyWithoutAttachment))) return std::nullopt;
  }
  return composer.finish();
}

bool ReplyAction::reply(const ReplySettings& reply, std::string& note) {
  const std::string recipient = sender_address(mail_.sender());
  if (recipient.empty()) return false;
  const std::optional<std::string> message = build(reply);
  if (!message) return false;
  MailboxAccount& account = mail_.account();
  const AccountSend sent = services_.sender.send_through_account(account, recipient, *message, services_.host);
  if (sent.sent) return true;
  if (!sent.may_go_direct) {
    note += sent.no_direct;
    return false;
  }
  return services_.sender.direct_delivery(account, recipient, *message);
}

void ReplyAction::run_step(std::vector<uint8_t>& success) {
  for (size_t i = 0; i < mail_.rule_count(); ++i) {
    if (!mail_.runs(i, bit(ActionKind::reply))) continue;
    const Rule& rule = mail_.rule(i);
    // Automatic replies to automatic mail would answer each other forever:
    // such a mail gets none, and the log says why.
    const std::string refusal = loop_refusal(mail_.content(), mail_.sender(), mail_.account().address());
    if (!refusal.empty()) {
      mail_.log_operation(services_, record_action_text(rule, ActionKind::reply) + refusal, true);
      continue;
    }
    ReplySettings r = rule.reply;
    if (!r.from_file) {
      const TemplateExpander expander(mail_, &rule);
      r.subject = expander.expand(r.subject);
      r.text = expander.expand(r.text);
    }
    std::string note;
    const bool ok = reply(r, note);
    if (!ok) success[i] = 0;
    mail_.log_operation(services_, record_action_text(rule, ActionKind::reply) + note, ok);
  }
  const ExtraOperations& extra = mail_.extra();
  if (extra.has(ExtraOperations::kReply)) {
    std::string note;
    const bool ok = reply(extra.reply, note);
    mail_.log_operation(services_, res::record_text(sid::kOneOffReply) + note, ok);
  }
}

}  // namespace pw
