#include "engine/deletion_journal.h"

#include <array>
#include <string_view>

#include "base/file_io.h"
#include "stores/seen_uid_list.h"

namespace pw {
namespace {

void put_escaped(std::string& out, std::string_view text) {
  for (char c : text) {
    switch (c) {
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      case '\\': out += "\\\\"; break;
      default: out += c;
    }
  }
}

std::string unescaped(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    switch (text[++i]) {
      case 't': out += '\t'; break;
      case 'r': out += '\r'; break;
      case 'n': out += '\n'; break;
      default: out += text[i];
    }
  }
  return out;
}

bool ends_inside_line(const std::filesystem::path& file) {
  std::optional<std::string> text = read_file(file);
  return text && !text->empty() && text->back() != '\n';
}

}  // namespace

std::filesystem::path DeletionJournal::file_for(const std::filesystem::path& uid_file) {
  return SeenUidList::companion_file(uid_file, ".del");
}

std::string DeletionJournal::encode(const PendingDeletion& d) {
  std::string line;
  for (std::string_view field : {std::string_view(d.uid), std::string_view(d.sender), std::string_view(d.recipient),
                                 std::string_view(d.subject), std::string_view(d.description)}) {
    put_escaped(line, field);
    line += '\t';
  }
  line += "#\r\n";
  return line;
}

std::vector<PendingDeletion> DeletionJournal::load() const {
  std::vector<PendingDeletion> out;
  if (file_.empty()) return out;
  std::optional<std::string> text = read_file(file_);
  if (!text) return out;
  std::string_view rest(*text);
  for (size_t end; (end = rest.find('\n')) != std::string_view::npos; rest.remove_prefix(end + 1)) {
    std::string_view line = rest.substr(0, end);
    if (line.ends_with('\r')) line.remove_suffix(1);
    std::array<std::string_view, 6> fields;
    size_t n = 0;
    for (size_t start = 0; n < fields.size();) {
      size_t tab = line.find('\t', start);
      fields[n++] = line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start);
      if (tab == std::string_view::npos) break;
      start = tab + 1;
    }
    if (n != fields.size() || fields[5] != "#" || fields[0].empty()) continue;
    out.push_back({unescaped(fields[0]), unescaped(fields[1]), unescaped(fields[2]), unescaped(fields[3]),
                   unescaped(fields[4]), false});
  }
  return out;
}

bool DeletionJournal::append(const PendingDeletion& request) const {
  if (file_.empty() || request.uid.empty()) return false;
  // After a crash mid-write the file may end inside a record: start a new line
  // so the torn piece stays a record of its own, which load() drops.
  std::string line = ends_inside_line(file_) ? "\r\n" : "";
  line += encode(request);
  return append_file(file_, line, true);
}

bool DeletionJournal::replace(const std::vector<PendingDeletion>& remaining) const {
  if (file_.empty()) return false;
  if (remaining.empty()) {
    std::error_code ec;
    std::filesystem::remove(file_, ec);
    return !ec;
  }
  std::string text;
  for (const PendingDeletion& d : remaining) text += encode(d);
  return write_file_atomic(file_, text);
}

}  // namespace pw
