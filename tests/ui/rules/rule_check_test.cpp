// The template checks of the reply and key-information dialogs: the first
// invalid field in order, else the level of the templates together.
#include "ui/rules/rule_check.h"

#include <gtest/gtest.h>

#include "res/string_ids.h"

namespace pw::ui {
namespace {

TEST(ReplyCheck, subjectBeforeTextAndTheHigherLevel) {
  struct Case {
    const char* name;
    const char* pattern;
    const char* subject;
    const char* text;
    std::optional<FormFailure<ReplyField>> failure;
    TemplateLevel level;
  };
  const Case cases[] = {
      {"subject before text", "*<#2>", "#x#", "#y#", {{ReplyField::subject, sid::kBadReplySubject}}, TemplateLevel::invalid},
      {"text", "*<#2>", "#S#", "#3#", {{ReplyField::text, sid::kBadReplyText}}, TemplateLevel::invalid},
      {"capture without a pattern", "", "#1#", "", {{ReplyField::subject, sid::kBadReplySubject}}, TemplateLevel::invalid},
      {"plain", "", "Re: #S#", "thanks", std::nullopt, TemplateLevel::plain},
      {"capture in the text", "*<#2>", "#S#", "#2#", std::nullopt, TemplateLevel::captures},
      {"capture in the subject", "*<#2>", "#2#", "thanks", std::nullopt, TemplateLevel::captures},
  };
  for (const Case& c : cases) {
    const TemplateCheck<ReplyField> checked = check_reply(c.subject, c.text, c.pattern);
    EXPECT_EQ(checked.failure, c.failure) << c.name;
    EXPECT_EQ(checked.level, c.level) << c.name;
  }
}

TEST(KeyInfoCheck, refusesAnUnclosedMarkerAndKeepsTheLevel) {
  EXPECT_EQ(check_key_info("#F# #S", "").failure, (FormFailure<KeyInfoField>{KeyInfoField::key_template, sid::kBadKeyInfoTemplate}));
  EXPECT_EQ(check_key_info("#F#", "").level, TemplateLevel::plain);
  EXPECT_EQ(check_key_info("#F# #1#", "*<#1>").level, TemplateLevel::captures);
}

}  // namespace
}  // namespace pw::ui
