#pragma once
// What must agree between the languages of one text: its placeholders and
// its mnemonic marks.
#include <string>
#include <string_view>
#include <vector>

namespace pw::test {

// The placeholders of `text` (%1 ... and printf conversions), sorted.
[[nodiscard]] std::vector<std::string> placeholders(std::string_view text);

// How many single '&' (a mnemonic; "&&" is a literal one) `text` holds.
[[nodiscard]] int mnemonics(std::string_view text);

// True when UTF-8 `text` holds a CJK character or full-width form.
[[nodiscard]] bool has_cjk(std::string_view text);

}  // namespace pw::test
