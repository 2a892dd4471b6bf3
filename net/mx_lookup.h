#pragma once
// The mail exchangers of a domain from a DNS MX query, in the order the
// resolver returned them (the preference values are not used for sorting).
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace pw {

struct MxLookup {
  static constexpr size_t kMaxNameLength = 63;

  // Exchanger host names, each cut to kMaxNameLength bytes; empty when
  // nothing was found.
  std::vector<std::string> exchangers;
  // Why the query failed: the resolver's h_errno (1 no such domain, 2 no
  // server answered, 4 no MX record), kMalformed for an answer that does not
  // parse; 0 when the query succeeded.
  int resolver_error = 0;

  static constexpr int kMalformed = -1;
};

// Asks the system resolver (standard options) for the MX records of `domain`.
[[nodiscard]] MxLookup lookup_mx(std::string_view domain);

// The MX records of a DNS answer message, in answer order; other records
// (CNAME and the like) are skipped.
[[nodiscard]] MxLookup parse_mx_answer(const unsigned char* answer, size_t length);

}  // namespace pw
