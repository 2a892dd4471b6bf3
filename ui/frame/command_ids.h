#pragma once
// Command ids of the menus, the toolbar and the context menus. The frame and
// the views route commands by these numbers.
namespace pw::ui::cmd {

// Mailbox tree.
inline constexpr int kAddMailbox = 32772;
inline constexpr int kDeleteMailbox = 32773;
inline constexpr int kModifyMailbox = 32774;
inline constexpr int kResumeMailbox = 32775;
inline constexpr int kPauseMailbox = 32776;
inline constexpr int kCheckMailbox = 32789;
inline constexpr int kRemoteAllMails = 32795;
inline constexpr int kRemoteNewMails = 32796;
inline constexpr int kImportMailboxes = 32800;
inline constexpr int kExportMailboxes = 32801;

// Rule list.
inline constexpr int kNewRule = 32777;
inline constexpr int kModifyRule = 32778;
inline constexpr int kDeleteRule = 32779;
inline constexpr int kConfigureRules = 32783;
inline constexpr int kImportRules = 32802;
inline constexpr int kExportRules = 32803;

// Main frame.
inline constexpr int kResumeAll = 32780;
inline constexpr int kPauseAll = 32781;
inline constexpr int kSettings = 32782;
inline constexpr int kCheckAll = 32790;
inline constexpr int kShowMain = 32791;
inline constexpr int kFeedback = 32794;
inline constexpr int kWebSite = 32798;
inline constexpr int kAddressBook = 32799;
inline constexpr int kAbout = 57664;
inline constexpr int kExit = 57665;
inline constexpr int kHelp = 57670;
inline constexpr int kViewToolbar = 59392;
inline constexpr int kViewStatusBar = 59393;
inline constexpr int kStopCheck = 32810;

// Local-mail list of the information view.
inline constexpr int kViewMail = 31;
inline constexpr int kReplyMail = 32;
inline constexpr int kForwardMail = 33;
inline constexpr int kDeleteMail = 34;

}  // namespace pw::ui::cmd
