#pragma once
// The commands of the main window's menus, toolbar and tray menu: menu text,
// status-bar prompt, tool tip and accelerator of each.
#include <QKeySequence>
#include <QString>

namespace pw::app {

struct FrameCommand {
  int id;
  const char* menu_text;  // UTF-8, with its & mnemonic
  QKeySequence shortcut;
};

// The entry of command `id`; nullptr for an unknown id.
[[nodiscard]] const FrameCommand* frame_command(int id);

// The status-bar prompt and the tool tip of command `id`: the two halves of
// its string at the line break.
[[nodiscard]] QString command_prompt(int id);
[[nodiscard]] QString command_tool_tip(int id);

}  // namespace pw::app
