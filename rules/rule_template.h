#pragma once
// Templates of the reply subject, reply text and key information: markers
// between two '#' ("#C#" body, "#D#" date, "#F#" sender address, "#N#"
// sender name, "#S#" subject, "#T#" recipient, "#K#" capture K of the body
// pattern, "##" a literal '#').
#include <string_view>

namespace pw {

enum class TemplateLevel {
  invalid = 0,
  plain = 1,     // valid, no capture used
  captures = 2,  // valid, at least one capture used
};

// Checks `text` against the rule's body pattern: every '#' needs a closing
// '#', and a capture marker needs a "#K" item inside a "*<...>" wildcard of
// `pattern` (numbers compared by value).
[[nodiscard]] TemplateLevel validate_template(std::string_view text, std::string_view pattern);

}  // namespace pw
