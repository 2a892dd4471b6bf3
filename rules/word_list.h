#pragma once
// Word lists: words each followed by one ';' ("A;B;"), unique within the
// list, the whole list at most 1023 bytes so it fits its 1024-byte field.
// Text after the last ';' is not a word.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace pw {

inline constexpr size_t kWordListLimit = 1023;

// The words of `list`, in order.
[[nodiscard]] std::vector<std::string_view> split_words(std::string_view list);

// True when `word` is one of the words of `list` (exact comparison).
[[nodiscard]] bool has_word(std::string_view list, std::string_view word);

// The words joined by `joiner` ("a和b" for "a;b;" and "和").
[[nodiscard]] std::string join_words(std::string_view list, std::string_view joiner);

enum class WordAdd {
  added,
  empty,        // nothing to add, nothing said
  separator,    // the word holds ';'
  duplicate,    // already in the list
  too_long,     // the list would grow past its limit
};

// String-table text the dialog shows for an addition that was refused, 0 for
// none. The separator text is shown in the format "'%c'%s" with ';'.
[[nodiscard]] int message_id(WordAdd result);

// Appends `word` and ';' unless refused, checking in the dialog's order:
// empty, separator, duplicate, limit. Text after the last ';' is not a word
// and is dropped first so that it does not run into the new word.
[[nodiscard]] WordAdd add_word(std::string& list, std::string_view word, size_t limit = kWordListLimit);

// Removes the word at `index` (as counted by split_words); false when there
// is no such word.
bool remove_word(std::string& list, size_t index);

}  // namespace pw
