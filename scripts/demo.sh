#!/usr/bin/env bash
# The main job on a built-in example: a sample download page and its archive
# are served on 127.0.0.1, a sample installation with the stand-in file
# manager running on a private session bus is updated from the page, and the
# result is shown; a second run finds nothing new.
# ZEL_BUILD_DIR chooses the build directory (default: build/).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${ZEL_BUILD_DIR:-"$here/build"}
"$here/scripts/install-deps.sh"
echo "== building"
if ! "$here/scripts/build.sh" "$build" >/tmp/zelupd-demo-build.log 2>&1; then
  cat /tmp/zelupd-demo-build.log >&2
  exit 1
fi

work=$(mktemp -d /tmp/zelupd-demo.XXXXXX)
mkdir -p "$work/installation" "$work/new-version" "$work/site" "$work/tool/bin"
cp -p "$here/examples/installation/"* "$work/installation/"
cp -p "$here/examples/new-version/"* "$work/new-version/"
cp -rp "$here/examples/site/"* "$work/site/"
cp "$build/tools/zel-standin/zel-standin" "$work/installation/ZEL.EXE"
cp "$build/tools/zel-standin/zel-standin" "$work/new-version/ZEL.EXE"
printf '\0version 2' >> "$work/new-version/ZEL.EXE"
# The tool gets a directory of its own: it downloads there and keeps its
# last-download record beside itself.
cp "$build/bin/zelupd" "$work/tool/bin/zelupd"
# The new version as the maker ships it, beside an older release.
writer="$here/tests/data/lzh_writer.py"
(cd "$work/new-version" && python3 "$writer" pack "$work/site/dl/zel16.lzh" ./*)
echo "an older release" > "$work/old-readme.txt"
python3 "$writer" pack "$work/site/dl/zel152.lzh" "readme.txt=$work/old-readme.txt"

ZELUPD_LIBRARY_PATH="$build/lib/zelupd" \
  dbus-run-session -- bash "$here/scripts/demo-run.sh" "$work/tool/bin/zelupd" "$work"
echo "== the sample is kept in $work"
