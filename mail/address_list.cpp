#include "mail/address_list.h"


#include "res/string_table.h"

namespace pw {
namespace {

std::string without(std::string_view text, std::string_view drop) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (drop.find(c) == std::string_view::npos) out.push_back(c);
  }
  return out;
}

// True when `entry` stands in `list` as a whole entry: starting at the
// beginning or after a ';' and ending at the end or before a ';'.
bool has_entry(std::string_view list, std::string_view entry) {
  for (size_t at = list.find(entry); at != std::string_view::npos; at = list.find(entry, at + 1)) {
    size_t end = at + entry.size();
    bool starts = at == 0 || list[at - 1] == ';';
    bool ends = end == list.size() || list[end] == ';';
    if (starts && ends) return true;
  }
  return false;
}

}  // namespace

void normalise_address_list(std::string& value) {
  size_t start = value.find_first_not_of(", ;");
  if (start == std::string::npos) start = value.size();
  std::string out;
  out.reserve(value.size() - start);
  bool quoted = false;  // inside a quoted display name ("Doe, John")
  for (size_t i = start; i < value.size(); ++i) {
    char c = value[i];
    // A GBK trail byte may be a '\\' (never a separator or a quote):
    // double-byte characters go as one.
    bool pair = i + 1 < value.size() && static_cast<unsigned char>(c) >= 0x81 &&
                static_cast<unsigned char>(value[i + 1]) >= 0x40;
    if (pair || (quoted && c == '\\' && i + 1 < value.size())) {
      out.push_back(c);
      out.push_back(value[++i]);
      continue;
    }
    if (c == '"') quoted = !quoted;
    if (quoted || (c != ',' && c != ';')) {
      out.push_back(c);
      continue;
    }
    out.push_back(';');
    while (i + 1 < value.size() && (value[i + 1] == ' ' || value[i + 1] == '\t')) ++i;
  }
  value = std::move(out);
}

std::string sender_address(std::string_view sender) {
  if (size_t lt = sender.find('<'); lt != std::string_view::npos) sender.remove_prefix(lt + 1);
  return without(sender, " \t\"<>");
}

std::string sender_name(std::string_view sender) {
  size_t cut = sender.find('<');
  if (cut == std::string_view::npos) cut = sender.find('@');
  if (cut == std::string_view::npos) return {};
  return without(sender.substr(0, cut), " \t\"");
}

bool is_acceptable_address(std::string_view address) {
  size_t at = address.find('@');
  size_t dot = address.rfind('.');
  return at != std::string_view::npos && dot != std::string_view::npos && dot > at;
}

StoredListAdd add_to_stored_list(std::string& list, std::string_view entry) {
  if (entry.empty()) return StoredListAdd::nothing_to_add;
  if (entry.find(';') != std::string_view::npos) return StoredListAdd::has_separator;
  if (!is_acceptable_address(entry)) return StoredListAdd::bad_address;
  if (has_entry(list, entry)) return StoredListAdd::already_present;
  if (list.size() + entry.size() + 1 > kStoredListLimit) return StoredListAdd::full;
  list.append(entry);
  list.push_back(';');
  return StoredListAdd::added;
}

std::string stored_list_refusal_text(StoredListAdd result) {
  switch (result) {
    case StoredListAdd::has_separator:
      return "';'" + res::text(61288);
    case StoredListAdd::bad_address:
      return res::text(61302);
    case StoredListAdd::already_present:
      return res::text(61289);
    case StoredListAdd::full:
      return res::text(61385);
    case StoredListAdd::added:
    case StoredListAdd::nothing_to_add:
      break;
  }
  return {};
}

std::vector<std::string> split_stored_list(std::string_view list) {
  std::vector<std::string> entries;
  for (size_t semi = list.find(';'); semi != std::string_view::npos; semi = list.find(';')) {
    entries.emplace_back(list.substr(0, semi));
    list.remove_prefix(semi + 1);
  }
  return entries;
}

std::optional<std::string> mail_domain(std::string_view recipient) {
  size_t at = recipient.find('@');
  if (at == std::string_view::npos) return std::nullopt;
  return without(recipient.substr(at + 1), "<>");
}

}  // namespace pw
