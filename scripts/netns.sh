#!/bin/sh
# Runs a command inside a private network namespace: only loopback exists, and
# /etc/resolv.conf points at 127.0.0.1 (the tests' own dnsmasq), so no test can
# reach or query anything off this machine.
#   scripts/netns.sh COMMAND [ARGS...]
set -eu
if [ "${PW_IN_NETNS:-}" != 1 ]; then
  user_ns=""
  [ "$(id -u)" -eq 0 ] || user_ns="--map-root-user"
  PW_IN_NETNS=1 exec unshare --net --mount $user_ns "$0" "$@"
fi
ip link set lo up
conf=$(mktemp /tmp/pw-resolv.XXXXXX)
printf 'nameserver 127.0.0.1\noptions timeout:1 attempts:1\n' > "$conf"
mount --bind "$conf" /etc/resolv.conf
# Private /tmp-like mounts are not needed: fixtures use their own temporary directories.
exec "$@"
