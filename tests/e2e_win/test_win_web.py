"""End-to-end tests of an update from a download page under Wine: the page
through WinINet and the archive through the URL download, from an HTTP
server on 127.0.0.1 that the tests start; the archive given to the
recording archiver library (built as Win32 DLLs), whose scripted extraction
leaves the new files; the last-download record written by the profile
functions. A private copy of ZElUpd.exe per test keeps its record beside it."""

import os
import re
import shutil
import signal
import socket
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from winharness import (Installation, Programs, ToolRun, WineTest, read,  # noqa: E402
                        run_zelupd, unix_path, windows_path)

import webserve  # noqa: E402  (the Linux suite's site, pages and archives)
from webserve import AGENT, NOT_UPDATED, Site, anchor, page  # noqa: E402

PROXY_VARIABLES = ("http_proxy", "https_proxy", "all_proxy", "HTTP_PROXY", "HTTPS_PROXY",
                   "ALL_PROXY")


def unescape(value):
    """A value of the recorder's log as the library got it."""
    return re.sub(r"\\(.)", lambda m: {"t": "\t", "n": "\n", "r": "\r"}.get(m[1], m[1]), value)


class WebTest(WineTest, unittest.TestCase):
    def setUp(self):
        self.inst = Installation()
        self.addCleanup(self.inst.cleanup)
        self.inst.install_old()
        self.first = self.inst.start()
        self.site = Site()
        self.addCleanup(self.site.stop)
        self.bin = os.path.join(self.inst.root, "tool")
        os.mkdir(self.bin)
        self.zelupd = os.path.join(self.bin, "ZElUpd.exe")
        shutil.copy2(Programs.zelupd, self.zelupd)
        self.record = os.path.join(self.bin, "downver.inf")
        self.recorder_log = os.path.join(self.inst.root, "recorder.log")
        self.recorder_script = os.path.join(self.inst.root, "recorder.script")
        self.archive = webserve.make_archive(self.inst.root, "zel16.lzh", "packed")
        self.site.routes["/dl/page.htm"] = ("ok", page(anchor("zel16.lzh")))
        self.site.routes["/dl/zel16.lzh"] = ("ok", self.archive)

    def run_update(self, url, libraries):
        env = {name: value for name, value in os.environ.items() if name not in PROXY_VARIABLES}
        env.update(ZELUPD_LIBRARY_PATH=windows_path(libraries),
                   ZEL_RECORDER_LOG=windows_path(self.recorder_log),
                   ZEL_RECORDER_SCRIPT=windows_path(self.recorder_script))
        # Started in its own folder: the system's DLL search takes in the
        # current folder too, which must hold no archiver DLL of the build.
        return run_zelupd([url, self.inst.win_dest], program=self.zelupd, env=env, cwd=self.bin)

    def extractions(self):
        """The recorder's extraction commands: (archive, work directory) each."""
        if not os.path.exists(self.recorder_log):
            return []
        commands = []
        for line in read(self.recorder_log, "rb").decode("cp932").splitlines():
            library, entry, *fields = line.split("\t")
            if library == "UNLHA32.DLL" and entry == "Unlha":
                command = unescape(dict(field.split("=", 1) for field in fields)["line"])
                quoted = command.split('"')[1::2]
                commands.append((quoted[0], next(q for q in quoted if q.endswith("\\"))))
        return commands

    def assertUntouched(self):
        """The old file manager still runs and nothing was installed."""
        self.assertIsNone(self.first.poll())
        self.assertNotIn("message close", self.inst.log_lines())
        self.assertFalse(os.path.exists(os.path.join(self.inst.dest, "readme.txt")))

    def test_first_run_installs_and_records_the_second_is_refused(self):
        if Programs.recorder is None:
            self.skipTest("the recording archiver DLLs are not built")
        with open(self.recorder_script, "w") as f:
            f.write("unpack\treadme.txt\tfrom zel16.lzh\n")
        url = self.site.url("/dl/page.htm")
        result = self.run_update(url, Programs.recorder)
        self.assertSucceeded(result)
        self.assertEqual(self.first.wait(timeout=10), 0)
        self.assertEqual(read(os.path.join(self.inst.dest, "readme.txt")), "from zel16.lzh")
        self.assertRunningAgain(self.inst, new=False)
        # Both requests named the tool; the archive was saved beside the
        # tool and extracted from there, in a work directory that is gone.
        self.assertEqual([(entry["path"], entry["agent"]) for entry in self.site.log],
                         [("/dl/page.htm", AGENT), ("/dl/zel16.lzh", AGENT)])
        self.assertEqual(read(os.path.join(self.bin, "zel16.lzh"), "rb"), self.archive)
        [(archive, work)] = self.extractions()
        self.assertEqual(archive, windows_path(os.path.join(self.bin, "zel16.lzh")))
        self.assertRegex(work, r"\\TMP[0-9A-Fa-f]+\.tmp\\$")
        self.assertFalse(os.path.exists(unix_path(work)), work)
        self.assertEqual(sorted(os.listdir(self.bin)), ["ZElUpd.exe", "downver.inf", "zel16.lzh"])
        self.assertEqual(read(self.record, "rb"), b"[ZelUpd]\r\nLastDown=zel16.lzh\r\n")

        again = self.run_update(url, Programs.recorder)
        self.assertReported(again, NOT_UPDATED)
        self.assertEqual([entry["path"] for entry in self.site.log],
                         ["/dl/page.htm", "/dl/zel16.lzh", "/dl/page.htm"])
        self.assertEqual(len(self.extractions()), 1)
        self.assertEqual(len(self.inst.started_pids()), 2)

    def test_without_the_archive_library_the_download_is_kept(self):
        """A user without the LHA library: the archive is downloaded and
        kept, the missing library named, nothing installed. The tool runs
        from a folder of its own with no DLL beside it, and the library
        path names an empty folder."""
        self.assertEqual(os.listdir(self.bin), ["ZElUpd.exe"])
        empty = tempfile.mkdtemp(prefix="zel-e2e-nolib-")
        self.addCleanup(shutil.rmtree, empty, True)
        result = self.run_update(self.site.url("/dl/page.htm"), empty)
        self.assertReported(result, "LHA 形式書庫 を扱うには UNLHA32.DLL が 必要です。")
        self.assertEqual(read(os.path.join(self.bin, "zel16.lzh"), "rb"), self.archive)
        self.assertFalse(os.path.exists(self.record))
        self.assertUntouched()

    def test_ctrl_c_while_the_server_keeps_silent(self):
        """A server that takes the request and never answers: Ctrl+C ends the
        wait at once (WinINet's own timeout is a minute), nothing is kept."""
        silent = socket.socket()
        silent.bind(("127.0.0.1", 0))
        silent.listen(1)
        silent.settimeout(30)
        self.addCleanup(silent.close)
        url = "http://127.0.0.1:%d/dl/page.htm" % silent.getsockname()[1]
        run = ToolRun([url, self.inst.win_dest], program=self.zelupd)
        self.addCleanup(run.kill)
        connection, _ = silent.accept()
        self.addCleanup(connection.close)
        run.signal(signal.SIGINT)
        result = run.finish(timeout=15)
        self.assertReported(result, "処理が中断されました")
        self.assertLess(result.elapsed, 30)
        self.assertEqual(os.listdir(self.bin), ["ZElUpd.exe"])
        self.assertUntouched()

    def test_failures_leave_nothing_behind(self):
        closed = socket.socket()
        closed.bind(("127.0.0.1", 0))  # bound, never listening: the connection is refused
        self.addCleanup(closed.close)
        unreachable = "http://127.0.0.1:%d/dl/page.htm" % closed.getsockname()[1]
        self.site.routes["/dl/gone.htm"] = ("ok", page(anchor("zel17.lzh")))
        self.site.routes["/dl/cut.htm"] = ("ok", page(anchor("zel18.lzh")))
        self.site.routes["/dl/zel18.lzh"] = ("cut", self.archive, len(self.archive) // 2)
        # The module link comes early: only the whole page counts.
        long_page = page(anchor("zel16.lzh"), "<p>news</p>" * 2000)
        self.site.routes["/dl/long.htm"] = ("cut", long_page, len(long_page) // 2)
        cases = [
            ("page unreachable", unreachable, webserve.page_failed(unreachable)),
            ("page cut off", self.site.url("/dl/long.htm"),
             webserve.page_failed(self.site.url("/dl/long.htm"))),
            ("page not found", self.site.url("/dl/missing.htm"),
             'ページ[%s]には"ろぬ"のモジュールが見あたりません' % self.site.url("/dl/missing.htm")),
            ("archive not found", self.site.url("/dl/gone.htm"),
             webserve.file_failed(self.site.url("/dl/zel17.lzh"))),
            ("archive cut off", self.site.url("/dl/cut.htm"),
             webserve.file_failed(self.site.url("/dl/zel18.lzh"))),
        ]
        for name, url, message in cases:
            with self.subTest(name):
                self.assertReported(self.run_update(url, Programs.recorder or self.bin), message)
                self.assertEqual(os.listdir(self.bin), ["ZElUpd.exe"])
                self.assertEqual(self.extractions(), [])
                self.assertUntouched()


if __name__ == "__main__":
    sys.exit("run these tests with run.py")
