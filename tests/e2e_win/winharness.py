"""Running the Windows build under Wine: ZElUpd.exe against installations in
temporary directories (the programs see this machine's root as drive Z:),
the stand-in file manager installed as ZEL.EXE, and the tool's message
boxes answered by wintool. The display, the Wine prefix and the code page
(932) are the caller's: scripts/test-windows.sh sets them up."""

import os
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

E2E = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e")
sys.path.append(E2E)
import harness  # noqa: E402
from harness import NEW_MARK, wait_for  # noqa: E402

CODE_PAGE = "cp932"
BOX_CAPTION = "Error"


# The archiver DLLs a release carries beside ZElUpd.exe.
ARCHIVER_DLLS = ("UNLHA32.DLL", "UNZIP32.DLL", "ZIP32J.DLL", "CAB32.DLL", "TAR32.DLL",
                 "UNRAR32.DLL", "7-zip32.dll")


class Programs:
    zelupd = None
    standin = None
    wintool = None
    recorder = None  # the directory of the recording archiver DLLs, when built
    archivers = None  # the directory of the real archiver DLLs (ZElUpd.exe's), when there


def windows_path(path):
    """A path of this machine as the Windows programs name it."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def unix_path(path):
    """A Windows path (drive Z: or a drive of the prefix) on this machine."""
    drive, rest = path[0].lower(), path[2:].replace("\\", "/")
    if drive == "z":
        return rest
    return os.path.join(os.environ["WINEPREFIX"], "dosdevices", drive + ":", rest.lstrip("/"))


def _command_line(pid):
    with open("/proc/%s/cmdline" % pid, "rb") as f:
        return f.read().split(b"\0")


def _in_our_prefix(pid):
    with open("/proc/%s/environ" % pid, "rb") as f:
        return b"WINEPREFIX=" + os.environ["WINEPREFIX"].encode() in f.read().split(b"\0")


def wine_pids(predicate):
    """The Linux processes of this prefix's Windows programs whose program
    path (as started: a Windows or a Unix path, in lower case) passes."""
    found = []
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            program = _command_line(pid)[0].decode("utf-8", "replace").lower()
            if predicate(program) and _in_our_prefix(pid) and harness.pid_alive(int(pid)):
                found.append(int(pid))
        except OSError:
            pass  # gone while looked at
    return found


def running(path):
    """The processes running the program at `path`."""
    names = {os.path.abspath(path).lower(), windows_path(path).lower()}
    return wine_pids(lambda program: program in names)


def end_programs_under(root):
    """Ends every program started from below `root`, and waits until the
    system has let go of their files."""
    prefixes = (os.path.join(root, "").lower(), windows_path(root).lower() + "\\")
    pids = wine_pids(lambda program: program.startswith(prefixes))
    for pid in pids:
        os.kill(pid, signal.SIGKILL)
    wait_for(lambda: not any(harness.pid_alive(pid) for pid in pids), 10, "the programs to end")


def wine(program, *args, **options):
    """Starts a Windows program."""
    options.setdefault("stdin", subprocess.DEVNULL)
    return subprocess.Popen(["wine", program, *args], **options)


class BoxWatcher:
    """wintool dismissing every message box titled "Error" for the whole
    run; each box's text is kept in the order the boxes came."""

    def __init__(self):
        self.process = wine(Programs.wintool, "watch", BOX_CAPTION, stdout=subprocess.PIPE)
        self.lock = threading.Lock()
        self.boxes = []
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.process.stdout:
            kind, _, text = line.decode("ascii").strip().partition(" ")
            if kind == "box":
                with self.lock:
                    self.boxes.append(bytes.fromhex(text).decode(CODE_PAGE))

    def take(self, wait_for_one):
        """The boxes seen since the last call. A run that failed has shown
        its box before it ended; the line may still be on its way here."""
        deadline = time.monotonic() + (5 if wait_for_one else 0.05)
        while time.monotonic() < deadline:
            with self.lock:
                if self.boxes:
                    break
            time.sleep(0.01)
        with self.lock:
            taken, self.boxes = self.boxes, []
        return taken

    def stop(self):
        self.process.kill()
        self.process.wait()


watcher = None


