#!/usr/bin/env bash
# The main job on a built-in example: a sample installation with the
# stand-in file manager running on a private session bus is updated from the
# newest of the sample LZH archives in a download directory, and the result
# is shown.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/install-deps.sh"
echo "== building"
if ! "$here/scripts/build.sh" "$here/build" >/tmp/zelupd-demo-build.log 2>&1; then
  cat /tmp/zelupd-demo-build.log >&2
  exit 1
fi

work=$(mktemp -d /tmp/zelupd-demo.XXXXXX)
mkdir -p "$work/installation" "$work/new-version" "$work/downloads"
cp -p "$here/examples/installation/"* "$work/installation/"
cp -p "$here/examples/new-version/"* "$work/new-version/"
cp "$here/build/tools/zel-standin/zel-standin" "$work/installation/ZEL.EXE"
cp "$here/build/tools/zel-standin/zel-standin" "$work/new-version/ZEL.EXE"
printf '\0version 2' >> "$work/new-version/ZEL.EXE"
# The new version as the maker ships it, beside an older release.
writer="$here/tests/data/lzh_writer.py"
(cd "$work/new-version" && python3 "$writer" pack "$work/downloads/zel16.lzh" ./*)
echo "an older release" > "$work/old-readme.txt"
python3 "$writer" pack "$work/downloads/zel152.lzh" "readme.txt=$work/old-readme.txt"

dbus-run-session -- bash "$here/scripts/demo-run.sh" "$here/build/bin/zelupd" "$work"
echo "== the sample is kept in $work"
