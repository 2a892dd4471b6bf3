// Any bytes as an address value and as a stored list: normal form, sender
// parts, the address check and splitting keep their promises.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

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

  // The address check agrees with a byte-wise one wherever no GB18030
  // double-byte character could hide an '@'.
  const bool plain = std::none_of(in.begin(), in.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x81; });
  const size_t at = in.find('@');
  const size_t dot = in.rfind('.');
  const bool bytewise = at != std::string_view::npos && dot != std::string_view::npos && dot > at;
  if (plain && pw::is_acceptable_address(in) != bytewise) abort();
  // Accepted text always has a byte-wise '@' before its last '.'.
  if (pw::is_acceptable_address(in) && !bytewise) abort();
  (void)pw::split_stored_list(in);
  return 0;
}
