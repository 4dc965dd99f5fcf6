"""End-to-end tests of an update from an LZH archive, on a real session bus,
through the archiver libraries the build provides."""

import os
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
from harness import Installation, message_box_lines, run_zelupd, wait_for  # noqa: E402

WRITER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "lzh_writer.py")


def read(path, mode="r"):
    with open(path, mode) as f:
        return f.read()


class ArchiveTest(unittest.TestCase):
    def setUp(self):
        self.inst = Installation()
        self.addCleanup(self.inst.cleanup)
        self.downloads = os.path.join(self.inst.root, "dl")
        os.mkdir(self.downloads)
        # A private temporary directory shows what the run leaves behind.
        self.temp = tempfile.mkdtemp(prefix="zel-e2e-tmp-")
        self.addCleanup(lambda: subprocess.run(["rm", "-rf", self.temp]))

    def make_archive(self, name, files):
        """An LZH archive in the download directory; ZEL.EXE in it is the new stand-in."""
        source = self.inst.new_source(files, name="src-" + name)
        specs = ["%s=%s" % (member, os.path.join(source, member)) for member in files]
        path = os.path.join(self.downloads, name)
        subprocess.run([sys.executable, WRITER, "pack", path, *specs], check=True)
        return path

    def run_update(self, *args):
        return run_zelupd(list(args), prefix=("env", "TMPDIR=" + self.temp))

    def assertRestartedNew(self):
        wait_for(lambda: len(self.inst.started_pids()) == 2, 10, "the restarted file manager")
        pid = self.inst.started_pids()[1]
        self.assertTrue(harness.pid_alive(pid))
        self.assertTrue(read(self.inst.exe, "rb").endswith(harness.NEW_MARK))

    def test_wildcard_installs_the_greatest_name_and_cleans_up(self):
        self.inst.install_old()
        first = self.inst.start()
        for old in ("zel151.lzh", "zel152.lzh"):
            self.make_archive(old, {"readme.txt": "from " + old})
        newest = self.make_archive("zel16.lzh", {"ZEL.EXE": "", "readme.txt": "from zel16.lzh",
                                                 "新規.txt": "日本語の名前"})
        # A directory whose name would sort last is no archive.
        os.mkdir(os.path.join(self.downloads, "zel9.lzh"))
        result = self.run_update(os.path.join(self.downloads, "zel*.lzh"), self.inst.dest + "/",
                                 "/DELETE")
        self.assertEqual(result.returncode, 0, result)
        self.assertEqual(message_box_lines(result.stderr), [])
        self.assertEqual(first.wait(timeout=10), 0)
        self.assertEqual(read(os.path.join(self.inst.dest, "readme.txt")), "from zel16.lzh")
        self.assertEqual(read(os.path.join(self.inst.dest, "新規.txt")), "日本語の名前")
        self.assertEqual(read(os.path.join(self.inst.dest, "old.txt")), "old")
        self.assertRestartedNew()
        # The work directory is gone and /DELETE never removes an archive.
        self.assertEqual(os.listdir(self.temp), [])
        self.assertTrue(os.path.isfile(newest))
        self.assertEqual(len(os.listdir(self.downloads)), 4)

    def test_missing_archive_names_the_pattern(self):
        self.inst.install_old()
        first = self.inst.start()
        pattern = os.path.join(self.downloads, "zel*.lzh")
        os.mkdir(os.path.join(self.downloads, "zel1.lzh"))
        result = self.run_update(pattern, self.inst.dest)
        self.assertEqual(result.returncode, 1)
        self.assertEqual(message_box_lines(result.stderr),
                         ["[Error] ファイル[%s]が見つかりません" % pattern])
        self.assertIsNone(first.poll())
        self.assertEqual(os.listdir(self.temp), [])

    def test_relative_archive_name_and_the_committed_fixture(self):
        # The fixture's ZEL.EXE is a text placeholder: nothing runs, nothing is restarted.
        fixture = os.path.join(os.path.dirname(WRITER), "lzh", "zel-new.lzh")
        with open(fixture, "rb") as src, open(os.path.join(self.downloads, "zel-new.lzh"),
                                               "wb") as dst:
            dst.write(src.read())
        env = dict(os.environ, TMPDIR=self.temp)
        result = subprocess.run([harness.Programs.zelupd, "zel-new.lzh", self.inst.dest],
                                cwd=self.downloads, env=env, stdin=subprocess.DEVNULL,
                                capture_output=True, timeout=60)
        self.assertEqual(result.returncode, 1, result)  # the placeholder cannot be started
        self.assertEqual(read(self.inst.exe), "new ZEL.EXE\n")
        self.assertTrue(os.path.isfile(os.path.join(self.inst.dest, "readme.txt")))
        self.assertTrue(os.path.isfile(os.path.join(self.inst.dest, "plugin.dll")))
        self.assertEqual(os.listdir(self.temp), [])

    def test_archive_that_is_no_lzh_is_reported_and_nothing_is_closed(self):
        self.inst.install_old()
        first = self.inst.start()
        bogus = os.path.join(self.downloads, "zel.lzh")
        with open(bogus, "w") as f:
            f.write("this is not an archive\n")
        result = self.run_update(bogus, self.inst.dest)
        self.assertEqual(result.returncode, 1, result)
        lines = message_box_lines(result.stderr)
        self.assertEqual(len(lines), 1, result)
        self.assertTrue(lines[0].startswith("[Error] 書庫[%s]を展開できませんでした (コード 0x" % bogus),
                        lines)
        self.assertIsNone(first.poll(), "nothing to install: the file manager stays")
        self.assertNotIn("message close", self.inst.log_lines())
        self.assertEqual(os.listdir(self.temp), [])


if __name__ == "__main__":
    harness.main()
