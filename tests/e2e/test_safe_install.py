"""End-to-end tests of a safe installation: what can be known is checked
before the file manager is closed, a failure or an interruption after the
first change puts the installation back, every file is replaced whole, and
nothing is left in the temporary directory. Real file systems (tmpfs and
read-only mounts where the machine allows mounting), a real session bus."""

import argparse
import errno
import hashlib
import http.server
import os
import re
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import threading
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
import webserve  # noqa: E402
from harness import STANDIN_LOG, Installation, message_box_lines, pid_alive, wait_for  # noqa: E402
from webserve import describe, tool_env  # noqa: E402

WRITER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "lzh_writer.py")
INTERRUPTED = "処理が中断されました"
RESTORED = " / インストール先は元に戻しました"
COPY_ERROR = re.compile(r"ファイル\[(?P<file>.+)\]をディレクトリ\[(?P<dir>.+/)\]に"
                        r"コピーできませんでした (?P<text>[^()]+)\((?P<code>\d+)\)")
MiB = 1024 * 1024
# The codes of the errors that the copy error reports here.
WINDOWS_CODES = {errno.EROFS: 5, errno.ENOSPC: 112, errno.ENOTSUP: 50}


def poll_until(predicate, timeout, what):
    """wait_for at a millisecond's pace, for moments that pass quickly."""
    deadline = time.monotonic() + timeout
    while not predicate():
        if time.monotonic() > deadline:
            raise AssertionError("timed out waiting for " + what)
        time.sleep(0.0005)


def entry(path):
    st = os.lstat(path)
    if stat.S_ISREG(st.st_mode):
        with open(path, "rb") as f:
            return ("file", stat.S_IMODE(st.st_mode), hashlib.sha256(f.read()).hexdigest())
    if stat.S_ISDIR(st.st_mode):
        return ("dir", stat.S_IMODE(st.st_mode))
    return ("other", st.st_mode)


def snapshot(path, visible_only=False):
    """Every entry under `path` (or `path` itself when it is no directory) by
    its relative name: kind, permissions and a digest of the bytes. The
    stand-in's log is no part of an installation."""
    if not os.path.lexists(path):
        return None
    if not os.path.isdir(path) or os.path.islink(path):
        return {".": entry(path)}
    tree = {}
    for folder, dirs, files in os.walk(path):
        if visible_only:
            dirs[:] = [d for d in dirs if not d.startswith(".")]
            files = [f for f in files if not f.startswith(".")]
        for name in dirs + files:
            rel = os.path.relpath(os.path.join(folder, name), path)
            if rel != STANDIN_LOG:
                tree[rel] = entry(os.path.join(folder, name))
    return tree


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def install_old(dest):
    """The installation before the update: the stand-in as ZEL.EXE and files
    that the release replaces or leaves alone."""
    os.makedirs(dest, exist_ok=True)
    shutil.copy2(harness.Programs.standin, os.path.join(dest, "ZEL.EXE"))
    write(os.path.join(dest, "old.txt"), b"old")
    write(os.path.join(dest, "plugins", "a.dll"), b"old plugin\n")


def move_installation(inst, dest):
    """Points an Installation (not yet started) at another directory."""
    inst.dest = dest
    inst.exe = os.path.join(dest, "ZEL.EXE")
    inst.log = os.path.join(dest, STANDIN_LOG)


def mount(test, target, *options, remount=False):
    """Mounts or skips the test (or its subtest) when the machine does not allow it;
    the mount goes when the test ends."""
    result = subprocess.run(["mount", *options, target], capture_output=True, text=True)
    if result.returncode != 0:
        test.skipTest("cannot mount here: " + (result.stderr.strip().splitlines() or [""])[0])
    if not remount:
        test.addCleanup(unmount, target)


def unmount(target):
    if subprocess.run(["umount", target], capture_output=True).returncode != 0:
        subprocess.run(["umount", "-l", target], capture_output=True)


def stop_file_managers(inst):
    """Ends every stand-in an Installation started or had started, while its
    log is still readable (before the file system under it goes)."""
    for pid in inst.started_pids():
        if pid_alive(pid):
            os.kill(pid, signal.SIGKILL)
    if inst.first is not None:
        if inst.first.poll() is None:
            inst.first.kill()
        inst.first.wait()
    wait_for(lambda: not any(pid_alive(p) for p in inst.started_pids()), 10,
             "the stand-ins to end")


