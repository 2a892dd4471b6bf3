#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "rules/body_pattern.h"
#include "rules/capture_list.h"
#include "rules/match_pattern.h"
#include "rules/rule.h"
#include "rules/segment_searcher.h"

namespace pw {
namespace {

struct PatternCase {
  const char* pattern;
  const char* text;
  bool matches;
};

TEST(MatchPattern, matchesAsTheWalkDefines) {
  const PatternCase cases[] = {
      {"abc", "zabc", true},          // text before the first segment is skipped
      {"abc", "abcz", false},         // the final segment must end the text
      {"abc", "abcabc", false},       // only its first occurrence is tried
      {"abc", "abc", true},
      {"a?c*", "xxabcyy", true},
      {"a?c*", "axc", true},
      {"a?c*", "ac", false},
      {"*", "anything", true},
      {"*", "", false},               // an empty body never matches a non-empty pattern
      {"abc", "", false},
      {"*<#1>", "", false},
      {"", "", true},
      {"a*b*c", "a1b2c", true},
      {"a*b*c", "a1c2b", false},
      {"a*b*c", "abc", true},
      {"abc*", "abc", true},
      {"abc**", "abc", false},        // "**" without a '*' in the text is two wildcards; the
                                      // second's empty segment finds no text left
      {"abc**", "abcd", true},
      {"a**b", "a*b", true},          // escaped literal '*'
      {"a**b", "a*xxb", true},        // the open wildcard still covers the text after it
      {"a*?b", "a?b", true},          // escaped literal '?'
      {"a*?b", "axb", true},          // not a '?' in the text: a plain wildcard, then "?b"
      {"a*?b", "ab", false},
      {"x*<min=3>y", "x12y", false},
      {"x*<min=3>y", "x123y", true},
      {"x*<max=2>y", "x123y", false},
      {"x*<max=2>y", "x12y", true},
      {"x*<MIN=1 Max=1>y", "xy1y", true},   // the first y is too close, the second is 1 away
      {"x*<min=1 max=1>y", "xy12y", false}, // the second y is then 2 away
      {"x*<min=1 max=1>y", "xyy1y", true},  // resumes after each too-close y
      {"x*<min=1>y", "xyyyy", false},       // each y is right after the one before
      {"x*<min=2>", "x1", false},     // bounds apply to the final wildcard too
      {"x*<min=2>", "x12", true},
      {"x*<max=1>", "x12", false},
      {"x*<min=1", "x1", false},      // no closing '>'
      {"*<>z", "az", true},           // no options: a plain wildcard
      {"x*<min=5 max=1>y", "xy", true},  // so is one that fails the checks
  };
  for (const auto& c : cases) {
    CaptureList captures;
    EXPECT_EQ(match_pattern(c.pattern, c.text, captures, nullptr), c.matches)
        << "pattern " << c.pattern << " text " << c.text;
  }
}

TEST(MatchPattern, capturesTextBetweenSegments) {
  Rule rule;
  CaptureList captures;
  EXPECT_TRUE(match_pattern("*<#1>-*", "ab-cd", captures, &rule));
  EXPECT_EQ(captures.lookup(&rule, 1), "ab");
  ASSERT_EQ(captures.records().size(), 1u);
}

TEST(MatchPattern, tooCloseOccurrenceMovesCaptureStart) {
  Rule rule;
  CaptureList captures;
  EXPECT_TRUE(match_pattern("x*<min=3 #2>y", "x12y123y", captures, &rule));
  EXPECT_EQ(captures.lookup(&rule, 2), "123");
}

TEST(MatchPattern, capturesFinalWildcardAndSeveralNumbers) {
  Rule rule;
  CaptureList captures;
  EXPECT_TRUE(match_pattern("Order: *<#1 max=10>\r\nName: *<#2>", "Hi\r\nOrder: 4711\r\nName: Li Lei", captures,
                            &rule));
  EXPECT_EQ(captures.lookup(&rule, 1), "4711");
  EXPECT_EQ(captures.lookup(&rule, 2), "Li Lei");
}

TEST(MatchPattern, capturesStayWhenALaterStepFails) {
  Rule rule;
  CaptureList captures;
  EXPECT_FALSE(match_pattern("*<#1>-*<#2>=*x", "ab-cd=ef", captures, &rule));
  EXPECT_EQ(captures.lookup(&rule, 1), "ab");
  EXPECT_EQ(captures.lookup(&rule, 2), "cd");
}

TEST(MatchPattern, capturesBelongToTheirRule) {
  Rule first, second;
  CaptureList captures;
  EXPECT_TRUE(match_pattern("*<#1>:*", "one:", captures, &first));
  EXPECT_TRUE(match_pattern("*<#1>:*", "two:", captures, &second));
  EXPECT_TRUE(match_pattern("*<#1>;*", "three;", captures, &first));
  EXPECT_EQ(captures.lookup(&first, 1), "one");  // the first record wins
  EXPECT_EQ(captures.lookup(&second, 1), "two");
  EXPECT_EQ(captures.lookup(&second, 2), "");
  EXPECT_EQ(captures.records().size(), 3u);
}

TEST(MatchPattern, escapedStarKeepsOpenCapture) {
  Rule rule;
  CaptureList captures;
  EXPECT_TRUE(match_pattern("*<#1>a**b", "XaY*Zb", captures, &rule));
  // "**" after "a" finds 'Y', not '*': a plain wildcard, so capture 1 stays "X".
  EXPECT_EQ(captures.lookup(&rule, 1), "X");
  ASSERT_EQ(captures.records().size(), 1u);

  CaptureList again;
  EXPECT_TRUE(match_pattern("*<#1>a**b", "Xa*Zb", again, &rule));
  // The escape keeps wildcard 1 open, so the text up to "b" is captured once more.
  ASSERT_EQ(again.records().size(), 2u);
  EXPECT_EQ(again.records()[1].text, "Z");
}

// The walk step by step as plainly as it can be written: a fresh search for
// every occurrence, no state kept between searches.
bool reference_match(std::string_view pattern, std::string_view text, std::vector<std::string>& captures) {
  constexpr size_t npos = std::string_view::npos;
  size_t t = 0, p = 0, min = 0;
  std::optional<size_t> max;
  std::optional<uint32_t> k;
  auto place = [&](std::string_view segment, size_t& m) {
    for (;;) {
      m = SegmentSearcher(segment).find(text, t);
      if (m == npos || (max && m - t > *max)) return false;
      if (m - t >= min) break;
      t = m + 1;
    }
    if (k) captures.push_back(std::to_string(*k) + "=" + std::string(text.substr(t, m - t)));
    return true;
  };
  for (size_t star; (star = pattern.find('*', p)) != npos;) {
    const std::string_view segment = pattern.substr(p, star - p);
    size_t m;
    if (!place(segment, m)) return false;
    t = m + segment.size();
    const char next = star + 1 < pattern.size() ? pattern[star + 1] : 0;
    if ((next == '*' || next == '?') && t < text.size() && text[t] == next) {
      ++t;
      p = star + 2;
    } else if (next == '<') {
      const size_t close = pattern.find('>', star);
      if (close == npos) return false;
      const auto options = parse_wildcard_options(pattern.substr(star + 2, close - star - 2));
      min = options ? options->min : 0;
      max = options && options->max ? std::optional<size_t>(*options->max) : std::nullopt;
      k = options ? options->capture : std::nullopt;
      p = close + 1;
    } else {
      min = 0;
      max.reset();
      k.reset();
      p = star + 1;
    }
  }
  const std::string_view last = pattern.substr(p);
  if (last.empty()) {
    const size_t m = text.size();
    if ((max && m - t > *max) || m - t < min) return false;
    if (k) captures.push_back(std::to_string(*k) + "=" + std::string(text.substr(t, m - t)));
    return true;
  }
  size_t m;
  return place(last, m) && m + last.size() == text.size();
}

TEST(MatchPattern, agreesWithPlainWalkOnRandomInputs) {
  std::mt19937 rng(2024);
  const char* pieces[] = {"a", "b", "ab", "?", "*", "**", "*?", "*<min=2>", "*<max=1 #1>", "*<#2 min=1 max=3>",
                          "*<#3>", "*<min=9>", "aa"};
  Rule rule;
  for (int round = 0; round < 20000; ++round) {
    std::string pattern, text;
    for (size_t i = rng() % 7; i > 0; --i) pattern += pieces[rng() % std::size(pieces)];
    for (size_t i = rng() % 24; i > 0; --i) text += "ab*?"[rng() % (round % 2 ? 2 : 4)];
    std::vector<std::string> expected;
    const bool want = reference_match(pattern, text, expected);
    CaptureList captures;
    ASSERT_EQ(match_pattern(pattern, text, captures, &rule), want) << pattern << " / " << text;
    std::vector<std::string> got;
    for (const auto& c : captures.records()) got.push_back(std::to_string(c.number) + "=" + c.text);
    ASSERT_EQ(got, expected) << pattern << " / " << text;
  }
}

TEST(MatchPattern, manyWildcardsOnRepeatedBytesFinish) {
  std::string plain, bounded;
  for (int i = 0; i < 200; ++i) {
    plain += "a?a*";
    bounded += "a?a*<min=1 #1>";
  }
  plain += "b";
  bounded += "b";
  const std::string text(200000, 'a');
  CaptureList captures;
  EXPECT_FALSE(match_pattern(plain, text, captures, nullptr));
  EXPECT_TRUE(match_pattern(plain, text + "b", captures, nullptr));
  // In a run of one byte every next occurrence is right at the new start, so
  // a lower bound is never met; the walk still ends after one pass.
  EXPECT_FALSE(match_pattern(bounded, text + "b", captures, nullptr));
  EXPECT_TRUE(captures.empty());
}

}  // namespace
}  // namespace pw
