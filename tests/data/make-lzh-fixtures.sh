#!/bin/bash
# Rebuilds every LZH fixture in tests/data/lzh/ (or in the directory given as
# the only argument) from scratch.  Needs jlha (Debian package jlha-utils)
# and python3.  The output depends on nothing but this script and
# lzh_writer.py: contents, times and member order are fixed here.
set -euo pipefail

# Level 0/1 headers hold local time and jlha reads file names through the
# locale, so both are pinned.
export LC_ALL=C.UTF-8 TZ=UTC
umask 022

here=$(cd "$(dirname "$0")" && pwd)
out=${1:-$here/lzh}
writer=$here/lzh_writer.py

if ! command -v jlha >/dev/null; then
  echo "make-lzh-fixtures.sh: jlha not found (apt-get install jlha-utils)" >&2
  exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
src=$work/src
new=$work/lzh
mkdir -p "$src" "$new"

T_BIG='2024-01-02 03:04:06'
T_FAR='2024-01-02 03:04:08'
T_TINY='2023-12-31 23:59:58'
T_SUB='2024-01-02 03:04:10'
T_ZEL='2024-02-03 04:05:06'

# put PATH TIME: writes stdin to $src/PATH with a fixed time.
put() {
  mkdir -p "$(dirname "$src/$1")"
  cat >"$src/$1"
  chmod 644 "$src/$1"
  touch -d "$2" "$src/$1"
}

# jlha_make ARCHIVE COMMAND EXPECTED FILE...: runs jlha in $src and checks
# the member names, since jlha exits 0 even when it skips a file.
jlha_make() {
  local archive=$1 command=$2 expected=$3
  shift 3
  (cd "$src" && jlha "$command" "$new/$archive" "$@") >/dev/null
  local got
  got=$(python3 "$writer" names "$new/$archive")
  if [ "$got" != "$expected" ]; then
    printf 'make-lzh-fixtures.sh: %s holds\n%s\ninstead of\n%s\n' "$archive" "$got" "$expected" >&2
    exit 1
  fi
}

# --- member contents ---------------------------------------------------------

# 150 numbered lines, 8250 bytes: compresses well.
for i in $(seq 0 149); do
  printf 'line %04d: the quick brown fox jumps over the lazy dog\n' "$i"
done | put big.txt "$T_BIG"

# A 4096-byte pseudo-random block, 6000 bytes of filler, the block again:
# the repeat lies beyond the 8 KiB window of -lh5- but inside those of
# -lh6-/-lh7-, so only those can copy it.
letters=abcdefghijklmnopqrstuvwxyz
x=1
block=
for ((l = 0; l < 64; l++)); do
  line=
  for ((c = 0; c < 63; c++)); do
    x=$(((x * 1103515245 + 12345) % 2147483648))
    line+=${letters:$(((x >> 16) % 26)):1}
  done
  block+=$line$'\n'
done
filler=$(printf '%059d' 0 | tr 0 =)
{
  printf '%s' "$block"
  for ((l = 0; l < 100; l++)); do printf '%s\n' "$filler"; done
  printf '%s' "$block"
} | put far.txt "$T_FAR"

printf 'hello\n' | put tiny.txt "$T_TINY"

printf 'inner file\n' | put sub/inner.txt "$T_SUB"
printf 'top file\n' | put top.txt "$T_SUB"
touch -d "$T_SUB" "$src/sub"

printf 'Japanese name\n' | put 日本語.txt "$T_BIG"
# Both names have 0x5C (the ASCII backslash) as a second Shift_JIS byte.
printf 'hyou\n' | put 表.txt "$T_BIG"
printf 'soft\n' | put ソフト/readme.txt "$T_BIG"
touch -d "$T_BIG" "$src/ソフト"

# The new version of the file manager.  ZEL.EXE is a text placeholder: the
# end-to-end tests put the real program in place themselves.
printf 'new ZEL.EXE\n' | put ZEL.EXE "$T_ZEL"
for i in $(seq 1 40); do
  printf 'ZEL new version readme, line %02d\n' "$i"
done | put readme.txt "$T_ZEL"
printf 'new plugin.dll\n' | put plugin.dll "$T_ZEL"

# --- archives ----------------------------------------------------------------

set3=$'big.txt\nfar.txt\ntiny.txt'

jlha_make stored.lzh a2zy $'big.txt\ntiny.txt' big.txt tiny.txt
jlha_make lh5-level0.lzh a0o5y "$set3" big.txt far.txt tiny.txt
jlha_make lh5-level1.lzh a1o5y "$set3" big.txt far.txt tiny.txt
jlha_make lh5-level2.lzh a2o5y "$set3" big.txt far.txt tiny.txt
jlha_make lh6.lzh a2o6y "$set3" big.txt far.txt tiny.txt
jlha_make lh7.lzh a2o7y "$set3" big.txt far.txt tiny.txt
jlha_make subdir.lzh a2o5y $'sub/inner.txt\ntop.txt' sub/inner.txt top.txt
# Given a directory, jlha adds a directory member before its contents.
jlha_make subdir-dirent.lzh a2o5y $'sub/\nsub/inner.txt\ntop.txt' sub top.txt
jlha_make cp932-name.lzh a2o5y '日本語.txt' 日本語.txt
jlha_make cp932-5c.lzh a2o5y $'表.txt\nソフト/readme.txt' 表.txt ソフト/readme.txt
jlha_make zel-new.lzh a2o5y $'ZEL.EXE\nreadme.txt\nplugin.dll' ZEL.EXE readme.txt plugin.dll

python3 "$writer" damage "$new/lh5-level2.lzh" "$new/damaged.lzh"
# Stored data with flipped bytes: only the CRC tells.
python3 "$writer" damage "$new/stored.lzh" "$new/bad-crc.lzh"
python3 "$writer" truncate "$new/lh5-level2.lzh" "$new/truncated.lzh"
python3 "$writer" synthetic "$new"

chmod 644 "$new"/*.lzh
mkdir -p "$out"
rm -f "$out"/*.lzh
cp "$new"/*.lzh "$out"/
ls -l "$out"
