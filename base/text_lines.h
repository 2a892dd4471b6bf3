#pragma once
// Line handling shared by the text files we read and the headers we write.
#include <cstddef>
#include <string>
#include <string_view>

namespace pw {

// Takes the next line off the front of `rest` (line end CR LF or LF, not part
// of the line). The last line may lack its line end.
[[nodiscard]] inline std::string_view take_line(std::string_view& rest) {
  size_t end = rest.find('\n');
  std::string_view line = rest.substr(0, end);
  rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

// Where the header block of a mail ends: just after the line feed of its
// last header line (the blank line follows), or the text's end when it has
// no blank line.
[[nodiscard]] inline size_t header_block_end(std::string_view text) {
  const size_t crlf = text.find("\r\n\r\n");
  const size_t lf = text.find("\n\n");
  if (crlf != std::string_view::npos && (lf == std::string_view::npos || crlf < lf)) return crlf + 2;
  if (lf != std::string_view::npos) return lf + 1;
  return text.size();
}

// A header value on one line: CR and LF become blanks, so a value can never
// start a header line of its own.
[[nodiscard]] inline std::string single_line(std::string_view value) {
  std::string out(value);
  for (char& c : out) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return out;
}

}  // namespace pw
