#!/bin/sh
# Renders docs/screenshots/*.png under Xvfb with a notification area
# (trayer) and the WenQuanYi font: the main window over two mailboxes, three
# rules and log rows, the mailbox dialog, the rule editor with three of its
# dialogs, the tray menu, the confirmation window over two mails, the mail
# viewer and remote management (on a throwaway Dovecot).
#   scripts/screenshots.sh [BUILD_DIR]
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
cmake --build "$build" --target pelliwick_screenshots
data=$(mktemp -d)
trap 'rm -rf "$data"' EXIT
mkdir -p "$here/docs/screenshots"
export XDG_CONFIG_HOME="$data/config" XDG_RUNTIME_DIR="$data/run"
mkdir -p "$XDG_RUNTIME_DIR" "$data/program" && chmod 700 "$XDG_RUNTIME_DIR"
xvfb-run -a -s "-screen 0 1280x1024x24" sh -c '
  trayer --edge bottom --align right --widthtype request --height 24 >/dev/null 2>&1 &
  sleep 1
  QT_QPA_PLATFORM=xcb "$0" "$1" "$2"
  status=$?
  kill $! 2>/dev/null || true
  exit $status' "$build/app/pelliwick_screenshots" "$data/program" "$here/docs/screenshots"
