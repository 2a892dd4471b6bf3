#!/bin/sh
# Installs what is missing, builds and starts the program.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh"
"$here/scripts/build.sh" "$here/build"
exec "$here/build/app/pelliwick" "$@"
