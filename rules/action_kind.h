#pragma once
// The action kinds of a rule: one bit of `Rule::action_mask` each, in the
// order of the editor's action list.
#include <array>
#include <cstdint>

#include "res/string_ids.h"

namespace pw {

enum class ActionKind : uint32_t {
  confirm = 0x01,
  forward = 0x02,
  reply = 0x04,
  backup = 0x08,
  key_info = 0x10,
  attachments = 0x20,
  delete_on_server = 0x40,
};

inline constexpr std::array<ActionKind, 7> kActionKinds = {
    ActionKind::confirm,  ActionKind::forward,     ActionKind::reply,           ActionKind::backup,
    ActionKind::key_info, ActionKind::attachments, ActionKind::delete_on_server,
};

[[nodiscard]] constexpr uint32_t bit(ActionKind k) { return static_cast<uint32_t>(k); }

// String-table id of the kind's label in the editor.
[[nodiscard]] constexpr int label_id(ActionKind k) {
  switch (k) {
    case ActionKind::confirm: return sid::kConfirmAction;
    case ActionKind::forward: return sid::kForwardAction;
    case ActionKind::reply: return sid::kReplyAction;
    case ActionKind::backup: return sid::kBackupAction;
    case ActionKind::key_info: return sid::kKeyInfoAction;
    case ActionKind::attachments: return sid::kAttachmentsAction;
    case ActionKind::delete_on_server: return sid::kDeleteAction;
  }
  return 0;
}

}  // namespace pw
