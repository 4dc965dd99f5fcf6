#!/usr/bin/env python3
"""Corruption fuzzing of the archive source: valid archives of each family
that the Linux build reads are mutated (bits flipped, cut short, bytes
inserted) and installed with the real tool and the real libraries. Every
run must either install exactly the original content, or fail with nothing
installed: exit code 1, one message (on standard output and in the message
box), the installation unchanged, the work directory gone. A sanitizer
build's reports on standard error, a crash or a run that does not end count
as faults too.

    fuzz_archives.py [--build DIR | --zelupd PROG --libraries DIR]
                     [--count N] [--seed S] [--jobs J] [--family F]...
                     [--only I]... [--keep DIR] [--timeout SEC]

Mutant I of seed S is a pure function of (S, I): its family is the I-th in
turn, its base archive, mutation and bytes come from a generator seeded
with "S:I". So `--seed S --only I --keep DIR` writes that mutant into DIR
and runs it again. Runs have no session bus (no file manager to close) and
a private TMPDIR; the installation holds a placeholder ZEL.EXE (a shell
script) that the tool starts at the end of a successful run.

Families and their bases: LZH (stored members at header levels 0, 1 and 2
written by tests/data/lzh_writer.py, an -lh1- member, and the jlha-made
fixtures of tests/data/lzh with -lh5-, -lh6-, -lh7-), ZIP (stored, deflate,
bzip2, LZMA by Python's zipfile), 7z (bsdtar: LZMA2, PPMd, BZip2, Deflate,
copy; the family is left out without bsdtar), TAR (ustar, GNU, pax by
Python's tarfile), .tgz, .tar.bz2, and xz-compressed TAR, which is given to
the tool as .tar because no extension of the tool's selects the TAR library
for .xz. A base that the tool cannot install whole (a method it does not
decode) is left out, and said so. The content expected from the jlha
fixtures is what the tool installs from them whole, checked against the
sizes and CRC-16s of their headers.

Outcomes: installed (exactly the original), refused (failed cleanly; by
message), unchecked (a plain TAR installed with exactly the flips that fell
in its members' bytes: the format has no checksum over them), and faults:
a wrong installation, a failure that changed the installation or left the
work directory, a crash, a hang or a sanitizer report. The exit status is 1
when there is a fault."""

import argparse
import bz2
import collections
import concurrent.futures
import gzip
import io
import lzma
import os
import random
import re
import shutil
import stat
import subprocess
import sys
import tarfile
import tempfile
import time
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(HERE, "data"))
import lzh_writer  # noqa: E402

MTIME = 1704164646
PLACEHOLDER = b"#!/bin/sh\nexit 0\n"
OLD = {"ZEL.EXE": PLACEHOLDER, "old.txt": b"old\n", "plugins/a.dll": b"old plugin\n"}


def release():
    rng = random.Random(11)
    return {
        "readme.txt": b"".join(b"ZEL version 2, line %03d\n" % i for i in range(80)),
        "plugins/a.dll": rng.randbytes(3000),
        "data/table.dat": b"".join(b"row %05d %s\n" % (i, b"=" * (i % 40)) for i in range(300)),
        "docs/en/guide.txt": b"guide\n" * 50,
    }


RELEASE = release()
SANITIZER = re.compile(rb"AddressSanitizer|LeakSanitizer|UndefinedBehaviorSanitizer|"
                       rb"runtime error:|MemorySanitizer|ThreadSanitizer")
EXTRACT_FAILED = re.compile(r"書庫\[.*\]を展開できませんでした \(コード (0x[0-9A-Fa-f]+)")


# ---------------------------------------------------------------------------
# Base archives


def lzh_release(level, method=b"-lh0-"):
    members = []
    for rel, data in RELEASE.items():
        folder, _, base = rel.rpartition("/")
        if level == 0:
            members.append(lzh_writer.Member(name=rel.replace("/", "\\").encode(), data=data,
                                             mtime=MTIME, level=0, method=method))
        else:
            members.append(lzh_writer.Member(
                name=base.encode(), data=data, mtime=MTIME, level=level, method=method,
                dirname=folder.replace("/", "\xff").encode("latin-1") + b"\xff" if folder
                else None))
    return lzh_writer.archive(members)


