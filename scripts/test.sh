#!/bin/sh
# Installs what is missing, builds and runs every test:
#   1. the whole project (core, UI and benchmarks built), every test inside a
#      private network namespace;
#   2. the core tests again under AddressSanitizer and UndefinedBehaviorSanitizer.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh"
jobs=$(nproc)

echo "== build"
"$here/scripts/build.sh" "$here/build"
echo "== tests"
"$here/scripts/netns.sh" ctest --test-dir "$here/build" --output-on-failure -j "$jobs" --timeout 600

echo "== build (address and undefined-behaviour sanitizers, core only)"
"$here/scripts/build.sh" "$here/build-asan" -DPW_WITH_UI=OFF -DPW_WITH_BENCH=OFF -DPW_SANITIZE=address,undefined
echo "== tests (sanitizers)"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  "$here/scripts/netns.sh" ctest --test-dir "$here/build-asan" --output-on-failure -j "$jobs" --timeout 900
echo "== all tests passed"
