// The English texts beside the Chinese ones, and the locale that picks them.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "res/language.h"
#include "res/string_table.h"
#include "support/text_placeholders.h"

namespace pw {
namespace {

// Sets the program's language for one test and back to Chinese after.
struct LanguageScope {
  explicit LanguageScope(res::Language l) { res::set_language(l); }
  ~LanguageScope() { res::set_language(res::Language::chinese); }
};

TEST(EnglishTexts, everyIdHasBothTextsWithTheSamePlaceholdersAndMnemonics) {
  for (int id : res::ids()) {
    const std::string_view zh = res::text_utf8(id, res::Language::chinese);
    const std::string_view en = res::text_utf8(id, res::Language::english);
    ASSERT_FALSE(en.empty()) << id;
    EXPECT_EQ(test::placeholders(en), test::placeholders(zh)) << id << ": " << en;
    EXPECT_EQ(test::mnemonics(en), test::mnemonics(zh)) << id << ": " << en;
    EXPECT_EQ(std::count(en.begin(), en.end(), '\n') > 0, std::count(zh.begin(), zh.end(), '\n') > 0) << id;
    EXPECT_FALSE(test::has_cjk(en)) << id << ": " << en;
  }
}

struct Locale {
  const char* language;
  const char* lc_all;
  const char* lc_messages;
  const char* lang;
  res::Language expected;
};

TEST(Language, localeDecidesTheWayGettextReadsIt) {
  using enum res::Language;
  const Locale cases[] = {
      {nullptr, nullptr, nullptr, "en_US.UTF-8", english},
      {nullptr, nullptr, nullptr, "zh_CN.UTF-8", chinese},
      {nullptr, nullptr, nullptr, "zh_TW.Big5", chinese},
      {nullptr, nullptr, nullptr, "zh", chinese},
      {nullptr, nullptr, nullptr, "C", english},
      {nullptr, nullptr, nullptr, "C.UTF-8", english},
      {nullptr, nullptr, nullptr, "POSIX", english},
      {nullptr, nullptr, nullptr, nullptr, english},
      {nullptr, nullptr, nullptr, "de_DE.UTF-8", english},
      {nullptr, nullptr, nullptr, "zhx_XX", english},
      {nullptr, "en_GB.UTF-8", nullptr, "zh_CN.UTF-8", english},   // LC_ALL first
      {nullptr, "", "zh_CN.UTF-8", "en_US.UTF-8", chinese},        // then LC_MESSAGES; empty counts as unset
      {nullptr, nullptr, "en_US.UTF-8", "zh_CN.UTF-8", english},
      {"zh_CN", nullptr, nullptr, "en_US.UTF-8", chinese},         // LANGUAGE over the locale
      {"en", nullptr, nullptr, "zh_CN.UTF-8", english},
      {"fr:de:zh_CN:en", nullptr, nullptr, "fr_FR.UTF-8", chinese}, // first known entry of the list
      {"fr", nullptr, nullptr, "zh_CN.UTF-8", chinese},            // no known entry: the locale
      {"zh_CN", "C", nullptr, "zh_CN.UTF-8", english},             // the C locale ignores LANGUAGE
  };
  for (const Locale& c : cases)
    EXPECT_EQ(res::language_from(c.language, c.lc_all, c.lc_messages, c.lang), c.expected)
        << (c.language ? c.language : "-") << " " << (c.lc_all ? c.lc_all : "-") << " "
        << (c.lc_messages ? c.lc_messages : "-") << " " << (c.lang ? c.lang : "-");
}

TEST(Language, programLanguagePicksTheTextAndRecordsStayChinese) {
  EXPECT_EQ(res::text_utf8(sid::kErrorTitle), "错误");
  {
    LanguageScope english(res::Language::english);
    EXPECT_EQ(res::text_utf8(sid::kErrorTitle), "Error");
    EXPECT_EQ(res::text(sid::kErrorTitle), "Error");
    {
      res::RecordTexts record;
      EXPECT_EQ(res::text_utf8(sid::kOneOffDelete), "附加操作删除");
    }
    EXPECT_EQ(res::in_record_texts([] { return std::string(res::text_utf8(sid::kOneOffForward)); }), "附加操作转发给");
    EXPECT_EQ(res::text_utf8(sid::kOneOffForward), "One-off operation: forward to ");
    // A session keeps its reason as a record text; shown, it reads English.
    const std::string reason = res::record_text(sid::kTooSlow) + "pop.example.test";
    EXPECT_EQ(res::displayed("a@b\r\n" + reason), "a@b\r\nThe server answers too slowly; connection ended: pop.example.test");
  }
  EXPECT_EQ(res::displayed(res::record_text(sid::kCannotConnect)), res::text(sid::kCannotConnect));
  EXPECT_EQ(res::text_utf8(sid::kErrorTitle), "错误");
}

}  // namespace
}  // namespace pw
