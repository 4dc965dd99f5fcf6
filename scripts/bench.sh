#!/usr/bin/env bash
# Runs the benchmarks: extracting a ~50 MB LZH archive through the facade
# and with bsdtar, printing the speed ratio. Not a test: it never fails on
# speed.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/install-deps.sh" --bench
dir="$here/build-bench"
"$here/scripts/build.sh" "$dir" -DZEL_BENCH=ON -DZEL_TESTS=OFF -DCMAKE_BUILD_TYPE=Release

archive="$dir/bench-data/big.lzh"
if [ ! -f "$archive" ]; then
  echo "== making $archive"
  rm -rf "$dir/bench-data" && mkdir -p "$dir/bench-data/files"
  python3 "$here/bench/make_bench_files.py" "$dir/bench-data/files"
  (cd "$dir/bench-data/files" && jlha co5y "$archive" ./* >/dev/null)
fi
echo "== extracting $(du -h "$archive" | cut -f1) archive"
"$dir/bench/zel_extract_bench" "$archive" "$@"
