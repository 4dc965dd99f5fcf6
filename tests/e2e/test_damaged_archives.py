"""End-to-end tests of archives that must not be installed: damaged,
truncated, refused, empty, holding links, or too large for the work
directory's file system. Each is reported with the archive's name (and the
library's code), nothing is installed, the running file manager is never
asked to close and the work directory is gone. The real tool, the real
archiver libraries, the stand-in on a real session bus; the archives are
made here (LZH with tests/data/lzh_writer.py, the others with Python's
zipfile, tarfile and gzip)."""

import argparse
import gzip
import io
import os
import random
import re
import shutil
import struct
import subprocess
import sys
import tarfile
import tempfile
import time
import unittest
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "data"))
import harness  # noqa: E402
import lzh_writer  # noqa: E402
import webserve  # noqa: E402
from harness import Installation, message_box_lines, pid_alive, wait_for  # noqa: E402
from test_safe_install import mount, snapshot  # noqa: E402
from webserve import describe, tool_env  # noqa: E402

MTIME = 1704164646  # even: level 0 headers keep two-second times
# What a release holds: text, binary bytes that do not compress, a subfolder.
RELEASE = {
    "readme.txt": b"ZEL version 2\n" * 40,
    "plugins/a.dll": random.Random(2).randbytes(6000),
    "data/table.dat": b"".join(b"row %05d\n" % i for i in range(800)),
}
MiB = 1024 * 1024

# The interface's codes and what the tool says they mean.
MEANING = {
    0x8005: "ディスクの空き容量が足りません",
    0x8008: "種類のわからないファイルがあります",
    0x800C: "ファイルの CRC が合いません",
    0x8013: "書き込めません",
    0x8014: "圧縮データが壊れています",
    0x8016: "ヘッダの CRC が合いません",
    0x8017: "ヘッダが壊れています",
    0x8019: "書庫ではありません",
    0x801A: "読み出せません",
}
CRC = {0x800C}
HEADER = {0x8016, 0x8017}
# A stream that does not check out at its end: a CRC or a data error.
STREAM = {0x800C, 0x8014}
# Bytes missing at the end: any code that says the archive's bytes are bad.
MISSING = {0x800C, 0x8014, 0x8017, 0x8019, 0x801A}


def lzh(files, level=2):
    """Stored members; level 2 keeps folders in their own header, level 0
    in the name with DOS separators."""
    members = []
    for rel, data in files.items():
        folder, _, base = rel.rpartition("/")
        if level == 2:
            members.append(lzh_writer.Member(
                name=base.encode(), data=data, mtime=MTIME,
                dirname=folder.encode() + b"\xff" if folder else None))
        else:
            members.append(lzh_writer.Member(name=rel.replace("/", "\\").encode(), data=data,
                                             mtime=MTIME, level=level))
    return lzh_writer.archive(members)


def lzh_members(raw):
    """Each member's header offset, data offset and packed length."""
    members, at = [], 0
    for m in lzh_writer.read_members(raw):
        members.append((at, m["data_at"], m["packed"]))
        at = m["data_at"] + m["packed"]
    return members


def tar_info(name, data=b"", kind=tarfile.REGTYPE, link=""):
    info = tarfile.TarInfo(name)
    info.size, info.type, info.linkname = len(data), kind, link
    info.mtime, info.mode = MTIME, 0o644
    return info, io.BytesIO(data) if kind == tarfile.REGTYPE else None


def tar(files, extra=()):
    out = io.BytesIO()
    with tarfile.open(fileobj=out, mode="w", format=tarfile.USTAR_FORMAT) as archive:
        for rel, data in files.items():
            archive.addfile(*tar_info(rel, data))
        for member in extra:
            archive.addfile(*member)
    return out.getvalue()


def tgz(files, level=9):
    return gzip.compress(tar(files), compresslevel=level, mtime=0)


def zip_of(files, links=()):
    """A ZIP archive of `files` (stored) and of symbolic links (name, target)
    as Unix zip writes them: the target as the data, the mode in the
    external attributes."""
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", compression=zipfile.ZIP_STORED) as archive:
        for rel, data in files.items():
            archive.writestr(zipfile.ZipInfo(rel, time.gmtime(MTIME)[:6]), data)
        for name, target in links:
            info = zipfile.ZipInfo(name, time.gmtime(MTIME)[:6])
            info.create_system = 3
            info.external_attr = 0o120777 << 16
            archive.writestr(info, target)
    return out.getvalue()


def zip_data_at(raw, name):
    """Where a stored member's bytes begin."""
    info = zipfile.ZipFile(io.BytesIO(raw)).getinfo(name)
    name_len, extra_len = struct.unpack_from("<HH", raw, info.header_offset + 26)
    return info.header_offset + 30 + name_len + extra_len


def file_contents(root):
    """The bytes of every file under `root` by relative name, but the
    stand-in's log."""
    found = {}
    for folder, _, names in os.walk(root):
        for name in names:
            rel = os.path.relpath(os.path.join(folder, name), root)
            if rel != harness.STANDIN_LOG:
                with open(os.path.join(folder, name), "rb") as f:
                    found[rel] = f.read()
    return found


