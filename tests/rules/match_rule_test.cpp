#include <gtest/gtest.h>

#include <ctime>

#include "match_support.h"
#include "rules/capture_list.h"
#include "rules/match_rule.h"

namespace pw {
namespace {

using test::make_mail;
using test::make_rule;
using K = ConditionKind;

constexpr uint32_t kBodyParsed = kTextBodyCached | kHtmlBodyCached | kAttachmentCached;

const char kPlainMail[] =
    "From: Bob <bob@x.org>\n"
    "To: alice@y.org\n"
    "Cc: carol@z.org\n"
    "Subject: quarterly report\n"
    "Date: Tue, 7 Dec 2004 09:05:03 +0800\n"
    "\n"
    "Order: 4711\n";

class MatchRuleTest : public ::testing::Test {
 protected:
  bool match(MailReader& mail, const Rule& rule, SenderVerifier& verifier) {
    return match_rule(mail, captures, rule, {"me@home.org", verifier, clock});
  }
  bool match(MailReader& mail, const Rule& rule) {
    test::ForbiddenVerifier verifier;
    return match(mail, rule, verifier);
  }

  CaptureList captures;
  FixedClock clock{0};
};

// A rule decided by a cheap condition neither probes the network nor parses
// the body; later cheap fields are not even read.
TEST_F(MatchRuleTest, decidedRuleRunsNoLaterTest) {
  struct Case {
    const char* name;
    Rule rule;
    uint32_t size;
    bool expected;
  };
  Rule all_size = make_rule({K::size, K::unverified_sender, K::body_pattern});
  all_size.size_kb = 10;  // greater than 10 KB: fails for a 100-byte mail
  all_size.body_pattern = "*";
  Rule any_date = make_rule({K::age_hours, K::no_subject, K::unverified_sender, K::body_pattern}, false);
  any_date.age_hours = 1;  // a 2004 mail is older than an hour: holds at once
  Rule all_sender = make_rule({K::sender_words, K::subject_words, K::unverified_sender, K::body_words});
  all_sender.word_lists[0] = "nobody;";
  Rule all_attachment = make_rule({K::no_recipient, K::unverified_sender});

  const Case cases[] = {
      {"all, size fails", all_size, 100, false},
      {"any, date holds", any_date, 100, true},
      {"all, sender fails", all_sender, 100, false},
      {"all, recipient present", all_attachment, 100, false},
  };
  clock.set(std::time(nullptr));
  for (const auto& c : cases) {
    MailReader mail = make_mail(kPlainMail, c.size);
    EXPECT_EQ(match(mail, c.rule), c.expected) << c.name;
    EXPECT_EQ(mail.summary().cache_flags & kBodyParsed, 0u) << c.name;
    EXPECT_EQ(mail.summary().cache_flags & kSubjectCached, 0u) << c.name;
  }
}

TEST_F(MatchRuleTest, verifiedSenderSparesTheBodyParse) {
  Rule rule = make_rule({K::unverified_sender, K::body_pattern});
  rule.body_pattern = "*";
  test::FixedVerifier verifier(true);  // verified: the condition fails
  MailReader mail = make_mail(kPlainMail);
  EXPECT_FALSE(match(mail, rule, verifier));
  EXPECT_EQ(verifier.calls, 1);
  EXPECT_EQ(mail.summary().cache_flags & kBodyParsed, 0u);
}

TEST_F(MatchRuleTest, openOutcomeRunsProbeAndPattern) {
  Rule rule = make_rule({K::size, K::unverified_sender, K::body_pattern});
  rule.size_kb = 1;
  test::set_sense(rule, K::size, false);
  rule.body_pattern = "Order: *<#1>\r\n*";
  test::FixedVerifier verifier(false);
  MailReader mail = make_mail(kPlainMail, 100);
  EXPECT_TRUE(match(mail, rule, verifier));
  EXPECT_EQ(verifier.calls, 1);
  EXPECT_EQ(verifier.last_mailbox, "me@home.org");
  EXPECT_EQ(verifier.last_sender, "bob@x.org");
  EXPECT_NE(mail.summary().cache_flags & kTextBodyCached, 0u);
  EXPECT_EQ(captures.lookup(&rule, 1), "4711");
}

TEST_F(MatchRuleTest, ruleWithoutConditionsMatchesOnlyWhenJoinedByAll) {
  MailReader mail = make_mail(kPlainMail);
  EXPECT_TRUE(match(mail, make_rule({}, true)));
  EXPECT_FALSE(match(mail, make_rule({}, false)));
}

TEST_F(MatchRuleTest, joinedByAnyHoldsWhenALaterConditionHolds) {
  Rule rule = make_rule({K::no_sender, K::no_subject, K::no_date}, false);
  MailReader mail = make_mail("From: a@b.c\nSubject: s\n\nbody\n");
  EXPECT_TRUE(match(mail, rule));  // no Date: line
  MailReader dated = make_mail(kPlainMail);
  EXPECT_FALSE(match(dated, rule));
}

TEST_F(MatchRuleTest, sizeComparesWithKilobytes) {
  struct Case {
    uint32_t size;
    int32_t size_kb;
    bool greater;
    bool expected;
  };
  const Case cases[] = {
      {10240, 10, true, true},  {10240, 10, false, false}, {10239, 10, true, false},
      {10239, 10, false, true}, {0, 1, false, true},
      // 4194304 KB is 2^32 bytes: the limit must not wrap around to 0.
      {100, 4194304, true, false}, {100, 4194304, false, true},
      {3000000000u, 2000000, true, true},  // over 2^31 bytes is still large
  };
  for (const auto& c : cases) {
    Rule rule = make_rule({K::size});
    rule.size_kb = c.size_kb;
    test::set_sense(rule, K::size, c.greater);
    MailReader mail = make_mail(kPlainMail, c.size);
    EXPECT_EQ(match(mail, rule), c.expected) << c.size << " vs " << c.size_kb << " KB, greater " << c.greater;
  }
}

std::time_t local_moment(int y, int mo, int d, int h, int mi, int s) {
  std::tm tm{};
  tm.tm_year = y - 1900;
  tm.tm_mon = mo - 1;
  tm.tm_mday = d;
  tm.tm_hour = h;
  tm.tm_min = mi;
  tm.tm_sec = s;
  tm.tm_isdst = -1;
  return std::mktime(&tm);
}

TEST_F(MatchRuleTest, dateAgeInWholeHours) {
  const std::time_t sent = local_moment(2004, 12, 7, 9, 5, 3);
  struct Case {
    std::time_t now;
    bool greater;
    bool expected;
  };
  const Case cases[] = {
      {sent + 24 * 3600 - 60, true, false},  // 23 h 59 min
      {sent + 24 * 3600 - 60, false, true},
      {sent + 24 * 3600, true, true},        // exactly 24 h
      {sent + 24 * 3600, false, false},
      {sent - 3600, true, false},            // dated in the future: age below 0
      {sent - 3600, false, true},
  };
  for (const auto& c : cases) {
    Rule rule = make_rule({K::age_hours});
    rule.age_hours = 24;
    test::set_sense(rule, K::age_hours, c.greater);
    clock.set(c.now);
    MailReader mail = make_mail(kPlainMail);
    EXPECT_EQ(match(mail, rule), c.expected) << "now - sent " << (c.now - sent) << " greater " << c.greater;
  }
}

TEST_F(MatchRuleTest, unreadableOrMissingDateFailsBothSenses) {
  const char* mails[] = {
      "From: a@b.c\nDate: yesterday\n\nx\n",                    // one word: the placeholder form
      "From: a@b.c\nDate: 7 Foo 2004 10:00:00 +0800\n\nx\n",  // unknown month shows "??"
      "From: a@b.c\n\nx\n",                                    // no Date: line
  };
  clock.set(std::time(nullptr));
  for (const char* text : mails) {
    for (bool greater : {true, false}) {
      for (int32_t hours : {1, 1000000}) {
        Rule rule = make_rule({K::age_hours});
        rule.age_hours = hours;
        test::set_sense(rule, K::age_hours, greater);
        MailReader mail = make_mail(text);
        EXPECT_FALSE(match(mail, rule)) << text << " greater " << greater << " hours " << hours;
      }
    }
  }
  EXPECT_FALSE(match_date_age("2004/12/07", make_rule({K::age_hours}), 0));  // no time part
}

TEST_F(MatchRuleTest, missingFieldHoldsOnlyWithoutTheHeader) {
  struct Case {
    K kind;
    const char* text;
    bool expected;
  };
  const Case cases[] = {
      {K::no_sender, "To: a@b.c\n\nx\n", true},
      {K::no_sender, "From: a@b.c\n\nx\n", false},
      {K::no_recipient, "From: a@b.c\n\nx\n", true},
      {K::no_recipient, "To: a@b.c\n\nx\n", false},
      {K::no_subject, "From: a@b.c\n\nx\n", true},
      {K::no_subject, "Subject: hi\n\nx\n", false},
      {K::no_date, "From: a@b.c\n\nx\n", true},
      {K::no_date, "Date: garbage\n\nx\n", false},  // present but unreadable is not empty
  };
  for (const auto& c : cases) {
    MailReader mail = make_mail(c.text);
    EXPECT_EQ(match(mail, make_rule({c.kind})), c.expected) << bit(c.kind) << " " << c.text;
  }
}

TEST_F(MatchRuleTest, attachmentConditionFollowsSense) {
  const char with_attachment[] =
      "From: a@b.c\n"
      "Content-Type: multipart/mixed; boundary=\"XX\"\n"
      "\n"
      "--XX\n"
      "Content-Type: text/plain\n"
      "\n"
      "hello\n"
      "--XX\n"
      "Content-Type: application/octet-stream; name=\"a.bin\"\n"
      "Content-Disposition: attachment; filename=\"a.bin\"\n"
      "Content-Transfer-Encoding: base64\n"
      "\n"
      "AAEC\n"
      "--XX--\n";
  for (bool has : {true, false}) {
    Rule rule = make_rule({K::has_attachment});
    test::set_sense(rule, K::has_attachment, has);
    MailReader attached = make_mail(with_attachment);
    MailReader plain = make_mail(kPlainMail);
    EXPECT_EQ(match(attached, rule), has);
    EXPECT_EQ(match(plain, rule), !has);
  }
}

TEST_F(MatchRuleTest, wordConditionsReadTheirOwnField) {
  struct Case {
    K kind;
    const char* word;
    bool expected;
  };
  const Case cases[] = {
      {K::sender_words, "bob@", true},
      {K::sender_words, "alice", false},
      {K::recipient_words, "alice@", true},
      {K::recipient_words, "carol", false},
      {K::copy_words, "carol@", true},
      {K::copy_words, "alice", false},
      {K::recipient_or_copy_words, "y.orgcarol", true},  // joined without a separator
      {K::subject_words, "report", true},
      {K::subject_words, "Report", false},
      {K::body_words, "4711", true},
      {K::body_words, "quarterly", false},  // the subject is not the body
  };
  for (const auto& c : cases) {
    Rule rule = make_rule({c.kind});
    rule.word_lists[size_t(word_list_index(c.kind))] = std::string(c.word) + ";";
    MailReader mail = make_mail(kPlainMail);
    EXPECT_EQ(match(mail, rule), c.expected) << bit(c.kind) << " " << c.word;
  }
}

TEST_F(MatchRuleTest, bodyWordsSeeTheDecodedBody) {
  Rule rule = make_rule({K::body_words});
  rule.word_lists[5] = "hello world;";
  MailReader mail = make_mail(
      "From: a@b.c\nContent-Type: text/plain\nContent-Transfer-Encoding: base64\n\naGVsbG8gd29ybGQ=\n");
  EXPECT_TRUE(match(mail, rule));
}

TEST_F(MatchRuleTest, emptyBodyNeverMatchesPattern) {
  Rule rule = make_rule({K::body_pattern});
  rule.body_pattern = "*";
  MailReader mail = make_mail(
      "From: a@b.c\nContent-Type: multipart/mixed; boundary=\"XX\"\n\n"
      "--XX\nContent-Type: text/plain\n\n--XX--\n");
  EXPECT_FALSE(match(mail, rule));
  EXPECT_EQ(mail.text_body(), "");
}

}  // namespace
}  // namespace pw
