#!/usr/bin/env bash
# The demo's steps on the session bus that demo.sh made: serve the download
# page, start the file manager, update it from the page, show what happened,
# and run again to show that nothing new is found.
set -euo pipefail
zelupd=$1
work=$2
inst="$work/installation"
log="$inst/zel-standin.log"
server_log="$work/server.log"
tool_dir=$(dirname "$zelupd")
# Nothing on the way to 127.0.0.1 goes through a proxy.
export no_proxy=127.0.0.1,localhost NO_PROXY=127.0.0.1,localhost

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

# An HTTP server of the standard library on a free port of 127.0.0.1; it
# writes the port it got, and its request log goes to server.log.
port_file="$work/server.port"
python3 - "$work/site" "$port_file" 2>"$server_log" <<'PY' &
import functools, http.server, os, sys
handler = functools.partial(http.server.SimpleHTTPRequestHandler, directory=sys.argv[1])
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
with open(sys.argv[2] + ".part", "w") as f:
    f.write(str(server.server_address[1]))
os.rename(sys.argv[2] + ".part", sys.argv[2])
server.serve_forever()
PY
server=$!
trap 'kill "$server" 2>/dev/null || true' EXIT
for _ in $(seq 100); do [ -s "$port_file" ] && break; sleep 0.1; done
if [ ! -s "$port_file" ]; then
  echo "the HTTP server did not start" >&2
  exit 1
fi
page="http://127.0.0.1:$(cat "$port_file")/dl/page.htm"
echo "== serving $work/site on $page"
sed 's/^/   /' "$work/site/dl/page.htm"

echo "== starting the file manager (stand-in) from $inst"
"$inst/ZEL.EXE" &
first=$!
for _ in $(seq 100); do grep -qx ready "$log" 2>/dev/null && break; sleep 0.1; done
echo "   running as pid $first"
show "installation before"

echo "== zelupd $page $inst"
set +e
"$zelupd" "$page" "$inst"
rc=$?
set -e
echo "   exit code $rc"
wait "$first" 2>/dev/null || true

for _ in $(seq 100); do [ "$(grep -c '^started' "$log")" -ge 2 ] && break; sleep 0.1; done
restarted=$(grep '^started' "$log" | tail -n 1 | sed 's/.*pid=\([0-9]*\).*/\1/')
show "installation after"
echo "-- the file manager's log"
sed 's/^/   /' "$log"
echo "-- the server's log"
sed 's/^/   /' "$server_log"
echo "-- beside the tool ($tool_dir)"
ls -l "$tool_dir" | tail -n +2 | sed 's/^/   /'
echo "-- the last-download record downver.inf"
sed 's/^/   /' "$tool_dir/downver.inf"
if [ "$rc" -ne 0 ] || [ "$restarted" = "$first" ] || ! kill -0 "$restarted" 2>/dev/null; then
  echo "== the update did not complete" >&2
  exit 1
fi
echo "== the old file manager (pid $first) was closed through its confirmation;"
echo "   the new one runs as pid $restarted from $(readlink "/proc/$restarted/exe")"

echo "== the same again: zelupd $page $inst"
set +e
again=$("$zelupd" "$page" "$inst" 2>/dev/null)
rc2=$?
set -e
echo "   $again"
echo "   exit code $rc2"
still_running=yes
kill -0 "$restarted" 2>/dev/null || still_running=no
kill "$restarted" 2>/dev/null || true
if [ "$rc2" -ne 1 ] || [ "$again" != "更新されていないようです" ] || [ "$still_running" != yes ]; then
  echo "== the second run should have found nothing new" >&2
  exit 1
fi
echo "== the second run found the archive already installed and left the file manager running"
