#pragma once
// Forward: sends the matched mail on to a stored recipient list, unchanged or
// with new From, To, Subject and Date lines.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "rules/forward_settings.h"

namespace pw {

class MailProcessor;
struct ActionServices;

class ForwardAction {
 public:
  ForwardAction(MailProcessor& mail, const ActionServices& services) : mail_(mail), services_(services) {}

  // Every matched rule whose forward is enabled, then the extra forward; each
  // is logged, and a failing rule's success flag is cleared. The whole mail
  // is downloaded at most once for the step.
  void run_step(std::vector<uint8_t>& success);

  // Sends the mail to the list `settings.to` in one transaction through the
  // account; when the account's server cannot be reached (and TLS is not
  // required), directly to each entry. True only when every entry was
  // reached one way or the other (an empty list reaches nobody). `note` gets
  // the log's remark on why the mail did not go directly after the server
  // failed.
  [[nodiscard]] bool forward(const ForwardSettings& settings, std::string& note);

  // The stored list `list` without the entries whose address is `own`.
  [[nodiscard]] static std::string without_own_address(std::string_view list, std::string_view own);

  // The mail with new From, To, Subject and Date lines in place of the ones
  // it had. The header lines up to the last of its own From, To, Subject and
  // Cc lines give way to the new ones, its Date line is dropped, the rest of
  // its headers and its body follow.
  [[nodiscard]] static std::string changed_header_form(std::string_view from, std::string_view to,
                                                       std::string_view subject, std::string_view date,
                                                       std::string_view mail);

 private:
  bool whole_mail();
  // forward() to the list without the account's own address; `note` gets
  // the log's remark when that address was left out (and nothing is sent,
  // successfully, when no other entry is left).
  bool forward_checked(ForwardSettings settings, std::string& note);

  MailProcessor& mail_;
  const ActionServices& services_;
  std::optional<bool> whole_;  // the download outcome of this step
};

}  // namespace pw
