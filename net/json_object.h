#pragma once
// The members of one flat JSON object (RFC 8259), as OAuth 2.0 token
// endpoints and the SASL bearer mechanisms answer: strings, numbers and
// literals become texts; nested objects and arrays are passed over.
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace pw {

using JsonObject = std::map<std::string, std::string, std::less<>>;

// nullopt when `text` is not one JSON object (surrounding blanks allowed).
// Strings are unescaped into UTF-8; a number keeps its text; true, false and
// null become "true", "false" and "".
[[nodiscard]] std::optional<JsonObject> parse_json_object(std::string_view text);

// The member `name`, or empty.
[[nodiscard]] std::string json_member(const JsonObject& object, std::string_view name);

}  // namespace pw
