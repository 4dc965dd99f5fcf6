#!/usr/bin/env bash
# Packs an already built Windows program for its users:
#   package-windows.sh [BUILD_DIR] [OUT_DIR]   (default build-win, and BUILD_DIR)
# makes OUT_DIR/ZElUpd-<version>-win32.zip: one folder ZElUpd-<version>-win32/
# holding ZElUpd.exe, the archiver DLLs and two read-me files, Japanese
# (Shift_JIS) and English, both with CRLF line ends. Builds nothing; the
# version is the project's, from the top CMakeLists.txt. The programs go in
# without the build's debugging information (STRIP names the tool). A 64-bit
# build (ZEL_WINDOWS_HOST=x86_64-w64-mingw32) makes ZElUpd-<version>-win64.zip.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$here/build-win"}
out=${2:-"$build"}

# The DLLs, and what each reads, as both read-me files tell it:
# file | English | Japanese. Correct the formats here and nowhere else.
dll_table='UNLHA32.DLL | LZH (.lzh), methods -lh0-, -lh1-, -lh4-, -lh5-, -lh6-, -lh7-, -lhd-, -lz4-, -lz5-, -lzs-, -pm0-, -pm1-, -pm2- | LZH (.lzh)、圧縮方式 -lh0-, -lh1-, -lh4-, -lh5-, -lh6-, -lh7-, -lhd-, -lz4-, -lz5-, -lzs-, -pm0-, -pm1-, -pm2-
UNZIP32.DLL | ZIP (.zip), stored, deflate, bzip2, LZMA, XZ and PPMd members | ZIP (.zip)、無圧縮・deflate・bzip2・LZMA・XZ・PPMd のメンバ
ZIP32J.DLL | ZIP, the packing side (the update reads ZIP through UNZIP32.DLL) | ZIP の作成側 (更新での ZIP の読み出しは UNZIP32.DLL)
CAB32.DLL | CAB (.cab) | CAB (.cab)
TAR32.DLL | TAR (.tar), plain or compressed with gzip, bzip2, xz, lzma or compress (.tgz, .tar.gz, .bz2, ...) | TAR (.tar)、無圧縮または gzip・bzip2・xz・lzma・compress で圧縮したもの (.tgz, .tar.gz, .bz2 など)
UNRAR32.DLL | RAR 4 and RAR 5 (.rar), reading only | RAR 4 と RAR 5 (.rar)、読み出しのみ
7-zip32.dll | 7-Zip (.7z), LZMA, LZMA2, bzip2, deflate and PPMd | 7-Zip (.7z)、LZMA・LZMA2・bzip2・deflate・PPMd'

fail() {
  echo "package-windows.sh: $*" >&2
  exit 1
}

[ -d "$build" ] || fail "no build directory $build (build it with scripts/build-windows.sh)"
build=$(cd "$build" && pwd)
version=$(sed -n 's/^project(ZelUpd VERSION \([0-9][0-9.]*\)[ )].*/\1/p' "$here/CMakeLists.txt")
[ -n "$version" ] || fail "no 'project(ZelUpd VERSION x.y' in $here/CMakeLists.txt"

mapfile -t programs < <(echo ZElUpd.exe && printf '%s\n' "$dll_table" | cut -d '|' -f 1 | tr -d ' ')
missing=()
for file in "${programs[@]}"; do
  [ -f "$build/bin/$file" ] || missing+=("$build/bin/$file")
done
if [ ${#missing[@]} -gt 0 ]; then
  printf 'package-windows.sh: missing from the build: %s\n' "${missing[@]}" >&2
  fail "build the Windows program and its archiver DLLs first (scripts/build-windows.sh $build)"
fi

host=${ZEL_WINDOWS_HOST:-i686-w64-mingw32}
case $host in
  i686-*) bits=32 ;;
  x86_64-*) bits=64 ;;
  *) fail "ZEL_WINDOWS_HOST=$host is neither i686-w64-mingw32 nor x86_64-w64-mingw32" ;;
esac
strip=${STRIP:-$host-strip}
command -v "$strip" >/dev/null || fail "no $strip (the MinGW binutils; or name one in STRIP)"

mkdir -p "$out"
zip="$(cd "$out" && pwd)/ZElUpd-$version-win$bits.zip"
stage=$(mktemp -d "${TMPDIR:-/tmp}/zel-package.XXXXXX")
trap 'rm -rf "$stage"' EXIT
for file in "${programs[@]}"; do
  "$strip" --strip-unneeded -o "$stage/$file" "$build/bin/$file"
  touch -r "$build/bin/$file" "$stage/$file"
