#include "engine/reply_action.h"

#include "base/file_io.h"
#include "base/local_time.h"
#include "engine/mail_processor.h"
#include "engine/mail_sender.h"
#include "engine/template_expander.h"
#include "mail/address_list.h"
#include "mail/message_composer.h"
#include "res/string_table.h"
#include "rules/rule.h"
#include "rules/rule_description.h"
#include "stores/mailbox_account.h"

namespace pw {

namespace {

// A reply file is a whole mail someone prepared; anything larger is not.
constexpr size_t kMaxReplyFile = size_t(64) << 20;

}  // namespace

std::optional<std::string> ReplyAction::build(const Reply& reply) {
  if (reply.from_file) {
    std::optional<std::string> text = read_file(reply.file, kMaxReplyFile);
    if (!text || text->empty()) return std::nullopt;
    return text;
  }
  const std::string message_id = mail_.reader().message_id();
  const std::string references = mail_.reader().references();
  const MessageComposer::Original original{message_id, references};
  MessageComposer composer;
  composer.begin(mail_.account().address(), mail_.sender(), reply.subject, services_.clock.now(), &original);
  composer.add_text(reply.text);
  for (const std::string& file : reply.attachments) {
    if (composer.add_attachment(file)) continue;
    if (!services_.host.ask_yes_no(file + "\r\n" + res::text(61434))) return std::nullopt;
  }
  return composer.finish();
}

bool ReplyAction::reply(const Reply& reply) {
  const std::string recipient = sender_address(mail_.sender());
  if (recipient.empty()) return false;
  const std::optional<std::string> message = build(reply);
  if (!message) return false;
  MailboxAccount& account = mail_.account();
  return services_.sender.send_through_account(account, recipient, *message, services_.host) ||
         services_.sender.direct_delivery(account, recipient, *message);
}

void ReplyAction::run_step(std::vector<uint8_t>& success) {
  for (size_t i = 0; i < mail_.rule_count(); ++i) {
    if (!mail_.runs(i, bit(ActionKind::reply))) continue;
    const Rule& rule = mail_.rule(i);
    Reply r;
    r.from_file = rule.reply_from_file;
    r.file = rule.reply_file;
    if (!r.from_file) {
      const TemplateExpander expander(mail_, &rule);
      r.subject = expander.expand(rule.reply_subject);
      r.text = expander.expand(rule.reply_text);
      r.attachments = rule.reply_attachments;
    }
    const bool ok = reply(r);
    if (!ok) success[i] = 0;
    mail_.log_operation(services_, action_piece(rule, ActionKind::reply).text, ok);
  }
  const ExtraOperations& extra = mail_.extra();
  if (extra.has(ExtraOperations::kReply)) {
    const bool ok = reply({extra.reply_from_file, extra.reply_file, extra.reply_subject, extra.reply_text,
                           extra.reply_attachments});
    mail_.log_operation(services_, res::text(61408), ok);
  }
}

}  // namespace pw
