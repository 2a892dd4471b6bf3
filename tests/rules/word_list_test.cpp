#include "rules/word_list.h"

#include <gtest/gtest.h>

#include <string>

#include "res/string_ids.h"

namespace pw {
namespace {

using Words = std::vector<std::string_view>;

TEST(WordList, textAfterTheLastSeparatorIsNoWord) {
  EXPECT_EQ(split_words("a;b;"), (Words{"a", "b"}));
  EXPECT_EQ(split_words("a;b"), (Words{"a"}));
  EXPECT_EQ(split_words("tail"), Words{});
  EXPECT_EQ(split_words(""), Words{});
  EXPECT_EQ(split_words(";x;"), (Words{"", "x"}));
}

TEST(WordList, wordsAreComparedWholeAndExactly) {
  EXPECT_TRUE(has_word("abc;de;", "de"));
  EXPECT_FALSE(has_word("abc;de;", "ab"));
  EXPECT_FALSE(has_word("abc;de;", "ABC"));
  EXPECT_FALSE(has_word("abc;tail", "tail"));
}

TEST(WordList, joinPutsTheJoinerBetweenWordsOnly) {
  EXPECT_EQ(join_words("a;b;c;", "+"), "a+b+c");
  EXPECT_EQ(join_words("a;", "+"), "a");
  EXPECT_EQ(join_words("", "+"), "");
}

struct AddCase {
  const char* list;
  const char* word;
  WordAdd result;
  const char* after;
  int message = 0;
};

TEST(WordList, additionIsCheckedInTheDialogsOrder) {
  const AddCase cases[] = {
      {"a;", "b", WordAdd::added, "a;b;"},
      {"", "b", WordAdd::added, "b;"},
      {"a;", "", WordAdd::empty, "a;"},
      {"a;", "a;b", WordAdd::separator, "a;", sid::kReservedSeparator},
      {"a;", ";", WordAdd::separator, "a;", sid::kReservedSeparator},
      {"a;", "a", WordAdd::duplicate, "a;", sid::kWordExists},
      {"ab;", "a", WordAdd::added, "ab;a;"},
      {"a;tail", "b", WordAdd::added, "a;b;"},  // the non-word tail does not run into b
  };
  for (const auto& c : cases) {
    std::string list = c.list;
    EXPECT_EQ(add_word(list, c.word), c.result) << c.list << " + " << c.word;
    EXPECT_EQ(list, c.after) << c.list << " + " << c.word;
    EXPECT_EQ(message_id(c.result), c.message) << c.list << " + " << c.word;
  }
}

TEST(WordList, listMayGrowToExactlyItsLimit) {
  std::string list(1000, 'x');
  list += ';';  // 1001 bytes
  std::string at_limit = list;
  EXPECT_EQ(add_word(at_limit, std::string(21, 'y')), WordAdd::added);
  EXPECT_EQ(at_limit.size(), 1023u);
  std::string over = list;
  EXPECT_EQ(add_word(over, std::string(22, 'y')), WordAdd::too_long);
  EXPECT_EQ(over, list);
  EXPECT_EQ(message_id(WordAdd::too_long), sid::kListFull);
}

TEST(WordList, removeTakesOutOneWordWithItsSeparator) {
  std::string list = "a;b;c;";
  EXPECT_TRUE(remove_word(list, 1));
  EXPECT_EQ(list, "a;c;");
  EXPECT_TRUE(remove_word(list, 1));
  EXPECT_EQ(list, "a;");
  EXPECT_FALSE(remove_word(list, 1));
  EXPECT_TRUE(remove_word(list, 0));
  EXPECT_EQ(list, "");
  std::string tail = "a;rest";
  EXPECT_FALSE(remove_word(tail, 1));
  EXPECT_EQ(tail, "a;rest");
}

}  // namespace
}  // namespace pw
