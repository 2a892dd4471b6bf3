#include "rules/body_pattern.h"

#include <gtest/gtest.h>

#include "rules/rule_template.h"

namespace pw {
namespace {

struct OptionsCase {
  const char* options;
  std::optional<WildcardOptions> parsed;
};

TEST(WildcardOptionsParse, itemsInAnyOrderCaseAndBlanks) {
  const OptionsCase cases[] = {
      {"", WildcardOptions{}},
      {"   \t", WildcardOptions{}},
      {"min=2", WildcardOptions{2, {}, {}}},
      {"max=3", WildcardOptions{0, 3, {}}},
      {"#1", WildcardOptions{0, {}, 1}},
      {"MIN=2 Max=9\t#4", WildcardOptions{2, 9, 4}},
      {" #4 max=9 min=2 ", WildcardOptions{2, 9, 4}},
      {"min=3 max=3", WildcardOptions{3, 3, {}}},
      {"min=007", WildcardOptions{7, {}, {}}},
      {"#2147483647", WildcardOptions{0, {}, 2147483647u}},
      {"min=5 max=3", std::nullopt},
      {"min=2x", std::nullopt},
      {"min= 2", std::nullopt},
      {"min=", std::nullopt},
      {"#", std::nullopt},
      {"# 1", std::nullopt},
      {"#1#2", std::nullopt},
      {"min=1 min=2", std::nullopt},
      {"#1 #2", std::nullopt},
      {"size=1", std::nullopt},
      {"min=1,max=2", std::nullopt},
      {"min=1 x", std::nullopt},
      {"#2147483648", std::nullopt},
      {"min=99999999999999999999", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(parse_wildcard_options(c.options), c.parsed) << '"' << c.options << '"';
}

struct PatternCase {
  const char* pattern;
  bool ok;
  size_t begin;
  size_t end;
};

TEST(ValidatePattern, reportsTheBadWildcardsBytes) {
  const PatternCase cases[] = {
      {"", true, 0, 0},
      {"plain text ? and *", true, 0, 0},
      {"*<#1>-*", true, 0, 0},
      {"x*<min=3 #2>y", true, 0, 0},
      {"**<max=1>", true, 0, 0},
      {"*<>", true, 0, 0},
      {"a<b>c", true, 0, 0},
      {"*<#0>*<#0>", true, 0, 0},  // capture 0 may repeat
      {"ab*<min=5 max=3>cd", false, 2, 16},
      {"x*<#1", false, 1, 3},
      {"*<#1>x*<min=1", false, 6, 8},
      {"*<#1>*<#2>*<#1>", false, 10, 15},
      {"*<bad>*<also bad", false, 0, 6},
      {"*<min=1>>", true, 0, 0},  // the first '>' closes the options
  };
  for (const auto& c : cases) {
    PatternCheck check = validate_pattern(c.pattern);
    EXPECT_EQ(check.ok, c.ok) << c.pattern;
    if (!c.ok) {
      EXPECT_EQ(check.begin, c.begin) << c.pattern;
      EXPECT_EQ(check.end, c.end) << c.pattern;
    }
  }
}

TEST(PatternCaptures, wellFormedCaptureItemsInsideOptionsOnly) {
  EXPECT_EQ(pattern_captures("*<#3>a*<min=2 #05>#7"), (std::vector<uint32_t>{3, 5}));
  EXPECT_EQ(pattern_captures("#1 *<min=1>"), std::vector<uint32_t>{});
  EXPECT_EQ(pattern_captures("*<#1"), std::vector<uint32_t>{});
  EXPECT_EQ(pattern_captures("*<x#1 #2>"), std::vector<uint32_t>{2});
}

struct TemplateCase {
  const char* text;
  const char* pattern;
  TemplateLevel level;
};

TEST(ValidateTemplate, markersAndCapturesAgainstThePattern) {
  const TemplateCase cases[] = {
      {"no markers", "", TemplateLevel::plain},
      {"", "", TemplateLevel::plain},
      {"#S#-#3#", "*<#3>", TemplateLevel::captures},
      {"#S#-#3#", "x*<min=1 max=9 #3>y", TemplateLevel::captures},
      {"#3#", "abc", TemplateLevel::invalid},
      {"#3#", "*<#31>", TemplateLevel::invalid},
      {"#3#", "#3 outside", TemplateLevel::invalid},
      {"#03#", "*<#3>", TemplateLevel::captures},
      {"abc#x#", "", TemplateLevel::invalid},
      {"abc##", "", TemplateLevel::plain},
      {"abc#", "", TemplateLevel::invalid},
      {"#C##D##F##N##S##T#", "", TemplateLevel::plain},
      {"#c##d##f##n##s##t#", "", TemplateLevel::plain},
      {"#SS#", "", TemplateLevel::invalid},
      {"#S#x#", "", TemplateLevel::invalid},  // the third '#' has no partner
      {"#-1#", "*<#1>", TemplateLevel::invalid},
      {"##1#", "*<#1>", TemplateLevel::invalid},  // "##" then an unclosed '#'
      {"#1# and #2#", "*<#1>*<#2>", TemplateLevel::captures},
      {"#1# and #2#", "*<#1>", TemplateLevel::invalid},
      {"#99999999999#", "*<#1>", TemplateLevel::invalid},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(validate_template(c.text, c.pattern), c.level) << c.text << " / " << c.pattern;
  }
}

}  // namespace
}  // namespace pw
