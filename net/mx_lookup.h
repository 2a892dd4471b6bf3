#pragma once
// The mail exchangers of a domain from a DNS MX query, most preferred first
// (equal preferences in the resolver's order).
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace pw {

struct MxLookup {
  // Exchanger host names, whole; empty when nothing was found. A null MX
  // (RFC 7505: the root name, "no mail here") gives no name, and neither
  // does a record whose exchanger is no host name (is_host_name).
  std::vector<std::string> exchangers;
  // Why the query failed: the resolver's h_errno (1 no such domain, 2 no
  // server answered, 4 no MX record), kMalformed for an answer that does not
  // parse; 0 when the query succeeded.
  int resolver_error = 0;

  static constexpr int kMalformed = -1;
  // h_errno NO_DATA: the name exists and has no MX record.
  static constexpr int kNoMx = 4;
};

// True when `name` is a host name as DNS writes one: labels of 1 to 63
// letters, digits and inner hyphens, at most 253 bytes, an optional final
// dot. An address literal ("127.0.0.1", "[::1]"), a port ("mx:2525") or an
// option ("-x") is none: an exchanger name is only ever resolved as a name,
// whatever a DNS answer holds.
[[nodiscard]] bool is_host_name(std::string_view name);

// Asks the system resolver (standard options) for the MX records of `domain`.
[[nodiscard]] MxLookup lookup_mx(std::string_view domain);

// The MX records of a DNS answer message, by preference (stable); other
// records (CNAME and the like) are skipped.
[[nodiscard]] MxLookup parse_mx_answer(const unsigned char* answer, size_t length);

}  // namespace pw
