#include "res/string_table.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <map>

#include "base/code_page.h"
#include "res/language.h"

namespace pw::res {
namespace {

struct Entry {
  int id;
  const char* utf8;
};

constexpr Entry kEntries[] = {
#define PW_TEXT(id, name, text) {id, text},
#include "res/string_entries.inc"
#undef PW_TEXT
};

constexpr Entry kEnglishEntries[] = {
#include "res/string_entries_en.inc"
};

// Both tables hold the same ids in strictly ascending order, so a text added
// to one file only, twice or out of place fails the build.
constexpr bool same_ascending_ids() {
  if (std::size(kEntries) != std::size(kEnglishEntries)) return false;
  for (size_t i = 0; i < std::size(kEntries); ++i) {
    if (kEntries[i].id != kEnglishEntries[i].id) return false;
    if (i > 0 && kEntries[i].id <= kEntries[i - 1].id) return false;
  }
  return true;
}
static_assert(same_ascending_ids());

std::atomic<Language> g_language{Language::chinese};
thread_local int t_record_depth = 0;

template <size_t N>
std::map<int, std::string> gb_table(const Entry (&entries)[N]) {
  std::map<int, std::string> t;
  for (const Entry& e : entries) t.emplace(e.id, utf8_to_gb(e.utf8));
  return t;
}

const std::map<int, std::string>& table(Language language) {
  static const std::map<int, std::string> chinese = gb_table(kEntries);
  static const std::map<int, std::string> english = gb_table(kEnglishEntries);
  return language == Language::english ? english : chinese;
}

template <size_t N>
const Entry* find(const Entry (&entries)[N], int id) {
  auto it = std::find_if(std::begin(entries), std::end(entries), [id](const Entry& e) { return e.id == id; });
  return it == std::end(entries) ? nullptr : it;
}

Language current() { return t_record_depth > 0 ? Language::chinese : g_language.load(std::memory_order_relaxed); }

bool set(const char* v) { return v && *v; }

bool is_chinese(std::string_view locale) {
  return locale == "zh" || locale.starts_with("zh_") || locale.starts_with("zh.");
}

}  // namespace

Language language_from(const char* language, const char* lc_all, const char* lc_messages, const char* lang) {
  const char* locale = set(lc_all) ? lc_all : set(lc_messages) ? lc_messages : set(lang) ? lang : nullptr;
  if (!locale || std::string_view(locale) == "C" || std::string_view(locale).starts_with("C.") ||
      std::string_view(locale) == "POSIX")
    return Language::english;
  if (set(language)) {
    std::string_view list = language;
    while (!list.empty()) {
      const size_t colon = list.find(':');
      const std::string_view entry = list.substr(0, colon);
      if (is_chinese(entry)) return Language::chinese;
      if (entry == "en" || entry.starts_with("en_") || entry.starts_with("en.")) return Language::english;
      list = colon == std::string_view::npos ? std::string_view() : list.substr(colon + 1);
    }
  }
  return is_chinese(locale) ? Language::chinese : Language::english;
}

Language language_from_environment() {
  return language_from(std::getenv("LANGUAGE"), std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"),
                       std::getenv("LANG"));
}

void set_language(Language language) { g_language.store(language, std::memory_order_relaxed); }

Language language() { return g_language.load(std::memory_order_relaxed); }

RecordTexts::RecordTexts() { ++t_record_depth; }
RecordTexts::~RecordTexts() { --t_record_depth; }

const std::string& text(int id) {
  static const std::string empty;
  const Language language = current();
  const auto& t = table(language);
  auto it = t.find(id);
  if (it != t.end()) return it->second;
  if (language == Language::chinese) return empty;
  it = table(Language::chinese).find(id);
  return it == table(Language::chinese).end() ? empty : it->second;
}

std::string_view text_utf8(int id, Language language) {
  const Entry* e = language == Language::english ? find(kEnglishEntries, id) : nullptr;
  if (!e) e = find(kEntries, id);
  return e ? std::string_view(e->utf8) : std::string_view();
}

std::string record_text(int id) {
  RecordTexts scope;
  return text(id);
}

std::string displayed(std::string_view text) {
  // The reasons a POP3 or SMTP session keeps, with the sign-in failures that
  // become one: long, distinct phrases, so a user's words are not taken for one.
  static constexpr int kReasons[] = {
      sid::kCannotConnect,       sid::kConnectionBroken,  sid::kUntrusted,        sid::kWrongHost,
      sid::kTlsNotOffered,       sid::kHandshakeFailed,   sid::kTooSlow,          sid::kTimedOut,
      sid::kSignInAgain,         sid::kTokenRefused,      sid::kNoBearer,         sid::kTokenServerUnreachable,
      sid::kTokenRequestRefused, sid::kTokenReplyGarbled, sid::kNoClientId,       sid::kCannotStoreToken,
      sid::kMailboxNotSignedIn,  sid::kNeedsHttps,        sid::kLineTooLong,      sid::kMailOverLimit,
      sid::kListingTooLarge,     sid::kBadLoginChars,     sid::kNoTransfer,       sid::kReplyTooLong,
      sid::kBadSmtpArgument,     sid::kDowngrade,         sid::kBearerBadRequest, sid::kBearerBadToken,
      sid::kBearerNoScope};
  std::string out(text);
  if (current() == Language::chinese) return out;
  for (int id : kReasons) {
    const std::string& from = table(Language::chinese).at(id);
    const std::string& to = table(current()).at(id);
    for (size_t at = out.find(from); at != std::string::npos; at = out.find(from, at + to.size()))
      out.replace(at, from.size(), to);
  }
  return out;
}

std::string_view text_utf8(int id) { return text_utf8(id, current()); }

bool has(int id) { return find(kEntries, id) != nullptr; }

std::vector<int> ids() {
  std::vector<int> out;
  for (const Entry& e : kEntries) out.push_back(e.id);
  return out;
}

}  // namespace pw::res
