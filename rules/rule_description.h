#pragma once
// The description of a rule: a few lines that read like a sentence ("服务器上有
// 新邮件", the conditions joined by "和"/"或", "则", the actions), in which every
// value the user can set is a link. Text and positions are GB18030 bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "rules/rule.h"

namespace pw {

enum class LinkKind : int { condition = 0, action = 1 };

struct DescriptionLink {
  LinkKind kind = LinkKind::condition;
  uint32_t bit = 0;   // the condition or action bit
  int sub_item = 0;   // 1 only for the key-information file
  size_t start = 0;   // byte offset of the link in the text
  size_t end = 0;     // byte offset just past the linked span

  friend bool operator==(const DescriptionLink&, const DescriptionLink&) = default;
};

struct DescriptionSpan {
  size_t begin = 0;
  size_t end = 0;
  friend bool operator==(const DescriptionSpan&, const DescriptionSpan&) = default;
};

struct DescriptionHit {
  enum class Target { none, link, joiner };
  Target target = Target::none;
  const DescriptionLink* link = nullptr;  // set for Target::link
};

struct RuleDescription {
  std::string text;                    // lines end in CR LF
  std::vector<DescriptionLink> links;  // in the order made
  std::vector<size_t> joiners;         // offsets of the "和"/"或" between conditions
  size_t joiner_length = 0;            // bytes of that word

  // The spans the control formats as links: one per link record, and one per
  // joiner word.
  [[nodiscard]] std::vector<DescriptionSpan> link_spans() const;
  [[nodiscard]] std::vector<DescriptionSpan> joiner_spans() const;

  // What a click at byte `position` opens: the link whose span holds it,
  // the and/or choice for a joiner word, or nothing.
  [[nodiscard]] DescriptionHit hit(size_t position) const;
};

[[nodiscard]] RuleDescription build_rule_description(const Rule& rule);

// One condition's or action's text with its links relative to the text's
// start. The confirmation window shows the same action texts.
struct DescriptionPiece {
  struct Link {
    int sub_item = 0;
    size_t start = 0;
    size_t end = 0;
  };
  std::string text;
  std::vector<Link> links;
};

[[nodiscard]] DescriptionPiece condition_piece(const Rule& rule, ConditionKind kind);
[[nodiscard]] DescriptionPiece action_piece(const Rule& rule, ActionKind kind);

// The action's text as the operation log records it: Chinese in every language.
[[nodiscard]] std::string record_action_text(const Rule& rule, ActionKind kind);

// The action texts that do not need a whole rule, for one-off operations.
[[nodiscard]] DescriptionPiece forward_piece(std::string_view forward_to);
[[nodiscard]] DescriptionPiece reply_piece(const ReplySettings& reply);
// Backup or attachment action with its directory.
[[nodiscard]] DescriptionPiece directory_piece(ActionKind kind, std::string_view directory);

}  // namespace pw
