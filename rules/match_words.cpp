#include "rules/match_words.h"

#include <cstring>

#include "rules/rule.h"
#include "rules/word_list.h"

namespace pw {
namespace {

// memmem is linear in the text whatever the word holds; a body of a few
// megabytes against a list of long words stays cheap.
bool occurs(std::string_view text, std::string_view word) {
  if (word.empty()) return true;
  return ::memmem(text.data(), text.size(), word.data(), word.size()) != nullptr;
}

}  // namespace

bool match_word_list(std::string_view list, std::string_view text, bool contains, bool all) {
  bool found = false;
  for (std::string_view word : split_words(list)) {
    found = occurs(text, word);
    // contains any: a hit decides; contains all: a miss decides; lacks all:
    // a hit decides; lacks one: a miss decides.
    if (found == (contains != all)) break;
  }
  return contains ? found : !found;
}

bool match_words(ConditionKind kind, std::string_view text, const Rule& rule) {
  return match_word_list(rule.word_list(kind), text, rule.sense(kind), rule.all_words(kind));
}

}  // namespace pw
