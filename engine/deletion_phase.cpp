#include "engine/deletion_phase.h"

#include "net/pop3_session.h"
#include "stores/mailbox_account.h"

namespace pw {

ServerDeletion commit_deletions(MailboxAccount& account, std::vector<PendingDeletion>& requests,
                                const Pop3Options& options) {
  ServerDeletion result;
  result.gone.assign(requests.size(), false);
  Pop3Connection pop = open_pop3(Pop3Account::of(account.record()), options);
  const bool listed = pop.ok() && pop->uidl_all() == Pop3Session::kSuccess;
  for (size_t k = 0; listed && k < requests.size(); ++k) {
    const int n = pop->find_message(requests[k].uid);
    if (n == 0)
      result.gone[k] = true;
    else
      requests[k].deleted = pop->dele(n) == Pop3Session::kSuccess;
  }
  result.confirmed = pop.ok() && pop->quit() == Pop3Session::kSuccess && listed;
  keep_login_correction(*pop, account);
  result.error_text = pop.error_text();
  return result;
}

}  // namespace pw