def flipped(raw, at, mask=0x01):
    data = bytearray(raw)
    data[at] ^= mask
    return bytes(data)


class DamagedArchiveTest(unittest.TestCase):
    """An installation with the file manager running, a download directory
    and a private temporary directory per test."""

    def setUp(self):
        self.inst = Installation()
        self.addCleanup(self.inst.cleanup)
        self.inst.install_old()
        self.inst.start()
        self.downloads = os.path.join(self.inst.root, "dl")
        os.mkdir(self.downloads)
        self.temp = tempfile.mkdtemp(prefix="zel-e2e-tmp-")
        self.addCleanup(shutil.rmtree, self.temp, True)

    def write(self, name, data):
        path = os.path.join(self.downloads, name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def run_update(self, archive, temp=None):
        return subprocess.run([harness.Programs.zelupd, archive, self.inst.dest],
                              env=tool_env(TMPDIR=temp or self.temp), stdin=subprocess.DEVNULL,
                              capture_output=True, timeout=60)

    def assertNotInstalled(self, name, data, expected, temp=None):
        """Runs the update from `data` saved as `name`: the run ends with one
        message about the archive (`expected`: a set of codes, or None for
        the archive that yields nothing), the installation is as it was, the
        file manager still runs and was never asked to close, the work
        directory is gone."""
        temp = temp or self.temp
        archive = self.write(name, data)
        before = snapshot(self.inst.dest)
        closes = self.inst.log_lines().count("message close")
        result = self.run_update(archive, temp)
        left = os.listdir(temp)
        for entry in left:
            # Cleared at once, so that the next case starts from nothing.
            shutil.rmtree(os.path.join(temp, entry), ignore_errors=True)
        self.assertEqual(result.returncode, 1, describe(result))
        lines = result.stdout.decode("utf-8").splitlines()
        self.assertEqual(len(lines), 1, describe(result))
        if expected is None:
            self.assertEqual(lines[0], "書庫[%s]からは何も展開されませんでした" % archive)
        else:
            match = re.fullmatch(re.escape("書庫[%s]を展開できませんでした (コード 0x" % archive)
                                 + r"([0-9A-F]{4}): (.*)\)", lines[0])
            self.assertIsNotNone(match, describe(result))
            code = int(match[1], 16)
            self.assertIn(code, expected, describe(result))
            self.assertEqual(match[2], MEANING[code])
        self.assertEqual(message_box_lines(result.stderr), ["[Error] " + lines[0]],
                         describe(result))
        self.assertEqual(snapshot(self.inst.dest), before, "the installation changed")
        self.assertEqual(self.inst.log_lines().count("message close"), closes,
                         "the file manager was asked to close")
        self.assertTrue(pid_alive(self.inst.started_pids()[-1]), "the file manager ended")
        self.assertEqual(left, [], "left in the temporary directory")

    def test_the_undamaged_archives_install(self):
        # The archives that the cases below damage, whole: what fails there
        # fails for the damage alone.
        cases = [
            ("LZH level 2", "zel20.lzh", lzh(RELEASE)),
            ("LZH level 0", "zel20.lzh", lzh(RELEASE, level=0)),
            ("ZIP", "zel20.zip", zip_of(RELEASE)),
            ("TAR", "zel20.tar", tar(RELEASE)),
            (".tgz", "zel20.tgz", tgz(RELEASE)),
            (".tgz of stored blocks", "zel20.tgz", tgz(RELEASE, level=0)),
        ]
        old = file_contents(self.inst.dest)
        for label, name, data in cases:
            with self.subTest(label):
                ready = self.inst.log_lines().count("ready")
                result = self.run_update(self.write(name, data))
                self.assertEqual(result.returncode, 0, describe(result))
                self.assertEqual(file_contents(self.inst.dest), {**old, **RELEASE})
                self.assertEqual(os.listdir(self.temp), [])
                wait_for(lambda: self.inst.log_lines().count("ready") > ready, 10,
                         "the file manager to start again")
                for top in ("plugins", "data"):
                    shutil.rmtree(os.path.join(self.inst.dest, top))
                os.remove(os.path.join(self.inst.dest, "readme.txt"))

    def test_a_member_whose_crc_does_not_match(self):
        raw_lzh = lzh(RELEASE)
        _, data_at, packed = lzh_members(raw_lzh)[1]
        raw_zip = zip_of(RELEASE)
        # Stored bytes: they read back whole, only the CRC tells.
        cases = [
            ("LZH", "zel20.lzh", flipped(raw_lzh, data_at + packed // 2)),
            ("ZIP", "zel20.zip", flipped(raw_zip, zip_data_at(raw_zip, "plugins/a.dll") + 3000)),
        ]
        for label, name, data in cases:
            with self.subTest(label):
                self.assertNotInstalled(name, data, CRC)

    def test_a_truncated_archive(self):
        raw_lzh = lzh(RELEASE)
        members = lzh_members(raw_lzh)
        _, last_data, last_packed = members[-1]
        raw_tgz = tgz(RELEASE)
        cases = [
            ("LZH cut in the last member's data", "zel20.lzh",
             raw_lzh[:last_data + last_packed // 2]),
            ("LZH cut in the second header", "zel20.lzh", raw_lzh[:members[1][0] + 12]),
            (".tgz cut in half", "zel20.tgz", raw_tgz[:len(raw_tgz) // 2]),
        ]
        for label, name, data in cases:
            with self.subTest(label):
                self.assertNotInstalled(name, data, MISSING)

    def test_a_broken_header(self):
        # The second member's name changed: only the header's check tells.
        raw0 = lzh(RELEASE, level=0)
        raw2 = lzh(RELEASE, level=2)
        raw_tar = tar(RELEASE)
        second_tar = 512 + -(-len(RELEASE["readme.txt"]) // 512) * 512
        cases = [
            ("LZH level 0, checksum", "zel20.lzh", flipped(raw0, lzh_members(raw0)[1][0] + 23)),
            ("LZH level 2, header CRC", "zel20.lzh",
             flipped(raw2, lzh_members(raw2)[1][1] - 4)),
            ("TAR, checksum", "zel20.tar", flipped(raw_tar, second_tar + 3)),
        ]
        for label, name, data in cases:
            with self.subTest(label):
                self.assertNotInstalled(name, data, HEADER)

    def test_a_bit_flipped_tgz(self):
        # Stored deflate blocks: the tar inside stays readable, so only the
        # gzip trailer can tell.
        raw = tgz(RELEASE, level=0)
        cases = [
            ("a byte of a member", flipped(raw, raw.index(b"row 00400"), 0x10)),
            ("the CRC of the trailer", flipped(raw, len(raw) - 8)),
            ("the length of the trailer", flipped(raw, len(raw) - 4)),
        ]
        for label, data in cases:
            with self.subTest(label):
                self.assertNotInstalled("zel20.tgz", data, STREAM)

    def test_a_full_work_directory_file_system(self):
        volume = os.path.join(self.inst.root, "small-tmp")
        os.mkdir(volume)
        mount(self, volume, "-t", "tmpfs", "-o", "size=%d" % MiB, "tmpfs")
        rng = random.Random(3)
        big = {"data/part%d.dat" % i: rng.randbytes(MiB) for i in range(3)}
        cases = [
            ("LZH", "zel20.lzh", lzh({**RELEASE, **big})),
            # A few kilobytes that unpack to four megabytes.
            (".tgz", "zel20.tgz", tgz({**RELEASE, "data/zeros.dat": bytes(4 * MiB)})),
        ]
        for label, name, data in cases:
            with self.subTest(label):
                self.assertNotInstalled(name, data, {0x8005}, temp=volume)

    def test_a_member_the_library_refuses(self):
        cases = [
            ("a name that leads out", tar(RELEASE, [tar_info("../evil.txt", b"evil\n")]),
             {0x8013}),
            ("a device node", tar(RELEASE, [tar_info("null", kind=tarfile.CHRTYPE)]), {0x8008}),
        ]
        for label, data, codes in cases:
            with self.subTest(label):
                self.assertNotInstalled("zel20.tar", data, codes)

    def test_an_archive_that_yields_nothing(self):
        folder = lzh_writer.Member(name=b"", data=b"", mtime=MTIME, method=b"-lhd-",
                                   dirname=b"plugins\xff")
        cases = [
            ("TAR without members", "zel20.tar", tar({})),
            ("LZH of a folder", "zel20.lzh", lzh_writer.header(folder, 0) + b"\0"),
            ("ZIP of a folder", "zel20.zip", zip_of({"plugins/": b""})),
        ]
        for label, name, data in cases:
            with self.subTest(label):
                self.assertNotInstalled(name, data, None)

    def test_a_link_member(self):
        # Links to a file of the release itself, which would be harmless to follow.
        cases = [
            ("symbolic link in a TAR", "zel20.tar",
             tar(RELEASE, [tar_info("plugins/b.dll", kind=tarfile.SYMTYPE, link="a.dll")])),
            ("hard link in a TAR", "zel20.tar",
             tar(RELEASE, [tar_info("plugins/b.dll", kind=tarfile.LNKTYPE,
                                    link="plugins/a.dll")])),
            ("symbolic link in a ZIP", "zel20.zip",
             zip_of(RELEASE, links=[("plugins/b.dll", "a.dll")])),
        ]
        for label, name, data in cases:
            with self.subTest(label):
                self.assertNotInstalled(name, data, {0x8013})


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--zelupd", required=True)
    parser.add_argument("--standin", required=True)
    parser.add_argument("--libraries", required=True)
    args, rest = parser.parse_known_args()
    harness.Programs.zelupd = args.zelupd
    harness.Programs.standin = args.standin
    webserve.Config.libraries = args.libraries
    if not os.environ.get("DBUS_SESSION_BUS_ADDRESS"):
        sys.exit("run these tests on a session bus (dbus-run-session)")
    unittest.main(module="__main__", argv=[sys.argv[0], "-v", *rest])


if __name__ == "__main__":
    main()
