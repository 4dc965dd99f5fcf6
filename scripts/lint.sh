#!/usr/bin/env bash
# clang-format and clang-tidy over the project's own sources:
#   lint.sh [BUILD_DIR]             every source but the Windows backend's
#   lint.sh --windows BUILD_DIR     clang-tidy over the Windows backend's
#                                   sources, as the MinGW build compiles them
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
if [ "${1:-}" = "--windows" ]; then
  build=$2
  # clang reads the MinGW headers as the cross compiler does; the C++
  # library's headers are those of the compiler the build uses.
  cxx=$(ls -d /usr/lib/gcc/i686-w64-mingw32/*-posix/include/c++ | sort -V | tail -n 1)
  # clang does not know every option of GCC's that the build passes.
  db=$(mktemp -d)
  trap 'rm -rf "$db"' EXIT
  sed 's/ -fno-reorder-blocks-and-partition//g' "$build/compile_commands.json" >"$db/compile_commands.json"
  echo "== clang-tidy (Windows backend)"
  # A const Win32 handle (const HWND) is meant as it reads: the handle does
  # not change, not what it points to.
  git ls-files '*/win32/*.cpp' | grep -v '^tests/' |
    xargs -P 2 -n 4 clang-tidy -p "$db" --quiet --extra-arg=--target=i686-w64-mingw32 \
      --extra-arg=-isystem"$cxx" --extra-arg=-isystem"$cxx/i686-w64-mingw32" \
      --extra-arg=-Wno-unknown-warning-option --checks=-misc-misplaced-const 2>/dev/null
  exit 0
fi
build=${1:-"$here/build"}
files=$(git ls-files '*.cpp' '*.h')
echo "== clang-format"
clang-format --dry-run -Werror $files
echo "== clang-tidy"
# The Windows backend's sources are checked against the Windows build
# (lint.sh --windows, run by test-windows.sh).
git ls-files 'src/*.cpp' 'tools/*.cpp' 'archivers/*.cpp' | grep -v '/win32/' |
  xargs -P 2 -n 4 clang-tidy -p "$build" --quiet --extra-arg=-Wno-unknown-warning-option 2>/dev/null
