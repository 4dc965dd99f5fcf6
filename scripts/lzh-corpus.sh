#!/usr/bin/env bash
# Installs every archive of lhasa's test suite (LZH archives made by real LHA
# tools of many systems) through the real tool and compares each result with
# what lhasa's `lha x` extracts; prints identical / different / failed per
# directory of the suite and the totals. Not part of CI. Run as root on
# Debian 12: it installs lhasa and dpkg-dev, enables the deb-src sources,
# fetches lhasa's source package (apt-get source lhasa) and builds the tool.
#
#   bash scripts/lzh-corpus.sh [-v]     -v lists every archive
#
# ZEL_BUILD_DIR picks the build directory (default build/); LZH_CORPUS_DIR
# where the source package goes (default /tmp/zel-lzh-corpus). What is
# compared and how is told in scripts/lzh_corpus.py. Debian's `lha` may be
# another program (an alternative); lhasa's own is /usr/bin/lhasa.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${ZEL_BUILD_DIR:-"$here/build"}
work=${LZH_CORPUS_DIR:-/tmp/zel-lzh-corpus}

"$here/scripts/install-deps.sh"
missing=()
for p in lhasa dpkg-dev; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Source packages are known only where a deb-src line or type is present.
if [ -z "$(apt-cache showsrc lhasa 2>/dev/null)" ]; then
  echo "enabling deb-src"
  shopt -s nullglob
  for f in /etc/apt/sources.list.d/*.sources; do
    sed -i -E '/^Types:/{/deb-src/!s/$/ deb-src/}' "$f"
  done
  if [ -f /etc/apt/sources.list ]; then
    sed -n -E 's/^deb (.*)$/deb-src \1/p' /etc/apt/sources.list | while read -r line; do
      grep -qxF "$line" /etc/apt/sources.list || echo "$line" >>/etc/apt/sources.list
    done
  fi
  apt-get update -qq
fi

mkdir -p "$work"
suite=$(ls -d "$work"/lhasa-*/test/archives 2>/dev/null | head -n 1 || true)
if [ -z "$suite" ]; then
  (cd "$work" && apt-get source -qq lhasa >/dev/null)
  suite=$(ls -d "$work"/lhasa-*/test/archives | head -n 1)
fi
echo "suite: $suite"

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
if ! log=$(cmake --build "$build" --target zelupd zel_archivers 2>&1); then
  echo "$log" | tail -n 30 >&2
  exit 1
fi
libraries=$(sed -n 's/^ZEL_ARCHIVER_OUTPUT_DIR:[A-Z]*=//p' "$build/CMakeCache.txt")
libraries=${libraries:-"$build/lib/zelupd"}

python3 "$here/scripts/lzh_corpus.py" --zelupd "$build/bin/zelupd" --libraries "$libraries" \
  --lhasa /usr/bin/lhasa "$@" "$suite"
