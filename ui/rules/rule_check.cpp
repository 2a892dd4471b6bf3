#include "ui/rules/rule_check.h"

#include <algorithm>

#include "res/string_ids.h"
#include "rules/rule_store.h"
#include "rules/word_list.h"

namespace pw::ui {
namespace {

int word_list_message(ConditionKind kind) {
  switch (kind) {
    case ConditionKind::sender_words: return sid::kNoSenderWords;
    case ConditionKind::recipient_words: return sid::kNoRecipientWords;
    case ConditionKind::copy_words: return sid::kNoCopyWords;
    case ConditionKind::recipient_or_copy_words: return sid::kNoRecipientOrCopyWords;
    case ConditionKind::subject_words: return sid::kNoSubjectWords;
    default: return sid::kNoBodyWords;
  }
}

// The message when chosen condition `kind` lacks its parameter, else 0.
int missing_condition_parameter(const Rule& rule, ConditionKind kind) {
  if (is_word_condition(kind)) return split_words(rule.word_list(kind)).empty() ? word_list_message(kind) : 0;
  switch (kind) {
    case ConditionKind::age_hours: return rule.age_hours <= 0 ? sid::kBadHours : 0;
    case ConditionKind::size: return rule.size_kb <= 0 ? sid::kBadSize : 0;
    case ConditionKind::body_pattern: return rule.body_pattern.empty() ? sid::kNoBodyPattern : 0;
    default: return 0;
  }
}

RuleCheckFailure open_action(int message_id, ActionKind kind, int sub_item = 0) {
  return {message_id, false, RuleParameter{RuleParameter::Target::action, bit(kind), sub_item}};
}

}  // namespace

std::optional<RuleCheckFailure> check_rule(const Rule& rule, const RuleStore& rules, const Rule* editing) {
  if (rule.name.empty()) return RuleCheckFailure{sid::kNoRuleName, true, std::nullopt};
  if (rules.find_by_name(rule.name, editing)) return RuleCheckFailure{sid::kRuleNameTaken, true, std::nullopt};
  for (ConditionKind kind : kConditionKinds) {
    if (!rule.has(kind)) continue;
    if (int message = missing_condition_parameter(rule, kind)) {
      return RuleCheckFailure{message, false, RuleParameter{RuleParameter::Target::condition, bit(kind), 0}};
    }
  }
  if (rule.action_mask == 0) return RuleCheckFailure{sid::kNoAction, false, std::nullopt};
  if (rule.has(ActionKind::forward) && split_words(rule.forward.to).empty()) {
    return open_action(sid::kNoForwardTo, ActionKind::forward);
  }
  if (rule.has(ActionKind::backup) && rule.backup_dir.empty())
    return open_action(sid::kNoBackupFolder, ActionKind::backup);
  if (rule.has(ActionKind::reply) && (rule.reply.from_file ? rule.reply.file.empty() : rule.reply.text.empty())) {
    return open_action(sid::kNoReply, ActionKind::reply);
  }
  if (rule.has(ActionKind::key_info)) {
    if (rule.key_info_template.empty()) return open_action(sid::kNoKeyInfoTemplate, ActionKind::key_info, 0);
    if (rule.key_info_file.empty()) return open_action(sid::kNoKeyInfoFile, ActionKind::key_info, 1);
  }
  return std::nullopt;
}

TemplateCheck<ReplyField> check_reply(std::string_view subject, std::string_view text,
                                      std::string_view body_pattern) {
  const TemplateLevel subject_level = validate_template(subject, body_pattern);
  if (subject_level == TemplateLevel::invalid) return {subject_level, {{ReplyField::subject, sid::kBadReplySubject}}};
  const TemplateLevel text_level = validate_template(text, body_pattern);
  if (text_level == TemplateLevel::invalid) return {text_level, {{ReplyField::text, sid::kBadReplyText}}};
  return {std::max(subject_level, text_level), std::nullopt};
}

TemplateCheck<KeyInfoField> check_key_info(std::string_view key_template, std::string_view body_pattern) {
  const TemplateLevel level = validate_template(key_template, body_pattern);
  if (level == TemplateLevel::invalid) return {level, {{KeyInfoField::key_template, sid::kBadKeyInfoTemplate}}};
  return {level, std::nullopt};
}

}  // namespace pw::ui
