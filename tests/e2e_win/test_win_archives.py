"""End-to-end tests of updates from archives under Wine with the real
archiver DLLs, found where a user puts them: beside ZElUpd.exe, no
ZELUPD_LIBRARY_PATH. LZH archives of every method the LHA library reads and
with Japanese names in CP932, ZIP and TAR archives, a damaged download, and
the whole update from a download page."""

import functools
import io
import os
import shutil
import subprocess
import sys
import tarfile
import time
import unittest
import zipfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "data"))
import lzh_writer  # noqa: E402
from winharness import (ARCHIVER_DLLS, CODE_PAGE, NEW_MARK, Installation, Programs,  # noqa: E402
                        WineTest, read, run_zelupd, unix_path, windows_path)

import webserve  # noqa: E402  (the Linux suite's site, pages and archives)
from harness import STANDIN_LOG  # noqa: E402
from test_damaged_archives import file_contents  # noqa: E402
from webserve import AGENT, NOT_UPDATED, Site, anchor, page  # noqa: E402

LZH = os.path.join(HERE, "..", "data", "lzh")
MTIME = 1704164646  # even: MS-DOS times have two-second steps



def crc(data):
    return zlib.crc32(data), len(data)


# The LZH methods, header levels and variants the LHA library reads: each
# fixture (tests/data/README.md) and the files it holds as (CRC-32, length);
# for lhasa's archives the values of lhasa's own tests.
TEXT = {"big.txt": (0x5B50AB9F, 8250), "far.txt": (0x38B9860B, 14192),
        "tiny.txt": crc(b"hello\n")}
GPL = (0x4E46F4A1, 18092)
METHODS = [
    ("stored.lzh", "-lh0-", {"big.txt": TEXT["big.txt"], "tiny.txt": TEXT["tiny.txt"]}),
    ("lh5-level0.lzh", "-lh5- level 0", TEXT),
    ("lh5-level1.lzh", "-lh5- level 1", TEXT),
    ("lh5-level2.lzh", "-lh5- level 2", TEXT),
    ("lh6.lzh", "-lh6-", TEXT),
    ("lh7.lzh", "-lh7-", TEXT),
    ("subdir-dirent.lzh", "-lhd-", {"sub/inner.txt": crc(b"inner file\n"),
                                    "top.txt": crc(b"top file\n")}),
    ("lhasa/lha_amiga_212/lh1.lzh", "-lh1-", {"gpl-2": GPL}),
    ("lhasa/lha_amiga_122/lh4.lzh", "-lh4-", {"gpl-2": GPL}),
    ("lhasa/lharc_atari_313a/h2_lz5.lzh", "-lz5-", {"GPL2": GPL}),
    ("lhasa/generated/lzs/lzs.lzs", "-lzs-", {"GPL-2": GPL}),
    ("lhasa/larc333/subdir.lzs", "-lz4-", {"SUBDIR/SUBDIR2/HELLO.TXT": (0xAF083B2D, 12)}),
    ("lhasa/pmarc2/pm0.pma", "-pm0-", {"GPL-2.GZ": (0x549D935A, 6912)}),
    ("lhasa/pmarc124/pm1.pma", "-pm1-", {"COPYING.TXT": (0xB7D0E42C, 25284)}),
    ("lhasa/pmarc2/comment.pma", "-pm2-", {"HELLO.TXT": (0x906330C5, 128)}),
    ("lhasa/lha_os2_208/h3_subdir.lzh", "level 3", {"subdir/subdir2/HELLO.TXT":
                                                    (0xB19B306E, 14)}),
]


def lzh(files, then=b""):
    """An LZH archive as Windows archivers write it: level 2 headers, names
    in CP932, folders in their own header; stored members. `then` is the
    members of another archive, put after these."""
    members = []
    for rel, data in files.items():
        folder, _, base = rel.rpartition("/")
        members.append(lzh_writer.Member(
            name=base.encode(CODE_PAGE), data=data, mtime=MTIME,
            dirname=folder.encode(CODE_PAGE) + b"\xff" if folder else None))
    return lzh_writer.archive(members)[:-1] + (then or b"\0")


def zip_archive(files):
    """A ZIP archive as Windows zip tools write it: deflated, names in CP932
    without the UTF-8 flag. zipfile writes such names as UTF-8, so each goes
    in as a placeholder of its length and is put in place afterwards."""
    out, names = io.BytesIO(), {}
    with zipfile.ZipFile(out, "w") as archive:
        for number, (rel, data) in enumerate(files.items()):
            name = rel.encode(CODE_PAGE)
            placeholder = name if rel.isascii() else (b"#%d#" % number).ljust(len(name), b"#")
            names[placeholder] = name
            info = zipfile.ZipInfo(placeholder.decode("ascii"), time.gmtime(MTIME)[:6])
            info.compress_type, info.create_system = zipfile.ZIP_DEFLATED, 0  # MS-DOS
            archive.writestr(info, data)
    raw = out.getvalue()
    for placeholder, name in names.items():
        assert raw.count(placeholder) == 2, placeholder  # local and central header
        raw = raw.replace(placeholder, name)
    return raw