class ToolRun:
    """zelupd running in the background, for tests that act while it works."""

    def __init__(self, test, args, env):
        self.process = subprocess.Popen([harness.Programs.zelupd, *args], env=env,
                                        stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE)
        test.addCleanup(self.kill)

    def signal(self, number):
        self.process.send_signal(number)

    def finish(self, timeout=60):
        try:
            out, err = self.process.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.process.kill()
            out, err = self.process.communicate()
            raise AssertionError("zelupd did not end within %ds\nstdout: %s\nstderr: %s"
                                 % (timeout, out.decode(errors="replace"),
                                    err.decode(errors="replace")))
        return subprocess.CompletedProcess(self.process.args, self.process.returncode, out, err)

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.communicate()


class SafeTest(unittest.TestCase):
    """A private temporary directory per test, to see what a run leaves there."""

    def setUp(self):
        self.temp = tempfile.mkdtemp(prefix="zel-e2e-tmp-")
        self.addCleanup(shutil.rmtree, self.temp, True)

    def run_tool(self, *args, timeout=60):
        return subprocess.run([harness.Programs.zelupd, *args], env=tool_env(TMPDIR=self.temp),
                              stdin=subprocess.DEVNULL, capture_output=True, timeout=timeout)

    def start_tool(self, *args):
        return ToolRun(self, args, tool_env(TMPDIR=self.temp))

    def new_installation(self):
        inst = Installation()
        self.addCleanup(inst.cleanup)
        return inst

    def assertReported(self, result, expected):
        """Exit code 1, the message once on standard output and once in the
        message box; `expected` is the text or a check of the text."""
        self.assertEqual(result.returncode, 1, describe(result))
        lines = result.stdout.decode("utf-8").splitlines()
        self.assertEqual(len(lines), 1, describe(result))
        if callable(expected):
            expected(lines[0])
        else:
            self.assertEqual(lines[0], expected, describe(result))
        self.assertEqual(message_box_lines(result.stderr), ["[Error] " + lines[0]],
                         describe(result))

    def assertCopyError(self, line, error, sources, dest, restored=False):
        """The copy error for one of `sources` (relative name to a pattern of
        its full path) into its folder under `dest`, for the errno `error`."""
        if restored:
            self.assertTrue(line.endswith(RESTORED), line)
            line = line[:-len(RESTORED)]
        match = COPY_ERROR.fullmatch(line)
        self.assertIsNotNone(match, line)
        self.assertEqual(match["code"], str(WINDOWS_CODES[error]), line)
        self.assertEqual(match["text"], os.strerror(error), line)
        rel = next((r for r, full in sources.items() if re.fullmatch(full, match["file"])), None)
        self.assertIsNotNone(rel, "%s names none of %s" % (line, sorted(sources)))
        folder = os.path.dirname(rel)
        self.assertEqual(match["dir"], os.path.join(dest, folder, ""), line)

    def assertNothingLeft(self):
        left = os.listdir(self.temp)
        # Cleared either way, so that the next case starts from nothing.
        for name in left:
            shutil.rmtree(os.path.join(self.temp, name), ignore_errors=True)
            if os.path.lexists(os.path.join(self.temp, name)):
                os.remove(os.path.join(self.temp, name))
        self.assertEqual(left, [], "the temporary directory after the run")

    def assertNeverClosed(self, inst, closes_before):
        self.assertEqual(inst.log_lines().count("message close"), closes_before,
                         "the file manager was asked to close")
        self.assertTrue(pid_alive(inst.started_pids()[-1]), "the file manager was ended")

    def assertRunningAgain(self, inst, new):
        """The file manager was started again from the destination's ZEL.EXE,
        which holds the new or the old version."""
        wait_for(lambda: len(inst.started_pids()) == 2, 10, "the file manager to start again")
        pid = inst.started_pids()[1]
        self.assertTrue(pid_alive(pid))
        self.assertEqual(os.readlink("/proc/%d/exe" % pid), inst.exe)
        with open(inst.exe, "rb") as f:
            self.assertEqual(f.read().endswith(harness.NEW_MARK), new)


