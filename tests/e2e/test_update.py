"""End-to-end tests of an update from a directory, on a real session bus."""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
from harness import Installation, message_box_lines, run_zelupd, wait_for  # noqa: E402

USAGE = (
    "ZElUpd.EXE  R.T   ver.0.8\n"
    "  usage: ZElUpd.EXE NewZelPath DestZelPath [/DOWNPATH DownPathName] [/DELETE]\n"
    "         NewZelPath :  新しい ZEl.EXE のある転送元パス\n"
    "                       もしくは、新しいZEl.EXEのあるLZHファイル\n"
    "                       ファイルをzel*.lzhと指定すると一番大きいものを選ぶ\n"
    "                       ここで http://www.example.com/zel/download.htm \n"
    "                       を指定すると最新の.lzhを探しそれを対象とする。\n"
    "         DestZelPath : 古い ZEl.EXE のある転送先パス\n"
    "                       省略時は、このEXEのあるパス\n"
    "         /DOWNPATH :   NewZelPathで http:// を選んだときにダウンロードした\n"
    "                       最新のファイルを保存するパス\n"
    "         /DELETE :     このオプションがあるときは、NewZelPathを削除\n"
    "                       LZHファイルを指定したときには、無視される\n"
).encode("utf-8")


def read(path, mode="r"):
    with open(path, mode) as f:
        return f.read()


