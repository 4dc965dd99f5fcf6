#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the demo need.
# Idempotent: packages already present are left alone. Run as root.
# With --bench also what the benchmarks need: the peer tools, the maker of
# the large archive and the documentation packages whose HTML is the corpus.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev
  libsystemd-dev dbus-daemon
  python3 util-linux mount procps
  clang clang-format clang-tidy
  libarchive-dev liblhasa-dev zlib1g-dev
  libcurl4-openssl-dev libsimpleini-dev
  openssl ca-certificates
  libarchive-tools  # bsdtar writes the 7z archives of tests/fuzz_archives.py
)
if [ "${1:-}" = "--windows" ]; then
  # The cross compiler, GoogleTest's sources, and Wine (32-bit, hence the
  # i386 architecture) with an X server for the Windows windows.
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    if [ "$(id -u)" -ne 0 ]; then
      echo "the i386 architecture is missing for wine32; run this script as root" >&2
      exit 1
    fi
    dpkg --add-architecture i386
    apt-get update -qq
  fi
  # The locale ja_JP.UTF-8: Wine takes code page 932 from its name, and
  # writes Japanese file names only when the C library knows the locale.
  packages+=(g++-mingw-w64-i686 googletest wine wine32:i386 xvfb xauth locales)
  # A kernel without IA-32 emulation runs no 32-bit Wine; the Windows
  # backend is then tested as a 64-bit build under the 64-bit Wine.
  packages+=(g++-mingw-w64-x86-64 wine64)
  # libarchive and liblhasa for Windows come from Debian's source packages
  # (scripts/build-windows-archive-libs.sh), built against MinGW's zlib.
  packages+=(libz-mingw-w64-dev dpkg-dev autoconf automake libtool)
fi
if [ "${1:-}" = "--bench" ]; then
  packages+=(libbenchmark-dev libarchive-tools jlha-utils libxml2-dev libgumbo-dev
    libboost1.74-doc sqlite3-doc git-doc abs-guide python3.11-doc)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -ne 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "missing packages: ${missing[*]}; run this script as root" >&2
    exit 1
  fi
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

if [ "${1:-}" = "--windows" ] && ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf-\?8'; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "the locale ja_JP.UTF-8 is missing for Wine; run this script as root" >&2
    exit 1
  fi
  echo "generating the locale ja_JP.UTF-8"
  # Listed in locale.gen, so that a later locale-gen keeps it.
  if ! grep -qx 'ja_JP.UTF-8 UTF-8' /etc/locale.gen; then
    echo 'ja_JP.UTF-8 UTF-8' >>/etc/locale.gen
  fi
  locale-gen >/dev/null
fi
