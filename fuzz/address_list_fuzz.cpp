// Any bytes as an address value and as a stored list: normal form, sender
// parts and the stored-list operations keep their promises.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "mail/address_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view in(reinterpret_cast<const char*>(data), size);

  std::string value(in);
  pw::normalise_address_list(value);
  // Separators inside quoted display names stay as they are.
  bool quotes = in.find('"') != std::string_view::npos;
  if (!quotes && (value.find(',') != std::string::npos || value.find("; ") != std::string::npos)) abort();
  if (!value.empty() && (value.front() == ' ' || value.front() == ';')) abort();
  std::string again = value;
  pw::normalise_address_list(again);
  if (again != value) abort();

  if (pw::sender_address(in).find_first_of(" \t\"<>") != std::string::npos) abort();
  if (pw::sender_name(in).find_first_of(" \t\"") != std::string::npos) abort();
  (void)pw::mail_domain(in);

  // The input cut at every NUL gives entries to add to a list.
  std::string list;
  std::vector<std::string> added;
  for (size_t start = 0; start <= size;) {
    size_t end = std::min(in.find('\0', start), size);
    std::string_view entry = in.substr(start, end - start);
    if (pw::add_to_stored_list(list, entry) == pw::StoredListAdd::added) added.emplace_back(entry);
    if (list.size() > pw::kStoredListLimit) abort();
    start = end + 1;
  }
  if (pw::split_stored_list(list) != added) abort();
  return 0;
}
