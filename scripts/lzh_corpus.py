#!/usr/bin/env python3
"""Installs each archive of lhasa's test suite through the real tool and
compares the result, name for name and byte for byte, with what lhasa's
`lha x` extracts from it. Run by scripts/lzh-corpus.sh, which fetches the
suite and builds the tool.

    lzh_corpus.py --zelupd PROG --libraries DIR [--lhasa PROG] [-v] SUITE

SUITE is the test/archives directory of lhasa's source. Every file there
but the READMEs is an archive. Each is installed with `zelupd ARCHIVE DEST/`
into a destination that holds nothing but a placeholder ZEL.EXE (a shell
script, so that the start at the end succeeds; it is left out of the
comparison), with no session bus (no file manager to close) and a private
TMPDIR. The tool picks the library by the file's extension: an archive
whose name does not end in .lzh or .exe (.lzs, .pma, .com, .run, ...) is
given to it under its name with .lzh in place of its extension.

Compared are the names, kinds (file, folder, link) and file bytes, not
times or permissions. Names with a component beginning with "." are left
out on both sides (the tool never installs them); their count is shown.
lhasa writes names of MS-DOS-like archives that are all in capitals in
lower case, where the tool keeps them as stored: a name of the tool's that
has no lower-case letter matches lhasa's lower-cased one.

Outcomes per archive: identical; different (both extracted, results
differ); failed (the tool failed where lhasa extracted); and, counted
apart, archives that lhasa itself cannot extract (exit status not 0, or
nothing extracted), with what the tool did with them."""

import argparse
import collections
import os
import re
import shutil
import stat
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests",
                                "data"))
import lzh_writer  # noqa: E402

PLACEHOLDER = b"#!/bin/sh\nexit 0\n"
OUTCOMES = ("identical", "different", "failed")
# What a sanitizer build of the tool reports on standard error.
SANITIZER = re.compile(rb"AddressSanitizer|LeakSanitizer|UndefinedBehaviorSanitizer|runtime error:")


def tree(root):
    """{relative name: (kind, detail)} of everything under root, links not
    followed, and the number of entries left out for a leading period."""
    entries, hidden = {}, 0
    for folder, dirs, files in os.walk(root):
        for name in sorted(dirs + files):
            path = os.path.join(folder, name)
            rel = os.path.relpath(path, root)
            if name.startswith("."):
                hidden += 1
                if name in dirs:
                    dirs.remove(name)
                continue
            st = os.lstat(path)
            if stat.S_ISLNK(st.st_mode):
                entries[rel] = ("link", os.readlink(path))
            elif stat.S_ISDIR(st.st_mode):
                entries[rel] = ("folder", None)
            elif stat.S_ISREG(st.st_mode):
                with open(path, "rb") as f:
                    entries[rel] = ("file", f.read())
            else:
                entries[rel] = ("other", st.st_mode)
    return entries, hidden


def has_lower(name):
    return any("a" <= c <= "z" for c in name)


def stored_base_names(archive):
    """The member names as the archive stores them (last component), where
    this simple header reader understands the archive; else None."""
    try:
        with open(archive, "rb") as f:
            members = lzh_writer.read_members(f.read())
    except Exception:  # exotic headers: no opinion
        return None
    names = set()
    for m in members:
        raw = m["name"].replace(b"\\", b"/").rstrip(b"/")
        names.add(raw.rsplit(b"/", 1)[-1].decode("latin-1"))
    return names


def compare(expected, installed, stored):
    """Differences between lhasa's tree and the tool's, as short texts, and
    whether the tool kept capitals that lhasa lowered."""
    problems = []
    capitals = False
    matched = set()
    for rel, entry in sorted(installed.items()):
        if rel in expected:
            key = rel
        elif not has_lower(rel) and rel.lower() in expected:
            key, capitals = rel.lower(), True
        else:
            problems.append("only the tool has %s" % rel)
            continue
        matched.add(key)
        if expected[key][0] != entry[0]:
            problems.append("%s is a %s, lhasa made a %s" % (rel, entry[0], expected[key][0]))
        elif expected[key] != entry:
            problems.append("%s differs (%s)" % (rel, describe_difference(expected[key], entry)))
        base = os.path.basename(rel)
        if stored is not None and base not in stored and base.upper() in stored:
            problems.append("%s: the stored name is %s" % (rel, base.upper()))
    problems += ["only lhasa has %s" % rel for rel in sorted(set(expected) - matched)]
    return problems, capitals


def describe_difference(want, got):
    if want[0] != "file":
        return "%r against %r" % (got[1], want[1])
    a, b = want[1], got[1]
    if len(a) != len(b):
        return "%d bytes, lhasa %d" % (len(b), len(a))
    first = next(i for i in range(len(a)) if a[i] != b[i])
    return "first different byte at %d" % first


def tool_name(archive):
    base = os.path.basename(archive)
    stem, ext = os.path.splitext(base)
    return base if ext.lower() in (".lzh", ".exe") else stem + ".lzh"


