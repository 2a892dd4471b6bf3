#pragma once
// Address lists: the normal form of header values, the parts of a sender
// value, the check of one typed address, and stored recipient lists (every
// entry followed by ';').
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pw {

// Brings a header value to the normal form: leading ',', ' ' and ';' are
// removed; every ',' or ';' becomes ';' and the blanks and tabs after it are
// dropped. Separators inside a quoted display name ("Doe, John") are part of
// the name and stay. Display names and trailing separators stay.
void normalise_address_list(std::string& value);

// The bare address of a sender value: with its comments taken out ("a@b.c
// (Name)"), what follows the first '<' (the whole value without one), without
// blanks, tabs, '"', '<' and '>'.
[[nodiscard]] std::string sender_address(std::string_view sender);

// The display name of a sender value, without blanks, tabs and '"': the text
// before the first '<' outside comments; when that is empty, or the value
// has no '<', the first comment ("a@b.c (Name)"); else the text before the
// first '@'; with none of these, "".
[[nodiscard]] std::string sender_name(std::string_view sender);

// True when `address` (GB18030) has an '@' and its last '.' comes after the
// first '@'.
[[nodiscard]] bool is_acceptable_address(std::string_view address);

// The entries of a stored list in order; text after the last ';' is not an
// entry.
[[nodiscard]] std::vector<std::string> split_stored_list(std::string_view list);

// The domain used to deliver directly to `recipient`: everything after its
// first '@' without '<' and '>'; nullopt when it has no '@'.
[[nodiscard]] std::optional<std::string> mail_domain(std::string_view recipient);

}  // namespace pw
