#include "rules/word_list.h"

#include <algorithm>

#include "res/string_ids.h"

namespace pw {

std::vector<std::string_view> split_words(std::string_view list) {
  std::vector<std::string_view> words;
  size_t start = 0;
  for (size_t end = list.find(';'); end != std::string_view::npos; end = list.find(';', start)) {
    words.push_back(list.substr(start, end - start));
    start = end + 1;
  }
  return words;
}

bool has_word(std::string_view list, std::string_view word) {
  auto words = split_words(list);
  return std::find(words.begin(), words.end(), word) != words.end();
}

std::string join_words(std::string_view list, std::string_view joiner) {
  std::string out;
  bool first = true;
  for (std::string_view w : split_words(list)) {
    if (!first) out += joiner;
    out += w;
    first = false;
  }
  return out;
}

int message_id(WordAdd result) {
  switch (result) {
    case WordAdd::separator: return sid::kReservedSeparator;
    case WordAdd::duplicate: return sid::kWordExists;
    case WordAdd::too_long: return sid::kListFull;
    case WordAdd::added:
    case WordAdd::empty: break;
  }
  return 0;
}

WordAdd add_word(std::string& list, std::string_view word, size_t limit) {
  if (word.empty()) return WordAdd::empty;
  if (word.find(';') != std::string_view::npos) return WordAdd::separator;
  if (has_word(list, word)) return WordAdd::duplicate;
  size_t words_end = list.rfind(';');
  size_t kept = words_end == std::string::npos ? 0 : words_end + 1;
  if (kept + word.size() + 1 > limit) return WordAdd::too_long;
  list.resize(kept);
  list += word;
  list += ';';
  return WordAdd::added;
}

bool remove_word(std::string& list, size_t index) {
  size_t start = 0;
  for (size_t i = 0;; ++i) {
    size_t end = list.find(';', start);
    if (end == std::string::npos) return false;
    if (i == index) {
      list.erase(start, end - start + 1);
      return true;
    }
    start = end + 1;
  }
}

}  // namespace pw
