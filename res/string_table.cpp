#include "res/string_table.h"

#include <algorithm>
#include <map>
#include <mutex>

#include "base/code_page.h"

namespace pw::res {
namespace {

struct Entry {
  int id;
  const char* utf8;
};

constexpr Entry kEntries[] = {
#include "res/string_entries.inc"
};

const std::map<int, std::string>& gb_table() {
  static const std::map<int, std::string> table = [] {
    std::map<int, std::string> t;
    for (const Entry& e : kEntries) t.emplace(e.id, utf8_to_gb(e.utf8));
    return t;
  }();
  return table;
}

const Entry* find(int id) {
  auto it = std::find_if(std::begin(kEntries), std::end(kEntries), [id](const Entry& e) { return e.id == id; });
  return it == std::end(kEntries) ? nullptr : it;
}

}  // namespace

const std::string& text(int id) {
  static const std::string empty;
  const auto& t = gb_table();
  auto it = t.find(id);
  return it == t.end() ? empty : it->second;
}

std::string_view text_utf8(int id) {
  const Entry* e = find(id);
  return e ? std::string_view(e->utf8) : std::string_view();
}

bool has(int id) { return find(id) != nullptr; }

std::vector<int> ids() {
  std::vector<int> out;
  for (const Entry& e : kEntries) out.push_back(e.id);
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace pw::res
