#include "rules/rule.h"

#include <cstring>

#include "base/fixed_field.h"

namespace pw {
namespace {

// Field offsets of the record.
constexpr size_t kId = 0;
constexpr size_t kName = 4;
constexpr size_t kConditionMask = 260;
constexpr size_t kSenseMask = 264;
constexpr size_t kAllWordsMask = 268;
constexpr size_t kWordLists = 272;
constexpr size_t kAgeHours = 6416;
constexpr size_t kSizeKb = 6420;
constexpr size_t kBodyPattern = 6424;
constexpr size_t kMatchAll = 8472;
constexpr size_t kActionMask = 8476;
constexpr size_t kForwardTo = 8480;
constexpr size_t kForwardChangeHeaders = 9504;
constexpr size_t kForwardShownFrom = 9505;
constexpr size_t kForwardShownTo = 10529;
constexpr size_t kForwardShownSubject = 11553;
constexpr size_t kDeleteAlways = 12577;
constexpr size_t kReplyFromFile = 12578;
constexpr size_t kReplyFile = 12579;
constexpr size_t kReplySubject = 12839;
constexpr size_t kReplyText = 12967;
constexpr size_t kBackupDir = 15015;
constexpr size_t kKeyInfoFile = 15275;
constexpr size_t kKeyInfoTemplate = 15535;
constexpr size_t kAttachmentDir = 16047;
constexpr size_t kConfirmSeconds = 16308;
constexpr size_t kFetchNeed = 16312;
constexpr size_t kUseCount = 16316;
constexpr size_t kAttachmentCount = 16320;

static_assert(kAttachmentCount + 8 == Rule::kRecordSize);
static_assert(kAttachmentDir + Rule::kPathWidth + 1 == kConfirmSeconds);

// Each text field with its offset and width, in record order.
template <class R>
auto text_fields(R& r) {
  using S = decltype(&r.name);
  struct Field {
    size_t offset;
    size_t width;
    S text;
  };
  return std::array<Field, 19>{{
      {kName, Rule::kNameWidth, &r.name},
      {kWordLists + 0 * Rule::kWordListWidth, Rule::kWordListWidth, &r.word_lists[0]},
      {kWordLists + 1 * Rule::kWordListWidth, Rule::kWordListWidth, &r.word_lists[1]},
      {kWordLists + 2 * Rule::kWordListWidth, Rule::kWordListWidth, &r.word_lists[2]},
      {kWordLists + 3 * Rule::kWordListWidth, Rule::kWordListWidth, &r.word_lists[3]},
      {kWordLists + 4 * Rule::kWordListWidth, Rule::kWordListWidth, &r.word_lists[4]},
      {kWordLists + 5 * Rule::kWordListWidth, Rule::kWordListWidth, &r.word_lists[5]},
      {kBodyPattern, Rule::kPatternWidth, &r.body_pattern},
      {kForwardTo, Rule::kWordListWidth, &r.forward.to},
      {kForwardShownFrom, 1024, &r.forward.shown_from},
      {kForwardShownTo, 1024, &r.forward.shown_to},
      {kForwardShownSubject, 1024, &r.forward.shown_subject},
      {kReplyFile, Rule::kPathWidth, &r.reply.file},
      {kReplySubject, Rule::kReplySubjectWidth, &r.reply.subject},
      {kReplyText, Rule::kReplyTextWidth, &r.reply.text},
      {kBackupDir, Rule::kPathWidth, &r.backup_dir},
      {kKeyInfoFile, Rule::kPathWidth, &r.key_info_file},
      {kKeyInfoTemplate, Rule::kKeyInfoTemplateWidth, &r.key_info_template},
      {kAttachmentDir, Rule::kPathWidth, &r.attachment_dir},
  }};
}

}  // namespace

const std::string& Rule::word_list(ConditionKind k) const {
  static const std::string empty;
  int i = word_list_index(k);
  return i < 0 ? empty : word_lists[static_cast<size_t>(i)];
}

std::string Rule::encode() const {
  std::string out(kRecordSize + reply.attachments.size() * kAttachmentSlotSize, '\0');
  char* p = out.data();
  write_le32(p + kId, static_cast<uint32_t>(id));
  write_le32(p + kConditionMask, condition_mask);
  write_le32(p + kSenseMask, sense_mask);
  write_le32(p + kAllWordsMask, all_words_mask);
  write_le32(p + kAgeHours, static_cast<uint32_t>(age_hours));
  write_le32(p + kSizeKb, static_cast<uint32_t>(size_kb));
  p[kMatchAll] = match_all ? 1 : 0;
  write_le32(p + kActionMask, action_mask);
  p[kForwardChangeHeaders] = forward.change_headers ? 1 : 0;
  p[kDeleteAlways] = delete_always ? 1 : 0;
  p[kReplyFromFile] = reply.from_file ? 1 : 0;
  write_le32(p + kConfirmSeconds, static_cast<uint32_t>(confirm_seconds));
  write_le32(p + kFetchNeed, fetch_need);
  write_le32(p + kUseCount, static_cast<uint32_t>(use_count));
  write_le32(p + kAttachmentCount, static_cast<uint32_t>(reply.attachments.size()));
  // The link slot (the last four bytes) stays zero: its value means nothing.
  for (const auto& f : text_fields(*this)) {
    put_field(p + f.offset, f.width, *f.text);
  }
  for (size_t i = 0; i < reply.attachments.size(); ++i) {
    put_field(p + kRecordSize + i * kAttachmentSlotSize, kAttachmentSlotSize, reply.attachments[i]);
  }
  return out;
}

std::optional<Rule> Rule::decode_record(std::string_view bytes, uint32_t& attachment_count) {
  if (bytes.size() < kRecordSize) return std::nullopt;
  const char* p = bytes.data();
  Rule r;
  r.id = static_cast<int32_t>(read_le32(p + kId));
  r.condition_mask = read_le32(p + kConditionMask);
  r.sense_mask = read_le32(p + kSenseMask);
  r.all_words_mask = read_le32(p + kAllWordsMask);
  r.age_hours = static_cast<int32_t>(read_le32(p + kAgeHours));
  r.size_kb = static_cast<int32_t>(read_le32(p + kSizeKb));
  r.match_all = p[kMatchAll] != 0;
  r.action_mask = read_le32(p + kActionMask);
  r.forward.change_headers = p[kForwardChangeHeaders] != 0;
  r.delete_always = p[kDeleteAlways] != 0;
  r.reply.from_file = p[kReplyFromFile] != 0;
  r.confirm_seconds = static_cast<int32_t>(read_le32(p + kConfirmSeconds));
  r.fetch_need = read_le32(p + kFetchNeed);
  r.use_count = static_cast<int32_t>(read_le32(p + kUseCount));
  attachment_count = read_le32(p + kAttachmentCount);
  for (const auto& f : text_fields(r)) {
    *f.text = get_field(p + f.offset, f.width);
  }
  return r;
}

bool matches_on_body(const Rule& rule) {
  return rule.has(ConditionKind::body_words) || rule.has(ConditionKind::body_pattern) ||
         rule.has(ConditionKind::has_attachment);
}

uint32_t compute_fetch_need(const Rule& rule) {
  using C = ConditionKind;
  using A = ActionKind;
  // Forwarding, backing up and saving attachments carry the whole mail away.
  constexpr uint32_t whole_actions = bit(A::forward) | bit(A::backup) | bit(A::attachments);
  // Every condition but size and the body's words, pattern and attachments reads the header.
  constexpr uint32_t header_conditions = bit(C::sender_words) | bit(C::recipient_words) | bit(C::copy_words) |
                                         bit(C::recipient_or_copy_words) | bit(C::subject_words) |
                                         bit(C::age_hours) | bit(C::no_sender) | bit(C::no_recipient) |
                                         bit(C::no_subject) | bit(C::no_date) | bit(C::unverified_sender);
  constexpr uint32_t header_actions = bit(A::confirm) | bit(A::reply) | bit(A::key_info);
  uint32_t need = 0;
  if (matches_on_body(rule) || (rule.action_mask & whole_actions)) {
    need = kFetchWhole;
  } else if ((rule.condition_mask & header_conditions) || (rule.action_mask & header_actions)) {
    need = kFetchHeader;
  }
  if (rule.has(C::size) || rule.has(A::confirm)) need |= kFetchSize;
  return need;
}

}  // namespace pw