def run_one(archive, args, scratch):
    """The outcome for one archive: (lhasa_ok, outcome, detail, hidden, capitals)."""
    root = tempfile.mkdtemp(dir=scratch)
    try:
        by_lhasa = os.path.join(root, "lhasa")
        os.mkdir(by_lhasa)
        lhasa = subprocess.run([args.lhasa, "xqf", archive], cwd=by_lhasa,
                               stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
        expected, hidden = tree(by_lhasa)
        # Some archives lhasa only skips through, ending with status 0.
        lhasa_ok = lhasa.returncode == 0 and bool(os.listdir(by_lhasa))

        source = os.path.join(root, "in", tool_name(archive))
        os.makedirs(os.path.dirname(source))
        shutil.copyfile(archive, source)
        dest = os.path.join(root, "dest")
        os.mkdir(dest)
        with open(os.path.join(dest, "ZEL.EXE"), "wb") as f:
            f.write(PLACEHOLDER)
        os.chmod(os.path.join(dest, "ZEL.EXE"), 0o755)
        temp = os.path.join(root, "tmp")
        os.mkdir(temp)
        env = dict(os.environ, TMPDIR=temp, ZELUPD_LIBRARY_PATH=args.libraries,
                   LC_ALL="C.UTF-8")
        env.pop("DBUS_SESSION_BUS_ADDRESS", None)  # no file manager to close
        try:
            run = subprocess.run([args.zelupd, source, dest + "/"], env=env,
                                 stdin=subprocess.DEVNULL, capture_output=True, timeout=300)
            # The work paths say nothing: the message keeps the archive's own name.
            code = run.returncode
            message = run.stdout.decode("utf-8", "replace").strip().replace(root + "/", "")
            sanitizer = SANITIZER.search(run.stderr)
        except subprocess.TimeoutExpired:
            code, message, sanitizer = None, "no end after 300 s", None
        installed, _ = tree(dest)
        if "ZEL.EXE" not in expected and installed.get("ZEL.EXE") == ("file", PLACEHOLDER):
            del installed["ZEL.EXE"]
        notes = []
        if sanitizer:
            notes.append("sanitizer report on standard error")
        if os.listdir(temp):
            notes.append("work directory left in TMPDIR")

        if code != 0:
            if any(kind == "link" for kind, _ in expected.values()):
                notes.append("lhasa made links")
            if installed:
                notes.append("failed, yet installed %s" % ", ".join(sorted(installed)[:3]))
            return lhasa_ok, "failed", "; ".join(
                [message or "exit %s" % code] + notes), hidden, False
        problems, capitals = compare(expected, installed, stored_base_names(archive))
        outcome = "different" if problems else "identical"
        return lhasa_ok, outcome, "; ".join(problems[:4] + notes), hidden, capitals
    finally:
        subprocess.run(["chmod", "-R", "u+rwx", root], capture_output=True)
        shutil.rmtree(root, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--zelupd", required=True)
    parser.add_argument("--libraries", required=True)
    parser.add_argument("--lhasa", default="/usr/bin/lhasa")
    parser.add_argument("-v", "--verbose", action="store_true", help="list every archive")
    parser.add_argument("suite", help="lhasa's test/archives directory")
    args = parser.parse_args()

    archives = sorted(os.path.join(folder, name) for folder, _, names in os.walk(args.suite)
                      for name in names if not name.startswith("README"))
    if not archives:
        sys.exit("no archives under " + args.suite)
    counts = collections.defaultdict(collections.Counter)
    lhasa_fails = collections.defaultdict(collections.Counter)
    hidden_total = capitals_total = 0
    with tempfile.TemporaryDirectory(prefix="zel-lzh-corpus-") as scratch:
        for archive in archives:
            rel = os.path.relpath(archive, args.suite)
            group = os.path.dirname(rel)
            lhasa_ok, outcome, detail, hidden, capitals = run_one(archive, args, scratch)
            hidden_total += hidden
            capitals_total += capitals
            if lhasa_ok:
                counts[group][outcome] += 1
                label = outcome
            else:
                lhasa_fails[group]["refused" if outcome == "failed" else "installed"] += 1
                label = "lhasa fails, the tool " + (
                    "failed too" if outcome == "failed" else "installed it")
            if args.verbose or detail or label not in ("identical",
                                                       "lhasa fails, the tool failed too"):
                print("%-40s %s%s" % (rel, label, ": " + detail if detail else ""))

    groups = sorted(set(counts) | set(lhasa_fails))
    print()
    print("%-22s %9s %9s %6s %12s" % ("directory", "identical", "different", "failed",
                                      "lhasa fails"))
    total, total_fails = collections.Counter(), collections.Counter()
    for group in groups:
        total.update(counts[group])
        total_fails.update(lhasa_fails[group])
        print("%-22s %9d %9d %6d %12s" % (group, *(counts[group][o] for o in OUTCOMES),
                                          fails_text(lhasa_fails[group])))
    print("%-22s %9d %9d %6d %12s" % ("total", *(total[o] for o in OUTCOMES),
                                      fails_text(total_fails)))
    print()
    print("%d archives; %d names beginning with '.' left out of the comparison; "
          "%d archives whose capitals the tool kept where lhasa writes lower case"
          % (len(archives), hidden_total, capitals_total))
    print("lhasa fails: archives lhasa cannot extract (exit status not 0, or nothing "
          "extracted), as refused/installed by the tool")
    return 0


def fails_text(counter):
    n = counter["refused"] + counter["installed"]
    return "%d (%d/%d)" % (n, counter["refused"], counter["installed"]) if n else "0"


if __name__ == "__main__":
    sys.exit(main())
