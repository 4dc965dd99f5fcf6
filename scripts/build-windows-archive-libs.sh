#!/usr/bin/env bash
# Cross-builds libarchive (with liblzma and libbz2) and liblhasa as static
# 32-bit (or, with ZEL_WINDOWS_HOST=x86_64-w64-mingw32, 64-bit) Windows
# libraries from Debian's source packages, for the Windows archiver DLLs:
#   build-windows-archive-libs.sh [BUILD_DIR]   (default build-deps-win)
# Sources go to BUILD_DIR/src, builds to BUILD_DIR/build, the result to
# BUILD_DIR/prefix (include/, lib/, lib/pkgconfig/). Built once: a finished
# prefix carries a stamp, and a later run leaves it alone; remove the prefix
# (or the whole directory) to build again. Installs the packages it needs
# first and, if needed, enables Debian's source lists (as root).
#
# Debian ships only zlib for MinGW; liblzma and libbz2 are built here from
# Debian's xz-utils and bzip2 sources. zstd and lz4 are absent.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-"$here/build-deps-win"}
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
prefix=$dir/prefix
stamp=$prefix/.built
# ZEL_WINDOWS_HOST=x86_64-w64-mingw32 builds them 64-bit instead.
host=${ZEL_WINDOWS_HOST:-i686-w64-mingw32}
toolchain=$here/cmake/mingw-${host%%-*}.cmake
sysroot=/usr/$host
jobs=$(nproc 2>/dev/null || echo 2)

# Runs a step with its output in a log; on failure shows the log's end.
logged() {
  local log=$1
  shift
  if ! "$@" >>"$log" 2>&1; then
    echo "failed: $*" >&2
    tail -n 40 "$log" >&2
    echo "(whole log: $log)" >&2
    exit 1
  fi
}

# A prefix from before liblzma and libbz2 were built in is built again.
if [ -f "$stamp" ] && grep -q '^xz-utils ' "$stamp" && grep -q '^bzip2 ' "$stamp"; then
  echo "archive libraries already built in $prefix ($(tr '\n' ' ' <"$stamp"))"
  exit 0
fi

"$here/scripts/install-deps.sh" --windows

