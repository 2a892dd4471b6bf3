#include "ui/frame/watch_offer.h"

#include <QStringList>

#include "stores/mailbox_list.h"
#include "ui/gb_qstring.h"
#include "ui/message_boxes.h"
#include "ui/ui_text.h"

namespace pw::ui {

bool offer_watching(QWidget* parent, MailboxList& mailboxes, MessageBoxes& boxes,
                    const std::vector<std::shared_ptr<MailboxAccount>>& accounts) {
  std::vector<std::shared_ptr<MailboxAccount>> idle;
  QStringList names;
  for (const auto& account : accounts) {
    if (!account->paused() || account->bound_count() == 0) continue;
    idle.push_back(account);
    names << from_gb(account->address());
  }
  if (idle.empty()) return false;
  if (!boxes.show(parent, MessageKind::question, text(sid::kOfferWatch).arg(names.join(text("、"))))) return false;
  for (const auto& account : idle) mailboxes.resume(*account);
  return true;
}

}  // namespace pw::ui