done

python3 - "$stage" "$zip" "$version" "$dll_table" "$bits" <<'EOF'
import os
import sys
import time
import unicodedata
import zipfile

stage, zip_path, version, dll_table, bits = sys.argv[1:]
folder = "ZElUpd-%s-win%s/" % (version, bits)
dlls = [[field.strip() for field in line.split("|")] for line in dll_table.splitlines()]
width = max(len(name) for name, _, _ in dlls) + 2

ENGLISH = """\
ZElUpd {version} for Windows ({bits}-bit)

ZElUpd is a console tool that updates an installation of the ZEL file
manager (ZEL.EXE). Given a folder of new files, an LZH archive (or the
greatest-named of the archives a wildcard matches), or the address of the
download page, it closes the running file manager through its window and
its exit confirmation, waits until ZEL.EXE can be written, copies the new
files over the installation and starts the file manager again.


Files

  ZElUpd.exe      the tool; it needs nothing but Windows
  *.DLL, *.dll    the archiver libraries (below)
  README-ja.txt   this text in Japanese


Where to put it

Copy the whole folder where you like, or its files beside ZEL.EXE. The DLLs
must stay in the same folder as ZElUpd.exe: that is where it looks for them
(the folders of the environment variable ZELUPD_LIBRARY_PATH, separated by
";", are searched first). ZElUpd.exe's folder is the default installation
to update, the default download folder and where the last-download record
downver.inf is kept, so it must be writable.


How to run it

  ZElUpd.exe NewZelPath [DestZelPath] [/DOWNPATH DownPathName] [/DELETE]

DestZelPath is the installation to update; without it, ZElUpd.exe's own
folder. Options are recognised anywhere and in any letter case. Without
arguments the tool prints its usage. NewZelPath is one of three kinds:

A folder of new files (the name ends with "\\" or "."):
  ZElUpd.exe C:\\Temp\\zel-new\\ C:\\Tools\\ZEL
  Its files and subfolders are copied over the installation. /DELETE
  removes the folder afterwards.

An archive, or a wildcard that picks the greatest-named matching file:
  ZElUpd.exe C:\\Temp\\zel*.lzh C:\\Tools\\ZEL
  The archive is unpacked into a fresh work folder in the temporary folder
  and installed from there. Its format is chosen by its extension (.lzh,
  .zip, .cab, .tar, .tgz, .bz2, .rar, .7z, ...; .exe by its content).
  /DELETE has no effect.

The download page (an address with http:// or https://):
  ZElUpd.exe http://www.example.com/zel/download.htm C:\\Tools\\ZEL
  The archive the page links is downloaded beside ZElUpd.exe (or into the
  /DOWNPATH folder) and installed as above; /DELETE deletes it afterwards.
  Its name is recorded in downver.inf: when the page still links the
  archive installed last time, the run ends with the message
  "更新されていないようです" (no new version).

An archive is checked whole before anything is installed, and the file
manager is left running when it cannot be read. Every failure is printed
once in the console, shown in a message box titled "Error", and ends the
run with exit code 1. When anything fails after the installation was
changed, every replaced file is put back.


The archiver DLLs

{dll_lines}


Licences

The DLLs contain libarchive, liblhasa, zlib, liblzma (xz) and libbz2, all
under permissive licences; see the licences of these libraries.
"""

