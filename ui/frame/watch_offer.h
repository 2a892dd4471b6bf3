#pragma once
// Rules were just bound to mailboxes that are not watched: without being
// watched they would never be checked, so the user is offered to start now.
#include <memory>
#include <vector>

class QWidget;

namespace pw {
class MailboxAccount;
class MailboxList;
}  // namespace pw

namespace pw::ui {

class MessageBoxes;

// Asks once for all of `accounts` that are paused and have a bound rule; on
// Yes watches them. True when any began to be watched.
bool offer_watching(QWidget* parent, MailboxList& mailboxes, MessageBoxes& boxes,
                    const std::vector<std::shared_ptr<MailboxAccount>>& accounts);

}  // namespace pw::ui
