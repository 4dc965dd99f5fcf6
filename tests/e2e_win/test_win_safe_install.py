"""End-to-end tests of a safe installation under Wine: what can be known is
checked before the file manager is closed; a file that Windows will not let
go of undoes the whole installation; a run killed half-way is put back by
the next one."""

import os
import re
import signal
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from winharness import (NEW_MARK, Installation, ToolRun, WineTest, run_zelupd,  # noqa: E402
                        windows_path)

import test_safe_install as linux  # noqa: E402  (the Linux suite: snapshots, polling)

RESTORED = linux.RESTORED
MiB = 1024 * 1024


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


class SafeInstallTest(WineTest, unittest.TestCase):
    def new_installation(self):
        inst = Installation()
        self.addCleanup(inst.cleanup)
        inst.install_old()
        write(os.path.join(inst.dest, "plugins", "a.dll"), b"old plugin\n")
        return inst

    def new_release(self, inst, extra=None):
        """A directory of new files with nested folders; ZEL.EXE is the new stand-in."""
        source = inst.new_source({"ZEL.EXE": "", "readme.txt": "ZEL version 2\n"})
        files = {"plugins/a.dll": b"new plugin\n", "plugins/extra/b.dat": b"new data\n"}
        files.update(extra or {})
        for rel, data in files.items():
            write(os.path.join(source, rel), data)
        return source

    def test_refused_before_the_file_manager_is_closed(self):
        inst = self.new_installation()
        inst.start()
        source = self.new_release(inst)

        def missing_source():
            path = windows_path(os.path.join(inst.root, "none")) + "\\"
            return [path, inst.win_dest], "ディレクトリ[%s]が存在しません" % path

        def missing_destination():
            path = windows_path(os.path.join(inst.root, "gone"))
            return [windows_path(source) + "\\", path], \
                "インストール先ディレクトリ[%s]が存在しません" % path

        def destination_a_file():
            write(os.path.join(inst.root, "zel"), b"a file where the installation should be\n")
            path = windows_path(os.path.join(inst.root, "zel"))
            return [windows_path(source) + "\\", path], \
                "インストール先ディレクトリ[%s]が存在しません" % path

        for name, make in (("source missing", missing_source),
                           ("destination missing", missing_destination),
                           ("destination is a file", destination_a_file)):
            with self.subTest(name):
                args, message = make()
                before = linux.snapshot(inst.root)
                self.assertReported(run_zelupd(args), message)
                self.assertEqual(linux.snapshot(inst.root), before)
                self.assertNotIn("message close", inst.log_lines())
                self.assertEqual(len(inst.running_from_dest()), 1)

    def test_a_file_in_use_undoes_the_whole_installation(self):
        """A program of the installation that another program runs cannot be
        replaced; what was installed before it is put back, the folders made
        are removed, and the file manager runs again, old."""
        inst = self.new_installation()
        holder = inst.hold(os.path.join("plugins", "helper.exe"), 60000)
        inst.start()
        source = self.new_release(inst, {"plugins/helper.exe": b"new helper\n"})
        before = linux.snapshot(inst.dest)
        result = run_zelupd([windows_path(source) + "\\", inst.win_dest])
        expected = re.compile(
            re.escape("ファイル[%s]をディレクトリ[%s]にコピーできませんでした " % (
                windows_path(os.path.join(source, "plugins", "helper.exe")),
                windows_path(os.path.join(inst.dest, "plugins")) + "\\"))
            + r"[^()]+\(32\)" + re.escape(RESTORED))
        self.assertEqual(result.returncode, 1, result)
        self.assertRegex(result.text, "^" + expected.pattern + "\r\n$")
        self.assertEqual(result.boxes, [result.text[:-2]])
        self.assertIn("message close", inst.log_lines(), "the file was in use after the close")
        self.assertEqual(linux.snapshot(inst.dest), before)
        self.assertRunningAgain(inst, new=False)
        self.assertIsNone(holder.poll())

    def test_killed_in_the_middle_of_the_copy_is_restored_by_the_next_run(self):
        inst = self.new_installation()
        names = ["data%02d.bin" % i for i in range(8)] + ["maps/m%02d.bin" % i for i in range(8)]
        for rel in names:
            write(os.path.join(inst.dest, rel), b"old " + os.urandom(8 * MiB))
        source = self.new_release(inst, {rel: b"new " + os.urandom(8 * MiB) for rel in names})
        before = linux.snapshot(inst.dest)

        # A file replaced by a rename has a new inode.
        def identity(rel):
            try:
                return os.stat(os.path.join(inst.dest, rel)).st_ino
            except FileNotFoundError:
                return None

        originals = {rel: identity(rel) for rel in [*names, "ZEL.EXE"]}

        def replaced():
            return sum(identity(rel) != original for rel, original in originals.items())

        inst.start()
        run = ToolRun([windows_path(source) + "\\", inst.win_dest])
        self.addCleanup(run.kill)
        linux.poll_until(lambda: replaced() >= 3 or run.process.poll() is not None, 30,
                         "the first files to be replaced")
        run.signal(signal.SIGSTOP)
        self.assertLess(replaced(), len(originals), "the copy was over before the kill")
        run.signal(signal.SIGKILL)
        run.process.wait()
        self.assertTrue(os.path.isdir(os.path.join(inst.dest, ".zelupd-backup")))

        # The next run puts the installation back before anything else, even
        # before it finds that its source is missing.
        missing = windows_path(os.path.join(inst.root, "none")) + "\\"
        result = run_zelupd([missing, inst.win_dest])
        self.assertReported(result, "ディレクトリ[%s]が存在しません" % missing)
        self.assertIn("restored %s from the backup of an interrupted update" % inst.win_dest,
                      result.error_text)
        self.assertEqual(linux.snapshot(inst.dest), before)
        with open(inst.exe, "rb") as f:
            self.assertFalse(f.read().endswith(NEW_MARK))


if __name__ == "__main__":
    sys.exit("run these tests with run.py")
