#!/bin/sh
# Installs what is missing, builds and runs every test:
#   1. the whole project (core, UI and benchmarks built), every test inside a
#      private network namespace;
#   2. the core tests again under AddressSanitizer and UndefinedBehaviorSanitizer;
#   3. the engine tests (the check worker and its shared stores) under
#      ThreadSanitizer;
#   4. every libFuzzer target for 30 seconds, seeded with the test mails;
#   5. the Debian package: built, installed with apt, run, removed.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh"
jobs=$(nproc)

echo "== build"
"$here/scripts/build.sh" "$here/build"
echo "== tests"
"$here/scripts/netns.sh" ctest --test-dir "$here/build" --output-on-failure -j "$jobs" --timeout 600

echo "== package (build, install, run the installed program, remove)"
"$here/scripts/package.sh" "$here/build"

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

echo "== build (libFuzzer targets)"
CXX=clang++ "$here/scripts/build.sh" "$here/build-fuzz" -DPW_WITH_FUZZ=ON -DPW_WITH_UI=OFF -DPW_WITH_TESTS=OFF \
  -DPW_WITH_BENCH=OFF
echo "== fuzz (30 seconds per target; no crash, leak or hang)"
for fuzzer in "$here"/build-fuzz/fuzz/fuzz_*; do
  [ -x "$fuzzer" ] || continue
  name=$(basename "$fuzzer")
  # New inputs go to a scratch corpus; the seeds in tests/data stay as they are.
  mkdir -p "$here/build-fuzz/corpus/$name" "$here/build-fuzz/artifacts"
  echo "-- $name"
  "$fuzzer" -max_total_time=30 -timeout=10 -rss_limit_mb=2048 -print_final_stats=0 \
    -artifact_prefix="$here/build-fuzz/artifacts/$name-" \
    "$here/build-fuzz/corpus/$name" "$here/tests/data/mail" 2>"$here/build-fuzz/artifacts/$name.log" ||
    { tail -n 60 "$here/build-fuzz/artifacts/$name.log"; exit 1; }
  grep -E '^Done [0-9]+ runs' "$here/build-fuzz/artifacts/$name.log" || true
done
echo "== all tests passed"