def tar_release(fmt):
    out = io.BytesIO()
    with tarfile.open(fileobj=out, mode="w", format=fmt) as archive:
        for rel, data in RELEASE.items():
            info = tarfile.TarInfo(rel)
            info.size, info.mtime, info.mode = len(data), MTIME, 0o644
            archive.addfile(info, io.BytesIO(data))
    return out.getvalue()


def zip_release(method):
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", compression=method) as archive:
        for rel, data in RELEASE.items():
            archive.writestr(zipfile.ZipInfo(rel, time.gmtime(MTIME)[:6]), data,
                             compress_type=method)
    return out.getvalue()


def seven_zip_release(compression, scratch):
    tree = os.path.join(scratch, "7z-tree")
    if not os.path.isdir(tree):
        for rel, data in RELEASE.items():
            os.makedirs(os.path.dirname(os.path.join(tree, rel)), exist_ok=True)
            with open(os.path.join(tree, rel), "wb") as f:
                f.write(data)
    path = os.path.join(scratch, "release-%s.7z" % compression)
    subprocess.run(["bsdtar", "--format", "7zip", "--options", "7zip:compression=" + compression,
                    "-cf", path, *sorted(RELEASE)], cwd=tree, check=True, capture_output=True)
    with open(path, "rb") as f:
        return f.read()


class Base:
    """A valid archive, the extension it is given to the tool under, and
    the files it holds (None: learnt from a whole run of the tool)."""

    def __init__(self, family, label, data, ext, files=RELEASE, unchecked=()):
        self.family, self.label, self.data, self.ext = family, label, data, ext
        self.files = files
        # (name, offset, size) of member bytes that no checksum of the format covers
        self.unchecked = unchecked


def tar_member_ranges(raw):
    with tarfile.open(fileobj=io.BytesIO(raw)) as archive:
        return [(m.name, m.offset_data, m.size) for m in archive.getmembers()]


def with_unchecked_flips(base, flips):
    """The files of `base` with the flips that fall in bytes no checksum
    covers, or None when no flip does."""
    files, hit = dict(base.files), False
    for at, mask in flips:
        for name, offset, size in base.unchecked:
            if offset <= at < offset + size:
                data = bytearray(files[name])
                data[at - offset] ^= mask
                files[name], hit = bytes(data), True
    return files if hit else None


def make_bases(scratch, notes):
    tar_raw = tar_release(tarfile.USTAR_FORMAT)
    bases = [
        Base("lzh", "stored, level 0", lzh_release(0), ".lzh"),
        Base("lzh", "stored, level 1", lzh_release(1), ".lzh"),
        Base("lzh", "stored, level 2", lzh_release(2), ".lzh"),
        Base("lzh", "-lh1-, level 2", lzh_release(2, b"-lh1-"), ".lzh"),
    ]
    for name in ("lh5-level0", "lh5-level1", "lh5-level2", "lh6", "lh7"):
        with open(os.path.join(HERE, "data", "lzh", name + ".lzh"), "rb") as f:
            bases.append(Base("lzh", "jlha " + name, f.read(), ".lzh", files=None))
    for label, method in (("stored", zipfile.ZIP_STORED), ("deflate", zipfile.ZIP_DEFLATED),
                          ("bzip2", zipfile.ZIP_BZIP2), ("lzma", zipfile.ZIP_LZMA)):
        bases.append(Base("zip", label, zip_release(method), ".zip"))
    if shutil.which("bsdtar"):
        for compression in ("lzma2", "ppmd", "bzip2", "deflate", "store"):
            bases.append(Base("7z", compression, seven_zip_release(compression, scratch), ".7z"))
    else:
        notes.append("7z left out: no bsdtar to write the bases (Debian: libarchive-tools)")
    for label, fmt in (("ustar", tarfile.USTAR_FORMAT), ("gnu", tarfile.GNU_FORMAT),
                       ("pax", tarfile.PAX_FORMAT)):
        raw = tar_raw if fmt == tarfile.USTAR_FORMAT else tar_release(fmt)
        bases.append(Base("tar", label, raw, ".tar", unchecked=tar_member_ranges(raw)))
    bases.append(Base("tgz", "gzip -9", gzip.compress(tar_raw, 9, mtime=0), ".tgz"))
    bases.append(Base("tar.bz2", "bzip2 -9", bz2.compress(tar_raw, 9), ".tar.bz2"))
    bases.append(Base("tar.xz", "xz, as .tar", lzma.compress(tar_raw), ".tar"))
    return bases


