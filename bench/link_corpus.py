#!/usr/bin/env python3
"""Puts the module anchor at a random place in the body of every page of
five Debian documentation packages and counts, per package, the pages on
which the web source finds it (through zel_link_corpus).

    link_corpus.py BUILD/bench/zel_link_corpus [--seed N] [--keep DIR]

The place is chosen among the tags of the body, as Python's own HTML parser
sees them: before a start or end tag that stands after the body began
(its start tag, or the first element that cannot be in a head) and not after
it ended, outside scripts, styles, comments and the elements whose content
is text (title, textarea). Not a test: it prints figures."""

import argparse
import codecs
import html.parser
import os
import random
import re
import subprocess
import sys
import tempfile

PACKAGES = [
    ("python3.11-doc", "/usr/share/doc/python3.11/html"),
    ("sqlite3-doc", "/usr/share/doc/sqlite3"),
    ("libboost1.74-doc", "/usr/share/doc/libboost1.74-doc"),
    ("git-doc", "/usr/share/doc/git-doc"),
    ("abs-guide", "/usr/share/doc/abs-guide"),
]
LINK = "zel-corpus.lzh"
ANCHOR = '<a id="$target$" href="%s">download</a>' % LINK
HEAD_ONLY = {"html", "head", "meta", "title", "link", "script", "style", "base", "noscript"}
TEXT_ONLY = {"title", "textarea"}
META_CHARSET = re.compile(rb"""<meta[^>]+charset\s*=\s*["']?([A-Za-z0-9_.:-]+)""", re.I)


def pages_of(root):
    for directory, _, names in os.walk(root):
        for name in sorted(names):
            path = os.path.join(directory, name)
            if name.lower().endswith((".html", ".htm")) and os.path.isfile(path) \
                    and not os.path.islink(path):
                yield path


def encoding_of(data):
    if data.startswith(b"\xef\xbb\xbf"):
        return "utf-8-sig"
    found = META_CHARSET.search(data[:1024])
    if found:
        try:
            return codecs.lookup(found.group(1).decode("ascii")).name
        except LookupError:
            pass
    return "utf-8"


class Places(html.parser.HTMLParser):
    """Offsets (in the decoded text) of the tags where the anchor may go."""

    def __init__(self, text):
        super().__init__(convert_charrefs=True)
        self.line_starts = [0]
        for match in re.finditer("\n", text):
            self.line_starts.append(match.end())
        self.places = []
        self.in_body = False
        self.ended = False
        self.text_only = 0

    def absolute(self):
        line, column = self.getpos()
        return self.line_starts[line - 1] + column

    def consider(self):
        if self.in_body and not self.ended and self.text_only == 0:
            self.places.append(self.absolute())

    def handle_starttag(self, tag, attrs):
        if not self.in_body and tag not in HEAD_ONLY and tag != "body":
            self.in_body = True
        self.consider()
        if tag == "body":
            self.in_body = True
        if tag in TEXT_ONLY:
            self.text_only += 1

    def handle_startendtag(self, tag, attrs):
        if not self.in_body and tag not in HEAD_ONLY:
            self.in_body = True
        self.consider()

    def handle_endtag(self, tag):
        if tag in TEXT_ONLY and self.text_only > 0:
            self.text_only -= 1
            return
        # Before the end tag of a script or a style is still inside it.
        if tag not in ("script", "style"):
            self.consider()
        if tag in ("body", "html") and self.in_body:
            self.ended = True


def with_anchor(data, rng):
    """The page's bytes with the anchor in its body, or None without a body."""
    encoding = encoding_of(data)
    text = data.decode(encoding, errors="surrogateescape")
    places = Places(text)
    try:
        places.feed(text)
        places.close()
    except Exception:  # a page Python's parser gives up on is left out
        return None
    candidates = [p for p in places.places if text.startswith("<", p)]
    if not candidates:
        return None
    at = rng.choice(candidates)
    text = text[:at] + ANCHOR + text[at:]
    return text.encode(encoding.replace("-sig", ""), errors="surrogateescape")


def found_links(driver, paths):
    links = {}
    for start in range(0, len(paths), 400):
        out = subprocess.run([driver, *paths[start:start + 400]], check=True,
                             capture_output=True).stdout.decode("utf-8", "replace")
        for line in out.splitlines():
            path, _, link = line.partition("\t")
            links[path] = link
    return links


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("driver")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--keep", help="keep the changed pages in this directory")
    args = parser.parse_args()
    rng = random.Random(args.seed)
    work = args.keep or tempfile.mkdtemp(prefix="zel-link-corpus-")
    total_pages = total_found = 0
    print("%-18s %7s %7s %7s %7s" % ("package", "pages", "no body", "found", "missed"))
    for package, root in PACKAGES:
        if not os.path.isdir(root):
            print("%-18s not installed (%s)" % (package, root))
            continue
        changed = []
        skipped = 0
        for index, page in enumerate(pages_of(root)):
            with open(page, "rb") as f:
                data = with_anchor(f.read(), rng)
            if data is None:
                skipped += 1
                continue
            target = os.path.join(work, package, "%05d-%s" % (index, os.path.basename(page)))
            os.makedirs(os.path.dirname(target), exist_ok=True)
            with open(target, "wb") as f:
                f.write(data)
            changed.append(target)
        links = found_links(args.driver, changed)
        missed = [p for p in changed if links.get(p) != LINK]
        found = len(changed) - len(missed)
        total_pages += len(changed)
        total_found += found
        print("%-18s %7d %7d %7d %7d" % (package, len(changed), skipped, found, len(missed)))
        for path in missed[:5]:
            print("    missed: %s (%s)" % (path, links.get(path)))
    print("%-18s %7d %7s %7d %7d" % ("all", total_pages, "", total_found,
                                       total_pages - total_found))
    if not args.keep:
        subprocess.run(["rm", "-rf", work], check=False)
    return 0


if __name__ == "__main__":
    sys.exit(main())
