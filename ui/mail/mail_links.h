#pragma once
// The links of a plain-text mail body: addresses around an '@' and
// http:// or ftp:// addresses, found in the GB18030 bytes of the text.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace pw::ui {

struct MailLink {
  size_t begin = 0;  // byte offsets in the text
  size_t end = 0;
  bool address = false;  // found by its '@' rather than by a URL prefix
};

// Every link in `text`, in order, none overlapping. Runs only take
// single-byte characters, so they never split a multi-byte one.
[[nodiscard]] std::vector<MailLink> find_mail_links(std::string_view text);

// What a click on `link` opens: an address gets "mailto:" in front, a URL
// stays as it is.
[[nodiscard]] std::string link_target(std::string_view text, const MailLink& link);

}  // namespace pw::ui
