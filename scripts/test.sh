#!/bin/sh
# Installs what is missing, builds and runs every test:
#   1. the whole project (core, UI and benchmarks built), every test inside a
#      private network namespace;
#   2. the core tests again under AddressSanitizer and UndefinedBehaviorSanitizer;
#   3. the engine tests (the check worker and its shared stores) under
#      ThreadSanitizer.
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

echo "== build (thread sanitizer, engine tests)"
cmake -S "$here" -B "$here/build-tsan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPW_SANITIZE=thread -DPW_WITH_UI=OFF -DPW_WITH_BENCH=OFF >/dev/null
cmake --build "$here/build-tsan" -j "$jobs" --target tests_engine
echo "== tests (thread sanitizer)"
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 PW_BUILD_DIR="$here/build-tsan" \
  "$here/scripts/netns.sh" "$here/build-tsan/tests/tests_engine"
echo "== all tests passed"
