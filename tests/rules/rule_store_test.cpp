#include "rules/rule_store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "base/code_page.h"
#include "res/string_ids.h"
#include "support/temp_dir.h"

namespace pw {
namespace {

using test::hex_bytes;

Rule named(std::string name, int32_t id = 0) {
  Rule r;
  r.name = std::move(name);
  r.id = id;
  return r;
}

// A record as written by hand: id, name and the attachment count, the rest
// as a new rule leaves it.
std::string record(std::string_view id_hex, std::string_view name, std::string_view count_hex = "00 00 00 00") {
  std::string r(16328, '\0');
  r.replace(0, 4, hex_bytes(id_hex));
  r.replace(4, name.size(), name);
  r.replace(264, 8, hex_bytes("ff ff ff ff ff ff ff ff"));
  r[8472] = 1;
  r.replace(16320, 4, hex_bytes(count_hex));
  return r;
}

std::string slot(std::string_view path) {
  std::string s(260, '\0');
  s.replace(0, path.size(), path);
  return s;
}

class RuleStoreTest : public ::testing::Test {
 protected:
  test::TempDir tmp;
  ProgramDir dir{tmp.path()};
  RuleStore store;
};

TEST_F(RuleStoreTest, rulerFileIsRecordsEachFollowedByItsAttachmentSlots) {
  Rule a = named("a", 1);
  a.reply.attachments = {"/x", "/y"};
  store.add(a);
  store.add(named("b", 2));
  ASSERT_TRUE(store.save(dir).ok);
  std::string expected = record("01 00 00 00", "a", "02 00 00 00") + slot("/x") + slot("/y") +
                         record("02 00 00 00", "b");
  std::string file = tmp.read("Ruler");
  EXPECT_EQ(file.size(), 2 * 16328u + 2 * 260u);
  EXPECT_EQ(file, expected);
}

TEST_F(RuleStoreTest, loadReadsRulesAndAttachmentsInFileOrder) {
  tmp.write("Ruler", record("07 00 00 00", "first", "02 00 00 00") + slot("/one") + slot("/two") +
                         record("09 00 00 00", "second"));
  RuleLoadResult loaded = store.load(dir);
  EXPECT_EQ(loaded.loaded, 2u);
  EXPECT_FALSE(loaded.damaged);
  ASSERT_EQ(store.count(), 2u);
  EXPECT_EQ(store.at(0)->id, 7);
  EXPECT_EQ(store.at(0)->name, "first");
  EXPECT_EQ(store.at(0)->reply.attachments, (std::vector<std::string>{"/one", "/two"}));
  EXPECT_EQ(store.at(1)->name, "second");
  EXPECT_TRUE(store.at(1)->reply.attachments.empty());
  EXPECT_EQ(store.at(2), nullptr);
}

TEST_F(RuleStoreTest, saveThenLoadGivesTheSameRules) {
  Rule a = named("甲规则", 3);
  a.condition_mask = 0x4021;
  a.word_lists[0] = "boss@x.cn;";
  a.body_pattern = "*<#1>-*";
  a.action_mask = 0x11;
  a.key_info_template = "#1#\r\n";
  a.key_info_file = "/k.txt";
  a.reply.attachments = {"/a.doc"};
  a.fetch_need = compute_fetch_need(a);
  store.add(a);
  store.add(named("b", 4));
  ASSERT_TRUE(store.save(dir).ok);
  RuleStore again;
  again.load(dir);
  ASSERT_EQ(again.count(), 2u);
  EXPECT_EQ(*again.at(0), a);
  EXPECT_EQ(*again.at(1), named("b", 4));
}

TEST_F(RuleStoreTest, saveKeepsTheRulesAndCanBeRepeated) {
  store.add(named("a", 1));
  ASSERT_TRUE(store.save(dir).ok);
  EXPECT_EQ(store.count(), 1u);
  std::string first = tmp.read("Ruler");
  store.add(named("b", 2));
  ASSERT_TRUE(store.save(dir).ok);
  EXPECT_EQ(tmp.read("Ruler"), first + record("02 00 00 00", "b"));
  store.release();
  EXPECT_EQ(store.count(), 0u);
}

TEST_F(RuleStoreTest, saveThatCannotWriteSaysSoAndKeepsTheRules) {
  store.add(named("a", 1));
  RuleSaveResult saved = store.save(ProgramDir(tmp.path() / "missing"));
  EXPECT_FALSE(saved.ok);
  EXPECT_EQ(saved.message_id, sid::kRulesFileFailed);
  EXPECT_EQ(store.count(), 1u);
}

TEST_F(RuleStoreTest, savingNoRulesLeavesAnEmptyFile) {
  tmp.write("Ruler", record("01 00 00 00", "old"));
  ASSERT_TRUE(store.save(dir).ok);
  EXPECT_TRUE(std::filesystem::exists(tmp / "Ruler"));
  EXPECT_EQ(tmp.read("Ruler"), "");
}

TEST_F(RuleStoreTest, useCountsStartAtZeroWhateverTheFileHolds) {
  std::string r = record("01 00 00 00", "a");
  r.replace(16316, 4, hex_bytes("05 00 00 00"));
  tmp.write("Ruler", r);
  store.load(dir);
  ASSERT_EQ(store.count(), 1u);
  EXPECT_EQ(store.at(0)->use_count, 0);
}

TEST_F(RuleStoreTest, loadRecomputesTheFetchNeed) {
  std::string r = record("01 00 00 00", "a");
  r.replace(260, 4, hex_bytes("20 00 00 00"));  // body words: whole mail
  tmp.write("Ruler", r);
  store.load(dir);
  ASSERT_EQ(store.count(), 1u);
  EXPECT_EQ(store.at(0)->fetch_need, kFetchWhole);
}

TEST_F(RuleStoreTest, loadReplacesWhatTheStoreHeld) {
  store.add(named("stale", 9));
  tmp.write("Ruler", record("01 00 00 00", "a"));
  store.load(dir);
  ASSERT_EQ(store.count(), 1u);
  EXPECT_EQ(store.at(0)->name, "a");
}

struct DamagedCase {
  const char* what;
  std::string bytes;
  size_t intact;
  bool damaged;
  const char* first_name = "good";
};

// "Intact" rules are those whose record and all attachment slots lie inside
// the file before the first one that the end of the file cuts short.
TEST_F(RuleStoreTest, damagedFileKeepsEveryRuleWithCompleteRecordAndSlotsBeforeTheFirstCutShortOne) {
  const std::string good = record("01 00 00 00", "good", "01 00 00 00") + slot("/g");
  const DamagedCase cases[] = {
      {"empty file", "", 0, false},
      {"one byte", "x", 0, true},
      {"last record short", good + record("02 00 00 00", "cut").substr(0, 16000), 1, true},
      {"last slot short", good + record("02 00 00 00", "cut", "01 00 00 00") + slot("/c").substr(0, 100), 1, true},
      {"count past the end", good + record("02 00 00 00", "cut", "03 00 00 00") + slot("/c"), 1, true},
      {"huge count", good + record("02 00 00 00", "cut", "ff ff ff ff"), 1, true},
      // Without framing, a count too large takes the next record's bytes as
      // slots; what is left of that record is then cut short.
      {"count swallowing the next record", record("02 00 00 00", "big", "05 00 00 00") + good, 1, true, "big"},
  };
  for (const auto& c : cases) {
    tmp.write("Ruler", c.bytes);
    RuleStore s;
    RuleLoadResult loaded = s.load(dir);
    EXPECT_EQ(s.count(), c.intact) << c.what;
    EXPECT_EQ(loaded.loaded, c.intact) << c.what;
    EXPECT_EQ(loaded.damaged, c.damaged) << c.what;
    if (c.intact == 0) continue;
    EXPECT_EQ(s.at(0)->name, c.first_name) << c.what;
    if (s.at(0)->name == "good") {
      EXPECT_EQ(s.at(0)->reply.attachments, std::vector<std::string>{"/g"}) << c.what;
    }
  }
}

TEST_F(RuleStoreTest, missingFileOrDirectoryInItsPlaceGivesNoRules) {
  EXPECT_EQ(store.load(dir).loaded, 0u);
  std::filesystem::create_directory(tmp / "Ruler");
  EXPECT_EQ(store.load(dir).loaded, 0u);
  EXPECT_FALSE(store.save(dir).ok);
}

TEST_F(RuleStoreTest, attachmentSlotWithoutNulReadsWithinItsSlot) {
  std::string bytes = record("01 00 00 00", "a", "02 00 00 00") + std::string(260, 'p') + slot("/q");
  tmp.write("Ruler", bytes);
  store.load(dir);
  ASSERT_EQ(store.count(), 1u);
  EXPECT_EQ(store.at(0)->reply.attachments, (std::vector<std::string>{std::string(259, 'p'), "/q"}));
}

TEST_F(RuleStoreTest, findsByIdAndByNameIgnoringLetterCase) {
  Rule& a = store.add(named("Spam", 5));
  Rule& b = store.add(named("spam", 6));
  EXPECT_EQ(store.find_by_id(6), &b);
  EXPECT_EQ(store.find_by_id(7), nullptr);
  EXPECT_EQ(store.find_by_name("SPAM"), &a);
  EXPECT_EQ(store.find_by_name("SPAM", &a), &b);
  EXPECT_EQ(store.find_by_name("Spam2"), nullptr);
}

TEST_F(RuleStoreTest, letterCaseIsIgnoredOnlyForSingleByteCharacters) {
  // The trail bytes 0x41 and 0x61 ('A' and 'a') belong to different
  // double-byte characters.
  store.add(named("\x81\x41", 1));
  EXPECT_EQ(store.find_by_name("\x81\x61"), nullptr);
  EXPECT_NE(store.find_by_name("\x81\x41"), nullptr);
  store.add(named(utf8_to_gb("规则A"), 2));
  EXPECT_NE(store.find_by_name(utf8_to_gb("规则a")), nullptr);
}

TEST_F(RuleStoreTest, removeReleasesOnlyAStoredRule) {
  Rule& a = store.add(named("a", 1));
  Rule& b = store.add(named("b", 2));
  Rule outside = named("a", 1);
  EXPECT_FALSE(store.remove(&outside));
  EXPECT_TRUE(store.remove(&a));
  ASSERT_EQ(store.count(), 1u);
  EXPECT_EQ(store.at(0), &b);
}

TEST_F(RuleStoreTest, replaceKeepsIdAndUseCount) {
  Rule& stored = store.add(named("a", 4));
  stored.use_count = 2;
  Rule edited = stored;
  edited.name = "renamed";
  edited.id = 99;
  edited.use_count = 0;
  edited.reply.attachments = {"/z"};
  RuleStore::replace(stored, edited);
  EXPECT_EQ(stored.name, "renamed");
  EXPECT_EQ(stored.id, 4);
  EXPECT_EQ(stored.use_count, 2);
  EXPECT_EQ(stored.reply.attachments, std::vector<std::string>{"/z"});
}

TEST_F(RuleStoreTest, useCountFollowsBindingsAndNeverGoesNegative) {
  Rule& a = store.add(named("a", -2));
  EXPECT_TRUE(store.change_use_count(-2, +1));
  EXPECT_TRUE(store.change_use_count(-2, +1));
  EXPECT_EQ(a.use_count, 2);
  EXPECT_TRUE(store.change_use_count(-2, -3));
  EXPECT_EQ(a.use_count, 0);
  EXPECT_FALSE(store.change_use_count(5, +1));
}

TEST_F(RuleStoreTest, nextIdAdvancesAndPassesOverIdsInUse) {
  store.add(named("a", 0));
  store.add(named("b", 1));
  store.add(named("c", 3));
  uint32_t next = 0;
  EXPECT_EQ(store.take_next_id(next), 2);
  EXPECT_EQ(next, 3u);
  EXPECT_EQ(store.take_next_id(next), 4);
  EXPECT_EQ(next, 5u);
}

TEST_F(RuleStoreTest, exportAppendsTheExtensionUnlessTheNameEndsInIt) {
  store.add(named("a", 1));
  struct {
    const char* chosen;
    const char* written;
  } cases[] = {{"rules", "rules.rul"}, {"rules.rul", "rules.rul"}, {"rules.RUL", "rules.RUL.rul"},
               {"rul", "rul.rul"}};
  for (const auto& c : cases) {
    RuleExportResult r = store.export_to(tmp / c.chosen);
    EXPECT_TRUE(r.ok) << c.chosen;
    EXPECT_EQ(r.message_id, sid::kExportDone) << c.chosen;
    EXPECT_EQ(r.path, tmp / c.written) << c.chosen;
    EXPECT_TRUE(std::filesystem::exists(tmp / c.written)) << c.chosen;
  }
}

TEST_F(RuleStoreTest, exportWritesTheRulerFormatWithUseCounts) {
  Rule& a = store.add(named("a", 1));
  a.use_count = 2;
  a.reply.attachments = {"/x"};
  ASSERT_TRUE(store.export_to(tmp / "out.rul").ok);
  std::string expected = record("01 00 00 00", "a", "01 00 00 00") + slot("/x");
  expected.replace(16316, 4, hex_bytes("02 00 00 00"));
  EXPECT_EQ(tmp.read("out.rul"), expected);
}

TEST_F(RuleStoreTest, exportThatCannotCreateTheFileFails) {
  store.add(named("a", 1));
  RuleExportResult r = store.export_to(tmp / "no" / "such" / "dir" / "x.rul");
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.message_id, sid::kExportFailed);
}

TEST_F(RuleStoreTest, importAddsNewRulesWithNewIdsAndNoBindings) {
  std::string r = record("01 00 00 00", "imported", "01 00 00 00") + slot("/att");
  r.replace(16316, 4, hex_bytes("04 00 00 00"));
  tmp.write("in.rul", r + record("02 00 00 00", "other"));
  store.add(named("own", 10));
  uint32_t next = 11;
  RuleImportResult first = store.import_from(tmp / "in.rul", next);
  RuleImportResult second = store.import_from(tmp / "in.rul", next);
  ASSERT_EQ(first.added.size(), 2u);
  ASSERT_EQ(second.added.size(), 2u);
  EXPECT_EQ(store.count(), 5u);
  EXPECT_EQ(first.added[0]->id, 11);
  EXPECT_EQ(first.added[1]->id, 12);
  EXPECT_EQ(second.added[0]->id, 13);
  EXPECT_EQ(second.added[1]->id, 14);
  EXPECT_EQ(next, 15u);
  for (const auto* added : {first.added[0], second.added[0]}) {
    EXPECT_EQ(added->use_count, 0);
    EXPECT_EQ(added->reply.attachments, std::vector<std::string>{"/att"});
  }
  EXPECT_EQ(second.added[0]->name, "imported001");
  EXPECT_EQ(store.at(4), second.added[1]);
}

TEST_F(RuleStoreTest, importedNameTakesTheFirstFreeNumberInAnyLetterCase) {
  store.add(named("Spam", 1));
  store.add(named("SPAM001", 2));
  tmp.write("in.rul", record("01 00 00 00", "spam") + record("01 00 00 00", "Other"));
  uint32_t next = 5;
  RuleImportResult r = store.import_from(tmp / "in.rul", next);
  ASSERT_EQ(r.added.size(), 2u);
  EXPECT_EQ(r.added[0]->name, "spam002");
  EXPECT_EQ(r.added[1]->name, "Other");
}

TEST_F(RuleStoreTest, importedLongNameIsShortenedOnACharacterBoundaryToFitTheSuffix) {
  std::string ascii(255, 'a');
  std::string chinese = "a";
  for (int i = 0; i < 127; ++i) chinese += "\xb9\xe6";  // 规: two bytes each
  ASSERT_EQ(chinese.size(), 255u);
  store.add(named(ascii, 1));
  store.add(named(chinese, 2));
  tmp.write("in.rul", record("01 00 00 00", ascii) + record("01 00 00 00", chinese));
  uint32_t next = 3;
  RuleImportResult r = store.import_from(tmp / "in.rul", next);
  ASSERT_EQ(r.added.size(), 2u);
  EXPECT_EQ(r.added[0]->name, std::string(252, 'a') + "001");
  // 252 bytes would split a character, so 251 are kept.
  EXPECT_EQ(r.added[1]->name, chinese.substr(0, 251) + "001");
  // Both survive the trip through the 256-byte field.
  ASSERT_TRUE(store.save(dir).ok);
  RuleStore again;
  again.load(dir);
  EXPECT_EQ(again.at(2)->name, r.added[0]->name);
  EXPECT_EQ(again.at(3)->name, r.added[1]->name);
}

TEST_F(RuleStoreTest, importOfAnUnreadableFileAddsNothing) {
  uint32_t next = 1;
  EXPECT_TRUE(store.import_from(tmp / "missing.rul", next).added.empty());
  EXPECT_TRUE(store.import_from(tmp.path(), next).added.empty());
  EXPECT_EQ(next, 1u);
  EXPECT_EQ(store.count(), 0u);
}

TEST_F(RuleStoreTest, importOfADamagedFileAddsTheCompleteRulesBeforeTheCut) {
  tmp.write("in.rul", record("01 00 00 00", "good") + record("02 00 00 00", "cut").substr(0, 20));
  uint32_t next = 1;
  RuleImportResult r = store.import_from(tmp / "in.rul", next);
  ASSERT_EQ(r.added.size(), 1u);
  EXPECT_TRUE(r.damaged);
  EXPECT_EQ(next, 2u);
}

TEST_F(RuleStoreTest, exportThenImportRoundTripsEveryRule) {
  Rule a = named("a", 1);
  a.condition_mask = 0x0003;
  a.word_lists[1] = "x;y;";
  a.action_mask = 0x44;
  a.reply.text = "thanks";
  a.reply.attachments = {"/1", "/2", "/3"};
  a.fetch_need = compute_fetch_need(a);
  store.add(a);
  ASSERT_TRUE(store.export_to(tmp / "all").ok);
  RuleStore other;
  uint32_t next = 1;
  RuleImportResult r = other.import_from(tmp / "all.rul", next);
  ASSERT_EQ(r.added.size(), 1u);
  EXPECT_EQ(*r.added[0], a);
}

}  // namespace
}  // namespace pw
