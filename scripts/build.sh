#!/usr/bin/env bash
# Configures and builds into a build directory: build.sh DIR [cmake options...]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-"$here/build"}
shift || true
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S "$here" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEL_WERROR=ON "$@" >/dev/null
cmake --build "$dir" -j "$jobs"
