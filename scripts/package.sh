#!/bin/sh
# The Debian package from a built tree: scripts/package.sh [BUILD_DIR]
# Validates the AppStream metainfo, builds pelliwick_<version>_<arch>.deb with
# CPack, checks it with lintian (no error, no warning), installs it with apt,
# runs the installed program (--version, and a --check-once against Dovecot on
# loopback through the end-to-end test) and removes it again.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo

appstreamcli validate --no-net "$here/res/pelliwick.metainfo.xml"
rm -rf "$build/package"
(cd "$build" && cpack -B package >/dev/null)
deb=$(ls "$build"/package/pelliwick_*_*.deb)
echo "-- $(basename "$deb")"
lintian --fail-on error,warning "$deb"
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "$deb" >/dev/null
trap 'DEBIAN_FRONTEND=noninteractive $sudo apt-get remove -y -qq pelliwick >/dev/null' EXIT

test -f /usr/lib/systemd/user/pelliwick-check.timer
test -f /usr/share/applications/pelliwick.desktop
test -f /usr/share/man/man1/pelliwick.1.gz
/usr/bin/pelliwick --version
PW_PROGRAM=/usr/bin/pelliwick "$here/scripts/netns.sh" "$build/tests/tests_engine" \
  --gtest_filter='CheckOnceEndToEnd.forwardsBacksUpAndDeletesEveryNewMail:CheckOnceEndToEnd.skippedWhileTheDirectoryIsLocked' \
  --gtest_brief=1
