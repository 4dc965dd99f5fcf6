#!/usr/bin/env python3
"""Writes the LZH fixtures that jlha cannot make.

jlha only writes well-formed archives with names taken from the file system,
so hostile names (traversal, absolute, backslash), a method jlha does not
write (-lh1-), one that no reader decodes (-lh3-) and deliberately broken
copies are produced here.  Standard library only; every output is a pure
function of the arguments.

    lzh_writer.py synthetic OUTDIR     traversal*.lzh, unsupported.lzh and
                                       unknown-method.lzh
    lzh_writer.py damage SRC DST       flip bytes in the first member's data
    lzh_writer.py truncate SRC DST     cut in the middle of the first member's data
    lzh_writer.py names ARCHIVE        print member names (CP932 decoded)
    lzh_writer.py pack ARCHIVE [NAME=]FILE...
                                       stored members, level 2, under NAME
                                       (default: the file's base name)
"""

import os
import struct
import sys
import time
from dataclasses import dataclass
from typing import Optional

# Members written here carry this OS id, as the Windows archivers do.
OS_MSDOS = ord("M")
ATTR_ARCHIVE = 0x20


def _crc16_table():
    table = []
    for byte in range(256):
        crc = byte
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
        table.append(crc)
    return table


CRC16_TABLE = _crc16_table()


def crc16(data: bytes, crc: int = 0) -> int:
    """CRC-16 as LZH uses it: reflected polynomial 0xA001, initial value 0."""
    table = CRC16_TABLE
    for byte in data:
        crc = (crc >> 8) ^ table[(crc ^ byte) & 0xFF]
    return crc


