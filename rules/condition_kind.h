#pragma once
// The condition kinds of a rule: one bit of `Rule::condition_mask` each. The
// order of the bits is the order of the editor's rows and of matching.
#include <array>
#include <cstdint>

#include "res/string_ids.h"

namespace pw {

enum class ConditionKind : uint32_t {
  sender_words = 0x0001,
  recipient_words = 0x0002,
  copy_words = 0x0004,
  recipient_or_copy_words = 0x0008,
  subject_words = 0x0010,
  body_words = 0x0020,
  age_hours = 0x0040,
  size = 0x0080,
  no_sender = 0x0100,
  no_recipient = 0x0200,
  no_subject = 0x0400,
  no_date = 0x0800,
  has_attachment = 0x1000,
  unverified_sender = 0x2000,
  body_pattern = 0x4000,
};

inline constexpr std::array<ConditionKind, 15> kConditionKinds = {
    ConditionKind::sender_words,    ConditionKind::recipient_words, ConditionKind::copy_words,
    ConditionKind::recipient_or_copy_words, ConditionKind::subject_words, ConditionKind::body_words,
    ConditionKind::age_hours,       ConditionKind::size,            ConditionKind::no_sender,
    ConditionKind::no_recipient,    ConditionKind::no_subject,      ConditionKind::no_date,
    ConditionKind::has_attachment,  ConditionKind::unverified_sender, ConditionKind::body_pattern,
};

[[nodiscard]] constexpr uint32_t bit(ConditionKind k) { return static_cast<uint32_t>(k); }

// Index of the kind in kConditionKinds, which is also its bit number.
[[nodiscard]] constexpr int index_of(ConditionKind k) {
  int i = 0;
  for (uint32_t b = bit(k); b > 1; b >>= 1) ++i;
  return i;
}

// String-table id of the kind's label in the editor (sid::kIfSenderHas upwards).
[[nodiscard]] constexpr int label_id(ConditionKind k) { return sid::kIfSenderHas + index_of(k); }

// The six kinds that test a text against a word list.
[[nodiscard]] constexpr bool is_word_condition(ConditionKind k) { return bit(k) <= bit(ConditionKind::body_words); }

// Index into `Rule::word_lists` of a word condition, -1 for the other kinds.
[[nodiscard]] constexpr int word_list_index(ConditionKind k) { return is_word_condition(k) ? index_of(k) : -1; }

}  // namespace pw
