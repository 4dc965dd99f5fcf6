#!/usr/bin/env bash
# Cross-builds the 32-bit Windows program (ZElUpd.exe), its archiver DLLs,
# its stand-in file manager and its tests with Debian's MinGW-w64:
# build-windows.sh [DIR]
# (default build-win). Installs the packages it needs first (as root).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-"$here/build-win"}
shift || true
"$here/scripts/install-deps.sh" --windows
# The archiver DLLs' libraries, built once per build directory.
"$here/scripts/build-windows-archive-libs.sh" "$dir/deps"
jobs=$(nproc 2>/dev/null || echo 2)
# ZEL_WINDOWS_HOST=x86_64-w64-mingw32 makes a 64-bit build instead.
export ZEL_WINDOWS_HOST=${ZEL_WINDOWS_HOST:-i686-w64-mingw32}
host=$ZEL_WINDOWS_HOST
cmake -S "$here" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEL_WERROR=ON \
  -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-${host%%-*}.cmake" -DZEL_ARCHIVER_DEPS="$dir/deps/prefix" \
  "$@" >/dev/null
cmake --build "$dir" -j "$jobs"
