#pragma once
// The small pictures of the views, drawn here rather than loaded from
// bitmaps. Each list numbers its pictures as the views' image indexes do.
#include <QIcon>

namespace pw::ui {

// Mailbox tree: 0 the root, 1 a watched account, 2 a paused account.
[[nodiscard]] QIcon mailbox_icon(int image);
// The same with the mark of the account's last check: 0 none yet, 1
// succeeded, 2 failed, 3 stopped.
[[nodiscard]] QIcon mailbox_icon(int image, int last_check);
// Rule list: 0 a rule bound to no mailbox, 1 a rule in use.
[[nodiscard]] QIcon rule_icon(int image);
// Information view tabs: 0 local mails, 1 operation log.
[[nodiscard]] QIcon info_tab_icon(int image);
// Local-mail rows: 0 without attachment, 1 with attachment.
[[nodiscard]] QIcon local_mail_icon(int image);
// Remote management rows and toggles: 1 whole mail held, 2 processed, 3
// delete, 4 forward, 5 reply, 6 back up; 0 view.
[[nodiscard]] QIcon remote_icon(int image);
// Rows of mails on the server: 0 only the header is held, 1 the whole mail.
[[nodiscard]] QIcon held_mail_icon(int image);

// The data role under which rows and items keep their image index, so that
// the state a picture shows can be read back.
inline constexpr int kImageRole = Qt::UserRole + 1;
// Mailbox tree items: the mark of the last check (as mailbox_icon numbers it).
inline constexpr int kCheckMarkRole = Qt::UserRole + 4;

}  // namespace pw::ui