class UpdateTest(unittest.TestCase):
    def setUp(self):
        self.inst = Installation()
        self.addCleanup(self.inst.cleanup)

    def assertReportedOnce(self, result, message):
        self.assertEqual(result.returncode, 1, result)
        self.assertEqual(result.stdout.decode("utf-8"), message + "\n")
        self.assertEqual(message_box_lines(result.stderr), ["[Error] " + message])

    def assertRestartedNew(self):
        """The file manager was started again, from the new ZEL.EXE in the destination."""
        wait_for(lambda: len(self.inst.started_pids()) == 2, 10, "the restarted file manager")
        pid = self.inst.started_pids()[1]
        self.assertTrue(harness.pid_alive(pid))
        self.assertEqual(os.readlink("/proc/%d/exe" % pid), self.inst.exe)
        self.assertTrue(read(self.inst.exe, "rb").endswith(harness.NEW_MARK))
        self.assertEqual(read("/proc/%d/cmdline" % pid, "rb"), self.inst.exe.encode() + b"\0")

    def test_usage_without_arguments(self):
        result = run_zelupd([])
        self.assertEqual(result.returncode, 0)
        self.assertEqual(result.stdout, USAGE)
        self.assertEqual(result.stderr, b"")

    def test_update_through_the_confirmation_dialog(self):
        self.inst.install_old()
        first = self.inst.start()
        source = self.inst.new_source({"ZEL.EXE": "", "help.txt": "新しい"})
        result = run_zelupd([source + "/", self.inst.dest])
        self.assertEqual(result.returncode, 0, result)
        self.assertEqual(result.stdout, b"")
        self.assertEqual(message_box_lines(result.stderr), [])
        self.assertEqual(first.wait(timeout=10), 0)
        self.assertLess(result.elapsed, 4.5, "the dialog should be answered at once")
        log = self.inst.log_lines()
        for event in ("message query-end-session", "message close", "dialog", "message click",
                      "exit"):
            self.assertIn(event, log)
        self.assertLess(log.index("message query-end-session"), log.index("message close"))
        self.assertEqual(read(os.path.join(self.inst.dest, "help.txt"), "rb"),
                         "新しい".encode())
        self.assertEqual(read(os.path.join(self.inst.dest, "old.txt")), "old")
        self.assertTrue(os.path.isdir(source))
        self.assertRestartedNew()

    def test_update_when_the_file_manager_closes_without_asking(self):
        self.inst.install_old()
        first = self.inst.start("--no-confirm")
        source = self.inst.new_source({"ZEL.EXE": ""})
        result = run_zelupd([source + "/", self.inst.dest])
        self.assertEqual(result.returncode, 0, result)
        self.assertEqual(first.wait(timeout=10), 0)
        self.assertNotIn("dialog", self.inst.log_lines())
        # The confirmation is looked for during the whole five seconds.
        self.assertGreaterEqual(result.elapsed, 5.0)
        self.assertRestartedNew()

    def test_slow_exit_is_waited_for(self):
        self.inst.install_old()
        self.inst.start("--slow-exit=1500")
        source = self.inst.new_source({"ZEL.EXE": ""})
        result = run_zelupd([source + "/", self.inst.dest])
        self.assertEqual(result.returncode, 0, result)
        self.assertGreaterEqual(result.elapsed, 1.4)
        self.assertRestartedNew()

    def test_delete_removes_the_source_after_the_copy(self):
        self.inst.install_old()
        self.inst.start()
        source = self.inst.new_source({"ZEL.EXE": "", "a.txt": "A"})
        result = run_zelupd([source + "/", self.inst.dest, "/delete"])
        self.assertEqual(result.returncode, 0, result)
        self.assertFalse(os.path.exists(source))
        self.assertEqual(read(os.path.join(self.inst.dest, "a.txt")), "A")
        self.assertRestartedNew()

    def test_dialog_without_yes_button_is_a_close_failure(self):
        self.inst.install_old()
        first = self.inst.start("--no-yes-button")
        source = self.inst.new_source({"ZEL.EXE": "", "a.txt": "A"})
        result = run_zelupd([source + "/", self.inst.dest, "/DELETE"])
        self.assertReportedOnce(result, "発見しましたが、クローズに失敗しました")
        self.assertFalse(os.path.exists(os.path.join(self.inst.dest, "a.txt")))
        self.assertFalse(read(self.inst.exe, "rb").endswith(harness.NEW_MARK))
        self.assertTrue(os.path.isdir(source))
        self.assertIsNone(first.poll(), "the file manager was not to be closed")
        self.assertEqual(len(self.inst.started_pids()), 1)

    def test_executable_that_cannot_be_opened_is_reported_with_its_code(self):
        self.inst.install_old()
        os.chmod(self.inst.exe, 0o555)
        source = self.inst.new_source({"ZEL.EXE": "", "a.txt": "A"})
        # Root may write anything; without that privilege the read-only file is refused.
        prefix = ("setpriv", "--bounding-set", "-dac_override,-dac_read_search") \
            if os.geteuid() == 0 else ()
        result = run_zelupd([source + "/", self.inst.dest], prefix=prefix)
        self.assertReportedOnce(
            result, "ファイル[%s/ZEL.EXE]のチェックに失敗しました 5" % self.inst.dest)
        self.assertFalse(os.path.exists(os.path.join(self.inst.dest, "a.txt")))

    def test_missing_destination_when_starting(self):
        source = self.inst.new_source({})
        missing = os.path.join(self.inst.root, "gone")
        result = run_zelupd([source + "/", missing])
        self.assertReportedOnce(result, "インストール先ディレクトリ[%s]が存在しません" % missing)

    def test_a_subfolder_is_installed_and_a_hidden_name_left_out(self):
        self.inst.install_old()
        first = self.inst.start()
        source = self.inst.new_source({"ZEL.EXE": "", "a": "1", "sub": None, ".hidden": "h"})
        with open(os.path.join(source, "sub", "b"), "w") as f:
            f.write("2")
        result = run_zelupd([source + "/", self.inst.dest])
        self.assertEqual(result.returncode, 0, result)
        self.assertEqual(result.stdout, b"")
        self.assertIn(b"not installed (name begins with a period): .hidden", result.stderr)
        self.assertEqual(read(os.path.join(self.inst.dest, "sub", "b")), "2")
        self.assertFalse(os.path.exists(os.path.join(self.inst.dest, ".hidden")))
        self.assertFalse(os.path.exists(os.path.join(self.inst.dest, ".zelupd-backup")))
        self.assertEqual(first.wait(timeout=10), 0)
        self.assertRestartedNew()

    def test_missing_source_directory(self):
        missing = os.path.join(self.inst.root, "none") + "/"
        result = run_zelupd([missing, self.inst.dest])
        self.assertReportedOnce(result, "ディレクトリ[%s]が存在しません" % missing)

    def test_directory_without_trailing_delimiter_is_an_archive_name(self):
        source = self.inst.new_source({"ZEL.EXE": ""})
        result = run_zelupd([source, self.inst.dest])
        self.assertReportedOnce(result, "ファイル[%s]が見つかりません" % source)

    def test_downpath_without_value_stops_before_any_work(self):
        self.inst.install_old()
        first = self.inst.start()
        source = self.inst.new_source({"ZEL.EXE": ""})
        result = run_zelupd([source + "/", self.inst.dest, "/DOWNPATH"])
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stdout, b"")
        self.assertEqual(message_box_lines(result.stderr), [])
        self.assertIn("EStringListError", result.stderr.decode())
        self.assertIsNone(first.poll())
        self.assertNotIn("message close", self.inst.log_lines())


if __name__ == "__main__":
    harness.main()
