#!/usr/bin/env bash
# Builds everything and runs every test: the unit and end-to-end tests of
# the normal build, then the unit tests again under address and
# undefined-behaviour sanitizers, the HTML fuzzer for a minute, and last the
# Windows program's build and its tests under Wine.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/install-deps.sh"

# The tests read and print text in the C locale's plain ASCII system messages.
export LC_ALL=C.UTF-8

echo "== build"
"$here/scripts/build.sh" "$here/build"
"$here/scripts/lint.sh" "$here/build"
echo "== tests"
ctest --test-dir "$here/build" --output-on-failure --timeout 600 -j 2

echo "== sanitizer build"
"$here/scripts/build.sh" "$here/build-asan" -DZEL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
echo "== unit tests and the short archive fuzz run under sanitizers"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir "$here/build-asan" --output-on-failure --timeout 600 -L 'unit|fuzz' -j 2

echo "== fuzzing the HTML parser for 60 s"
CC=clang CXX=clang++ "$here/scripts/build.sh" "$here/build-fuzz" -DZEL_FUZZ=ON
mkdir -p "$here/build-fuzz/corpus"
if ! "$here/build-fuzz/fuzz/zel_html_fuzz" -max_total_time=60 -timeout=10 -rss_limit_mb=2048 \
  -max_len=65536 -artifact_prefix="$here/build-fuzz/" "$here/build-fuzz/corpus" "$here/fuzz/corpus" >"$here/build-fuzz/fuzz.log" 2>&1; then
  tail -n 60 "$here/build-fuzz/fuzz.log"
  echo "the fuzzer found a failure; its input is saved beside the log" >&2
  exit 1
fi
tail -n 1 "$here/build-fuzz/fuzz.log"

echo "== the Windows program"
"$here/scripts/test-windows.sh" "$here/build-win"
