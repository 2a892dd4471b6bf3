#pragma once
// The deletion phase on the server: one POP3 session signs in, lists the
// identifiers, sends DELE for the message listed with each request's
// identifier and ends with QUIT. The server removes mails only at QUIT, so
// nothing is confirmed without its answer. Used by the check run and by
// remote management; each logs the outcome its own way.
#include <string>
#include <vector>

#include "engine/pending_deletion.h"
#include "engine/pop3_opener.h"

namespace pw {

class MailboxAccount;

struct ServerDeletion {
  // Signed in, listed and QUIT answered: the accepted DELEs are committed.
  bool confirmed = false;
  // Per request: its identifier was not in the listing.
  std::vector<bool> gone;
  // The session's reason when the phase was not confirmed.
  std::string error_text;
};

// Sets each listed request's `deleted` to whether the server accepted its
// DELE (a request not listed keeps its flag) and keeps a log-in correction
// in `account`.
[[nodiscard]] ServerDeletion commit_deletions(MailboxAccount& account, std::vector<PendingDeletion>& requests,
                                              const Pop3Options& options);

}  // namespace pw
