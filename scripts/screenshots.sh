#!/bin/sh
# Renders docs/screenshots/*.png under Xvfb with a notification area
# (trayer) and the WenQuanYi font: the main window over two mailboxes, three
# rules and log rows (also maximised on the operation log), the first-run
# question, the mailbox dialog, the rule editor with three of its
# dialogs, the tray menu, the confirmation window over two mails, the
# settings dialog, the address book, the recipient picker, the mail viewer,
# the confirmation window with the viewer over it, a mailbox whose check failed
# and remote management (on a throwaway Dovecot); once at scale 1 and once
# at scale 2 (QT_SCALE_FACTOR=2, into docs/screenshots/scale2), in Chinese;
# and once in English at scale 1 (docs/screenshots/en).
#   scripts/screenshots.sh [BUILD_DIR]
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
cmake --build "$build" --target pelliwick_screenshots
data=$(mktemp -d)
trap 'rm -rf "$data"' EXIT
mkdir -p "$here/docs/screenshots"
export XDG_CONFIG_HOME="$data/config" XDG_RUNTIME_DIR="$data/run"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
unset LANGUAGE LC_ALL LC_MESSAGES
shoot() {  # SCALE SCREEN OUT_DIR LANG
  rm -rf "$data/program" && mkdir -p "$data/program" "$3"
  LANG=$4 QT_SCALE_FACTOR=$1 xvfb-run -a -s "-screen 0 $2x24" sh -c '
    trayer --edge bottom --align right --widthtype request --height 24 >/dev/null 2>&1 &
    sleep 1
    QT_QPA_PLATFORM=xcb "$0" "$1" "$2"
    status=$?
    kill $! 2>/dev/null || true
    exit $status' "$build/tools/pelliwick_screenshots" "$data/program" "$3"
}
shoot 1 1280x1024 "$here/docs/screenshots" zh_CN.UTF-8
shoot 2 2560x2048 "$here/docs/screenshots/scale2" zh_CN.UTF-8
shoot 1 1280x1024 "$here/docs/screenshots/en" en_US.UTF-8
