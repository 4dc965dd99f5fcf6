#!/usr/bin/env bash
# clang-format and clang-tidy over the project's own sources: lint.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$here/build"}
cd "$here"
files=$(git ls-files '*.cpp' '*.h')
echo "== clang-format"
clang-format --dry-run -Werror $files
echo "== clang-tidy"
# The Windows backend's sources are checked by the Windows build's lint.
git ls-files 'src/*.cpp' 'tools/*.cpp' 'archivers/*.cpp' | grep -v '/win32/' |
  xargs -P 2 -n 4 clang-tidy -p "$build" --quiet --extra-arg=-Wno-unknown-warning-option 2>/dev/null
