#pragma once
// The language of the numbered texts: Chinese (string_entries.inc) or English
// (string_entries_en.inc). The program's language is chosen once at start-up
// from the locale; texts that go into the stored records are Chinese whatever
// it is (RecordTexts). text() and text_utf8() of string_table.h follow it.
#include <string>
#include <string_view>

namespace pw::res {

enum class Language { chinese, english };

// The language the environment asks for, the way gettext reads it: the
// messages locale is the first set of LC_ALL, LC_MESSAGES and LANG; C, POSIX
// or none gives English; otherwise the first entry of the colon-separated
// LANGUAGE that is Chinese or English decides, else the locale itself.
// Chinese locales (zh, zh_CN.UTF-8, zh_TW ...) give Chinese, any other English.
[[nodiscard]] Language language_from(const char* language, const char* lc_all, const char* lc_messages,
                                     const char* lang);
[[nodiscard]] Language language_from_environment();

// The program's language; Chinese until set.
void set_language(Language language);
[[nodiscard]] Language language();

// While one lives, text() and text_utf8() on this thread give the Chinese
// texts: for what is written into the operation log and the local-mail
// index, which are the same files in every language.
class RecordTexts {
 public:
  RecordTexts();
  ~RecordTexts();
  RecordTexts(const RecordTexts&) = delete;
  RecordTexts& operator=(const RecordTexts&) = delete;
};

// `make()` with the record texts in force.
template <class F>
[[nodiscard]] auto in_record_texts(F&& make) {
  RecordTexts scope;
  return make();
}

// Text `id` as the records hold it: Chinese, in GB18030.
[[nodiscard]] std::string record_text(int id);

// `text` (GB18030) with the session failure reasons in it, which sessions
// keep as record texts, in the program's language: for showing a reason.
[[nodiscard]] std::string displayed(std::string_view text);

// The text in the given language, in UTF-8; the Chinese one when the
// language has none.
[[nodiscard]] std::string_view text_utf8(int id, Language language);

}  // namespace pw::res
