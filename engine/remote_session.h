#pragma once
// Remote management's work on one account's POP server, without the view:
// the listing (every mail, or only those the seen list does not hold), the
// carrying out of the marks set on the listed mails (download where an
// action needs the whole mail, the actions, one deletion phase) and the
// seen-list marks.
//
// Both long steps run on the caller's worker thread and stop early when
// `stop` is raised (from any thread): a wait for the POP3 server ends at
// once. The caller holds the account's remote-management claim.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/mail_processor.h"
#include "engine/pop3_opener.h"
#include "net/smtp_delivery.h"
#include "net/stop_signal.h"

namespace pw {

class Clock;
class EngineHost;
class LocalMailIndex;
class MailboxAccount;
class OperationLog;

struct RemoteSessionServices {
  EngineHost& host;  // notices, password correction, the actions' boxes
  OperationLog& log;
  LocalMailIndex& local_mail;
  const Clock& clock;
  SmtpDeliveryOptions smtp = {};
  // The connection and protocol log of the POP3 sessions (the password
  // prompt is the host's).
  Pop3Options pop3 = {};
};

class RemoteSession {
 public:
  enum class Mode { all_mails, new_mails };
  using Rows = std::vector<std::unique_ptr<MailProcessor>>;

  RemoteSession(MailboxAccount& account, RemoteSessionServices services);

  // Lists the mails, handing each to `take` as soon as it is read (headers
  // only, its row texts worked out). Tells the host when the listing failed
  // or fell short, unless stopped.
  void list(Mode mode, const std::function<void(std::unique_ptr<MailProcessor>)>& take,
            const StopSignal& stop);

  // Carries out every mark of `rows`: marks them seen so the automatic check
  // leaves them alone, downloads the mails an action needs whole, runs the
  // actions and deletes in one phase; logs every deletion asked for. A stop
  // ends the POP3 waits at once and skips the actions not begun; an action
  // under way finishes.
  void carry_out(const Rows& rows, const StopSignal& stop);

  [[nodiscard]] bool processed(const std::string& uid) const;
  // Marks the mails processed (`on`) or not.
  void set_processed(const std::vector<std::string>& uids, bool on);

 private:
  [[nodiscard]] Pop3Options pop3_options() const;
  void fetch_whole(const std::vector<MailProcessor*>& mails, const StopSignal& stop);

  MailboxAccount& account_;
  RemoteSessionServices s_;
};

}  // namespace pw