def tar_gz(files):
    """A gzip-compressed TAR as Unix tar writes it: names in UTF-8."""
    out = io.BytesIO()
    with tarfile.open(fileobj=out, mode="w:gz", format=tarfile.GNU_FORMAT) as archive:
        for rel, data in files.items():
            info = tarfile.TarInfo(rel)
            info.size, info.mtime, info.mode = len(data), MTIME, 0o644
            archive.addfile(info, io.BytesIO(data))
    return out.getvalue()


@functools.cache
def temporary_folder():
    """The temporary folder of the Windows programs: Wine sets TEMP itself."""
    echo = subprocess.run(["wine", "cmd", "/c", "echo %TEMP%"], capture_output=True, check=True)
    return unix_path(echo.stdout.decode(CODE_PAGE).strip())


def work_folders():
    """The work folders (TMP*.tmp) there."""
    return {name for name in os.listdir(temporary_folder())
            if name.upper().startswith("TMP") and name.upper().endswith(".TMP")}


def without_library_path():
    env = dict(os.environ)
    for name in ("ZELUPD_LIBRARY_PATH", "http_proxy", "https_proxy", "all_proxy", "HTTP_PROXY",
                 "HTTPS_PROXY", "ALL_PROXY"):
        env.pop(name, None)
    return env


