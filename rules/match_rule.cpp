#include "rules/match_rule.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string>

#include "mail/address_list.h"
#include "mail/mail_reader.h"
#include "rules/capture_list.h"
#include "rules/match_pattern.h"
#include "rules/match_words.h"
#include "rules/rule.h"
#include "net/sender_verifier.h"

namespace pw {
namespace {

bool match_size(uint32_t size, const Rule& rule) {
  // 64-bit, so a large size_kb cannot wrap around into a small limit.
  const int64_t limit = int64_t(rule.size_kb) * 1024;
  return rule.sense(ConditionKind::size) ? int64_t(size) >= limit : int64_t(size) < limit;
}

bool test(ConditionKind kind, MailReader& mail, CaptureList& captures, const Rule& rule,
          const MatchContext& context) {
  switch (kind) {
    case ConditionKind::sender_words: return match_words(kind, mail.sender(), rule);
    case ConditionKind::recipient_words: return match_words(kind, mail.recipient(), rule);
    case ConditionKind::copy_words: return match_words(kind, mail.copy(), rule);
    case ConditionKind::recipient_or_copy_words: return match_words(kind, mail.recipient_and_copy(), rule);
    case ConditionKind::subject_words: return match_words(kind, mail.subject(), rule);
    case ConditionKind::body_words: return match_words(kind, mail.text_body(), rule);
    case ConditionKind::age_hours: return match_date_age(mail.date(), rule, context.clock.now());
    case ConditionKind::size: return match_size(mail.size(), rule);
    case ConditionKind::no_sender: return mail.sender().empty();
    case ConditionKind::no_recipient: return mail.recipient().empty();
    case ConditionKind::no_subject: return mail.subject().empty();
    case ConditionKind::no_date: return mail.date().empty();
    case ConditionKind::has_attachment: return mail.has_attachment() == rule.sense(kind);
    case ConditionKind::unverified_sender:
      return !context.verifier.verify(context.mailbox_address, sender_address(mail.sender()));
    case ConditionKind::body_pattern: return match_pattern(rule.body_pattern, mail.text_body(), captures, &rule);
  }
  return false;
}

}  // namespace

bool match_date_age(std::string_view date, const Rule& rule, std::time_t now) {
  if (date.empty() || date.find('?') != std::string_view::npos) return false;
  const std::string text(date);
  std::tm tm{};
  if (std::sscanf(text.c_str(), "%d/%d/%d %d:%d:%d", &tm.tm_year, &tm.tm_mon, &tm.tm_mday, &tm.tm_hour,
                  &tm.tm_min, &tm.tm_sec) != 6) {
    return false;
  }
  tm.tm_year -= 1900;
  tm.tm_mon -= 1;
  tm.tm_isdst = -1;  // daylight saving as the calendar has it on that day
  errno = 0;
  const std::time_t moment = std::mktime(&tm);
  if (moment == std::time_t(-1) && errno != 0) return false;
  const int64_t age = (int64_t(now) - int64_t(moment)) / 3600;  // truncates toward zero
  return rule.sense(ConditionKind::age_hours) ? age >= rule.age_hours : age < rule.age_hours;
}

bool match_rule(MailReader& mail, CaptureList& captures, const Rule& rule, const MatchContext& context) {
  bool outcome = rule.match_all;
  for (ConditionKind kind : kConditionKinds) {
    if (!rule.has(kind)) continue;
    if (outcome != rule.match_all) break;  // decided: later tests are never run
    outcome = test(kind, mail, captures, rule, context);
  }
  return outcome;
}

}  // namespace pw
