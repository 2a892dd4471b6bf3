#include "engine/extra_operations.h"

#include "res/string_table.h"

namespace pw {
namespace {

DescriptionPiece piece_for(const ExtraOperations& extra, uint8_t op) {
  switch (op) {
    case ExtraOperations::kForward: return forward_piece(extra.forward.to);
    case ExtraOperations::kReply: return reply_piece(extra.reply);
    case ExtraOperations::kBackup: return directory_piece(ActionKind::backup, extra.backup_dir);
    default: return {res::text(sid::kDeleteOnServer), {}};
  }
}

}  // namespace

RuleDescription describe_extra_operations(const ExtraOperations& extra) {
  RuleDescription out;
  bool first = true;
  for (uint8_t op : {ExtraOperations::kForward, ExtraOperations::kReply, ExtraOperations::kBackup,
                     ExtraOperations::kDelete}) {
    if (!extra.has(op)) continue;
    if (!first) out.text += res::text(sid::kAnd) + ' ';
    first = false;
    const size_t base = out.text.size();
    DescriptionPiece piece = piece_for(extra, op);
    out.text += piece.text;
    for (const DescriptionPiece::Link& link : piece.links)
      out.links.push_back({LinkKind::action, op, 0, base + link.start, out.text.size()});
    out.text += "\r\n";
  }
  return out;
}

int extra_operations_problem(const ExtraOperations& extra) {
  if (extra.has(ExtraOperations::kForward) && extra.forward.to.empty()) return sid::kNoForwardTo;
  if (extra.has(ExtraOperations::kReply)) {
    const bool missing = extra.reply.from_file ? extra.reply.file.empty()
                                               : extra.reply.text.empty() || extra.reply.subject.empty();
    if (missing) return sid::kNoReply;
  }
  if (extra.has(ExtraOperations::kBackup) && extra.backup_dir.empty()) return sid::kNoBackupFolder;
  return 0;
}

}  // namespace pw
