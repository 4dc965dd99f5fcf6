#!/usr/bin/env python3
"""An update from an LZH archive, end to end: `zelupd ARCHIVE DEST/` against
the script a user would write (bsdtar -xf into a directory, cp -a over the
installation, rm -rf the directory), in turns, best of a few rounds each.
The tool makes every file durable before it counts as installed, the script
does not; a third row times the script followed by `sync -f DEST`.

    install_bench.py ZELUPD ARCHIVE LIBRARY_DIR [--rounds N] [--work DIR]

No file manager runs (no session bus); the work directory and the
installation share a file system, so the tool can move files into place.
Prints figures; never fails on time."""

import argparse
import hashlib
import os
import shutil
import subprocess
import sys
import time


def tree(root):
    """Relative name to the digest of every file under root."""
    files = {}
    for folder, _, names in os.walk(root):
        for name in names:
            path = os.path.join(folder, name)
            with open(path, "rb") as f:
                files[os.path.relpath(path, root)] = hashlib.sha256(f.read()).hexdigest()
    return files


def fresh(path):
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("zelupd")
    parser.add_argument("archive")
    parser.add_argument("libraries")
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--work", help="scratch directory (default: beside the archive)")
    args = parser.parse_args()
    work = os.path.abspath(args.work or os.path.join(os.path.dirname(args.archive), "install"))
    temp, dest, old = (os.path.join(work, name) for name in ("tmp", "dest", "old"))

    # The installation before the update: the release's names with other bytes.
    fresh(old)
    subprocess.run(["bsdtar", "-xf", args.archive, "-C", old], check=True)
    for folder, _, names in os.walk(old):
        for name in names:
            with open(os.path.join(folder, name), "r+b") as f:
                f.write(b"old version ")
    # The tool starts the installation's ZEL.EXE when it is done: one that
    # ends at once.
    shutil.copy2(shutil.which("true"), os.path.join(old, "ZEL.EXE"))
    release = os.path.join(work, "release")
    fresh(release)
    subprocess.run(["bsdtar", "-xf", args.archive, "-C", release], check=True)
    expected = tree(release)
    size = sum(os.path.getsize(os.path.join(release, rel)) for rel in expected)
    shutil.rmtree(release)

    env = {k: v for k, v in os.environ.items() if k != "DBUS_SESSION_BUS_ADDRESS"}
    env.update(TMPDIR=temp, ZELUPD_LIBRARY_PATH=args.libraries)

    def reset():
        fresh(temp)
        shutil.rmtree(dest, ignore_errors=True)
        subprocess.run(["cp", "-a", old, dest], check=True)
        os.sync()  # the last round's writes are not this round's cost

    def run_zelupd():
        result = subprocess.run([args.zelupd, args.archive, dest + "/"], env=env,
                                stdin=subprocess.DEVNULL, capture_output=True)
        if result.returncode != 0:
            sys.exit("zelupd failed (%d): %s%s" % (result.returncode, result.stdout.decode(),
                                                   result.stderr.decode()))

    def run_script():
        directory = os.path.join(temp, "extract")
        os.mkdir(directory)
        subprocess.run(["bsdtar", "-xf", args.archive, "-C", directory], check=True)
        subprocess.run(["cp", "-a", directory + "/.", dest + "/"], check=True)
        subprocess.run(["rm", "-rf", directory], check=True)

    def run_script_synced():
        run_script()
        subprocess.run(["sync", "-f", dest], check=True)

    reset()
    same = os.stat(temp).st_dev == os.stat(dest).st_dev
    print("%d files, %.1f MB; work directory and installation on %s file system"
          % (len(expected), size / 1e6, "one" if same else "different"), flush=True)
    times = {"zelupd": [], "script": [], "synced": []}
    for round_number in range(args.rounds):
        for name, action in (("zelupd", run_zelupd), ("script", run_script),
                             ("synced", run_script_synced)):
            reset()
            start = time.perf_counter()
            action()
            times[name].append(time.perf_counter() - start)
            if round_number == 0:
                installed = tree(dest)
                if any(installed.get(rel) != digest for rel, digest in expected.items()):
                    sys.exit("%s did not install the release" % name)
                if os.listdir(temp):
                    sys.exit("%s left %s in the temporary directory" % (name, os.listdir(temp)))
    shutil.rmtree(work, ignore_errors=True)

    best = {name: min(values) for name, values in times.items()}
    rows = [("zelupd ARCHIVE DEST/", "zelupd"),
            ("bsdtar -xf, cp -a, rm -rf", "script"),
            ("the same, then sync -f", "synced")]
    for label, name in rows:
        print("%-28s best %7.3f s   rounds %s" % (label, best[name],
                                                 " ".join("%.3f" % t for t in times[name])))
    print("zelupd / script: %.2f   zelupd / script with sync: %.2f"
          % (best["zelupd"] / best["script"], best["zelupd"] / best["synced"]))


if __name__ == "__main__":
    main()
