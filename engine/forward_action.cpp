#include "engine/forward_action.h"

#include "base/local_time.h"
#include "engine/mail_processor.h"
#include "engine/mail_sender.h"
#include "base/text_lines.h"
#include "mail/address_list.h"
#include "mail/header_field.h"
#include "res/language.h"
#include "res/string_ids.h"
#include "rules/rule.h"
#include "rules/rule_description.h"
#include "stores/ascii_case.h"
#include "stores/mailbox_account.h"

namespace pw {
namespace {

// The end of the header line whose leading line feed is at `lf`, with the
// following lines while a line ends in ',' or ';' (address lists): the
// position of its CR, or of its LF when it has no CR; the text's end when
// the line is the last.
size_t header_line_end(std::string_view text, size_t lf) {
  size_t pos = lf + 1;
  for (;;) {
    const size_t next = text.find('\n', pos);
    if (next == std::string_view::npos) return text.size();
    size_t end = next;
    if (end > 0 && text[end - 1] == '\r') --end;
    if (end == 0 || (text[end - 1] != ',' && text[end - 1] != ';')) return end;
    pos = next + 1;
  }
}

// The line feed before the first header line named `key` at or after
// `start` within `header`, or npos.
size_t find_line(std::string_view header, std::string_view key, size_t start) {
  const std::ptrdiff_t at = find_header_key(header, key, static_cast<std::ptrdiff_t>(start));
  return at < 0 ? std::string_view::npos : static_cast<size_t>(at);
}

}  // namespace

std::string ForwardAction::without_own_address(std::string_view list, std::string_view own) {
  std::string kept;
  for (const std::string& entry : split_stored_list(list)) {
    if (ascii_iequal(sender_address(entry), own)) continue;
    kept += entry;
    kept += ';';
  }
  return kept;
}

std::string ForwardAction::changed_header_form(std::string_view from, std::string_view to, std::string_view subject,
                                               std::string_view date, std::string_view mail) {
  std::string out = "From: " + single_line(from) + "\r\nTo: " + single_line(to) + "\r\nSubject: " + single_line(subject) +
                    "\r\nDate: " + single_line(date);

  // A line feed in front lets the first line be found like the others. Only
  // the header block is searched: a body line such as "to: all staff" is
  // not a header.
  const std::string framed = "\n" + std::string(mail);
  const std::string_view text = framed;
  const std::string_view header = text.substr(0, header_block_end(text));
  size_t last = std::string_view::npos;
  for (std::string_view key : {"\nfrom:", "\nto:", "\nsubject:", "\ncc:"}) {
    const size_t lf = find_line(header, key, 0);
    if (lf != std::string_view::npos && (last == std::string_view::npos || lf > last)) last = lf;
  }

  // The copied text starts with the line end of a header line. Without any
  // of the four lines, that is a new line end and the mail from its start.
  size_t from_pos = 0;
  if (last == std::string_view::npos) {
    out += "\r";
  } else {
    from_pos = header_line_end(text, last);
  }
  const size_t date_lf = find_line(header, "\ndate:", from_pos);
  if (date_lf == std::string_view::npos) {
    // The Date line stands before the others or is missing: everything after
    // the last of the four stays.
    out.append(text.substr(from_pos));
    return out;
  }
  out.append(text.substr(from_pos, date_lf + 1 - from_pos));
  const size_t date_end = text.find('\n', date_lf + 1);
  if (date_end != std::string_view::npos) out.append(text.substr(date_end + 1));
  return out;
}

bool ForwardAction::whole_mail() {
  if (!whole_) whole_ = mail_.ensure_whole_mail(services_.host);
  return *whole_;
}

bool ForwardAction::forward(const ForwardSettings& settings, std::string& note) {
  const std::string message = settings.change_headers
                                  ? changed_header_form(settings.shown_from, settings.shown_to, settings.shown_subject,
                                                        format_mail_date(services_.clock.now()), mail_.content())
                                  : mail_.content();
  MailboxAccount& account = mail_.account();
  const AccountSend sent = services_.sender.send_to_list(account, settings.to, message);
  if (sent.sent) return true;
  if (!sent.may_go_direct) {
    note += sent.no_direct;
    return false;
  }
  const std::vector<std::string> entries = split_stored_list(settings.to);
  bool ok = !entries.empty();
  for (const std::string& entry : entries) {
    if (!services_.sender.direct_delivery(account, entry, message)) ok = false;
  }
  return ok;
}

bool ForwardAction::forward_checked(ForwardSettings settings, std::string& note) {
  // A mail forwarded to its own mailbox comes back as a new mail, again and
  // again: that entry is left out, and the log says so.
  std::string kept = without_own_address(settings.to, mail_.account().address());
  if (split_stored_list(kept).size() != split_stored_list(settings.to).size()) {
    note = res::record_text(sid::kNotToOwnAddress);
    if (kept.empty()) return true;
  }
  settings.to = std::move(kept);
  return whole_mail() && forward(settings, note);
}

void ForwardAction::run_step(std::vector<uint8_t>& success) {
  for (size_t i = 0; i < mail_.rule_count(); ++i) {
    if (!mail_.runs(i, bit(ActionKind::forward))) continue;
    const Rule& rule = mail_.rule(i);
    std::string note;
    const bool ok = forward_checked(rule.forward, note);
    if (!ok) success[i] = 0;
    mail_.log_operation(services_, record_action_text(rule, ActionKind::forward) + note, ok);
  }
  const ExtraOperations& extra = mail_.extra();
  if (extra.has(ExtraOperations::kForward)) {
    std::string note;
    const bool ok = forward_checked(extra.forward, note);
    mail_.log_operation(services_, res::record_text(sid::kOneOffForward) + extra.forward.to + note, ok);
  }
}

}  // namespace pw
