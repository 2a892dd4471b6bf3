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
  std::vector<int> numbers(requests.size(), 0);
  for (size_t k = 0; listed && k < requests.size(); ++k)
    result.gone[k] = (numbers[k] = pop->find_message(requests[k].uid)) == 0;
  // A server that pipelines gets every DELE and the QUIT together; the
  // answers are read in the same order as without.
  if (listed && pop->pipelining()) {
    bool sent = true;
    for (size_t k = 0; sent && k < requests.size(); ++k) sent = result.gone[k] || pop->send_dele_ahead(numbers[k]);
    if (sent) (void)pop->send_quit_ahead();
  }
  for (size_t k = 0; listed && k < requests.size(); ++k)
    if (!result.gone[k]) requests[k].deleted = pop->dele(numbers[k]) == Pop3Session::kSuccess;
  result.confirmed = pop.ok() && pop->quit() == Pop3Session::kSuccess && listed;
  keep_login_correction(*pop, account);
  (void)keep_tls_seen(pop, account);
  result.error_text = pop.error_text();
  return result;
}

}  // namespace pw
