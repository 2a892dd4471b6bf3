#pragma once
// Line handling shared by the text files we read and the headers we write.
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
