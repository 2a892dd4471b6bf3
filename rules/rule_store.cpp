#include "rules/rule_store.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <set>

#include "base/file_io.h"
#include "base/fixed_field.h"
#include "res/string_ids.h"
#include "rules/gb_text.h"

namespace pw {
namespace {

struct DecodedRules {
  std::vector<Rule> rules;
  bool damaged = false;
};

// Reads records and their attachment slots until the end of the data. A
// record or slot list cut short by the end (or an attachment count that runs
// past it) ends the reading; the intact rules before it are kept.
DecodedRules decode_rules(std::string_view data) {
  DecodedRules out;
  size_t pos = 0;
  while (pos < data.size()) {
    uint32_t attachments = 0;
    std::optional<Rule> rule = Rule::decode_record(data.substr(pos), attachments);
    if (!rule) {
      out.damaged = true;
      break;
    }
    pos += Rule::kRecordSize;
    if (attachments > (data.size() - pos) / Rule::kAttachmentSlotSize) {
      out.damaged = true;
      break;
    }
    for (uint32_t i = 0; i < attachments; ++i) {
      rule->reply.attachments.push_back(get_field(data.data() + pos, Rule::kAttachmentSlotSize));
      pos += Rule::kAttachmentSlotSize;
    }
    // The stored value is recomputed so that a file from elsewhere cannot
    // make the check fetch less than the rule's conditions read.
    rule->fetch_need = compute_fetch_need(*rule);
    out.rules.push_back(std::move(*rule));
  }
  return out;
}

std::string encode_rules(const std::vector<std::unique_ptr<Rule>>& rules) {
  std::string data;
  for (const auto& r : rules) data += r->encode();
  return data;
}

}  // namespace

RuleLoadResult RuleStore::load(const ProgramDir& dir) {
  rules_.clear();
  RuleLoadResult result;
  std::optional<std::string> data = read_file(dir.file(kFileName));
  if (!data) return result;
  DecodedRules decoded = decode_rules(*data);
  std::set<int32_t> held;
  for (const Rule& r : decoded.rules) held.insert(r.id);
  std::set<int32_t> taken;
  for (Rule& r : decoded.rules) {
    r.use_count = 0;
    // A file holding one id twice (damaged or made by hand) would send every
    // command and binding on the second rule to the first: the second gets
    // the lowest id nobody holds. A sound file keeps its ids.
    if (!taken.insert(r.id).second) {
      int32_t fresh = 1;
      while (held.contains(fresh)) ++fresh;
      r.id = fresh;
      held.insert(fresh);
      taken.insert(fresh);
    }
    rules_.push_back(std::make_unique<Rule>(std::move(r)));
  }
  result.loaded = rules_.size();
  result.damaged = decoded.damaged;
  return result;
}

RuleSaveResult RuleStore::save(const ProgramDir& dir) const {
  if (write_file_atomic(dir.file(kFileName), encode_rules(rules_))) return {true, 0};
  return {false, sid::kRulesFileFailed};
}

Rule& RuleStore::add(Rule rule) {
  rules_.push_back(std::make_unique<Rule>(std::move(rule)));
  return *rules_.back();
}

bool RuleStore::remove(const Rule* rule) {
  auto it = std::find_if(rules_.begin(), rules_.end(), [rule](const auto& r) { return r.get() == rule; });
  if (it == rules_.end()) return false;
  rules_.erase(it);
  return true;
}

void RuleStore::replace(Rule& stored, Rule edited) {
  edited.id = stored.id;
  edited.use_count = stored.use_count;
  stored = std::move(edited);
}

const Rule* RuleStore::find_by_name(std::string_view name, const Rule* except) const {
  for (const auto& r : rules_) {
    if (r.get() != except && gb_equal_ignoring_case(r->name, name)) return r.get();
  }
  return nullptr;
}

const Rule* RuleStore::find_by_id(int32_t id) const {
  for (const auto& r : rules_) {
    if (r->id == id) return r.get();
  }
  return nullptr;
}

bool RuleStore::change_use_count(int32_t id, int delta) {
  Rule* rule = find_by_id(id);
  if (!rule) return false;
  rule->use_count = std::max(0, rule->use_count + delta);
  return true;
}

int32_t RuleStore::take_next_id(uint32_t& next_rule_id) const {
  for (;;) {
    auto id = static_cast<int32_t>(next_rule_id++);
    if (!find_by_id(id)) return id;
  }
}

std::string RuleStore::free_name(std::string_view name) const {
  std::string base(gb_prefix(name, Rule::kNameWidth - 1));
  if (!find_by_name(base)) return base;
  for (unsigned n = 1;; ++n) {
    char suffix[16];
    int len = std::snprintf(suffix, sizeof suffix, "%03u", n);
    std::string candidate(gb_prefix(base, Rule::kNameWidth - 1 - static_cast<size_t>(len)));
    candidate += suffix;
    if (!find_by_name(candidate)) return candidate;
  }
}

RuleExportResult RuleStore::export_to(const std::filesystem::path& chosen) const {
  RuleExportResult result;
  result.path = chosen;
  if (!chosen.filename().string().ends_with(kExportExtension)) result.path += std::string(kExportExtension);
  result.ok = write_file_atomic(result.path, encode_rules(rules_));
  result.message_id = result.ok ? sid::kExportDone : sid::kExportFailed;
  return result;
}

RuleImportResult RuleStore::import_from(const std::filesystem::path& path, uint32_t& next_rule_id) {
  RuleImportResult result;
  std::optional<std::string> data = read_file(path);
  if (!data) return result;
  DecodedRules decoded = decode_rules(*data);
  for (Rule& r : decoded.rules) {
    r.name = free_name(r.name);
    r.id = take_next_id(next_rule_id);
    r.use_count = 0;
    result.added.push_back(&add(std::move(r)));
  }
  result.damaged = decoded.damaged;
  return result;
}

}  // namespace pw
