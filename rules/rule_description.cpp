#include "rules/rule_description.h"

#include <string>

#include "res/language.h"
#include "res/string_table.h"
#include "rules/gb_text.h"
#include "rules/word_list.h"

namespace pw {
namespace {

constexpr std::string_view kCrLf = "\r\n";

const std::string& word(int id) { return res::text(id); }

// Position of `id`'s text in `label`, or the label's end when missing.
size_t find_in(const std::string& label, int id) {
  size_t p = gb_find(label, word(id));
  return p == std::string::npos ? label.size() : p;
}

// The value position of the date and size labels: the word "大于" before
// "指定".
size_t before_given(const std::string& label) {
  size_t p = find_in(label, sid::kGiven);
  return p >= word(sid::kMoreThan).size() ? p - word(sid::kMoreThan).size() : 0;
}

// A joiner between listed words: "和" as it is, an English word with spaces.
std::string list_joiner(int id) {
  const std::string& w = word(id);
  return !w.empty() && static_cast<unsigned char>(w[0]) < 0x80 ? ' ' + w + ' ' : w;
}

DescriptionPiece linked(std::string text, size_t start, int sub_item = 0) {
  DescriptionPiece piece{std::move(text), {}};
  piece.links.push_back({sub_item, start, piece.text.size()});
  return piece;
}

// The text before the first line end: LF, or CR LF, for the body pattern.
std::string_view first_line_lf(std::string_view s, bool& more) {
  size_t lf = s.find('\n');
  more = lf != std::string_view::npos;
  if (!more) return s;
  size_t end = lf > 0 && s[lf - 1] == '\r' ? lf - 1 : lf;
  return s.substr(0, end);
}

DescriptionPiece word_condition(const Rule& rule, ConditionKind kind) {
  const std::string& label = word(label_id(kind));
  size_t at = find_in(label, sid::kContains);
  std::string words = join_words(rule.word_list(kind), list_joiner(rule.all_words(kind) ? sid::kAnd : sid::kOr));
  if (words.empty()) return linked(label, at);
  return linked(label.substr(0, at) + word(rule.sense(kind) ? sid::kContains : sid::kNotContains) + words, at);
}

DescriptionPiece number_condition(const Rule& rule, ConditionKind kind, int32_t value, std::string_view unit) {
  const std::string& label = word(label_id(kind));
  size_t at = before_given(label);
  if (value <= 0) return linked(label, at);
  return linked(label.substr(0, at) + word(rule.sense(kind) ? sid::kMoreThan : sid::kLessThan) + std::to_string(value) +
                    std::string(unit),
                at);
}

DescriptionPiece attachment_condition(const Rule& rule) {
  const std::string& label = word(label_id(ConditionKind::has_attachment));
  size_t attachment = find_in(label, sid::kAttachmentsWord);
  size_t at = attachment >= word(sid::kHas).size() ? attachment - word(sid::kHas).size() : 0;
  DescriptionPiece piece{
      label.substr(0, at) + word(rule.sense(ConditionKind::has_attachment) ? sid::kHas : sid::kHasNo), {}};
  // The link covers the has/has-not word only, not the "附件" after it.
  piece.links.push_back({0, at, piece.text.size()});
  piece.text += word(sid::kAttachmentsWord);
  return piece;
}

DescriptionPiece pattern_condition(const Rule& rule) {
  const std::string& label = word(label_id(ConditionKind::body_pattern));
  size_t at = find_in(label, sid::kGiven);
  if (rule.body_pattern.empty()) return linked(label, at);
  bool more = false;
  std::string text = label.substr(0, at) + '"' + std::string(first_line_lf(rule.body_pattern, more));
  if (more) text += "...";
  text += '"';
  return linked(std::move(text), at);
}

DescriptionPiece confirm_action(const Rule& rule) {
  const std::string& label = word(label_id(ActionKind::confirm));
  std::string value = rule.confirm_seconds != 0 ? std::to_string(rule.confirm_seconds) + word(sid::kSecondsWord)
                                                : word(sid::kForeverWord) + word(sid::kWaitWord);
  return linked(label + value, label.size());
}

DescriptionPiece key_info_action(const Rule& rule) {
  const std::string& label = word(label_id(ActionKind::key_info));
  size_t key = find_in(label, sid::kKeyInfoWord);
  size_t given = find_in(label, sid::kGiven);
  const std::string& save_to = word(sid::kAndSaveTo);
  DescriptionPiece piece;
  if (rule.key_info_template.empty() && rule.key_info_file.empty()) {
    piece.text = label;
    size_t save_at = gb_find(label, save_to, key);
    piece.links.push_back({0, key, save_at == std::string::npos ? given : save_at});
    piece.links.push_back({1, given, label.size()});
    return piece;
  }
  if (!rule.key_info_template.empty()) {
    std::string_view tmpl = rule.key_info_template;
    size_t crlf = tmpl.find(kCrLf);
    piece.text = label.substr(0, key) + '"' + std::string(tmpl.substr(0, crlf));
    if (crlf != std::string_view::npos && crlf + 2 < tmpl.size()) piece.text += "...";
    piece.text += '"';
    piece.links.push_back({0, key, piece.text.size()});
    piece.text += save_to;
  } else {
    piece.text = label.substr(0, given);
    size_t save_at = given >= save_to.size() ? given - save_to.size() : given;
    piece.links.push_back({0, key, save_at});
  }
  size_t second = piece.text.size();
  piece.text += rule.key_info_file.empty() ? word(sid::kGivenFile) : rule.key_info_file;
  piece.links.push_back({1, second, piece.text.size()});
  return piece;
}

DescriptionPiece delete_action(const Rule& rule) {
  const std::string& label = word(label_id(ActionKind::delete_on_server));
  return linked(label + '(' + word(rule.delete_always ? sid::kInAnyCase : sid::kAfterOthersSucceed) + ')',
                label.size());
}

// Adds `piece` at the end of `out` with its links made absolute.
void append(RuleDescription& out, const DescriptionPiece& piece, LinkKind kind, uint32_t bit) {
  size_t base = out.text.size();
  for (const auto& l : piece.links) out.links.push_back({kind, bit, l.sub_item, base + l.start, base + l.end});
  out.text += piece.text;
  out.text += kCrLf;
}

}  // namespace

DescriptionPiece forward_piece(std::string_view forward_to) {
  const std::string& label = word(label_id(ActionKind::forward));
  size_t at = find_in(label, sid::kGiven);
  std::string addresses = join_words(forward_to, list_joiner(sid::kAnd));
  if (addresses.empty()) return linked(label, at);
  return linked(label.substr(0, at) + addresses, at);
}

DescriptionPiece reply_piece(const ReplySettings& reply) {
  const std::string& label = word(label_id(ActionKind::reply));
  size_t at = gb_rfind(label, word(sid::kMailWord));
  if (at == std::string::npos) at = 0;
  std::string out = label;
  if (reply.from_file) {
    out += reply.file;
  } else if (!reply.subject.empty() || !reply.text.empty()) {
    out += word(sid::kWithSubject) + '"' + reply.subject + '"';
  }
  return linked(std::move(out), at);
}

DescriptionPiece directory_piece(ActionKind kind, std::string_view directory) {
  const std::string& label = word(label_id(kind));
  size_t at = find_in(label, sid::kGiven);
  if (directory.empty()) return linked(label, at);
  return linked(label.substr(0, at) + std::string(directory), at);
}

DescriptionPiece condition_piece(const Rule& rule, ConditionKind kind) {
  if (is_word_condition(kind)) return word_condition(rule, kind);
  switch (kind) {
    case ConditionKind::age_hours: return number_condition(rule, kind, rule.age_hours, word(sid::kHoursWord));
    case ConditionKind::size: return number_condition(rule, kind, rule.size_kb, " KB");
    case ConditionKind::has_attachment: return attachment_condition(rule);
    case ConditionKind::body_pattern: return pattern_condition(rule);
    default: return {word(label_id(kind)), {}};
  }
}

DescriptionPiece action_piece(const Rule& rule, ActionKind kind) {
  switch (kind) {
    case ActionKind::confirm: return confirm_action(rule);
    case ActionKind::forward: return forward_piece(rule.forward.to);
    case ActionKind::reply: return reply_piece(rule.reply);
    case ActionKind::backup: return directory_piece(kind, rule.backup_dir);
    case ActionKind::key_info: return key_info_action(rule);
    case ActionKind::attachments: return directory_piece(kind, rule.attachment_dir);
    case ActionKind::delete_on_server: return delete_action(rule);
  }
  return {};
}

std::string record_action_text(const Rule& rule, ActionKind kind) {
  res::RecordTexts record;
  return action_piece(rule, kind).text;
}

RuleDescription build_rule_description(const Rule& rule) {
  RuleDescription out;
  out.text = word(sid::kNewMailOnServer) + std::string(kCrLf);
  const std::string& joiner = word(rule.match_all ? sid::kAnd : sid::kOr);
  out.joiner_length = joiner.size();
  bool first = true;
  for (ConditionKind k : kConditionKinds) {
    if (!rule.has(k)) continue;
    if (!first) {
      out.joiners.push_back(out.text.size());
      out.text += joiner + ' ';
    }
    first = false;
    append(out, condition_piece(rule, k), LinkKind::condition, bit(k));
  }
  first = true;
  for (ActionKind k : kActionKinds) {
    if (!rule.has(k)) continue;
    out.text += first ? word(sid::kThen) + std::string(kCrLf) : word(sid::kAnd) + ' ';
    first = false;
    append(out, action_piece(rule, k), LinkKind::action, bit(k));
  }
  return out;
}

std::vector<DescriptionSpan> RuleDescription::link_spans() const {
  std::vector<DescriptionSpan> spans;
  for (const auto& l : links) spans.push_back({l.start, l.end});
  return spans;
}

std::vector<DescriptionSpan> RuleDescription::joiner_spans() const {
  std::vector<DescriptionSpan> spans;
  for (size_t j : joiners) spans.push_back({j, j + joiner_length});
  return spans;
}

DescriptionHit RuleDescription::hit(size_t position) const {
  for (const auto& l : links) {
    if (position >= l.start && position < l.end) return {DescriptionHit::Target::link, &l};
  }
  for (size_t j : joiners) {
    if (position >= j && position < j + joiner_length) return {DescriptionHit::Target::joiner, nullptr};
  }
  return {};
}

}  // namespace pw
