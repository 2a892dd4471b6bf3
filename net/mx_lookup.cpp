#include "net/mx_lookup.h"

#include <arpa/nameser.h>
#include <netdb.h>
#include <netinet/in.h>
#include <resolv.h>

#include <algorithm>
#include <memory>
#include <utility>

namespace pw {

bool is_host_name(std::string_view name) {
  if (!name.empty() && name.back() == '.') name.remove_suffix(1);
  if (name.empty() || name.size() > 253) return false;
  bool all_digits = true;  // in the label read last
  size_t label = 0;
  for (size_t i = 0; i <= name.size(); ++i) {
    if (i == name.size() || name[i] == '.') {
      if (label == 0 || label > 63 || name[i - 1] == '-') return false;
      label = 0;
      continue;
    }
    const char c = name[i];
    const bool digit = c >= '0' && c <= '9';
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!digit && !letter && (c != '-' || label == 0)) return false;
    if (label == 0) all_digits = true;
    all_digits = all_digits && digit;
    ++label;
  }
  // No top-level domain is all digits; such a name is an IPv4 literal.
  return !all_digits;
}

MxLookup parse_mx_answer(const unsigned char* answer, size_t length) {
  MxLookup result;
  ns_msg message;
  if (ns_initparse(answer, static_cast<int>(length), &message) != 0) {
    result.resolver_error = MxLookup::kMalformed;
    return result;
  }
  int count = ns_msg_count(message, ns_s_an);
  std::vector<std::pair<unsigned, std::string>> ranked;
  for (int i = 0; i < count; ++i) {
    ns_rr record;
    if (ns_parserr(&message, ns_s_an, i, &record) != 0) {
      result.resolver_error = MxLookup::kMalformed;
      break;
    }
    if (ns_rr_type(record) != ns_t_mx || ns_rr_class(record) != ns_c_in) continue;
    // MX data: a 16-bit preference, then the (possibly compressed) exchanger name.
    if (ns_rr_rdlen(record) < 3) continue;
    char name[NS_MAXDNAME];
    if (dn_expand(ns_msg_base(message), ns_msg_end(message), ns_rr_rdata(record) + 2, name, sizeof name) < 0) continue;
    if (name[0] == '\0') continue;  // null MX
    if (!is_host_name(name)) continue;
    ranked.emplace_back(ns_get16(ns_rr_rdata(record)), name);
  }
  std::stable_sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (auto& [preference, name] : ranked) result.exchangers.push_back(std::move(name));
  return result;
}

MxLookup lookup_mx(std::string_view domain) {
  MxLookup result;
  // A private resolver state: safe on any worker thread, and it reads the
  // current resolver configuration.
  struct __res_state state {};
  if (res_ninit(&state) != 0) {
    result.resolver_error = NO_RECOVERY;
    return result;
  }
  auto answer = std::make_unique<unsigned char[]>(NS_MAXMSG);
  std::string name(domain);
  int length = res_nquery(&state, name.c_str(), ns_c_in, ns_t_mx, answer.get(), NS_MAXMSG);
  if (length < 0) {
    result.resolver_error = state.res_h_errno;
    if (result.resolver_error == 0) result.resolver_error = NO_RECOVERY;
  } else {
    result = parse_mx_answer(answer.get(), static_cast<size_t>(std::min(length, NS_MAXMSG)));
  }
  res_nclose(&state);
  return result;
}

}  // namespace pw