class ReleaseTest(SafeTest):
    """One release, as a directory tree with nested folders and names that
    begin with a period, and as an LZH archive of that tree."""

    HIDDEN = [".hidden.txt", "plugins/.svn"]

    @classmethod
    def setUpClass(cls):
        cls.root = tempfile.mkdtemp(prefix="zel-e2e-release-")
        cls.tree = os.path.join(cls.root, "tree")
        exe = os.path.join(cls.tree, "ZEL.EXE")
        # Megabytes of parts: the extraction lasts long enough to be caught in it.
        files = {"data/part%d.dat" % i: os.urandom(MiB) for i in range(8)}
        files.update({
            "readme.txt": b"ZEL version 2\n",
            "plugins/a.dll": b"new plugin\n",
            "plugins/extra/b.dat": b"new data\n",
            "docs/ja/説明.txt": "日本語の説明\n".encode(),
            ".hidden.txt": b"not for the installation\n",
            "plugins/.svn/entries": b"not for the installation either\n",
        })
        for rel, data in files.items():
            write(os.path.join(cls.tree, rel), data)
        with open(harness.Programs.standin, "rb") as f:
            write(exe, f.read() + harness.NEW_MARK)
        shutil.copymode(harness.Programs.standin, exe)
        cls.files = sorted([*files, "ZEL.EXE"])
        cls.size = sum(os.path.getsize(os.path.join(cls.tree, rel)) for rel in cls.files)
        cls.archive = os.path.join(cls.root, "zel20.lzh")
        subprocess.run([sys.executable, WRITER, "pack", cls.archive,
                        *("%s=%s" % (rel, os.path.join(cls.tree, rel)) for rel in cls.files)],
                       check=True)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.root, ignore_errors=True)

    def installed(self, old):
        """The destination expected after the update of `old`: the release's
        visible files over it."""
        return {**old, **snapshot(self.tree, visible_only=True)}

    def work_files(self):
        """The release's files as found in a work directory, as patterns."""
        work = re.escape(self.temp) + r"/TMP[0-9A-Fa-f]+\.tmp/"
        return {rel: work + re.escape(rel) for rel in self.files}

    def test_refused_before_the_file_manager_is_closed(self):
        inst = self.new_installation()
        inst.install_old()
        inst.start()
        cases_root = os.path.join(inst.root, "cases")
        os.mkdir(cases_root)

        def dest_with_old(name):
            dest = os.path.join(cases_root, name, "zel")
            install_old(dest)
            return dest

        def source_with(name, special, make):
            source = os.path.join(cases_root, name, "new")
            write(os.path.join(source, "readme.txt"), b"ZEL version 2\n")
            write(os.path.join(source, "plugins", "a.dll"), b"new plugin\n")
            try:
                make(os.path.join(source, special))
            except PermissionError as e:
                self.skipTest("cannot make a %s here: %s" % (name, e))
            return source

        def source_missing(name):
            source = os.path.join(cases_root, name, "none") + "/"
            return [source, dest_with_old(name)], "ディレクトリ[%s]が存在しません" % source

        def special_file(name, special, make):
            source = source_with(name, special, make)
            dest = dest_with_old(name)
            return [source + "/", dest], lambda line: self.assertCopyError(
                line, errno.ENOTSUP, {special: re.escape(os.path.join(source, special))}, dest)

        def dest_missing(name):
            dest = os.path.join(cases_root, name, "gone")
            return [self.archive, dest], "インストール先ディレクトリ[%s]が存在しません" % dest

        def dest_a_file(name):
            dest = os.path.join(cases_root, name, "zel")
            write(dest, b"a file where the installation should be\n")
            return [self.archive, dest], "インストール先ディレクトリ[%s]が存在しません" % dest

        def dest_read_only(name):
            dest = dest_with_old(name)
            mount(self, dest, "--bind", dest)
            mount(self, dest, "-o", "remount,bind,ro", remount=True)
            return [self.archive, dest + "/"], lambda line: self.assertCopyError(
                line, errno.EROFS, self.work_files(), dest)

        def dest_too_small(name):
            volume = os.path.join(cases_root, name, "vol")
            os.makedirs(volume)
            # Room for the old installation and less than half of the release.
            mount(self, volume, "-t", "tmpfs", "-o", "size=%d" % (6 * MiB), "tmpfs")
            dest = os.path.join(volume, "zel")
            install_old(dest)
            free = os.statvfs(volume).f_bavail * os.statvfs(volume).f_frsize
            self.assertLess(free, self.size // 2)
            return [self.archive, dest + "/"], lambda line: self.assertCopyError(
                line, errno.ENOSPC, self.work_files(), dest)

        cases = [
            ("source missing", source_missing),
            # A pipe that no one writes would block a reader for good.
            ("fifo in a subfolder",
             lambda name: special_file(name, "plugins/pipe", os.mkfifo)),
            ("device node", lambda name: special_file(
                name, "null.dev", lambda p: os.mknod(p, 0o644 | stat.S_IFCHR, os.makedev(1, 3)))),
            ("destination missing", dest_missing),
            ("destination is a file", dest_a_file),
            ("destination read-only", dest_read_only),
            ("destination too small", dest_too_small),
        ]
        for name, make in cases:
            with self.subTest(name):
                if not pid_alive(inst.started_pids()[-1]):
                    # An earlier case closed it: each case starts with it running.
                    ready = inst.log_lines().count("ready")
                    # Ended by the installation's cleanup, like those the tool starts.
                    subprocess.Popen([inst.exe], stdin=subprocess.DEVNULL,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                    wait_for(lambda: inst.log_lines().count("ready") > ready, 10,
                             "the file manager to start")
                args, expected = make(name.replace(" ", "-"))
                dest = args[1].rstrip("/")
                before = snapshot(dest)
                closes = inst.log_lines().count("message close")
                result = self.run_tool(*args, timeout=30)
                self.assertReported(result, expected)
                self.assertEqual(snapshot(dest), before, "the destination changed")
                self.assertNeverClosed(inst, closes)
                self.assertNothingLeft()

    def test_a_disk_that_fills_up_during_the_installation_is_put_back(self):
        inst = self.new_installation()
        volume = os.path.join(inst.root, "vol")
        os.mkdir(volume)
        old_size = os.path.getsize(harness.Programs.standin) + MiB
        mount(self, volume, "-t", "tmpfs", "-o", "size=%d" % (old_size + self.size + 2 * MiB),
              "tmpfs")
        # Runs before the unmount: nothing may keep the volume busy.
        self.addCleanup(stop_file_managers, inst)
        move_installation(inst, os.path.join(volume, "zel"))
        install_old(inst.dest)
        before = snapshot(inst.dest)
        inst.start("--slow-exit=1500")
        run = self.start_tool(self.archive, inst.dest + "/")
        # Enough room when the tool looked; half of what it needs once it has
        # closed the file manager.
        wait_for(lambda: "message close" in inst.log_lines(), 20, "the request to close")
        stats = os.statvfs(volume)
        with open(os.path.join(volume, "filler"), "wb") as f:
            f.write(bytes(stats.f_bavail * stats.f_frsize - self.size // 2))
        result = run.finish()
        self.assertReported(result, lambda line: self.assertCopyError(
            line, errno.ENOSPC, self.work_files(), inst.dest, restored=True))
        self.assertEqual(snapshot(inst.dest), before)
        self.assertRunningAgain(inst, new=False)
        self.assertNothingLeft()

    def test_nested_subfolders_are_installed_whole(self):
        for kind in ("directory", "archive"):
            with self.subTest(kind):
                inst = self.new_installation()
                install_old(inst.dest)
                expected = self.installed(snapshot(inst.dest))
                first = inst.start()
                if kind == "directory":
                    source = shutil.copytree(self.tree, os.path.join(inst.root, "new"))
                    result = self.run_tool(source + "/", inst.dest, "/DELETE")
                else:
                    result = self.run_tool(self.archive, inst.dest)
                self.assertEqual(result.returncode, 0, describe(result))
                self.assertEqual(result.stdout, b"")
                self.assertEqual(first.wait(timeout=10), 0)
                self.assertEqual(snapshot(inst.dest), expected)
                left_out = [line.split(": ", 1)[1] for line in
                            result.stderr.decode("utf-8").splitlines()
                            if line.startswith("not installed (name begins with a period): ")]
                self.assertEqual(sorted(left_out), self.HIDDEN, describe(result))
                self.assertRunningAgain(inst, new=True)
                if kind == "directory":
                    self.assertFalse(os.path.lexists(source), "/DELETE removes the whole tree")
                self.assertNothingLeft()

    def test_interruptions_leave_nothing_behind(self):
        inst = self.new_installation()
        inst.install_old()
        inst.start()
        downloads = os.path.join(inst.root, "downloads")
        os.mkdir(downloads)
        site = StalledSite(b"LZH archive that never ends " * 4096)
        self.addCleanup(site.stop)
        page = site.url("/page.htm")

        def parts():
            found = []
            for item in os.scandir(downloads):
                try:
                    if item.name.startswith(".zelupd-") and item.stat().st_size > 0:
                        found.append(item.name)
                except FileNotFoundError:
                    pass  # gone while looked at
            return found

        def work_files():
            # Inside the work directory: its name is a file for a moment first.
            return [os.path.join(folder, name) for folder, _, names in os.walk(self.temp)
                    for name in names if folder != self.temp]

        cases = [
            ("download, Ctrl+C", [page, inst.dest, "/DOWNPATH", downloads], parts,
             signal.SIGINT),
            ("download, terminal closed", [page, inst.dest, "/DOWNPATH", downloads], parts,
             signal.SIGHUP),
            ("extraction, Ctrl+C", [self.archive, inst.dest], work_files, signal.SIGINT),
        ]
        before = snapshot(inst.dest)
        for name, args, begun, number in cases:
            with self.subTest(name):
                closes = inst.log_lines().count("message close")
                run = self.start_tool(*args)
                poll_until(lambda: begun() or run.process.poll() is not None, 20,
                           "the work to begin")
                # Held still while the test makes sure the work is under way.
                run.signal(signal.SIGSTOP)
                if not begun():
                    run.signal(signal.SIGCONT)
                    self.fail("the run ended before the work began\n" + describe(run.finish()))
                self.assertEqual(inst.log_lines().count("message close"), closes,
                                 "the work was over before the signal")
                run.signal(number)
                run.signal(signal.SIGCONT)
                self.assertReported(run.finish(timeout=30), INTERRUPTED)
                self.assertEqual(os.listdir(downloads), [])
                self.assertNothingLeft()
                self.assertEqual(snapshot(inst.dest), before)
                self.assertNeverClosed(inst, closes)


class StalledSite(http.server.ThreadingHTTPServer):
    """A download page whose archive sends its first bytes of four times as
    many announced, then nothing more until the site stops."""

    daemon_threads = True

    def __init__(self, first_bytes):
        super().__init__(("127.0.0.1", 0), StalledHandler)
        self.first_bytes = first_bytes
        self.release = threading.Event()
        threading.Thread(target=self.serve_forever, daemon=True).start()

    def url(self, path):
        return "http://127.0.0.1:%d%s" % (self.server_address[1], path)

    def handle_error(self, request, client_address):
        pass  # the client goes away mid-answer: that is the test

    def stop(self):
        self.release.set()
        self.shutdown()
        self.server_close()


class StalledHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def do_GET(self):
        page = self.path == "/page.htm"
        body = webserve.page(webserve.anchor("zel20.lzh")) if page else self.server.first_bytes
        self.send_response(200)
        self.send_header("Content-Type", "text/html" if page else "application/octet-stream")
        self.send_header("Content-Length", str(len(body) if page else 4 * len(body)))
        self.end_headers()
        self.wfile.write(body)
        self.wfile.flush()
        if not page:
            self.server.release.wait(60)
            self.close_connection = True


class LargeInstallationTest(SafeTest):
    """Signals in the middle of copying a few hundred megabytes: dozens of
    files whose old and new bytes differ."""

    FILE_SIZE = 10 * MiB
    NAMES = (["data%02d.bin" % i for i in range(8)] + ["maps/m%02d.bin" % i for i in range(8)]
             + ["maps/deep/d%02d.bin" % i for i in range(8)])
    ADDED = ["added/new.bin", "maps/added.txt"]

    @classmethod
    def setUpClass(cls):
        cls.root = tempfile.mkdtemp(prefix="zel-e2e-large-")
        cls.old_block = os.urandom(cls.FILE_SIZE)
        cls.new_block = os.urandom(cls.FILE_SIZE)
        cls.source = os.path.join(cls.root, "new")
        for rel in cls.NAMES:
            cls.write_version(os.path.join(cls.source, rel), rel, "new")
        write(os.path.join(cls.source, cls.ADDED[0]), b"added\n" * 100000)
        write(os.path.join(cls.source, cls.ADDED[1]), b"added text\n")
        with open(harness.Programs.standin, "rb") as f:
            write(os.path.join(cls.source, "ZEL.EXE"), f.read() + harness.NEW_MARK)
        shutil.copymode(harness.Programs.standin, os.path.join(cls.source, "ZEL.EXE"))

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.root, ignore_errors=True)

    @classmethod
    def write_version(cls, path, rel, version):
        write(path, b"%s %s\n" % (version.encode(), rel.encode()))
        with open(path, "ab") as f:
            f.write(cls.old_block if version == "old" else cls.new_block)

    def version_of(self, path, rel):
        """"old" or "new" for a file that holds one of them whole, else None."""
        with open(path, "rb") as f:
            data = f.read()
        for version, block in (("old", self.old_block), ("new", self.new_block)):
            prefix = b"%s %s\n" % (version.encode(), rel.encode())
            if data.startswith(prefix) and data[len(prefix):] == block:
                return version
        return None

    def assertNoFileHalfWritten(self, dest):
        """Every visible file is an old or a new one, whole; the hidden names
        are the tool's own (temporary files, the backup)."""
        with open(harness.Programs.standin, "rb") as f:
            standin = f.read()
        whole = {"ZEL.EXE": [standin, standin + harness.NEW_MARK], "old.txt": [b"old"]}
        for rel in self.ADDED:
            with open(os.path.join(self.source, rel), "rb") as f:
                whole[rel] = [f.read()]
        for folder, dirs, files in os.walk(dest):
            dirs[:] = [d for d in dirs if not d.startswith(".")]
            for name in files:
                path = os.path.join(folder, name)
                rel = os.path.relpath(path, dest)
                if name.startswith(".") or rel == STANDIN_LOG:
                    continue
                if rel in self.NAMES:
                    self.assertIsNotNone(self.version_of(path, rel), rel + " is half-written")
                else:
                    self.assertIn(rel, whole, "a file that is no part of either version")
                    with open(path, "rb") as f:
                        self.assertTrue(f.read() in whole[rel], rel + " is half-written")

    def interrupt_the_copy(self, number):
        """Starts an update of a large installation and holds the tool still
        once a few files were replaced; then sends it `number`."""
        inst = self.new_installation()
        inst.install_old()
        for rel in self.NAMES:
            self.write_version(os.path.join(inst.dest, rel), rel, "old")
        before = snapshot(inst.dest)

        # A file replaced by a rename has a new inode; one rewritten in
        # place a new size or time.
        def identity(rel):
            try:
                st = os.stat(os.path.join(inst.dest, rel))
            except FileNotFoundError:
                return None
            return st.st_ino, st.st_size, st.st_mtime_ns

        originals = {rel: identity(rel) for rel in [*self.NAMES, "ZEL.EXE"]}

        def replaced():
            return sum(identity(rel) != original for rel, original in originals.items())

        inst.start()
        run = self.start_tool(self.source + "/", inst.dest)
        poll_until(lambda: replaced() >= 3 or run.process.poll() is not None, 30,
                   "the first files to be replaced")
        run.signal(signal.SIGSTOP)
        self.assertLess(replaced(), len(originals), "the copy was over before the signal")
        self.assertNoFileHalfWritten(inst.dest)
        run.signal(number)
        run.signal(signal.SIGCONT)
        return inst, run, before

    def test_terminated_in_the_middle_of_the_copy(self):
        inst, run, before = self.interrupt_the_copy(signal.SIGTERM)
        self.assertReported(run.finish(), INTERRUPTED + RESTORED)
        self.assertEqual(snapshot(inst.dest), before)
        self.assertRunningAgain(inst, new=False)
        self.assertNothingLeft()

    def test_killed_in_the_middle_of_the_copy_is_restored_by_the_next_run(self):
        inst, run, before = self.interrupt_the_copy(signal.SIGKILL)
        self.assertEqual(run.finish().returncode, -signal.SIGKILL)
        self.assertNoFileHalfWritten(inst.dest)
        # The next run puts the installation back before anything else, even
        # before it finds that its source is missing.
        missing = os.path.join(inst.root, "none") + "/"
        result = self.run_tool(missing, inst.dest)
        self.assertReported(result, "ディレクトリ[%s]が存在しません" % missing)
        self.assertIn("restored", result.stderr.decode("utf-8"), describe(result))
        self.assertEqual(snapshot(inst.dest), before)
        self.assertNothingLeft()


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
    unittest.main(argv=[sys.argv[0], "-v", *rest])


if __name__ == "__main__":
    main()
