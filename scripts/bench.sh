#!/usr/bin/env bash
# Runs the benchmarks: extracting a ~50 MB LZH archive through the facade
# and with bsdtar, printing the speed ratio; installing it with zelupd and
# with bsdtar and cp -a; parsing the HTML of four documentation packages
# with THtmlParser, libxml2 and gumbo; and pathological pages at two sizes
# (see bench/README.md). Not a test: it never fails on speed. Arguments go
# to the extraction benchmark.
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
echo "== installing the archive: zelupd against bsdtar -xf and cp -a"
python3 "$here/bench/install_bench.py" "$dir/bin/zelupd" "$archive" "$dir/lib/zelupd"

# Where the packages libboost1.74-doc, sqlite3-doc, git-doc, abs-guide and
# python3.11-doc put their HTML.
corpus=(/usr/share/doc/libboost1.74-doc /usr/share/doc/sqlite3 /usr/share/doc/git-doc
  /usr/share/doc/abs-guide /usr/share/doc/python3.11/html)
missing=()
for d in "${corpus[@]}"; do
  [ -d "$d" ] || missing+=("$d")
done
if [ ! -x "$dir/bench/zel_html_bench" ]; then
  echo "== HTML corpus: skipped, zel_html_bench was not built (needs libxml2-dev, libgumbo-dev)"
elif [ ${#missing[@]} -ne 0 ]; then
  echo "== HTML corpus: skipped, missing ${missing[*]} (install-deps.sh --bench installs the packages)"
else
  echo "== parsing the HTML corpus"
  "$dir/bench/zel_html_bench" "${corpus[@]}"
fi
echo "== pathological HTML pages"
"$dir/bench/zel_html_patho_bench"
echo "== the module anchor put into every page of the corpus"
python3 "$here/bench/link_corpus.py" "$dir/bench/zel_link_corpus"
