"""End-to-end tests of an update from a directory under Wine: the stand-in
file manager's real windows and confirmation dialog, a ZEL.EXE that stays
in use, the console in code page 932 and the message box."""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import winharness  # noqa: E402
from winharness import (CODE_PAGE, NEW_MARK, Installation, ToolRun, WineTest, read,  # noqa: E402
                        run_zelupd, wait_for, windows_path)

import test_update as linux  # noqa: E402  (the Linux suite: the same usage text)


class UpdateTest(WineTest, unittest.TestCase):
    def setUp(self):
        self.inst = Installation()
        self.addCleanup(self.inst.cleanup)

    def source(self, files, inst=None):
        """A directory of new files, named as the tool takes a directory."""
        return windows_path((inst or self.inst).new_source(files)) + "\\"

    def test_usage_without_arguments(self):
        result = run_zelupd([])
        self.assertEqual(result.returncode, 0, result)
        usage = linux.USAGE.decode("utf-8").replace("\n", "\r\n")
        self.assertEqual(result.stdout, usage.encode(CODE_PAGE))
        self.assertEqual(result.stderr, b"")
        self.assertEqual(result.boxes, [])

    def test_update_through_the_confirmation_dialog(self):
        self.inst.install_old()
        first = self.inst.start()
        source = self.source({"ZEL.EXE": "", "help.txt": "新しい", "sub": None})
        with open(os.path.join(self.inst.root, "new", "sub", "b.txt"), "w") as f:
            f.write("2")
        result = run_zelupd([source, self.inst.win_dest])
        self.assertSucceeded(result)
        self.assertEqual(first.wait(timeout=10), 0)
        self.assertLess(result.elapsed, 4.5, "the dialog should be answered at once")
        log = self.inst.log_lines()
        for event in ("message query-end-session", "message close", "dialog", "message click",
                      "exit"):
            self.assertIn(event, log)
        self.assertLess(log.index("message query-end-session"), log.index("message close"))
        self.assertEqual(read(os.path.join(self.inst.dest, "help.txt"), "rb"),
                         "新しい".encode())
        self.assertEqual(read(os.path.join(self.inst.dest, "sub", "b.txt")), "2")
        self.assertEqual(read(os.path.join(self.inst.dest, "old.txt")), "old")
        self.assertFalse(os.path.exists(os.path.join(self.inst.dest, ".zelupd-backup")))
        self.assertRunningAgain(self.inst, new=True)

    def test_update_when_the_file_manager_closes_without_asking(self):
        self.inst.install_old()
        first = self.inst.start("--no-confirm")
        result = run_zelupd([self.source({"ZEL.EXE": ""}), self.inst.win_dest])
        self.assertSucceeded(result)
        self.assertEqual(first.wait(timeout=10), 0)
        self.assertNotIn("dialog", self.inst.log_lines())
        # The confirmation is looked for during the whole five seconds.
        self.assertGreaterEqual(result.elapsed, 5.0)
        self.assertRunningAgain(self.inst, new=True)

    def test_a_zel_exe_in_use_is_waited_for(self):
        """A ZEL.EXE that runs without a window (wintool, holding its own
        program file), and a file manager that ignores the request to close
        until the user ends it: the tool says once that it waits, and
        installs when the file is free."""
        for case in ("held without a window", "never closes"):
            with self.subTest(case):
                inst = Installation()
                self.addCleanup(inst.cleanup)
                source = self.source({"ZEL.EXE": "", "a.txt": "A"}, inst)
                if case == "held without a window":
                    holder = inst.hold("ZEL.EXE", 2500)
                else:
                    inst.install_old()
                    holder = inst.start("--never-close")
                run = ToolRun([source, inst.win_dest])
                waiting = "waiting until %s can be written" % windows_path(inst.exe)
                wait_for(lambda: run.said(waiting), 20, "the tool to wait for ZEL.EXE")
                self.assertFalse(os.path.exists(os.path.join(inst.dest, "a.txt")))
                if case == "never closes":
                    self.assertIn("message close", inst.log_lines())
                    holder.kill()
                result = run.finish()
                self.assertSucceeded(result)
                self.assertEqual(result.error_text.count(waiting), 1, result)
                self.assertIsNotNone(holder.poll(), "installed while ZEL.EXE was in use")
                if case == "held without a window":
                    self.assertEqual(holder.returncode, 0)
                    self.assertGreaterEqual(result.elapsed, 1.5)
                self.assertEqual(read(os.path.join(inst.dest, "a.txt")), "A")
                self.assertRunningAgain(inst, new=True,
                                        starts=1 if case == "held without a window" else 2)

    def test_dialog_without_yes_button_is_a_close_failure(self):
        self.inst.install_old()
        first = self.inst.start("--no-yes-button")
        source = self.source({"ZEL.EXE": "", "a.txt": "A"})
        result = run_zelupd([source, self.inst.win_dest, "/DELETE"])
        self.assertReported(result, "発見しましたが、クローズに失敗しました")
        self.assertFalse(os.path.exists(os.path.join(self.inst.dest, "a.txt")))
        self.assertFalse(read(self.inst.exe, "rb").endswith(NEW_MARK))
        self.assertTrue(os.path.isdir(winharness.unix_path(source)))
        self.assertIsNone(first.poll(), "the file manager was not to be closed")
        self.assertNotIn("exit", self.inst.log_lines())


if __name__ == "__main__":
    sys.exit("run these tests with run.py")