class ArchiveTest(WineTest, unittest.TestCase):
    """An installation of the old version with its file manager running and
    a download folder; ZElUpd.exe finds the DLLs beside itself."""

    def setUp(self):
        if Programs.archivers is None:
            self.skipTest("no archiver DLLs beside " + Programs.zelupd)
        self.inst = Installation()
        self.addCleanup(self.inst.cleanup)
        self.inst.install_old()
        self.first = self.inst.start()
        self.downloads = os.path.join(self.inst.root, "dl")
        os.mkdir(self.downloads)
        self.new_exe = read(Programs.standin, "rb") + NEW_MARK
        self.work_before = work_folders()

    def save(self, name, data):
        path = os.path.join(self.downloads, name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def update(self, source, *options):
        return run_zelupd([windows_path(source), self.inst.win_dest, *options],
                          env=without_library_path())

    def assertInstalled(self, files, starts=2):
        """The files are installed beside the old ones, the new file manager
        runs, and no work folder is left."""
        expected = {"ZEL.EXE": self.new_exe, "old.txt": b"old", **files}
        found = file_contents(self.inst.dest)
        # By name and CRC: a message that stays readable.
        self.assertEqual({rel: crc(data) for rel, data in found.items()},
                         {rel: crc(data) for rel, data in expected.items()})
        self.assertRunningAgain(self.inst, new=True, starts=starts)
        self.assertEqual(work_folders(), self.work_before, "work folders left")

    def test_the_greatest_archive_of_a_wildcard_through_the_confirmation(self):
        self.save("zel15.lzh", lzh({"ZEL.EXE": self.new_exe, "readme.txt": b"from zel15\r\n"}))
        release = {"readme.txt": b"from zel16\r\n", "plugins/a.dll": bytes(range(256)) * 40}
        packed = lzh({"ZEL.EXE": self.new_exe, **release})
        newest = self.save("zel16.lzh", packed)
        # A folder whose name sorts last is no archive.
        os.mkdir(os.path.join(self.downloads, "zel9.lzh"))
        result = self.update(os.path.join(self.downloads, "zel*.lzh"), "/DELETE")
        self.assertSucceeded(result)
        self.assertEqual(self.first.wait(timeout=10), 0)
        log = self.inst.log_lines()
        self.assertLess(log.index("dialog"), log.index("message click"))
        self.assertInstalled(release)
        # /DELETE leaves an archive alone.
        self.assertEqual(read(newest, "rb"), packed)
        self.assertEqual(sorted(os.listdir(self.downloads)),
                         ["zel15.lzh", "zel16.lzh", "zel9.lzh"])

    def test_japanese_names_in_cp932(self):
        """Members as jlha wrote them (tests/data/lzh/cp932-*.lzh), with
        second bytes equal to a backslash in the file and folder names, in an
        archive whose own name has one too."""
        fixtures = read(os.path.join(LZH, "cp932-name.lzh"), "rb")[:-1] + \
            read(os.path.join(LZH, "cp932-5c.lzh"), "rb")
        archive = self.save("新版ソフト.lzh", lzh({"ZEL.EXE": self.new_exe}, then=fixtures))
        result = self.update(archive)
        self.assertSucceeded(result)
        self.assertInstalled({"日本語.txt": b"Japanese name\n", "表.txt": b"hyou\n",
                              "ソフト/readme.txt": b"soft\n"})

    def test_every_lzh_method_installs(self):
        """One archive after the other into the same installation, whose
        file manager each run closes and starts again; what a run installed
        is taken away before the next (folders too: their names' case would
        stay). The library is chosen by the name: LArc's and PMarc's
        archives are saved as .lzh."""
        kept = {"ZEL.EXE", "old.txt", STANDIN_LOG}
        for number, (fixture, method, files) in enumerate(METHODS):
            with self.subTest(method):
                archive = self.save("zel%02d.lzh" % number, read(os.path.join(LZH, fixture), "rb"))
                starts = len(self.inst.started_pids()) + 1
                result = self.update(archive)
                self.assertSucceeded(result)
                found = {rel: crc(data) for rel, data in file_contents(self.inst.dest).items()
                         if rel not in kept}
                self.assertEqual(found, files)
                self.assertRunningAgain(self.inst, new=False, starts=starts)
            for name in set(os.listdir(self.inst.dest)) - kept:
                path = os.path.join(self.inst.dest, name)
                if os.path.isdir(path):
                    shutil.rmtree(path)
                else:
                    os.remove(path)
        self.assertEqual(work_folders(), self.work_before, "work folders left")

    def test_zip_and_tar_archives(self):
        """Chosen by their extensions: a ZIP as Windows zip tools write it,
        a .tar.gz as Unix tar writes it."""
        release = {"readme.txt": b"ZEL version 2\r\n" * 50,
                   "plugins/a.dll": bytes(range(256)) * 40}
        cases = [
            ("ZIP with CP932 names", "zel16.zip", zip_archive,
             {"表.txt": b"hyou\r\n", "ソフト/説明.txt": "説明".encode(CODE_PAGE)}),
            ("TAR with gzip", "zel16.tar.gz", tar_gz, {"日本語.txt": b"Japanese name\n"}),
        ]
        for starts, (label, name, make, extra) in enumerate(cases, start=2):
            with self.subTest(label):
                archive = self.save(name, make({"ZEL.EXE": self.new_exe, **release, **extra}))
                result = self.update(archive)
                self.assertSucceeded(result)
                self.assertInstalled({**release, **extra}, starts=starts)
                for rel in extra:
                    os.remove(os.path.join(self.inst.dest, rel))

    def test_a_damaged_download_is_refused(self):
        """An update whose compressed data was damaged on the way
        (tests/data/lzh/damaged.lzh, after good members): nothing of it is
        installed and the file manager is never asked to close."""
        archive = self.save("zel16.lzh", lzh({"ZEL.EXE": self.new_exe, "readme.txt": b"new\r\n"},
                                             then=read(os.path.join(LZH, "damaged.lzh"), "rb")))
        before = file_contents(self.inst.dest)
        result = self.update(archive)
        self.assertReported(result, "書庫[%s]を展開できませんでした (コード 0x800C: %s)"
                            % (windows_path(archive), "ファイルの CRC が合いません"))
        self.assertEqual(file_contents(self.inst.dest), before)
        self.assertIsNone(self.first.poll(), "the file manager ended")
        self.assertNotIn("message close", self.inst.log_lines())
        self.assertEqual(work_folders(), self.work_before, "work folders left")

    def test_update_from_the_download_page(self):
        """The release as a user unpacked it into a folder of its own: the
        archive is downloaded there, unpacked by its UNLHA32.DLL and
        installed, its name recorded; the next run finds nothing new."""
        tool = os.path.join(self.inst.root, "ZElUpd")
        os.mkdir(tool)
        for name in ("ZElUpd.exe",) + ARCHIVER_DLLS:
            shutil.copy2(os.path.join(os.path.dirname(Programs.zelupd), name), tool)
        site = Site()
        self.addCleanup(site.stop)
        archive = webserve.make_archive(self.inst.root, "zel16.lzh", "from the page")
        site.routes["/dl/page.htm"] = ("ok", page(anchor("zel16.lzh")))
        site.routes["/dl/zel16.lzh"] = ("ok", archive)
        url = site.url("/dl/page.htm")
        program = os.path.join(tool, "ZElUpd.exe")

        result = run_zelupd([url, self.inst.win_dest], program=program,
                            env=without_library_path())
        self.assertSucceeded(result)
        self.assertEqual(self.first.wait(timeout=10), 0)
        self.assertInstalled({"readme.txt": b"from the page"})
        self.assertEqual([(entry["path"], entry["agent"]) for entry in site.log],
                         [("/dl/page.htm", AGENT), ("/dl/zel16.lzh", AGENT)])
        self.assertEqual(read(os.path.join(tool, "zel16.lzh"), "rb"), archive)
        self.assertEqual(read(os.path.join(tool, "downver.inf"), "rb"),
                         b"[ZelUpd]\r\nLastDown=zel16.lzh\r\n")
        self.assertEqual(sorted(os.listdir(tool)),
                         sorted(("ZElUpd.exe", "downver.inf", "zel16.lzh") + ARCHIVER_DLLS))

        again = run_zelupd([url, self.inst.win_dest], program=program, env=without_library_path())
        self.assertReported(again, NOT_UPDATED)
        self.assertEqual([entry["path"] for entry in site.log],
                         ["/dl/page.htm", "/dl/zel16.lzh", "/dl/page.htm"])
        self.assertEqual(len(self.inst.started_pids()), 2)


if __name__ == "__main__":
    sys.exit("run these tests with run.py")