# apt-get source reads the deb-src entries; add them next to the deb ones
# when the machine has none (one-line and deb822 formats alike).
if [ -z "$(apt-cache showsrc lhasa 2>/dev/null)" ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "Debian's source lists are missing for apt-get source; run this script as root" >&2
    exit 1
  fi
  echo "enabling Debian's source lists"
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    if grep -q '^deb ' "$f" && ! grep -q '^deb-src ' "$f"; then
      src_lines=$(sed -n 's/^deb /deb-src /p' "$f")
      printf '%s\n' "$src_lines" >>"$f"
    fi
  done
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    sed -i -E 's/^Types:[[:space:]]*deb[[:space:]]*$/Types: deb deb-src/' "$f"
  done
  apt-get update -qq
  if [ -z "$(apt-cache showsrc lhasa 2>/dev/null)" ]; then
    echo "still no source package for lhasa after enabling deb-src" >&2
    exit 1
  fi
fi

# A run that stopped half-way leaves nothing worth keeping.
rm -rf "$dir/src" "$dir/build" "$prefix"
log=$dir/build/logs
mkdir -p "$dir/src" "$dir/build/libarchive" "$dir/build/lhasa" "$dir/build/xz" \
  "$dir/build/bzip2" "$log" "$prefix/include" "$prefix/lib/pkgconfig"

echo "fetching the source packages"
# As root apt cannot drop to its sandbox user in a directory that user may
# not write; the download is the same either way.
(cd "$dir/src" &&
  logged "$log/apt-get-source.log" apt-get source -o APT::Sandbox::User=root libarchive lhasa xz-utils bzip2)
unpacked() {
  local found
  found=$(find "$dir/src" -maxdepth 1 -type d -name "$1-*" | head -n 1)
  if [ -z "$found" ]; then
    echo "apt-get source did not unpack $1 into $dir/src" >&2
    exit 1
  fi
  echo "$found"
}
archive_src=$(unpacked libarchive)
lhasa_src=$(unpacked lhasa)
xz_src=$(unpacked xz-utils)
bzip2_src=$(unpacked bzip2)
archive_version=$(cd "$archive_src" && dpkg-parsechangelog -S Version)
lhasa_version=$(cd "$lhasa_src" && dpkg-parsechangelog -S Version)
xz_version=$(cd "$xz_src" && dpkg-parsechangelog -S Version)
bzip2_version=$(cd "$bzip2_src" && dpkg-parsechangelog -S Version)

# pkg-config files are made to find the prefix from their own place, so the
# tree may be moved or cached as a whole.
relocatable_pc() {
  # shellcheck disable=SC2016 # the variables are pkg-config's
  sed -i -E 's|^prefix=.*|prefix=${pcfiledir}/../..|; s|^exec_prefix=.*|exec_prefix=${prefix}|;
    s|^libdir=.*|libdir=${exec_prefix}/lib|; s|^includedir=.*|includedir=${prefix}/include|' "$1"
}

echo "building liblzma $xz_version"
# The library alone: no tools, scripts, documentation or translations. No
# threads either; they serve only the multi-threaded encoder and decoder.
(cd "$dir/build/xz" &&
  logged "$log/xz-configure.log" "$xz_src/configure" --host=$host --prefix="$prefix" \
    --disable-shared --enable-static --disable-xz --disable-xzdec --disable-lzmadec \
    --disable-lzmainfo --disable-lzma-links --disable-scripts --disable-doc --disable-nls \
    --disable-threads CC=$host-gcc-posix CFLAGS="-O2")
logged "$log/xz-build.log" make -C "$dir/build/xz/src/liblzma" -j "$jobs"
logged "$log/xz-build.log" make -C "$dir/build/xz/src/liblzma" install
rm -f "$prefix/lib/liblzma.la"
relocatable_pc "$prefix/lib/pkgconfig/liblzma.pc"
# Static only: without LZMA_API_STATIC the header asks for DLL imports.
sed -i -E 's|^Cflags:.*|& -DLZMA_API_STATIC|; /^Cflags.private:/d' "$prefix/lib/pkgconfig/liblzma.pc"

echo "building libbz2 $bzip2_version"
# Its makefile would build the tools and run them, so the library's sources
# are compiled directly.
bzip2_objects=()
for unit in blocksort huffman crctable randtable compress decompress bzlib; do
  logged "$log/bzip2-build.log" $host-gcc-posix -O2 -Wall \
    -c "$bzip2_src/$unit.c" -o "$dir/build/bzip2/$unit.o"
  bzip2_objects+=("$dir/build/bzip2/$unit.o")
done
logged "$log/bzip2-build.log" $host-ar rcs "$dir/build/bzip2/libbz2.a" "${bzip2_objects[@]}"
install -m 644 "$dir/build/bzip2/libbz2.a" "$prefix/lib/"
install -m 644 "$bzip2_src/bzlib.h" "$prefix/include/"
bzip2_upstream=${bzip2_version%%-*}
cat >"$prefix/lib/pkgconfig/bzip2.pc" <<EOF
prefix=\${pcfiledir}/../..
exec_prefix=\${prefix}
libdir=\${exec_prefix}/lib
includedir=\${prefix}/include

Name: bzip2
Description: block-sorting file compressor library (static, Win32)
Version: ${bzip2_upstream#*:}
Cflags: -I\${includedir}
Libs: -L\${libdir} -lbz2
EOF

echo "building libarchive $archive_version"
# Only the library: no tools, tests, crypto, XML (so no xar), iconv (the
# Windows build converts with the Win32 code-page functions) or ACLs, and no
# regex search, which only the tools use (its fallback to PCRE stops the
# configuration when libgcc is switched off).
# The compression libraries not built here are off outright, so a stray
# header can never switch them on. LZMA_API_STATIC: else lzma.h asks for
# DLL imports, which the static liblzma does not provide.
# Its one check that runs a program (whether zlib was built with WINAPI)
# cannot run here: "fails" is the right answer for Debian's MinGW zlib, and
# without an emulator CMake 3.25 crashes on that check where it compiles
# (64-bit).
CFLAGS="-DLZMA_API_STATIC" logged "$log/libarchive-configure.log" \
  cmake -S "$archive_src" -B "$dir/build/libarchive" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_CROSSCOMPILING_EMULATOR=/bin/false \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DENABLE_TAR=OFF -DENABLE_CPIO=OFF -DENABLE_CAT=OFF -DENABLE_TEST=OFF \
  -DENABLE_OPENSSL=OFF -DENABLE_MBEDTLS=OFF -DENABLE_NETTLE=OFF -DENABLE_CNG=OFF \
  -DENABLE_LIBXML2=OFF -DENABLE_EXPAT=OFF -DENABLE_ICONV=OFF \
  -DPOSIX_REGEX_LIB=NONE -DENABLE_PCREPOSIX=OFF -DENABLE_LIBGCC=OFF -DENABLE_LIBB2=OFF \
  -DENABLE_ACL=OFF -DENABLE_XATTR=OFF \
  -DENABLE_ZLIB=ON -DZLIB_INCLUDE_DIR="$sysroot/include" -DZLIB_LIBRARY="$sysroot/lib/libz.a" \
  -DENABLE_LZMA=ON -DLIBLZMA_INCLUDE_DIR="$prefix/include" -DLIBLZMA_LIBRARY="$prefix/lib/liblzma.a" \
  -DENABLE_BZip2=ON -DBZIP2_INCLUDE_DIR="$prefix/include" -DBZIP2_LIBRARIES="$prefix/lib/libbz2.a" \
  -DENABLE_ZSTD=OFF -DENABLE_LZ4=OFF -DENABLE_LZO=OFF
# ENABLE_* means only "use it if found"; a codec that failed to be found would
# drop out without an error.
for have in HAVE_ZLIB_H HAVE_LZMA_H HAVE_BZLIB_H; do
  if ! grep -q "^#define $have 1" "$dir/build/libarchive/config.h"; then
    echo "libarchive's configuration did not take up $have" >&2
    echo "(configure log: $log/libarchive-configure.log)" >&2
    exit 1
  fi
done
# The static library alone; the DLL would double the build for nothing.
logged "$log/libarchive-build.log" \
  cmake --build "$dir/build/libarchive" --target archive_static -j "$jobs"
install -m 644 "$archive_src/libarchive/archive.h" "$archive_src/libarchive/archive_entry.h" "$prefix/include/"
install -m 644 "$dir/build/libarchive/libarchive/libarchive_static.a" "$prefix/lib/libarchive.a"
# Static only: every user needs LIBARCHIVE_STATIC (else the header asks for
# DLL imports) and the compression libraries, so all go in the plain fields.
archive_upstream=${archive_version%%-*}
cat >"$prefix/lib/pkgconfig/libarchive.pc" <<EOF
prefix=\${pcfiledir}/../..
exec_prefix=\${prefix}
libdir=\${exec_prefix}/lib
includedir=\${prefix}/include

Name: libarchive
Description: library that can create and read several streaming archive formats (static, Win32)
Version: ${archive_upstream#*:}
Requires: liblzma bzip2 zlib
Cflags: -I\${includedir} -DLIBARCHIVE_STATIC
Libs: -L\${libdir} -larchive
EOF

echo "building liblhasa $lhasa_version"
# Debian's source has no generated build files; configure makes them.
mkdir -p "$lhasa_src/autotools"
logged "$log/lhasa-configure.log" autoreconf -fi "$lhasa_src"
(cd "$dir/build/lhasa" &&
  logged "$log/lhasa-configure.log" "$lhasa_src/configure" --host=$host --prefix="$prefix" \
    --disable-shared --enable-static CC=$host-gcc-posix CFLAGS="-O2")
# The library, its headers and its pkg-config file; not the lha tool.
logged "$log/lhasa-build.log" make -C "$dir/build/lhasa/lib" -j "$jobs"
logged "$log/lhasa-build.log" make -C "$dir/build/lhasa/lib" install
logged "$log/lhasa-build.log" make -C "$dir/build/lhasa" install-pkgconfigDATA
rm -f "$prefix/lib/liblhasa.la"
relocatable_pc "$prefix/lib/pkgconfig/liblhasa.pc"

printf 'libarchive %s\nlhasa %s\nxz-utils %s\nbzip2 %s\n' \
  "$archive_version" "$lhasa_version" "$xz_version" "$bzip2_version" >"$stamp"
echo "archive libraries installed in $prefix"
echo "use: PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig:$sysroot/lib/pkgconfig"
