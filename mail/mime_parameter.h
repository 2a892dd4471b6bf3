#pragma once
// Parameters of structured MIME header values such as Content-Type and
// Content-Disposition ("attachment; filename=\"a.pdf\"; size=700").
#include <optional>
#include <string>
#include <string_view>

namespace pw {

// The value of parameter `name` (compared case-insensitively) in `value`,
// which may run over folded lines; nullopt when it is absent. Quoted strings
// are unquoted. The RFC 2231 forms win over a plain value: `name*=` with
// charset'language'%XX text, and the sections `name*0=`, `name*0*=`,
// `name*1*=`... joined in order, their text converted from its charset to
// the system code page. A plain value is read as a header value: encoded
// words (as most mailers write non-ASCII names) decoded, raw UTF-8 converted.
[[nodiscard]] std::optional<std::string> mime_parameter(std::string_view value, std::string_view name);

}  // namespace pw
