#pragma once
// What the rule editor checks before it keeps a rule, in its fixed order,
// and which parameter dialog a failure opens; the checks of the reply and
// key-information dialogs.
#include <cstdint>
#include <optional>
#include <string_view>

#include "rules/rule.h"
#include "rules/rule_template.h"
#include "ui/form_check.h"

namespace pw {
class RuleStore;
}

namespace pw::ui {

// A value of the rule the user edits in a dialog of its own: the and/or
// choice, or the parameter of a condition or action bit (sub-item 1 is the
// key-information file, 0 everything else).
struct RuleParameter {
  enum class Target { and_or, condition, action };
  Target target = Target::and_or;
  uint32_t bit = 0;
  int sub_item = 0;

  friend bool operator==(const RuleParameter&, const RuleParameter&) = default;
};

struct RuleCheckFailure {
  int message_id = 0;
  bool focus_name = false;             // the name field is wrong
  std::optional<RuleParameter> open;   // the dialog that follows the message

  friend bool operator==(const RuleCheckFailure&, const RuleCheckFailure&) = default;
};

// The first failure of `rule`, or nullopt when it may be kept. `editing` is
// the stored rule being modified (its own name is no clash), null for a new
// rule.
[[nodiscard]] std::optional<RuleCheckFailure> check_rule(const Rule& rule, const RuleStore& rules,
                                                         const Rule* editing);

// The level of a dialog's templates checked against the body pattern, or
// the first template that is invalid.
template <class Field>
struct TemplateCheck {
  TemplateLevel level = TemplateLevel::plain;
  std::optional<FormFailure<Field>> failure;
};

enum class ReplyField { subject, text };

// The reply's subject, then its text (GB18030); the level is the higher of
// the two.
[[nodiscard]] TemplateCheck<ReplyField> check_reply(std::string_view subject, std::string_view text,
                                                    std::string_view body_pattern);

enum class KeyInfoField { key_template };

[[nodiscard]] TemplateCheck<KeyInfoField> check_key_info(std::string_view key_template,
                                                         std::string_view body_pattern);

}  // namespace pw::ui
