#!/usr/bin/env bash
# The demo's steps on the session bus that demo.sh made: start the file
# manager, update it, show what happened.
set -euo pipefail
zelupd=$1
work=$2
inst="$work/installation"
log="$inst/zel-standin.log"

show() {
  echo "-- $1"
  for f in "$inst"/*; do
    if [ "$(basename "$f")" = ZEL.EXE ]; then
      what="the program"
      if tail -c 9 "$f" | grep -aq 'version 2'; then what="the program, version 2"; fi
    else
      what=$(head -c 60 "$f" | tr -c '[:print:]' ' ' | head -c 40)
    fi
    printf '   %-18s %8s bytes  %s\n' "$(basename "$f")" "$(stat -c %s "$f")" "$what"
  done
}

echo "== starting the file manager (stand-in) from $inst"
"$inst/ZEL.EXE" &
first=$!
for _ in $(seq 100); do grep -qx ready "$log" 2>/dev/null && break; sleep 0.1; done
echo "   running as pid $first"
show "installation before"

echo "== the download directory"
ls -l "$work/downloads" | sed 's/^/   /'
echo "== zelupd '$work/downloads/zel*.lzh' $inst"
set +e
"$zelupd" "$work/downloads/zel*.lzh" "$inst"
rc=$?
set -e
echo "   exit code $rc"
wait "$first" 2>/dev/null || true

for _ in $(seq 100); do [ "$(grep -c '^started' "$log")" -ge 2 ] && break; sleep 0.1; done
restarted=$(grep '^started' "$log" | tail -n 1 | sed 's/.*pid=\([0-9]*\).*/\1/')
show "installation after"
echo "-- the file manager's log"
sed 's/^/   /' "$log"
if [ "$rc" -eq 0 ] && [ "$restarted" != "$first" ] && kill -0 "$restarted" 2>/dev/null; then
  echo "== the old file manager (pid $first) was closed through its confirmation;"
  echo "   the new one runs as pid $restarted from $(readlink "/proc/$restarted/exe")"
  kill "$restarted"
else
  echo "== the update did not complete" >&2
  exit 1
fi