def dos_time(unix_time: int) -> int:
    """MS-DOS date/time of a UTC time (level 0/1 headers keep local time;
    the fixtures define local time as UTC)."""
    t = time.gmtime(unix_time)
    if t.tm_sec % 2:
        raise ValueError("MS-DOS time has a two-second resolution")
    date = ((t.tm_year - 1980) << 9) | (t.tm_mon << 5) | t.tm_mday
    clock = (t.tm_hour << 11) | (t.tm_min << 5) | (t.tm_sec // 2)
    return (date << 16) | clock


# ---------------------------------------------------------------------------
# -lh1-: LZSS with a 4 KiB window and an adaptive Huffman code for characters
# and lengths, fixed code for the upper six bits of the distance.  Encoding it
# for real (rather than labelling stored bytes) keeps the member decodable by
# the archivers that do support the method.

LH1_WINDOW = 4096
LH1_MIN_MATCH = 3
LH1_MAX_MATCH = 60
LH1_NCHAR = 256 + LH1_MAX_MATCH - LH1_MIN_MATCH + 1  # 314 symbols
LH1_T = 2 * LH1_NCHAR - 1  # size of the node table
LH1_ROOT = LH1_T - 1
LH1_MAX_FREQ = 0x8000

# Bit length of the code for distance >> 6; the codes are canonical.
_LH1_POS_LEN = [3] + [4] * 3 + [5] * 8 + [6] * 12 + [7] * 24 + [8] * 16


def _lh1_pos_codes():
    codes, code = [], 0
    for length in _LH1_POS_LEN:
        codes.append(code >> (8 - length))
        code += 1 << (8 - length)
    assert code == 256
    return codes


_LH1_POS_CODE = _lh1_pos_codes()


class _BitWriter:
    def __init__(self):
        self.out = bytearray()
        self.acc = 0
        self.bits = 0

    def put(self, length: int, value: int):
        for shift in range(length - 1, -1, -1):
            self.acc = (self.acc << 1) | ((value >> shift) & 1)
            self.bits += 1
            if self.bits == 8:
                self.out.append(self.acc)
                self.acc = 0
                self.bits = 0

    def finish(self) -> bytes:
        if self.bits:
            self.out.append(self.acc << (8 - self.bits))
            self.acc = 0
            self.bits = 0
        return bytes(self.out)


class _AdaptiveHuffman:
    """The adaptive code tree of -lh1-; encoder and decoder update it alike."""

    def __init__(self):
        t = LH1_T
        self.freq = [0] * (t + 1)
        self.son = [0] * t
        self.prnt = [0] * (t + LH1_NCHAR)
        for i in range(LH1_NCHAR):
            self.freq[i] = 1
            self.son[i] = i + t
            self.prnt[i + t] = i
        i, j = 0, LH1_NCHAR
        while j <= LH1_ROOT:
            self.freq[j] = self.freq[i] + self.freq[i + 1]
            self.son[j] = i
            self.prnt[i] = self.prnt[i + 1] = j
            i += 2
            j += 1
        self.freq[t] = 0xFFFF  # sentinel
        self.prnt[LH1_ROOT] = 0

    def code(self, symbol: int):
        """(length, bits) of a symbol's current code, first bit at the root."""
        bits, length = 0, 0
        k = self.prnt[symbol + LH1_T]
        while True:
            bits |= (k & 1) << length
            length += 1
            k = self.prnt[k]
            if k == LH1_ROOT:
                break
        return length, bits

    def _reconstruct(self):
        freq, son, prnt, t = self.freq, self.son, self.prnt, LH1_T
        j = 0
        for i in range(t):
            if son[i] >= t:
                freq[j] = (freq[i] + 1) // 2
                son[j] = son[i]
                j += 1
        i, j = 0, LH1_NCHAR
        while j < t:
            f = freq[i] + freq[i + 1]
            freq[j] = f
            k = j - 1
            while f < freq[k]:
                k -= 1
            k += 1
            freq[k + 1 : j + 1] = freq[k:j]
            freq[k] = f
            son[k + 1 : j + 1] = son[k:j]
            son[k] = i
            i += 2
            j += 1
        for i in range(t):
            k = son[i]
            if k >= t:
                prnt[k] = i
            else:
                prnt[k] = prnt[k + 1] = i

    def update(self, symbol: int):
        freq, son, prnt, t = self.freq, self.son, self.prnt, LH1_T
        if freq[LH1_ROOT] == LH1_MAX_FREQ:
            self._reconstruct()
        c = prnt[symbol + t]
        while True:
            freq[c] += 1
            k = freq[c]
            if k > freq[c + 1]:
                l = c + 1
                while k > freq[l + 1]:
                    l += 1
                freq[c] = freq[l]
                freq[l] = k
                i = son[c]
                prnt[i] = l
                if i < t:
                    prnt[i + 1] = l
                j = son[l]
                son[l] = i
                prnt[j] = c
                if j < t:
                    prnt[j + 1] = c
                son[c] = j
                c = l
            c = prnt[c]
            if c == 0:
                break


def lh1_compress(data: bytes) -> bytes:
    """Greedy LZSS parse, then the -lh1- bit stream."""
    tree = _AdaptiveHuffman()
    out = _BitWriter()
    last_seen = {}  # 3-byte prefix -> positions, newest last

    def emit(symbol):
        length, bits = tree.code(symbol)
        out.put(length, bits)
        tree.update(symbol)

    pos = 0
    while pos < len(data):
        best_len, best_dist = 0, 0
        key = data[pos : pos + LH1_MIN_MATCH]
        if len(key) == LH1_MIN_MATCH:
            for cand in reversed(last_seen.get(key, ())):
                dist = pos - cand
                if dist > LH1_WINDOW - LH1_MAX_MATCH:
                    break
                n = 0
                while n < LH1_MAX_MATCH and pos + n < len(data) and data[cand + n] == data[pos + n]:
                    n += 1
                if n > best_len:
                    best_len, best_dist = n, dist
                    if n == LH1_MAX_MATCH:
                        break
        step = best_len if best_len >= LH1_MIN_MATCH else 1
        if step == 1:
            emit(data[pos])
        else:
            emit(256 + best_len - LH1_MIN_MATCH)
            p = best_dist - 1
            out.put(_LH1_POS_LEN[p >> 6], _LH1_POS_CODE[p >> 6])
            out.put(6, p & 0x3F)
        for q in range(pos, pos + step):
            k = data[q : q + LH1_MIN_MATCH]
            if len(k) == LH1_MIN_MATCH:
                last_seen.setdefault(k, []).append(q)
        pos += step
    return out.finish()


# ---------------------------------------------------------------------------
# Headers


@dataclass
class Member:
    name: bytes  # file name field (level 0/1: may hold the whole path)
    data: bytes  # original contents
    mtime: int  # UTC seconds since the epoch
    level: int = 2
    method: bytes = b"-lh0-"
    dirname: Optional[bytes] = None  # level 1/2 directory header, 0xFF separated
    os_id: int = OS_MSDOS

    def packed(self) -> bytes:
        if self.method == b"-lh0-":
            return self.data
        if self.method == b"-lh1-":
            return lh1_compress(self.data)
        if self.method == b"-lh3-":
            # No reader decodes -lh3-: its bytes are never looked at.
            return self.data
        raise ValueError("cannot compress with %r" % self.method)


def _ext(kind: int, payload: bytes) -> bytes:
    """An extended header without its trailing next-size field."""
    return bytes([kind]) + payload


def _chain(exts) -> bytes:
    """Extended headers, each preceded by its size (the size counts the
    type byte, the payload and the following size field)."""
    out = bytearray()
    for e in exts:
        out += struct.pack("<H", len(e) + 2) + e
    out += b"\0\0"
    return bytes(out)


def header(m: Member, packed_len: int) -> bytes:
    crc = crc16(m.data)
    if m.level == 0:
        body = (
            m.method
            + struct.pack("<IIIBBB", packed_len, len(m.data), dos_time(m.mtime), ATTR_ARCHIVE, 0, len(m.name))
            + m.name
            + struct.pack("<H", crc)
        )
        if len(body) > 255:
            raise ValueError("level 0 header too long")
        return bytes([len(body), sum(body) & 0xFF]) + body
    if m.level == 1:
        exts = [_ext(0x02, m.dirname)] if m.dirname is not None else []
        chain = _chain(exts)
        # The base header ends with the first size field; the rest of the
        # chain counts as packed data.
        first, rest = chain[:2], chain[2:]
        body = (
            m.method
            + struct.pack(
                "<IIIBBB", packed_len + len(rest), len(m.data), dos_time(m.mtime), ATTR_ARCHIVE, 1, len(m.name)
            )
            + m.name
            + struct.pack("<HB", crc, m.os_id)
            + first
        )
        if len(body) > 255:
            raise ValueError("level 1 header too long")
        return bytes([len(body), sum(body) & 0xFF]) + body + rest
    if m.level == 2:
        exts = [_ext(0x00, b"\0\0"), _ext(0x01, m.name)]
        if m.dirname is not None:
            exts.append(_ext(0x02, m.dirname))
        chain = _chain(exts)
        base = m.method + struct.pack("<IIIBBHB", packed_len, len(m.data), m.mtime, ATTR_ARCHIVE, 2, crc, m.os_id)
        size = 2 + len(base) + len(chain)
        pad = b""
        if size & 0xFF == 0:
            # A first byte of 0 reads as the end of the archive.
            pad = b"\0"
            size += 1
        raw = bytearray(struct.pack("<H", size) + base + chain + pad)
        # The header CRC (first extended header) covers the whole header
        # with its own field zeroed.
        crc_at = 2 + len(base) + 2 + 1
        raw[crc_at : crc_at + 2] = struct.pack("<H", crc16(bytes(raw)))
        return bytes(raw)
    raise ValueError("no header level %d" % m.level)


def archive(members) -> bytes:
    out = bytearray()
    for m in members:
        packed = m.packed()
        out += header(m, len(packed)) + packed
    out += b"\0"  # end of archive
    return bytes(out)


# ---------------------------------------------------------------------------
# Fixtures

T_GOOD = 1704164646  # 2024-01-02 03:04:06 UTC
T_EVIL = 1704164648  # 2024-01-02 03:04:08 UTC

GOOD = b"good member\n"
EVIL = b"must not be written outside the target\n"


def lh1_text() -> bytes:
    """About 3 KB of text with repeats, so -lh1- has matches to encode."""
    lines = [b"old method line %03d: compressed with the adaptive Huffman code\n" % i for i in range(48)]
    return b"".join(lines)


def traversal(level: int):
    """../evil.txt, /abs/evil.txt, ..\\evil2.txt and good.txt.

    Level 2 keeps directories in their own header with 0xFF separators, as
    archivers split paths there; level 0 keeps the whole path in the name.
    In both, the backslash name is one literal name byte sequence."""
    if level == 2:
        dotdot = dict(name=b"evil.txt", dirname=b"..\xff")
        absolute = dict(name=b"evil.txt", dirname=b"\xffabs\xff")
    else:
        dotdot = dict(name=b"../evil.txt")
        absolute = dict(name=b"/abs/evil.txt")
    return [
        Member(data=EVIL, mtime=T_EVIL, level=level, **dotdot),
        Member(data=EVIL, mtime=T_EVIL, level=level, **absolute),
        Member(name=b"..\\evil2.txt", data=EVIL, mtime=T_EVIL, level=level),
        Member(name=b"good.txt", data=GOOD, mtime=T_GOOD, level=level),
    ]


def unsupported():
    return [
        Member(name=b"good.txt", data=GOOD, mtime=T_GOOD),
        Member(name=b"old.txt", data=lh1_text(), mtime=T_GOOD, method=b"-lh1-"),
        Member(name=b"after.txt", data=b"member after the -lh1- one\n", mtime=T_GOOD),
    ]


def unknown_method():
    return [
        Member(name=b"good.txt", data=GOOD, mtime=T_GOOD),
        Member(name=b"new.txt", data=b"a method that nobody decodes\n", mtime=T_GOOD, method=b"-lh3-"),
        Member(name=b"after.txt", data=b"member after the -lh3- one\n", mtime=T_GOOD),
    ]


def read_members(raw: bytes):
    """Parses an archive's headers: a list of dicts with level, method, name
    (directory and name joined with '/', as bytes), size, packed data offset
    and length.  Stops at the end marker or at the end of the input."""
    members, off = [], 0
    while off < len(raw) and raw[off] != 0:
        level = raw[off + 20]
        method = raw[off + 2 : off + 7]
        packed, size = struct.unpack_from("<II", raw, off + 7)
        name, dirname = b"", b""
        if level in (0, 1):
            hsize = raw[off] + 2
            n = raw[off + 21]
            name = raw[off + 22 : off + 22 + n]
            ext_at, nxt = off + hsize, 0
            if level == 1:
                nxt = struct.unpack_from("<H", raw, off + hsize - 2)[0]
        elif level == 2:
            hsize = struct.unpack_from("<H", raw, off)[0]
            ext_at = off + 26
            nxt = struct.unpack_from("<H", raw, off + 24)[0]
        else:
            raise ValueError("unknown header level %d at %d" % (level, off))
        end = ext_at
        while nxt:
            ext = raw[end : end + nxt]
            if ext[0] == 0x01:
                name = ext[1:-2]
            elif ext[0] == 0x02:
                dirname = ext[1:-2].replace(b"\xff", b"/")
            end += nxt
            nxt = struct.unpack_from("<H", ext, len(ext) - 2)[0]
        if level == 1:
            packed -= end - ext_at  # level 1 counts extended headers as data
        data_at = end if level == 1 else off + hsize
        members.append(
            dict(level=level, method=method, name=dirname + name, size=size, data_at=data_at, packed=packed)
        )
        off = data_at + packed
    return members


def main(argv):
    if len(argv) == 3 and argv[1] == "synthetic":
        outdir = argv[2]
        for name, members in (
            ("traversal.lzh", traversal(2)),
            ("traversal-level0.lzh", traversal(0)),
            ("unsupported.lzh", unsupported()),
            ("unknown-method.lzh", unknown_method()),
        ):
            with open("%s/%s" % (outdir, name), "wb") as f:
                f.write(archive(members))
        return 0
    if len(argv) == 4 and argv[1] in ("damage", "truncate"):
        raw = bytearray(open(argv[2], "rb").read())
        first = read_members(bytes(raw))[0]
        mid = first["data_at"] + first["packed"] // 2
        if argv[1] == "damage":
            for i in range(mid, mid + 8):
                raw[i] ^= 0xFF
        else:
            del raw[mid:]
        with open(argv[3], "wb") as f:
            f.write(raw)
        return 0
    if len(argv) >= 4 and argv[1] == "pack":
        # Archives of real files for end-to-end runs and the demo: stored
        # members keep this writer simple and every reader able to read them.
        members = []
        for spec in argv[3:]:
            name, _, path = spec.rpartition("=")
            path = path or spec
            name = name or os.path.basename(path)
            stat = os.stat(path)
            with open(path, "rb") as f:
                data = f.read()
            directory, _, base = name.rpartition("/")
            members.append(Member(name=base.encode("cp932"), data=data, mtime=int(stat.st_mtime),
                                  dirname=directory.encode("cp932") + b"\xff" if directory else None))
        with open(argv[2], "wb") as f:
            f.write(archive(members))
        return 0
    if len(argv) == 3 and argv[1] == "names":
        # Names as the file system spells them, for checking jlha's work.
        for m in read_members(open(argv[2], "rb").read()):
            slash = "/" if m["method"] == b"-lhd-" and not m["name"].endswith(b"/") else ""
            print(m["name"].decode("cp932") + slash)
        return 0
    sys.stderr.write(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
