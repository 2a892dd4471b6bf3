#pragma once
// Whether one mail meets one rule.
#include <ctime>
#include <string_view>

#include "base/local_time.h"

namespace pw {

class CaptureList;
class MailReader;
class SenderVerifier;
struct Rule;

// What matching needs besides the mail and the rule.
struct MatchContext {
  // The address of the mailbox being checked; the sender probe's MAIL FROM.
  std::string_view mailbox_address;
  SenderVerifier& verifier;
  const Clock& clock;  // "now" of the date test
};

// Tests the rule's chosen conditions in the order of their bits, only while
// the outcome is open: joined by all, until one fails; joined by any, until
// one holds. So the two costly tests, the sender probe and the body pattern
// (which needs the parsed body), run only when the cheaper ones left the
// outcome open. A rule without conditions matches every mail when joined by
// all and none when joined by any. The body-pattern test appends its
// captures to `captures`.
[[nodiscard]] bool match_rule(MailReader& mail, CaptureList& captures, const Rule& rule,
                              const MatchContext& context);

// The date-age test on a date display text ("2004/12/07 09:05:03", taken as
// local time): the age in whole hours, truncated toward zero, compared with
// the rule's hours. False in both senses when the date is empty, holds a '?'
// or does not read as a time.
[[nodiscard]] bool match_date_age(std::string_view date, const Rule& rule, std::time_t now);

}  // namespace pw