JAPANESE = """\
ZElUpd {version} Windows 版 ({bits} ビット)

ZElUpd は、ファイラ ZEL (ZEL.EXE) のインストール先を新しい版に更新する
コンソール プログラムです。新しいファイルのあるフォルダ、LZH 書庫 (ワイルド
カードなら、当てはまる書庫のうち名前の一番大きいもの)、または配布ページの
アドレスを指定すると、動いている ZEL をそのウィンドウと終了確認を通して閉じ、
ZEL.EXE に書き込めるようになるまで待ってから、新しいファイルをインストール先に
上書きコピーし、ZEL を起動し直します。


ファイル

  ZElUpd.exe      本体。Windows のほかには何も要りません
  *.DLL, *.dll    書庫ライブラリ (下記)
  README-en.txt   この説明の英語版


置き場所

フォルダごと好きな場所にコピーするか、中のファイルを ZEL.EXE と同じフォルダに
置いてください。DLL は必ず ZElUpd.exe と同じフォルダに置いてください。
ZElUpd.exe はそこで DLL を探します (環境変数 ZELUPD_LIBRARY_PATH に ";" で
区切ったフォルダがあれば、先にそこを探します)。ZElUpd.exe のあるフォルダは、
インストール先の既定値、ダウンロード先の既定値、前回ダウンロードした書庫の
記録 downver.inf の置き場所なので、書き込めるところに置いてください。


使い方

  ZElUpd.exe NewZelPath [DestZelPath] [/DOWNPATH DownPathName] [/DELETE]

DestZelPath は更新するインストール先です。省略すると ZElUpd.exe のある
フォルダです。オプションはどこに書いてもよく、大文字小文字は区別しません。
引数なしで起動すると使い方を表示します。NewZelPath には次の三種類があります。

新しいファイルのあるフォルダ (名前の最後が "\\" か "."):
  ZElUpd.exe C:\\Temp\\zel-new\\ C:\\Tools\\ZEL
  フォルダの中のファイルとサブフォルダをインストール先に上書きコピーします。
  /DELETE を付けると、終わった後でそのフォルダを削除します。

書庫、またはワイルドカード (当てはまるファイルのうち名前の一番大きいもの):
  ZElUpd.exe C:\\Temp\\zel*.lzh C:\\Tools\\ZEL
  テンポラリ フォルダに作った作業フォルダに書庫を展開し、そこからインストール
  します。書庫の形式は拡張子で決まります (.lzh, .zip, .cab, .tar, .tgz, .bz2,
  .rar, .7z など。.exe は中身で判断します)。/DELETE は無視されます。

配布ページ (http:// または https:// で始まるアドレス):
  ZElUpd.exe http://www.example.com/zel/download.htm C:\\Tools\\ZEL
  ページがリンクしている書庫を ZElUpd.exe のあるフォルダ (/DOWNPATH があれば
  そのフォルダ) にダウンロードし、書庫と同じようにインストールします。/DELETE
  を付けると、終わった後で書庫を削除します。書庫の名前は downver.inf に記録
  され、ページが前回と同じ書庫を指しているときは「更新されていないようです」と
  表示して終わります。

書庫は、インストールを始める前に全体を検査します。読めない書庫のときは、
ZEL は閉じられずに動き続けます。失敗は、コンソールに一度表示され、"Error" と
いう題のメッセージ ボックスにも一度表示され、終了コード 1 で終わります。
インストール先を変え始めてから失敗したときは、置き換えたファイルをすべて
元に戻します。


書庫 DLL

{dll_lines}


ライセンス

DLL には libarchive, liblhasa, zlib, liblzma (xz), libbz2 が組み込まれています。
どれも制限の緩いライセンスです。これらのライブラリのライセンスを
ご覧ください。
"""


def columns(text):
    return sum(2 if unicodedata.east_asian_width(c) in "WF" else 1 for c in text)


def dll_lines(column, limit=78):
    """One entry a DLL, its text wrapped at blanks under its first line."""
    lines = []
    for row in dlls:
        line = "  %-*s" % (width, row[0])
        indent = " " * len(line)
        start = True
        for word in row[column].split(" "):
            if not start and columns(line) + 1 + columns(word) > limit:
                lines.append(line)
                line, start = indent, True
            line += ("" if start else " ") + word
            start = False
        lines.append(line)
    return "\n".join(lines)


def windows_text(text, encoding):
    # Notepad of the time wants CRLF; an unencodable character is an error here.
    return text.replace("\n", "\r\n").encode(encoding)


stamp = time.localtime(os.stat(os.path.join(stage, "ZElUpd.exe")).st_mtime)[:6]
# The English text quotes a message of the tool, so both are in CP932.
texts = {
    "README-ja.txt": windows_text(JAPANESE.format(version=version, bits=bits, dll_lines=dll_lines(2)),
                                  "cp932"),
    "README-en.txt": windows_text(ENGLISH.format(version=version, bits=bits, dll_lines=dll_lines(1)),
                                  "cp932"),
}
# Written aside and moved into place: a failed run leaves no half archive.
partial = zip_path + ".part"
try:
    with zipfile.ZipFile(partial, "w", compression=zipfile.ZIP_DEFLATED) as archive:
        top = zipfile.ZipInfo(folder, stamp)
        top.external_attr = (0o40755 << 16) | 0x10  # a folder, for Unix and DOS readers
        archive.writestr(top, b"")
        for name in ["ZElUpd.exe"] + [row[0] for row in dlls]:
            archive.write(os.path.join(stage, name), folder + name)
        for name, data in texts.items():
            info = zipfile.ZipInfo(folder + name, stamp)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.external_attr = 0o644 << 16
            archive.writestr(info, data)
    os.replace(partial, zip_path)
finally:
    if os.path.exists(partial):
        os.remove(partial)
EOF
echo "$zip"
