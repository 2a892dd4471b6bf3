#pragma once
// One mail rule: the fixed 16328-byte record (its file form, byte for byte)
// plus the ordered list of reply-attachment paths that follows it in files.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "rules/action_kind.h"
#include "rules/condition_kind.h"
#include "rules/forward_settings.h"
#include "rules/reply_settings.h"

namespace pw {

// What of a mail a rule needs fetched; the check run ORs these together.
inline constexpr uint32_t kFetchHeader = 1;
inline constexpr uint32_t kFetchWhole = 2;
inline constexpr uint32_t kFetchSize = 4;
// All a check can fetch of a mail: once the rules need this, no more rule
// adds anything (the header comes with the whole mail).
inline constexpr uint32_t kFetchAll = kFetchWhole | kFetchSize;

struct Rule {
  static constexpr size_t kRecordSize = 16328;
  static constexpr size_t kAttachmentSlotSize = 260;
  static constexpr size_t kNameWidth = 256;
  static constexpr size_t kWordListWidth = 1024;
  static constexpr size_t kPatternWidth = 2048;
  static constexpr size_t kPathWidth = 260;
  static constexpr size_t kReplySubjectWidth = 128;
  static constexpr size_t kReplyTextWidth = 2048;
  static constexpr size_t kKeyInfoTemplateWidth = 512;

  int32_t id = 0;
  std::string name;
  uint32_t condition_mask = 0;
  uint32_t sense_mask = 0xffffffffu;      // per condition: contains / greater / has
  uint32_t all_words_mask = 0xffffffffu;  // per word condition: all words / any word
  std::array<std::string, 6> word_lists;  // conditions 0x0001 to 0x0020
  int32_t age_hours = 0;
  int32_t size_kb = 0;
  std::string body_pattern;
  bool match_all = true;
  uint32_t action_mask = 0;
  ForwardSettings forward;
  bool delete_always = false;
  ReplySettings reply;  // its attachments follow the record in files
  std::string backup_dir;
  std::string key_info_file;
  std::string key_info_template;
  std::string attachment_dir;
  int32_t confirm_seconds = 0;  // 0 = wait for ever
  uint32_t fetch_need = 0;
  int32_t use_count = 0;        // mailboxes bound to the rule

  friend bool operator==(const Rule&, const Rule&) = default;

  [[nodiscard]] bool has(ConditionKind k) const { return (condition_mask & bit(k)) != 0; }
  [[nodiscard]] bool has(ActionKind k) const { return (action_mask & bit(k)) != 0; }
  [[nodiscard]] bool sense(ConditionKind k) const { return (sense_mask & bit(k)) != 0; }
  [[nodiscard]] bool all_words(ConditionKind k) const { return (all_words_mask & bit(k)) != 0; }
  // The word list of a word condition; an empty string for the other kinds.
  [[nodiscard]] const std::string& word_list(ConditionKind k) const;

  // The record followed by its attachment slots, as stored in rule files.
  // Text longer than its field is cut to the field's limit.
  [[nodiscard]] std::string encode() const;

  // The record at the start of `bytes` without its attachments; nullopt when
  // `bytes` is shorter than a record. The stored attachment count is given
  // in `attachment_count` so the reader can take that many slots.
  [[nodiscard]] static std::optional<Rule> decode_record(std::string_view bytes, uint32_t& attachment_count);
};

// How much of a mail `rule` needs: kFetchWhole, else kFetchHeader, else 0,
// with kFetchSize added when the size is tested or the user is asked.
[[nodiscard]] uint32_t compute_fetch_need(const Rule& rule);
// Whether matching `rule` reads the mail's body (body words, the body
// pattern, attachments); such a rule needs the whole mail.
[[nodiscard]] bool matches_on_body(const Rule& rule);

}  // namespace pw
