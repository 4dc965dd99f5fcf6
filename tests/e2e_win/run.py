#!/usr/bin/env python3
"""Runs the end-to-end tests of the Windows build under Wine.

    run.py --build DIR [--release DIR] [-k PART_OF_A_TEST_NAME]...

DIR is the cross build (bin/ZElUpd.exe, tools/zel-standin/zel-standin.exe,
tests/e2e_win/wintool.exe and, when built, the recording archiver DLLs in
tests/archive_recorder/full/); each program can also be named on its own.
--release names an unpacked release folder (scripts/package-windows.sh):
ZElUpd.exe and the archiver DLLs beside it are then taken from there, as a
user runs them; the other programs still come from the build. The tests of
the real archiver DLLs use those beside ZElUpd.exe.
The X display, the Wine prefix and the Japanese code page come from the
caller (scripts/test-windows.sh): DISPLAY, WINEPREFIX, LC_ALL."""

import argparse
import os
import subprocess
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import winharness  # noqa: E402
from winharness import Programs  # noqa: E402


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", help="the Windows build directory")
    parser.add_argument("--release", help="an unpacked release folder: ZElUpd.exe and its DLLs")
    parser.add_argument("--zelupd")
    parser.add_argument("--standin")
    parser.add_argument("--wintool")
    parser.add_argument("--recorder", help="the directory of the recording archiver DLLs")
    parser.add_argument("-k", dest="patterns", action="append", default=[],
                        help="run only the tests whose name holds this")
    args = parser.parse_args()
    build = args.build or ""
    Programs.zelupd = args.zelupd or os.path.join(args.release or os.path.join(build, "bin"),
                                                  "ZElUpd.exe")
    Programs.standin = args.standin or os.path.join(build, "tools", "zel-standin",
                                                    "zel-standin.exe")
    Programs.wintool = args.wintool or os.path.join(build, "tests", "e2e_win", "wintool.exe")
    recorder = args.recorder or os.path.join(build, "tests", "archive_recorder", "full")
    Programs.recorder = recorder if os.path.isfile(os.path.join(recorder, "UNLHA32.DLL")) else None
    for program in (Programs.zelupd, Programs.standin, Programs.wintool):
        if not os.path.isfile(program):
            sys.exit("no %s (give --build or the program)" % program)
    # The system finds the DLLs in ZElUpd.exe's folder; a release without
    # all of them is no release.
    beside = os.path.dirname(os.path.abspath(Programs.zelupd))
    missing = [name for name in winharness.ARCHIVER_DLLS
               if not os.path.isfile(os.path.join(beside, name))]
    if args.release and missing:
        sys.exit("the release %s lacks %s" % (args.release, ", ".join(missing)))
    Programs.archivers = None if missing else beside
    for name in ("DISPLAY", "WINEPREFIX"):
        if not os.environ.get(name):
            sys.exit("%s is not set: run these tests from scripts/test-windows.sh" % name)
    winharness.harness.Programs.standin = Programs.standin

    # Without a window manager on the display, Wine waits two seconds for
    # one to acknowledge each visible window that goes; unmanaged windows
    # go at once.
    subprocess.run(["wine", "reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed",
                    "/d", "N", "/f"], check=True, capture_output=True)
    winharness.watcher = winharness.BoxWatcher()
    try:
        loader = unittest.TestLoader()
        loader.testNamePatterns = ["*%s*" % pattern for pattern in args.patterns] or None
        suite = loader.discover(HERE, pattern="test_*.py", top_level_dir=HERE)
        result = unittest.TextTestRunner(verbosity=2).run(suite)
    finally:
        winharness.watcher.stop()
    sys.exit(0 if result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
