#pragma once
// The word-list test of one text condition of a rule.
#include <string_view>

#include "rules/condition_kind.h"

namespace pw {

struct Rule;

// Walks the rule's word list for `kind` (one of the six word conditions) and
// tests whether each word occurs in `text` as a byte substring (exact bytes,
// letter case matters, no wildcards). With the kind's sense bit set the rule
// wants the text to contain any word, or all words with its all-words bit;
// clear, it wants the text to lack all of them (all-words bit set) or at
// least one. An empty list contains nothing: false when containing is
// wanted, true otherwise.
[[nodiscard]] bool match_words(ConditionKind kind, std::string_view text, const Rule& rule);

// The same test over a word list given directly.
[[nodiscard]] bool match_word_list(std::string_view list, std::string_view text, bool contains, bool all);

}  // namespace pw