def lzh_header_checks(raw):
    """{stored name: (size, CRC-16)} of an LZH archive's members."""
    checks, at = {}, 0
    for m in lzh_writer.read_members(raw):
        level = raw[at + 20]
        crc_at = at + 21 if level == 2 else at + 22 + raw[at + 21]
        crc = int.from_bytes(raw[crc_at:crc_at + 2], "little")
        if m["method"] != b"-lhd-":
            checks[m["name"].decode("cp932").replace("\\", "/")] = (m["size"], crc)
        at = m["data_at"] + m["packed"]
    return checks


# ---------------------------------------------------------------------------
# Runs


def tree(root):
    """{relative name: bytes, or "folder"/"link"/"other"} under root."""
    found = {}
    for folder, dirs, files in os.walk(root):
        for name in dirs + files:
            path = os.path.join(folder, name)
            rel = os.path.relpath(path, root)
            st = os.lstat(path)
            if stat.S_ISREG(st.st_mode):
                with open(path, "rb") as f:
                    found[rel] = f.read()
            elif stat.S_ISDIR(st.st_mode):
                found[rel] = "folder"
            else:
                found[rel] = "link" if stat.S_ISLNK(st.st_mode) else "other"
    return found


def with_folders(files):
    """Files by relative name, with the folders that hold them."""
    out = dict(files)
    for rel in files:
        parts = rel.split("/")[:-1]
        for i in range(1, len(parts) + 1):
            out["/".join(parts[:i])] = "folder"
    return out


class Runner:
    def __init__(self, args, scratch):
        self.args, self.scratch = args, scratch
        self.env = dict(os.environ, ZELUPD_LIBRARY_PATH=args.libraries, LC_ALL="C.UTF-8")
        self.env.pop("DBUS_SESSION_BUS_ADDRESS", None)  # no file manager to close
        self.env.setdefault("ASAN_OPTIONS", "detect_leaks=1")
        self.env.setdefault("UBSAN_OPTIONS", "print_stacktrace=1")

    def run(self, data, ext):
        """Installs `data` saved as an archive over a fresh old installation:
        (exit code or "hang", stdout, stderr, installation before, after,
        what the temporary directory holds)."""
        root = tempfile.mkdtemp(dir=self.scratch)
        try:
            dest = os.path.join(root, "dest")
            for rel, content in OLD.items():
                os.makedirs(os.path.dirname(os.path.join(dest, rel)), exist_ok=True)
                with open(os.path.join(dest, rel), "wb") as f:
                    f.write(content)
            os.chmod(os.path.join(dest, "ZEL.EXE"), 0o755)
            before = tree(dest)
            archive = os.path.join(root, "zel20" + ext)
            with open(archive, "wb") as f:
                f.write(data)
            temp = os.path.join(root, "tmp")
            os.mkdir(temp)
            env = dict(self.env, TMPDIR=temp)
            try:
                done = subprocess.run([self.args.zelupd, archive, dest + "/"], env=env,
                                      stdin=subprocess.DEVNULL, capture_output=True,
                                      timeout=self.args.timeout)
                code, out, err = done.returncode, done.stdout, done.stderr
            except subprocess.TimeoutExpired as e:
                code, out, err = "hang", e.stdout or b"", e.stderr or b""
            return code, out, err, before, tree(dest), os.listdir(temp)
        finally:
            subprocess.run(["chmod", "-R", "u+rwx", root], capture_output=True)
            shutil.rmtree(root, ignore_errors=True)


def expected_after(files):
    return with_folders({**OLD, **files})


