#pragma once
// The numbered user-visible texts. Kept in UTF-8 (string_entries.inc); the
// core reads them as system code page bytes (GB18030), the UI as UTF-8.
#include <string>
#include <string_view>
#include <vector>

#include "res/string_ids.h"

namespace pw::res {

// The text of string `id` in GB18030; empty when the table has no such id.
[[nodiscard]] const std::string& text(int id);

// The same text in UTF-8.
[[nodiscard]] std::string_view text_utf8(int id);

[[nodiscard]] bool has(int id);

// Every id in the table, ascending.
[[nodiscard]] std::vector<int> ids();

}  // namespace pw::res
