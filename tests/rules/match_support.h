#pragma once
// Mails, rules and verifiers for the matching tests.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "mail/mail_reader.h"
#include "rules/rule.h"
#include "net/sender_verifier.h"

namespace pw::test {

// A mail read from `text` (header lines and body, LF line ends turned into
// CR LF) with the size the server reported.
inline MailReader make_mail(std::string_view text, uint32_t size = 0) {
  MailSummary summary;
  for (char c : text) {
    if (c == '\n') summary.mail_text += '\r';
    summary.mail_text += c;
  }
  summary.mail_text += "\r\n.\r\n";
  summary.full_text = true;
  summary.size = size;
  return MailReader(std::move(summary));
}

// A rule with the given conditions, joined by all or any, with the defaults
// of a new rule otherwise (contains, all words, greater, has).
inline Rule make_rule(std::initializer_list<ConditionKind> kinds, bool match_all = true) {
  Rule rule;
  rule.match_all = match_all;
  for (ConditionKind k : kinds) rule.condition_mask |= bit(k);
  return rule;
}

inline void set_sense(Rule& rule, ConditionKind kind, bool on) {
  if (on) {
    rule.sense_mask |= bit(kind);
  } else {
    rule.sense_mask &= ~bit(kind);
  }
}

// Answers with a fixed verdict and remembers what it was asked.
class FixedVerifier final : public SenderVerifier {
 public:
  explicit FixedVerifier(bool verdict) : verdict_(verdict) {}
  bool verify(std::string_view mailbox, std::string_view sender) override {
    ++calls;
    last_mailbox = mailbox;
    last_sender = sender;
    return verdict_;
  }
  int calls = 0;
  std::string last_mailbox;
  std::string last_sender;

 private:
  bool verdict_;
};

// Fails the test when the probe is asked for at all.
class ForbiddenVerifier final : public SenderVerifier {
 public:
  bool verify(std::string_view, std::string_view sender) override {
    ADD_FAILURE() << "the sender probe ran for " << sender;
    return true;
  }
};

}  // namespace pw::test