class ToolResult:
    """A finished run of ZElUpd.exe: exit code, output as bytes and as text,
    the message boxes it showed, and how long it took."""

    def __init__(self, returncode, stdout, stderr, elapsed):
        self.returncode = returncode
        self.stdout = stdout
        self.stderr = stderr
        self.elapsed = elapsed
        self.boxes = watcher.take(wait_for_one=returncode == 1)

    @property
    def text(self):
        return self.stdout.decode(CODE_PAGE, "replace")

    @property
    def error_text(self):
        return self.stderr.decode(CODE_PAGE, "replace")

    def __str__(self):
        return "exit %s\nstdout: %s\nstderr: %s\nboxes: %s" % (
            self.returncode, self.text, self.error_text, self.boxes)


class ToolRun:
    """ZElUpd.exe running under Wine, for tests that act while it works.

    Its output goes to files, not pipes: under Wine the file manager it
    starts inherits the Unix end of its standard error, which would keep a
    pipe open for as long as the file manager runs."""

    def __init__(self, args, program=None, env=None, cwd=None):
        self.start = time.monotonic()
        self.out = tempfile.TemporaryFile()
        self.err = tempfile.TemporaryFile()
        self.process = wine(program or Programs.zelupd, *args, env=env, cwd=cwd, stdout=self.out,
                            stderr=self.err)

    def said(self, text):
        """Whether standard error so far holds `text`."""
        return text in os.pread(self.err.fileno(), 1 << 20, 0).decode(CODE_PAGE, "replace")

    def signal(self, number):
        self.process.send_signal(number)

    def finish(self, timeout=60):
        try:
            self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.kill()
            raise AssertionError("ZElUpd.exe did not end within %d s" % timeout)
        elapsed = time.monotonic() - self.start
        outputs = [os.pread(f.fileno(), 1 << 24, 0) for f in (self.out, self.err)]
        self.out.close()
        self.err.close()
        return ToolResult(self.process.returncode, *outputs, elapsed)

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
        self.process.wait()


def run_zelupd(args, program=None, env=None, timeout=60, cwd=None):
    run = ToolRun(args, program, env, cwd)
    try:
        return run.finish(timeout)
    finally:
        run.kill()


class Installation(harness.Installation):
    """A temporary installation whose ZEL.EXE runs under Wine. Its log names
    Windows process ids; the processes are found by their program's path."""

    @property
    def win_dest(self):
        return windows_path(self.dest)

    def start(self, *switches):
        """Starts the installed program and waits until the stand-in's window is up."""
        ready = self.log_lines().count("ready")
        self.first = wine(self.exe, *switches, stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL)
        wait_for(lambda: self.log_lines().count("ready") > ready, 20, "the stand-in to be ready")
        return self.first

    def hold(self, relative, milliseconds):
        """Runs wintool installed as `relative` in the installation, which
        keeps that file in use for `milliseconds`."""
        path = os.path.join(self.dest, relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(Programs.wintool, "rb") as f, open(path, "wb") as out:
            out.write(f.read())
        holder = wine(path, "sleep", str(milliseconds))
        wait_for(lambda: running(path), 20, "wintool to run as " + relative)
        return holder

    def running_from_dest(self):
        return running(self.exe)

    def cleanup(self):
        end_programs_under(self.root)
        if self.first is not None:
            self.first.wait()
        shutil.rmtree(self.root, ignore_errors=True)


def read(path, mode="r"):
    with open(path, mode) as f:
        return f.read()


class WineTest:
    """Assertions the Windows cases share (mixed into unittest.TestCase)."""

    def assertReported(self, result, message):
        """Exit code 1, the message once on the console in the system's code
        page, and once in a message box that the test dismissed."""
        self.assertEqual(result.returncode, 1, result)
        self.assertEqual(result.stdout, (message + "\r\n").encode(CODE_PAGE), result)
        self.assertEqual(result.boxes, [message], result)

    def assertSucceeded(self, result):
        self.assertEqual(result.returncode, 0, result)
        self.assertEqual(result.stdout, b"", result)
        self.assertEqual(result.boxes, [], result)

    def assertRunningAgain(self, inst, new, starts=2):
        """The file manager was started again from the destination's
        ZEL.EXE, without arguments, which holds the new or the old version."""
        wait_for(lambda: inst.log_lines().count("ready") == starts, 20,
                 "the file manager to start again")
        started = [line for line in inst.log_lines() if line.startswith("started ")]
        self.assertEqual(len(started), starts)
        self.assertTrue(started[-1].endswith(" args="), started[-1])
        self.assertEqual(len(inst.running_from_dest()), 1, "one file manager, from " + inst.dest)
        self.assertEqual(read(inst.exe, "rb").endswith(NEW_MARK), new)
