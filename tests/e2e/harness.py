"""Running the built zelupd against real installations with the stand-in
file manager on the session bus."""

import argparse
import os
import shutil
import signal
import subprocess
import tempfile
import sys
import time
import unittest

STANDIN_LOG = "zel-standin.log"
NEW_MARK = b"\0zel-version-2"


class Programs:
    zelupd = None
    standin = None


def wait_for(predicate, timeout, what):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if predicate():
            return
        time.sleep(0.02)
    raise AssertionError("timed out waiting for " + what)


def pid_alive(pid):
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    # A zombie has ended; its executable is free.
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().split(") ")[-1].split()[0] != "Z"
    except FileNotFoundError:
        return False


class Installation:
    """A temporary installation directory with a stand-in running as ZEL.EXE."""

    def __init__(self):
        self.root = tempfile.mkdtemp(prefix="zel-e2e-")
        self.dest = os.path.join(self.root, "inst dir")
        os.mkdir(self.dest)
        self.exe = os.path.join(self.dest, "ZEL.EXE")
        self.log = os.path.join(self.dest, STANDIN_LOG)
        self.first = None

    def install_old(self):
        shutil.copy2(Programs.standin, self.exe)
        with open(os.path.join(self.dest, "old.txt"), "w") as f:
            f.write("old")

    def start(self, *switches):
        """Starts the installed stand-in and waits until its window is on the bus."""
        self.first = subprocess.Popen([self.exe, *switches], stdin=subprocess.DEVNULL,
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for(lambda: "ready" in self.log_lines(), 10, "the stand-in to be ready")
        return self.first

    def log_lines(self):
        try:
            with open(self.log, encoding="utf-8") as f:
                return [line.rstrip("\n") for line in f]
        except FileNotFoundError:
            return []

    def started_pids(self):
        pids = []
        for line in self.log_lines():
            if line.startswith("started "):
                for part in line.split():
                    if part.startswith("pid="):
                        pids.append(int(part[4:]))
        return pids

    def new_source(self, files, name="new"):
        """A directory of new files; ZEL.EXE in it is the stand-in marked as version 2."""
        source = os.path.join(self.root, name)
        os.mkdir(source)
        for file_name, content in files.items():
            path = os.path.join(source, file_name)
            if content is None:
                os.mkdir(path)
            elif file_name == "ZEL.EXE":
                shutil.copy2(Programs.standin, path)
                with open(path, "ab") as f:
                    f.write(NEW_MARK)
            else:
                with open(path, "w", encoding="utf-8") as f:
                    f.write(content)
        return source

    def cleanup(self):
        for pid in self.started_pids():
            if pid_alive(pid):
                os.kill(pid, signal.SIGKILL)
        if self.first is not None and self.first.poll() is None:
            self.first.kill()
        if self.first is not None:
            self.first.wait()
        shutil.rmtree(self.root, ignore_errors=True)


def run_zelupd(args, timeout=60, prefix=()):
    start = time.monotonic()
    result = subprocess.run([*prefix, Programs.zelupd, *args], stdin=subprocess.DEVNULL,
                            capture_output=True, timeout=timeout)
    result.elapsed = time.monotonic() - start
    return result


def message_box_lines(stderr):
    return [line for line in stderr.decode("utf-8").splitlines() if line.startswith("[Error] ")]


def main():
    """Runs the calling module's tests with the programs named on the command line."""
    parser = argparse.ArgumentParser()
    parser.add_argument("--zelupd", required=True)
    parser.add_argument("--standin", required=True)
    args, rest = parser.parse_known_args()
    Programs.zelupd = args.zelupd
    Programs.standin = args.standin
    if not os.environ.get("DBUS_SESSION_BUS_ADDRESS"):
        sys.exit("run these tests on a session bus (dbus-run-session)")
    unittest.main(module="__main__", argv=[sys.argv[0], "-v", *rest])
