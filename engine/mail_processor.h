#pragma once
// One matched mail and everything done with it: the rules it met with a mask
// of still-enabled actions per rule, the one-off extra operations, the
// captures of the body patterns, and the dispatcher that carries out the
// actions in their fixed order (forward, backup, reply, key information,
// attachments, then the deletion request).
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/action_host.h"
#include "engine/extra_operations.h"
#include "mail/mail_reader.h"
#include "rules/capture_list.h"
#include "rules/match_phase.h"
#include "rules/matched_rule.h"

namespace pw {

class BackupsAhead;
class Clock;
class LocalMailIndex;
class MailboxAccount;
class MailSender;
class OperationLog;
class PendingDeletionQueue;
struct Rule;

// The stores and services the actions use, handed in by whoever runs them.
struct ActionServices {
  ActionHost& host;
  OperationLog& log;
  LocalMailIndex& local_mail;
  MailSender& sender;
  const Clock& clock;
  PendingDeletionQueue& deletions;
  // Backups written ahead of their turn, when the run has them.
  BackupsAhead* backups_ahead = nullptr;
};

class MailProcessor {
 public:
  // Takes over `mail` (its cache flags cleared); its text is the mail itself
  // (as a POP3 session keeps it: unstuffed, without the final "." line) or
  // the header block of it. `account` must outlive the processor.
  MailProcessor(MailSummary mail, MailboxAccount& account) : account_(account), reader_(std::move(mail)) {}
  MailProcessor(const MailProcessor&) = delete;
  MailProcessor& operator=(const MailProcessor&) = delete;

  [[nodiscard]] MailboxAccount& account() const { return account_; }
  [[nodiscard]] const MailSummary& summary() const { return reader_.summary(); }
  [[nodiscard]] MailReader& reader() { return reader_; }

  // Field getters, each computed once (see MailReader).
  [[nodiscard]] const std::string& sender() { return reader_.sender(); }
  [[nodiscard]] const std::string& recipient() { return reader_.recipient(); }
  [[nodiscard]] const std::string& copy() { return reader_.copy(); }
  [[nodiscard]] const std::string& subject() { return reader_.subject(); }
  [[nodiscard]] const std::string& date() { return reader_.date(); }
  [[nodiscard]] const std::string& text_body() { return reader_.text_body(); }
  [[nodiscard]] bool has_attachment() { return reader_.has_attachment(); }
  [[nodiscard]] const MimeMessage& message() { return reader_.message(); }

  // Appends a matched rule with every action enabled; a rule that asks
  // first marks the mail for the confirmation window.
  void add_rule(const Rule& rule);
  [[nodiscard]] size_t rule_count() const { return matched_.size(); }
  [[nodiscard]] const Rule& rule(size_t i) const { return *matched_[i].rule; }
  // The actions of rule `i` still to run for this mail (ActionKind bits;
  // the confirmation window clears bits).
  [[nodiscard]] uint32_t action_mask(size_t i) const { return matched_[i].action_mask; }
  void set_action_mask(size_t i, uint32_t mask) { matched_[i].action_mask = mask; }
  // True when action `bit` of rule `i` is chosen in the rule and still
  // enabled for this mail.
  [[nodiscard]] bool runs(size_t i, uint32_t bit) const;
  [[nodiscard]] bool needs_confirmation() const { return needs_confirmation_; }
  // A matched rule asks first without a countdown ("wait for ever").
  [[nodiscard]] bool waits_forever() const;

  // What the matching phase fills in for this mail: its matched rules, its
  // captures and whether it is to be confirmed.
  [[nodiscard]] MatchItem match_item() { return {reader_, captures_, matched_, needs_confirmation_}; }

  [[nodiscard]] ExtraOperations& extra() { return extra_; }
  [[nodiscard]] const ExtraOperations& extra() const { return extra_; }
  // Extra forward or backup chosen while only the header is held.
  [[nodiscard]] bool needs_download_for_extra() const;
  [[nodiscard]] bool has_extra_operations() const;

  // The captures the matcher records while testing body patterns.
  [[nodiscard]] CaptureList& captures() { return captures_; }
  void add_capture(const Rule& rule, int32_t k, std::string_view text) { captures_.add(&rule, k, text); }
  [[nodiscard]] std::string capture(const Rule& rule, int32_t k) const;

  // True when the whole mail is held, downloading it through the host when
  // only the header is. A failed or cancelled download gives false (after
  // the warning box for a failure): nothing partial is acted on as the whole
  // mail.
  [[nodiscard]] bool ensure_whole_mail(ActionHost& host);
  // Stores a downloaded whole mail; cached fields and a parsed message stay.
  void set_whole_mail(std::string text) { reader_.set_whole_mail(std::move(text)); }

  // The mail as held (the header, or the whole mail): what is backed up and
  // forwarded. Brought back from the spool when it was let go.
  [[nodiscard]] const std::string& content() { return reader_.text(); }
  // The mail's size in bytes: as the server listed it, else the text's.
  [[nodiscard]] uint32_t mail_size() const;

  // Runs every enabled action of the matched rules and the extra operations
  // in order and queues at most one deletion request.
  void run_actions(const ActionServices& services);

  // Writes one operation-log record about this mail; a failure is also shown
  // in the notice box.
  void log_operation(const ActionServices& services, std::string_view description, bool success);
  // Runs `act` for each matched rule that carries action `kind`. A failure
  // clears the rule's entry in `success`; the log gets the action's text and
  // the note `act` leaves (the reason it refused).
  void run_for_rules(const ActionServices& services, ActionKind kind, std::vector<uint8_t>& success,
                     const std::function<bool(const Rule& rule, std::string& note)>& act);

 private:
  MailboxAccount& account_;
  MailReader reader_;
  std::vector<MatchedRule> matched_;
  bool needs_confirmation_ = false;
  ExtraOperations extra_;
  CaptureList captures_;
};

}  // namespace pw