def learn_base(runner, base, notes):
    """Checks that the tool installs the base whole; fills in the files of
    a jlha fixture. False when the base is left out."""
    code, out, err, _, after, left = runner.run(base.data, base.ext)
    name = "%s %s" % (base.family, base.label)
    if code != 0 or SANITIZER.search(err) or left:
        notes.append("%s left out: the tool does not install it whole (%s)"
                     % (name, out.decode("utf-8", "replace").strip() or "exit %s" % code))
        return False
    if base.files is None:
        checks = lzh_header_checks(base.data)
        files = {rel: data for rel, data in after.items()
                 if isinstance(data, bytes) and rel not in OLD}
        if set(files) != set(checks):
            notes.append("%s left out: it installs %s" % (name, ", ".join(sorted(files))))
            return False
        for rel, (size, crc) in checks.items():
            if rel not in files or (len(files[rel]), lzh_writer.crc16(files[rel])) != (size, crc):
                notes.append("%s left out: %s does not match its header" % (name, rel))
                return False
        base.files = files
    if after != expected_after(base.files):
        notes.append("%s left out: installed whole, the result differs" % name)
        return False
    return True


def mutate(data, rng):
    """(mutated bytes, description, the flips as (position, mask))."""
    n = len(data)

    def position(limit):
        # Headers sit at the start and, for ZIP and 7z, the end; they get
        # as much attention as everything between.
        r = rng.random()
        if r < 0.3:
            return rng.randrange(min(limit, 1024))
        if r < 0.6:
            return max(0, limit - 1 - rng.randrange(min(limit, 1024)))
        return rng.randrange(limit)

    op = rng.choices(["flip", "cut", "insert"], weights=[5, 2, 3])[0]
    out = bytearray(data)
    if op == "flip":
        count = rng.choice([1, 1, 1, 2, 3, 8])
        spots = sorted({position(n) for _ in range(count)})
        flips = [(at, 1 << rng.randrange(8)) for at in spots]
        for at, mask in flips:
            out[at] ^= mask
        return bytes(out), "flip at %s" % ",".join(map(str, spots)), flips
    if op == "cut":
        at = position(n)
        return bytes(out[:at]), "cut at %d of %d" % (at, n), []
    at = position(n + 1)
    size = rng.choice([1, 2, 4, 16, 512])
    out[at:at] = rng.randbytes(size)
    return bytes(out), "insert %d at %d" % (size, at), []


