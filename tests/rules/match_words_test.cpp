#include <gtest/gtest.h>

#include "match_support.h"
#include "rules/match_words.h"

namespace pw {
namespace {

struct WordsCase {
  const char* list;
  const char* text;
  bool contains;
  bool all;
  bool expected;
};

TEST(MatchWords, combinesSenseAndAllWords) {
  const WordsCase cases[] = {
      {"abc;", "xabcx", true, false, true},
      {"abc;", "ABC", true, false, false},      // letter case matters
      {"a;b;", "only a", true, true, false},    // contains all: b missing
      {"a;b;", "only a", false, true, false},   // contains none: a is there
      {"a;b;", "only a", false, false, true},   // lacks one: b is missing
      {"a;b;", "only a", true, false, true},    // contains any
      {"a;b;", "a and b", true, true, true},
      {"a;b;", "a and b", false, false, false},
      {"a;b;", "none", false, true, true},
      {"x;y;", "none", true, false, false},
      {"", "anything", true, false, false},     // an empty list contains nothing
      {"", "anything", true, true, false},
      {"", "anything", false, false, true},
      {"", "anything", false, true, true},
      {"abc", "abc", true, false, false},       // text after the last ';' is no word
      {"zz;abc", "abc", false, true, true},
      {"a;", "", true, false, false},           // a missing field is an empty text
      {"a;", "", false, true, true},
      {"a?c;", "abc", true, false, false},      // no wildcards in words
      {"a?c;", "a?c", true, false, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(match_word_list(c.list, c.text, c.contains, c.all), c.expected)
        << "list " << c.list << " text " << c.text << " contains " << c.contains << " all " << c.all;
  }
}

TEST(MatchWords, comparesBytesAcrossCharacterBoundaries) {
  // "中文" in GB18030 is D6 D0 CE C4; the bytes D0 CE straddle both characters.
  EXPECT_TRUE(match_word_list("\xd0\xce;", "\xd6\xd0\xce\xc4", true, false));
}

TEST(MatchWords, readsTheKindsOwnListAndBits) {
  Rule rule;
  rule.word_lists[0] = "alice;";
  rule.word_lists[4] = "offer;";
  test::set_sense(rule, ConditionKind::subject_words, false);
  EXPECT_TRUE(match_words(ConditionKind::sender_words, "alice@x.org", rule));
  EXPECT_FALSE(match_words(ConditionKind::subject_words, "special offer", rule));
  EXPECT_TRUE(match_words(ConditionKind::subject_words, "hello", rule));
  EXPECT_FALSE(match_words(ConditionKind::recipient_words, "alice", rule));  // its own list is empty
}

}  // namespace
}  // namespace pw
