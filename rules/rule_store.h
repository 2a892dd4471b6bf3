#pragma once
// All rules of the program in creation order, and their files: "Ruler" in
// the program directory and the ".rul" export files, both the rule records
// one after the other, each followed by its attachment slots.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/program_dir.h"
#include "rules/rule.h"

namespace pw {

struct RuleLoadResult {
  size_t loaded = 0;
  // The file ended inside a record or its attachment slots; that rule and
  // anything after it was dropped.
  bool damaged = false;
};

struct RuleSaveResult {
  bool ok = false;
  int message_id = 0;  // string-table text to show on failure
};

struct RuleExportResult {
  bool ok = false;
  int message_id = 0;  // "导出成功！" or "导出失败！"
  std::filesystem::path path;  // the file written, ".rul" appended where needed
};

struct RuleImportResult {
  std::vector<Rule*> added;  // in file order, already in the store
  bool damaged = false;      // as for loading
};

class RuleStore {
 public:
  static constexpr std::string_view kFileName = "Ruler";
  static constexpr std::string_view kExportExtension = ".rul";

  RuleStore() = default;
  RuleStore(const RuleStore&) = delete;
  RuleStore& operator=(const RuleStore&) = delete;

  // Replaces the rules with those of "Ruler". A missing or unreadable file
  // leaves the store empty. Use counts start at 0: the mailbox bindings
  // raise them as they are resolved.
  RuleLoadResult load(const ProgramDir& dir);

  // Writes every rule to "Ruler", replacing the file atomically; the rules
  // stay in memory. On failure the old file is left as it was.
  [[nodiscard]] RuleSaveResult save(const ProgramDir& dir) const;

  // Releases every rule (at exit, after the last save). Pointers to rules
  // are invalid afterwards.
  void release() { rules_.clear(); }

  // Appends `rule` (its id already taken with take_next_id) and returns the
  // stored rule, whose address stays valid until it is removed.
  Rule& add(Rule rule);

  // Takes `rule` out of the store and releases it; false when it is not in
  // the store. Its mailboxes must have been unbound first.
  bool remove(const Rule* rule);

  // Copies an edited working copy over `stored`, keeping the stored rule's
  // id and use count, which the editor does not own.
  static void replace(Rule& stored, Rule edited);

  [[nodiscard]] size_t count() const { return rules_.size(); }
  [[nodiscard]] Rule* at(size_t index) { return index < rules_.size() ? rules_[index].get() : nullptr; }
  [[nodiscard]] const Rule* at(size_t index) const { return index < rules_.size() ? rules_[index].get() : nullptr; }

  // The first rule whose name equals `name` without regard to ASCII letter
  // case, skipping `except` (the rule being modified), or nullptr.
  [[nodiscard]] const Rule* find_by_name(std::string_view name, const Rule* except = nullptr) const;
  [[nodiscard]] Rule* find_by_name(std::string_view name, const Rule* except = nullptr) {
    return const_cast<Rule*>(std::as_const(*this).find_by_name(name, except));
  }
  [[nodiscard]] const Rule* find_by_id(int32_t id) const;
  [[nodiscard]] Rule* find_by_id(int32_t id) { return const_cast<Rule*>(std::as_const(*this).find_by_id(id)); }

  // Moves the use count of rule `id` by `delta` as the mailbox bindings
  // change, never below 0; false when no rule has the id.
  bool change_use_count(int32_t id, int delta);

  // The id for a new rule: `next_rule_id`, advanced by one. An id already
  // held by a stored rule (a settings file lost or older than "Ruler") is
  // passed over, so two rules never share an id.
  [[nodiscard]] int32_t take_next_id(uint32_t& next_rule_id) const;

  // `name` when no rule has it, else `name` followed by the first free
  // three-digit number from 001 on, shortened to fit the name field.
  [[nodiscard]] std::string free_name(std::string_view name) const;

  // Writes every rule, unchanged, to `chosen` (with ".rul" appended when its
  // name does not end in it), replacing an existing file.
  [[nodiscard]] RuleExportResult export_to(const std::filesystem::path& chosen) const;

  // Adds each rule of the file as a new rule: a free name, a new id, no
  // bindings. A file that cannot be read adds nothing and says nothing.
  RuleImportResult import_from(const std::filesystem::path& path, uint32_t& next_rule_id);

 private:
  std::vector<std::unique_ptr<Rule>> rules_;
};

}  // namespace pw