def judge(base, flips, result):
    """(outcome, detail): installed, refused, unchecked or a fault."""
    code, out, err, before, after, left = result
    lines = out.decode("utf-8", "replace").splitlines()
    boxes = [line for line in err.decode("utf-8", "replace").splitlines()
             if line.startswith("[Error] ")]
    if SANITIZER.search(err):
        report = [line for line in err.decode("utf-8", "replace").splitlines()
                  if SANITIZER.search(line.encode())]
        return "fault: sanitizer", report[0] if report else ""
    if code == "hang":
        return "fault: hang", ""
    if code < 0:
        return "fault: crash", "signal %d" % -code
    if left:
        return "fault: work directory left", ", ".join(left)
    if code == 0:
        want = expected_after(base.files)
        if after == want and not lines:
            return "installed", ""
        wrong = sorted(rel for rel in set(want) | set(after) if want.get(rel) != after.get(rel))
        flipped = with_unchecked_flips(base, flips)
        if flipped is not None and after == expected_after(flipped) and not lines:
            return "unchecked", ", ".join(wrong)
        return "fault: wrong installation", ", ".join(wrong[:4])
    if code == 1 and len(lines) == 1 and boxes == ["[Error] " + lines[0]]:
        if after != before:
            return "fault: failed, installation changed", lines[0]
        match = EXTRACT_FAILED.search(lines[0])
        if match:
            return "refused", "code " + match[1].upper().replace("0X", "0x")
        if "からは何も展開されませんでした" in lines[0]:
            return "refused", "nothing extracted"
        return "refused", re.sub(r"\[.*?\]", "[…]", lines[0])
    return "fault: exit %s" % code, " | ".join(lines[:2])


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default=os.path.join(ROOT, "build"),
                        help="build directory (bin/zelupd, lib/zelupd)")
    parser.add_argument("--zelupd")
    parser.add_argument("--libraries")
    parser.add_argument("--count", type=int, default=300, help="mutants (default 300)")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 2)
    parser.add_argument("--family", action="append", help="only these families")
    parser.add_argument("--only", type=int, action="append", help="only these mutants")
    parser.add_argument("--keep", help="write the mutants that are faults (or --only) here")
    parser.add_argument("--timeout", type=float, default=120)
    args = parser.parse_args()
    args.zelupd = args.zelupd or os.path.join(args.build, "bin", "zelupd")
    args.libraries = args.libraries or os.path.join(args.build, "lib", "zelupd")
    started = time.monotonic()

    notes = []
    with tempfile.TemporaryDirectory(prefix="zel-fuzz-") as scratch:
        runner = Runner(args, scratch)
        bases = [b for b in make_bases(scratch, notes)
                 if not args.family or b.family in args.family]
        bases = [b for b in bases if learn_base(runner, b, notes)]
        families = sorted({b.family for b in bases}, key=[b.family for b in bases].index)
        if not families:
            sys.exit("no base archive to mutate\n" + "\n".join(notes))
        by_family = {f: [b for b in bases if b.family == f] for f in families}

        def one(index):
            rng = random.Random("%d:%d" % (args.seed, index))
            base = rng.choice(by_family[families[index % len(families)]])
            data, how, flips = mutate(base.data, rng)
            outcome, detail = judge(base, flips, runner.run(data, base.ext))
            if args.keep and (outcome.startswith("fault") or args.only):
                os.makedirs(args.keep, exist_ok=True)
                with open(os.path.join(args.keep, "mutant-%d-%d%s" % (args.seed, index, base.ext)),
                          "wb") as f:
                    f.write(data)
            return index, base, how, outcome, detail

        indices = args.only or range(args.count)
        table = collections.defaultdict(collections.Counter)
        messages = collections.defaultdict(collections.Counter)
        faults = []
        with concurrent.futures.ThreadPoolExecutor(max(1, args.jobs)) as pool:
            for index, base, how, outcome, detail in pool.map(one, indices):
                table[base.family][outcome] += 1
                if outcome == "refused":
                    messages[base.family][detail] += 1
                if outcome.startswith("fault") or args.only:
                    faults.append((index, base, how, outcome, detail))

    for note in notes:
        print("note: " + note)
    print("bases: " + ", ".join("%s %d" % (f, len(by_family[f])) for f in families))
    outcomes = ["installed", "refused", "unchecked"]
    outcomes += sorted({o for c in table.values() for o in c} - set(outcomes))
    width = max(len(o) for o in outcomes)
    print("\n%-8s %7s  %s" % ("family", "mutants", "  ".join("%*s" % (width, o) for o in outcomes)))
    for family in families:
        counts = table[family]
        print("%-8s %7d  %s" % (family, sum(counts.values()),
                                "  ".join("%*d" % (width, counts[o]) for o in outcomes)))
    total = collections.Counter()
    for counts in table.values():
        total.update(counts)
    print("%-8s %7d  %s" % ("total", sum(total.values()),
                            "  ".join("%*d" % (width, total[o]) for o in outcomes)))
    print("\nrefused, by message:")
    for family in families:
        print("  %-8s %s" % (family, ", ".join("%s %d" % item
                                               for item in sorted(messages[family].items()))))
    if faults:
        print("\nmutants (reproduce: %s --seed %d --only I --keep DIR):"
              % (os.path.relpath(__file__), args.seed))
        for index, base, how, outcome, detail in sorted(faults, key=lambda f: f[0]):
            print("  %5d %-8s %-18s %-28s %s: %s" % (index, base.family, base.label, how, outcome,
                                                    detail))
    print("\nseed %d, %d mutants in %.0f s" % (args.seed, sum(total.values()),
                                                time.monotonic() - started))
    return 1 if any(o.startswith("fault") for o in total) else 0


if __name__ == "__main__":
    sys.exit(main())
