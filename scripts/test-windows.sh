#!/usr/bin/env bash
# Cross-builds the 32-bit Windows program and its tests, then runs the tests
# under Wine: test-windows.sh [DIR] (default build-win). Installs what it
# needs first (as root). Each run gets an X display of its own, a fresh Wine
# prefix in a temporary directory and the Japanese code page (932); all of
# it goes when the run ends, however it ends. On a machine that runs no
# 32-bit programs the same sources are built 64-bit (in DIR-64) and their
# tests run under the 64-bit Wine instead.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-"$here/build-win"}
dir=$(mkdir -p "$dir" && cd "$dir" && pwd)

echo "== Windows build"
"$here/scripts/build-windows.sh" "$dir"
"$here/scripts/lint.sh" --windows "$dir"

work=$(mktemp -d "${TMPDIR:-/tmp}/zel-wine.XXXXXX")
xvfb_pid=""
cleanup() {
  local status=$?
  if [ -d "$work/prefix" ]; then
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
  fi
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Wine runs a 32-bit program as a 32-bit process of this machine. A kernel
# without IA-32 emulation starts none ("Exec format error"): what needs no
# Wine still runs for the 32-bit build (the DLLs' export tables, the release
# zip), and the tests run on a 64-bit build of the same sources under the
# 64-bit Wine, which such a kernel runs. Without that either, the skip is
# said, loudly.
if ! wine_error=$(wine --version 2>&1); then
  echo "== the DLLs' export tables and the release zip (32-bit Wine cannot run here)"
  ctest --test-dir "$dir" -R '^archiver_exports_' --output-on-failure
  zip=$("$here/scripts/package-windows.sh" "$dir" "$work/package")
  python3 -c 'import sys, zipfile; print(len(zipfile.ZipFile(sys.argv[1]).namelist()), "files")' "$zip"
  wine64=/usr/lib/wine/wine64
  if ! "$wine64" --version >/dev/null 2>&1; then
    echo "SKIPPED: the unit and end-to-end tests under Wine did not run: this machine" \
      "runs no 32-bit programs, so Wine cannot start (${wine_error##*: })," \
      "and the 64-bit Wine is missing" >&2
    exit 0
  fi
  echo "== 64-bit Windows build, for the 64-bit Wine (32-bit programs cannot run here:" \
    "${wine_error##*: })"
  export ZEL_WINDOWS_HOST=x86_64-w64-mingw32
  dir="$dir-64"
  "$here/scripts/build-windows.sh" "$dir" -DZEL_WINE="$wine64"
  # Debian's wine and wine-stable choose the 32-bit loader while it is
  # installed; here they must start the 64-bit one.
  mkdir -p "$work/bin"
  for name in wine wine-stable; do
    printf '#!/bin/sh\nexec %s "$@"\n' "$wine64" >"$work/bin/$name"
    chmod +x "$work/bin/$name"
  done
  export PATH="$work/bin:$PATH" WINELOADER="$wine64"
fi

# Win32 windows need an X display; Wine's server keeps the one it started
# with, so the display comes first. Xvfb picks a free number itself.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  if ! kill -0 "$xvfb_pid" 2>/dev/null; then
    cat "$work/xvfb.log" >&2
    echo "Xvfb did not start" >&2
    exit 1
  fi
  sleep 0.1
done
export DISPLAY=":$(head -n 1 "$work/display")"

export WINEPREFIX="$work/prefix"
export WINEDEBUG=-all
# No Mono or Gecko: the tests need neither, and without them the prefix is
# made in seconds and without a prompt.
export WINEDLLOVERRIDES="mscoree,mshtml="
# Code page 932, the system the tool was written for.
export LC_ALL=ja_JP.UTF-8
# The tests' member times are written for a system clock in UTC.
export TZ=UTC

echo "== Wine prefix"
start=$SECONDS
wineboot -i >/dev/null 2>&1
wineserver -w
echo "ready in $((SECONDS - start)) s"
# Wine keeps the ANSI code page its programs get in the registry.
acp=$(wine reg query 'HKLM\System\CurrentControlSet\Control\Nls\CodePage' /v ACP 2>/dev/null |
  awk '$1 == "ACP" { print $3 }' | tr -d '\r')
if [ "$acp" != 932 ]; then
  echo "Wine runs with code page ${acp:-unknown}, not 932 (is the locale ja_JP.UTF-8 there?)" >&2
  exit 1
fi

echo "== unit tests under Wine"
ctest --test-dir "$dir" -L unit --output-on-failure --timeout 600 -j 2

run_e2e() {
  # The end-to-end tests under Wine (tests/e2e_win/) are run from here,
  # with the display, the prefix and the code page set up above. ZElUpd.exe
  # and its DLLs come from the release zip, unpacked as a user unpacks it;
  # the test programs from the build.
  local zip release
  zip=$("$here/scripts/package-windows.sh" "$dir" "$work/package")
  python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' \
    "$zip" "$work/release"
  release="$work/release/$(basename "$zip" .zip)"
  echo "release $(basename "$zip"): $(cd "$release" && echo *)"
  python3 "$here/tests/e2e_win/run.py" --build "$dir" --release "$release"
}
echo "== end-to-end tests under Wine"
run_e2e
