"""End-to-end tests of the web source against download pages as sites write
them today, over HTTP and HTTPS servers on 127.0.0.1: the markup, where the
module link points, character sets, content codings, pages that are too
large or cut short, answers that are no archive, and the progress shown on a
terminal. One server and one archive per test class keep the runs short; the
file manager is not started beforehand, only restarted by the tool, and
ended again between cases."""

import argparse
import fcntl
import os
import pty
import select
import shutil
import signal
import ssl
import struct
import subprocess
import sys
import tempfile
import termios
import threading
import tty
import unittest
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
import webserve  # noqa: E402
from harness import pid_alive, wait_for  # noqa: E402
from webserve import (Answer, Listener, Site, describe, file_failed, page_failed,  # noqa: E402
                      read, redirect)

PAGES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "pages")
README = "the module 17"
JA_NAME = "ぜるソフト17.lzh"
JA_PATH = "%E3%81%9C%E3%82%8B%E3%82%BD%E3%83%95%E3%83%8817.lzh"
BOM = b"\xef\xbb\xbf"
MIB = 1024 * 1024
# Well below twice the page limit: a refused page is never held whole.
RSS_LIMIT_KIB = 48 * 1024
# Runs the tool as its only child and writes the child's peak resident set
# (KiB) to the file named first.
RSS_WRAPPER = ("import resource, subprocess, sys\n"
               "code = subprocess.run(sys.argv[2:]).returncode\n"
               "with open(sys.argv[1], 'w') as f:\n"
               "    f.write(str(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss))\n"
               "sys.exit(code)\n")

# What the memory cases measured, printed after the run.
MEASURED = []


# What a file host answers with status 200 when the session has expired.
LOGIN_PAGE = """<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8"><title>Sign in - Files</title>
<link rel="stylesheet" href="/static/login.css"></head>
<body><main class="login"><h1>Sign in to continue</h1>
<form method="post" action="/login?next=%2Fdl%2Fzel17.lzh">
<input type="hidden" name="csrf" value="3f9a1c">
<label>User <input name="user" autocomplete="username"></label>
<label>Password <input type="password" name="password"></label>
<button type="submit">Sign in</button></form></main></body></html>
"""


def fixture(name, **substitutions):
    text = read(os.path.join(PAGES, name), "rb").decode("utf-8")
    for key, value in substitutions.items():
        text = text.replace("@%s@" % key, value)
    return text


def html5(body, head=""):
    """A small page around the given markup, as a static site writes it."""
    return ('<!DOCTYPE html>\n<html lang="en">\n<head>\n<meta charset="utf-8">\n'
            '<title>ZEL download</title>\n%s</head>\n<body>\n<h1>ZEL</h1>\n%s\n'
            '<p><a href="zel16.lzh">zel16.lzh</a></p>\n</body>\n</html>\n' % (head, body))


def gzip_of(pieces):
    """The gzip stream of the concatenated pieces, made piece by piece."""
    packer = zlib.compressobj(9, zlib.DEFLATED, 31)
    return b"".join(packer.compress(piece) for piece in pieces) + packer.flush()


def listing(size, link=None):
    """A long file listing (as generated index pages look) of `size` bytes
    whose module link, if any, comes first."""
    latest = '<p><a id="$target$" href="%s">latest</a></p>' % link if link else ""
    head = ("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Index of /dl</title>"
            "</head><body><h1>Index of /dl</h1>%s<table>\n" % latest).encode()
    return head + rows(size - len(head))


def rows(size):
    """`size` bytes of a listing's table rows."""
    row = b'<tr><td><a href="old/zel0000.lzh">zel0000.lzh</a></td><td>2001-01-01</td></tr>\n'
    return (row * (size // len(row) + 1))[:size]


class ServedTest(webserve.ToolTest):
    """One HTTP site and one archive for the whole class; each test has its
    installation (not running) and its copy of the tool."""

    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="zel-e2e-pages-")
        cls.site = Site()
        cls.archive = webserve.make_archive(cls.work, "zel17.lzh", README)

    @classmethod
    def tearDownClass(cls):
        cls.site.stop()
        shutil.rmtree(cls.work, ignore_errors=True)

    def setUp(self):
        super().setUp()
        self.inst.install_old()
        self.starts = 0

    def serve_archive(self, site, path, **options):
        site.routes[path] = Answer(self.archive, **options)

    def assertSilentSuccess(self, result):
        self.assertEqual(result.returncode, 0, describe(result))
        self.assertEqual(result.stdout, b"")
        # Not a terminal: no progress, no message box; only what the tool
        # waited for, when it closed a running file manager.
        self.assertEqual([line for line in result.stderr.decode("utf-8").splitlines()
                          if not line.startswith("waiting ")], [])

    def expect_install(self, url, request_path, local_name, site=None, env=None):
        """Runs the tool on `url` with a fresh download directory and checks
        that it asked `site` for `request_path` once, saved the archive as
        `local_name`, installed it and recorded the name. Leaves the
        installation ready for the next case."""
        site = site or self.site
        downloads = tempfile.mkdtemp(prefix="dl-", dir=self.inst.root)
        asked = len(site.requests_for(request_path))
        result = self.run_update(url, "/DOWNPATH", downloads, env=env)
        self.assertSilentSuccess(result)
        self.starts += 1
        self.wait_started(self.starts)
        self.assertEqual(len(site.requests_for(request_path)), asked + 1,
                         [entry["path"] for entry in site.log[-3:]])
        self.assertEqual(os.listdir(downloads), [local_name])
        self.assertEqual(read(os.path.join(downloads, local_name), "rb"), self.archive)
        self.assertEqual(read(os.path.join(self.inst.dest, "readme.txt")), README)
        self.assertTrue(read(self.inst.exe, "rb").endswith(harness.NEW_MARK))
        self.assertRecord(local_name)
        self.assertEqual(os.listdir(self.temp), [], "the work directory is gone")
        self.reset_installation()

    def reset_installation(self):
        """The restarted file manager ended, no record, no readme."""
        for pid in self.inst.started_pids():
            if pid_alive(pid):
                os.kill(pid, signal.SIGKILL)
                wait_for(lambda: not pid_alive(pid), 10, "the file manager to end")
        for path in (self.record, os.path.join(self.inst.dest, "readme.txt")):
            if os.path.exists(path):
                os.remove(path)

    def expect_refused(self, url, message, *, env=None, prefix=()):
        """The run fails with `message`, installs nothing, records nothing."""
        starts = len(self.inst.started_pids())
        result = self.run_update(url, env=env, prefix=prefix)
        self.assertReported(result, message)
        self.assertEqual(len(self.inst.started_pids()), starts)
        self.assertFalse(os.path.exists(os.path.join(self.inst.dest, "readme.txt")))
        self.assertEqual(os.listdir(self.bin), ["zelupd"])
        return result


class PagesTest(ServedTest):
    def test_pages_written_as_sites_write_them(self):
        origin = self.site.origin
        # A stray NUL in the text, as some editors leave one.
        with_nul = fixture("html5-full.html").replace("17 です。", "17 です。\0")
        # A script's warning printed before the page it then writes.
        notice = ("<br />\n<b>Notice</b>:  Undefined index: lang in <b>/var/www/dl/index.php</b>"
                  " on line <b>3</b><br />\n" + fixture("html5-full.html"))
        # (case, page, page path, archive path asked for)
        cases = [
            ("HTML5 with every optional tag", "html5-full.html", "/html5/dl/",
             "/html5/dl/zel17.lzh"),
            ("HTML5 without html, head and body", "html5-minimal.html", "/minimal/dl/index.html",
             "/minimal/dl/zel17.lzh"),
            ("XHTML 1.0 Strict with an XML declaration", "xhtml1-strict.html",
             "/xhtml/dl/download.html", "/xhtml/dl/zel17.lzh"),
            ("HTML 4.01 in capitals with tables", "html401-tables.html", "/html4/DL/INDEX.HTM",
             "/html4/DL/zel17.lzh"),
            ("a blog engine's article", "blog.html", "/2024/05/zel-17/",
             "/wp-content/uploads/2024/05/zel17.lzh"),
            ("conditional comments", "conditional-comments.html", "/cc/dl/index.html",
             "/cc/dl/zel17.lzh"),
            ("markup, end tags and a marked anchor inside scripts and styles",
             "scripts-styles.html", "/script/dl/index.html", "/script/dl/zel17.lzh"),
            ("SVG icons and a template", "svg-template.html", "/svg/dl/index.html",
             "/svg/dl/zel17.lzh"),
            ("a NUL byte in the text", with_nul, "/nul/dl/index.html", "/nul/dl/zel17.lzh"),
            ("a PHP notice before the doctype", notice, "/php/dl/index.php", "/php/dl/zel17.lzh"),
        ]
        for name, markup, page_path, archive_path in cases:
            with self.subTest(name):
                if markup.endswith(".html"):
                    markup = fixture(markup, ORIGIN=origin)
                self.site.routes[page_path] = Answer(markup.encode("utf-8"))
                self.serve_archive(self.site, archive_path)
                self.expect_install(self.site.url(page_path), archive_path, "zel17.lzh")
        # The decoys in comments, scripts and styles were never taken.
        self.assertEqual([e["path"] for e in self.site.log if "wrong" in e["path"]], [])

    def test_links_resolved_as_a_browser_resolves_them(self):
        port = self.site.server_address[1]
        # (case, directory, anchor markup, archive path asked for, local file
        # name); each page is /l/<directory>/dl/page.htm.
        cases = [
            ("absolute", "abs",
             '<a id="$target$" href="http://127.0.0.1:%d/l/abs/other/zel17.lzh">' % port,
             "/l/abs/other/zel17.lzh", "zel17.lzh"),
            ("absolute in capitals", "caps",
             '<a id="$target$" href="HTTP://127.0.0.1:%d/l/caps/zel17.lzh">' % port,
             "/l/caps/zel17.lzh", "zel17.lzh"),
            ("root-relative", "root", '<a id="$target$" href="/l/root/files/zel17.lzh">',
             "/l/root/files/zel17.lzh", "zel17.lzh"),
            ("scheme-relative", "scheme",
             '<a id="$target$" href="//127.0.0.1:%d/l/scheme/zel17.lzh">' % port,
             "/l/scheme/zel17.lzh", "zel17.lzh"),
            ("parent", "parent", '<a id="$target$" href="../files/zel17.lzh">',
             "/l/parent/files/zel17.lzh", "zel17.lzh"),
            ("dot segments", "dots", '<a id="$target$" href="./../dl/./v17/../zel17.lzh">',
             "/l/dots/dl/zel17.lzh", "zel17.lzh"),
            ("more parents than the path has", "deep",
             '<a id="$target$" href="../../../../zel17.lzh">', "/zel17.lzh", "zel17.lzh"),
            ("query", "query", '<a id="$target$" href="zel17.lzh?ver=17">',
             "/l/query/dl/zel17.lzh?ver=17", "zel17.lzh"),
            ("fragment", "fragment", '<a id="$target$" href="zel17.lzh#download">',
             "/l/fragment/dl/zel17.lzh", "zel17.lzh"),
            ("entity in the query", "amp",
             '<a id="$target$" href="get/zel17.lzh?id=17&amp;lang=ja">',
             "/l/amp/dl/get/zel17.lzh?id=17&lang=ja", "zel17.lzh"),
            ("numeric references", "numeric", '<a id="$target$" href="zel&#49;&#x37;.lzh">',
             "/l/numeric/dl/zel17.lzh", "zel17.lzh"),
            ("single quotes", "single", "<a class='btn' id='$target$' href='files/zel17.lzh'>",
             "/l/single/dl/files/zel17.lzh", "zel17.lzh"),
            ("white space around the address", "blank",
             '<a id="$target$" href="\n    files/zel17.lzh\n  ">', "/l/blank/dl/files/zel17.lzh",
             "zel17.lzh"),
            ("unquoted with a path", "unquoted", "<a id=$target$ href=files/zel17.lzh>",
             "/l/unquoted/dl/files/zel17.lzh", "zel17.lzh"),
            ("unquoted absolute", "unqabs",
             "<a href=http://127.0.0.1:%d/l/unqabs/zel17.lzh id=$target$>" % port,
             "/l/unqabs/zel17.lzh", "zel17.lzh"),
            ("percent-encoded space", "pct", '<a id="$target$" href="zel%2017.lzh">',
             "/l/pct/dl/zel%2017.lzh", "zel 17.lzh"),
            ("a raw space", "space", '<a id="$target$" href="zel 17.lzh">',
             "/l/space/dl/zel%2017.lzh", "zel 17.lzh"),
            ("Japanese, percent-encoded", "jaenc", '<a id="$target$" href="%s">' % JA_PATH,
             "/l/jaenc/dl/" + JA_PATH, JA_NAME),
            ("Japanese, as text", "ja", '<a id="$target$" href="%s">' % JA_NAME,
             "/l/ja/dl/" + JA_PATH, JA_NAME),
        ]
        for name, directory, markup, archive_path, local_name in cases:
            with self.subTest(name):
                page_path = "/l/%s/dl/page.htm" % directory
                self.site.routes[page_path] = Answer(
                    html5("<p>%sthe module</a></p>" % markup).encode("utf-8"))
                self.serve_archive(self.site, archive_path)
                self.expect_install(self.site.url(page_path), archive_path, local_name)

    def test_links_under_a_base_address(self):
        # A page's base element changes what its links are relative to.
        # (case, base href, archive path asked for); each page is
        # /b/<n>/dl/page.htm and links zel17.lzh.
        cases = [
            ("a directory of the site", "/b/0/files/", "/b/0/files/zel17.lzh"),
            ("relative to the page", "../mirror/", "/b/1/mirror/zel17.lzh"),
            ("another page's address", "http://127.0.0.1:%d/b/2/v17/index.html"
             % self.site.server_address[1], "/b/2/v17/zel17.lzh"),
        ]
        for number, (name, base, archive_path) in enumerate(cases):
            with self.subTest(name):
                page_path = "/b/%d/dl/page.htm" % number
                self.site.routes[page_path] = Answer(html5(
                    '<p><a id="$target$" href="zel17.lzh">zel17.lzh</a></p>',
                    head='<base href="%s">\n' % base).encode("utf-8"))
                self.serve_archive(self.site, archive_path)
                self.expect_install(self.site.url(page_path), archive_path, "zel17.lzh")

    def test_character_sets(self):
        ja_meta = '<META HTTP-EQUIV="Content-Type" CONTENT="text/html; charset=Shift_JIS">'
        # (case, meta markup, encoding of the bytes, byte order mark, Content-Type)
        cases = [
            ("Shift_JIS named by the header", "", "cp932", b"", "text/html; charset=Shift_JIS"),
            ("Shift_JIS quoted in the header", "", "cp932", b"",
             'text/html; charset="Shift_JIS"'),
            ("Shift_JIS named by meta http-equiv", ja_meta, "cp932", b"", "text/html"),
            ("Shift_JIS named by meta charset", '<meta charset="shift_jis">', "cp932", b"",
             "text/html"),
            ("the header before a stale meta", '<meta charset="utf-8">', "cp932", b"",
             "text/html; charset=Shift_JIS"),
            ("UTF-8 with a byte order mark", "", "utf-8", BOM, "text/html"),
            ("a byte order mark before a stale meta", ja_meta, "utf-8", BOM, "text/html"),
            ("a byte order mark before the header", "", "utf-8", BOM,
             "text/html; charset=Shift_JIS"),
            ("UTF-8 undeclared, as the system's code page", "", "utf-8", b"", "text/html"),
        ]
        for number, (name, meta, encoding, bom, content_type) in enumerate(cases):
            with self.subTest(name):
                body = bom + fixture("japanese.html", META=meta).encode(encoding)
                page_path = "/cs/%d/index.html" % number
                archive_path = "/cs/%d/%s" % (number, JA_PATH)
                self.site.routes[page_path] = Answer(body, content_type=content_type)
                self.serve_archive(self.site, archive_path)
                self.expect_install(self.site.url(page_path), archive_path, JA_NAME)

    def test_content_codings_and_chunked_transfers(self):
        # (case, page options, archive options)
        cases = [
            ("gzip page", {"coding": "gzip"}, {}),
            ("deflate page", {"coding": "deflate"}, {}),
            ("chunked page", {"chunked": True}, {}),
            ("chunked gzip page", {"coding": "gzip", "chunked": True}, {}),
            ("gzip archive", {}, {"coding": "gzip"}),
            ("chunked archive", {}, {"chunked": True}),
            ("page ended by closing the connection", {"until_close": True}, {}),
            ("archive ended by closing the connection", {}, {"until_close": True}),
        ]
        for number, (name, page_options, archive_options) in enumerate(cases):
            with self.subTest(name):
                page_path = "/enc/%d/index.html" % number
                archive_path = "/enc/%d/zel17.lzh" % number
                self.site.routes[page_path] = Answer(
                    fixture("html5-full.html").encode("utf-8"), **page_options)
                self.serve_archive(self.site, archive_path, **archive_options)
                self.expect_install(self.site.url(page_path), archive_path, "zel17.lzh")
                # The coding was asked for and used, not skipped by the server.
                for path, options in ((page_path, page_options),
                                      (archive_path, archive_options)):
                    self.assertEqual(self.site.requests_for(path)[-1]["coding"],
                                     options.get("coding"))

    def test_pages_over_the_limit_are_refused_in_bounded_memory(self):
        big = listing(17 * MIB, "zel17.lzh")
        just_over = listing(16 * MIB + 1, "zel17.lzh")
        # 128 MiB of markup in 130 KB: only a bounded reader survives it.
        bomb = gzip_of([listing(MIB, "zel17.lzh")] + [rows(MIB)] * 127)
        # (case, answer)
        cases = [
            ("17 MiB with a length", Answer(big)),
            ("17 MiB chunked", Answer(big, chunked=True)),
            ("16 MiB and one byte, chunked", Answer(just_over, chunked=True)),
            ("17 MiB in a small gzip answer", Answer(big, coding="gzip")),
            ("128 MiB in a small gzip answer", Answer(b"<", coding="gzip", encoded=bomb)),
        ]
        for number, (name, answer) in enumerate(cases):
            with self.subTest(name):
                page_path = "/big/%d/index.html" % number
                self.site.routes[page_path] = answer
                self.serve_archive(self.site, "/big/%d/zel17.lzh" % number)
                rss_file = os.path.join(self.inst.root, "rss")
                url = self.site.url(page_path)
                self.expect_refused(url, page_failed(url),
                                    prefix=(sys.executable, "-c", RSS_WRAPPER, rss_file))
                rss = int(read(rss_file))
                MEASURED.append("peak RSS, %s: %d KiB" % (name, rss))
                self.assertLess(rss, RSS_LIMIT_KIB)
                self.assertEqual(self.site.requests_for("/big/%d/zel17.lzh" % number), [])
                # The coding was asked for and used.
                self.assertEqual(self.site.requests_for(page_path)[-1]["coding"], answer.coding)

    def test_a_page_within_the_limit_is_read_to_its_end(self):
        page_path = "/big/within/index.html"
        body = listing(12 * MIB)
        # The module link is the last thing on the page.
        body += b'</table><p><a id="$target$" href="zel17.lzh">latest</a></p></body></html>\n'
        self.site.routes[page_path] = Answer(body, chunked=True)
        self.serve_archive(self.site, "/big/within/zel17.lzh")
        self.expect_install(self.site.url(page_path), "/big/within/zel17.lzh", "zel17.lzh")

    def test_pages_cut_short_are_refused(self):
        body = fixture("html5-full.html").encode("utf-8")
        # Cut after the module link: a page kept as received would still work.
        sent = body.index(b"</section>")
        # (case, answer)
        cases = [
            ("fewer bytes than the length, then closed", Answer(body, cut=sent)),
            ("fewer bytes than the length, then reset", Answer(body, cut=sent, reset=True)),
            ("chunked without its last chunk", Answer(body, chunked=True, cut=sent)),
            ("gzip stream cut", Answer(body + b"<!-- %s -->" % os.urandom(4096).hex().encode(),
                                       coding="gzip", cut=2000)),
        ]
        for number, (name, answer) in enumerate(cases):
            with self.subTest(name):
                page_path = "/cut/%d/index.html" % number
                self.site.routes[page_path] = answer
                self.serve_archive(self.site, "/cut/%d/zel17.lzh" % number)
                url = self.site.url(page_path)
                self.expect_refused(url, page_failed(url))
                self.assertEqual(self.site.requests_for("/cut/%d/zel17.lzh" % number), [])

    def test_links_that_are_never_fetched(self):
        listener = Listener()
        self.addCleanup(listener.stop)
        # A real archive where a file: link would find it.
        local = os.path.join(self.inst.root, "zel17.lzh")
        with open(local, "wb") as f:
            f.write(self.archive)
        # (case, href, whether it is relative to the page)
        cases = [
            ("ftp", "ftp://127.0.0.1:%d/zel17.lzh" % listener.port, False),
            ("file", "file://" + local, False),
            ("javascript", "javascript:void(0)", False),
            ("mailto", "mailto:zel@example.com?subject=zel17.lzh", False),
            ("a name holding a slash", "a%2Fzel17.lzh", True),
            ("a name holding a NUL", "zel17%00.lzh", True),
        ]
        for number, (name, href, relative) in enumerate(cases):
            with self.subTest(name):
                page_path = "/never/%d/page.htm" % number
                self.site.routes[page_path] = Answer(
                    html5('<p><a id="$target$" href="%s">zel17.lzh</a></p>' % href).encode())
                url = self.site.url(page_path)
                archive = self.site.url("/never/%d/%s" % (number, href)) if relative else href
                self.expect_refused(url, file_failed(archive))
                self.assertEqual([e["path"] for e in self.site.log
                                  if e["path"].startswith("/never/%d/" % number)], [page_path])
        self.assertEqual(listener.connections, 0)

    def test_redirects_to_other_schemes_are_not_followed(self):
        listener = Listener()
        self.addCleanup(listener.stop)
        local_page = os.path.join(self.inst.root, "page.htm")
        with open(local_page, "wb") as f:
            f.write(html5('<a id="$target$" href="zel17.lzh">zel17.lzh</a>').encode())
        local_archive = os.path.join(self.inst.root, "zel17.lzh")
        with open(local_archive, "wb") as f:
            f.write(self.archive)
        ftp = "ftp://127.0.0.1:%d/" % listener.port
        # (case, page answer, archive answer, message)
        page_path = "/redir/%d/page.htm"
        cases = [
            ("page to ftp", redirect(ftp + "page.htm"), None, page_failed),
            ("page to file", redirect("file://" + local_page), None, page_failed),
            ("archive to ftp", None, redirect(ftp + "zel17.lzh"), file_failed),
            ("archive to file", None, redirect("file://" + local_archive), file_failed),
        ]
        for number, (name, page_answer, archive_answer, message) in enumerate(cases):
            with self.subTest(name):
                path = page_path % number
                archive_path = "/redir/%d/zel17.lzh" % number
                self.site.routes[path] = page_answer or Answer(
                    html5('<a id="$target$" href="zel17.lzh">zel17.lzh</a>').encode())
                self.site.routes[archive_path] = archive_answer or Answer(self.archive)
                url = self.site.url(path)
                self.expect_refused(url, message(url if message is page_failed
                                                 else self.site.url(archive_path)))
        self.assertEqual(listener.connections, 0)


class NotAnArchiveTest(ServedTest):
    def test_an_answer_that_is_no_archive_is_not_kept(self):
        first = self.inst.start()
        with open(self.record, "w") as f:
            f.write("[ZelUpd]\nLastDown=zel16.lzh\n")
        page_path, archive_path = "/login/dl/index.html", "/login/dl/zel17.lzh"
        self.site.routes[page_path] = Answer(fixture("html5-full.html").encode("utf-8"))
        url, archive_url = self.site.url(page_path), self.site.url(archive_path)
        login = LOGIN_PAGE.encode("utf-8")
        downloads = os.path.join(self.inst.root, "downloads")
        os.mkdir(downloads)
        # (case, answer, options)
        cases = [
            ("a login page", Answer(login, content_type="text/html; charset=utf-8"), ()),
            ("the same page again, into /DOWNPATH", Answer(login), ("/DOWNPATH", downloads)),
            ("an empty answer", Answer(b"", content_type="application/octet-stream"), ()),
        ]
        for asked, (name, answer, options) in enumerate(cases, 1):
            with self.subTest(name):
                self.site.routes[archive_path] = answer
                result = self.run_update(url, *options)
                self.assertReported(result, file_failed(archive_url))
                # Asked again each time: nothing was left to be taken for the archive.
                self.assertEqual(len(self.site.requests_for(archive_path)), asked)
                self.assertEqual(sorted(os.listdir(self.bin)), ["downver.inf", "zelupd"])
                self.assertEqual(os.listdir(downloads), [])
                self.assertRecord("zel16.lzh")
                self.assertIsNone(first.poll())
                self.assertNotIn("message close", self.inst.log_lines())
                self.assertEqual(os.listdir(self.temp), [])

        self.serve_archive(self.site, archive_path)
        result = self.run_update(url)
        self.assertSilentSuccess(result)
        self.assertEqual(first.wait(timeout=10), 0)
        self.wait_started(2)
        self.assertEqual(len(self.site.requests_for(archive_path)), len(cases) + 1)
        self.assertEqual(read(os.path.join(self.inst.dest, "readme.txt")), README)
        self.assertRecord("zel17.lzh")


def openssl(*args):
    result = subprocess.run(["openssl", *args], stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    if result.returncode != 0:
        raise RuntimeError("openssl %s: %s" % (args[0], result.stderr.decode()))


def make_ca(directory, stem, subject):
    """A self-signed CA: its key and certificate files."""
    key, cert = (os.path.join(directory, stem + ext) for ext in (".key", ".pem"))
    openssl("req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
            "-nodes", "-keyout", key, "-out", cert, "-days", "2", "-subj", "/CN=" + subject,
            "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    return key, cert


def issue(directory, ca, name, alt_names, serial):
    """A server context whose certificate, from the CA `ca` (key and
    certificate files), names the given subjectAltName list."""
    ca_key, ca_cert = ca
    key, csr, cert, ext = (os.path.join(directory, name + e)
                           for e in (".key", ".csr", ".pem", ".ext"))
    openssl("req", "-new", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
            "-nodes", "-keyout", key, "-out", csr, "-subj", "/CN=" + name)
    with open(ext, "w") as f:
        f.write("subjectAltName=%s\nbasicConstraints=critical,CA:FALSE\n"
                "keyUsage=critical,digitalSignature\nextendedKeyUsage=serverAuth\n" % alt_names)
    openssl("x509", "-req", "-in", csr, "-CA", ca_cert, "-CAkey", ca_key, "-set_serial",
            str(serial), "-days", "2", "-out", cert, "-extfile", ext)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    return context


class HttpsTest(ServedTest):
    """An HTTPS site with a certificate from a CA the test makes, one whose
    certificate names another host, and the class's HTTP site."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        ca = make_ca(cls.work, "ca", "ZelUpd Test CA")
        cls.ca_file = ca[1]
        cls.other_ca_file = make_ca(cls.work, "other-ca", "Another CA")[1]
        cls.tls = Site(tls=issue(cls.work, ca, "loopback", "IP:127.0.0.1", 1))
        cls.misnamed = Site(tls=issue(cls.work, ca, "misnamed", "DNS:zel.example.invalid", 2))

    @classmethod
    def tearDownClass(cls):
        cls.tls.stop()
        cls.misnamed.stop()
        super().tearDownClass()

    def trusting(self, ca_file=None):
        return webserve.tool_env(**({"SSL_CERT_FILE": ca_file} if ca_file else {}))

    def publish(self, site, prefix, href="zel17.lzh"):
        page_path = prefix + "/index.html"
        site.routes[page_path] = Answer(
            fixture("html5-full.html").replace('href="zel17.lzh"', 'href="%s"' % href)
            .encode("utf-8"))
        return page_path

    def test_a_page_and_its_archive_over_https(self):
        page_path = self.publish(self.tls, "/tls")
        self.serve_archive(self.tls, "/tls/zel17.lzh")
        url = self.tls.url(page_path)
        cases = [
            ("as given", url),
            ("scheme in capitals", url.replace("https://", "HTTPS://")),
        ]
        for name, source in cases:
            with self.subTest(name):
                self.expect_install(source, "/tls/zel17.lzh", "zel17.lzh", site=self.tls,
                                    env=self.trusting(self.ca_file))

    def test_certificates_that_are_not_trusted(self):
        page_path = self.publish(self.tls, "/untrusted")
        self.publish(self.misnamed, "/untrusted")
        self.serve_archive(self.tls, "/untrusted/zel17.lzh")
        self.serve_archive(self.misnamed, "/untrusted/zel17.lzh")
        self.site.routes[page_path] = redirect(self.tls.url(page_path))
        # (case, the address given, the site refused, CA bundle)
        cases = [
            ("the system's trust store", self.tls.url(page_path), self.tls, None),
            ("another CA's bundle", self.tls.url(page_path), self.tls, self.other_ca_file),
            ("a certificate for another host", self.misnamed.url(page_path), self.misnamed,
             self.ca_file),
            ("redirected from http", self.site.url(page_path), self.tls, None),
        ]
        for name, url, site, ca_file in cases:
            with self.subTest(name):
                connections = site.tls_connections
                self.expect_refused(url, page_failed(url), env=self.trusting(ca_file))
                # Refused by the client over TLS, not for want of trying.
                self.assertGreater(site.tls_connections, connections)
        self.assertEqual([e for e in self.tls.log + self.misnamed.log
                          if e["path"].startswith("/untrusted/")], [])

    def test_an_archive_on_an_untrusted_server(self):
        archive_url = self.tls.url("/mixed-untrusted/zel17.lzh")
        page_path = self.publish(self.site, "/mixed-untrusted", href=archive_url)
        self.serve_archive(self.tls, "/mixed-untrusted/zel17.lzh")
        url = self.site.url(page_path)
        self.expect_refused(url, file_failed(archive_url))
        self.assertEqual(self.tls.requests_for("/mixed-untrusted/zel17.lzh"), [])

    def test_between_http_and_https(self):
        env = self.trusting(self.ca_file)
        # A browser takes the link relative to where the page was found.
        self.publish(self.tls, "/moved-tls")
        self.site.routes["/moved/index.html"] = redirect(self.tls.url("/moved-tls/index.html"))
        self.serve_archive(self.tls, "/moved-tls/zel17.lzh")
        cases = [
            ("an http page to https", self.site.url("/moved/index.html"),
             "/moved-tls/zel17.lzh", self.tls),
            ("an https archive on an http page", self.site.url(self.publish(
                self.site, "/up", href=self.tls.url("/up/zel17.lzh"))), "/up/zel17.lzh",
             self.tls),
            ("an http archive on an https page", self.tls.url(self.publish(
                self.tls, "/down", href=self.site.url("/down/zel17.lzh"))), "/down/zel17.lzh",
             self.site),
            ("an http archive moved to https", self.site.url(self.publish(self.site, "/arch")),
             "/arch/zel17.lzh", self.tls),
        ]
        self.serve_archive(self.tls, "/up/zel17.lzh")
        self.serve_archive(self.site, "/down/zel17.lzh")
        self.site.routes["/arch/zel17.lzh"] = redirect(self.tls.url("/arch/zel17.lzh"))
        self.serve_archive(self.tls, "/arch/zel17.lzh")
        for name, url, archive_path, site in cases:
            with self.subTest(name):
                self.expect_install(url, archive_path, "zel17.lzh", site=site, env=env)
        self.assertEqual(len(self.tls.requests_for("/moved-tls/index.html")), 1)


class ProgressTest(ServedTest):
    def run_on_terminal(self, url, *options):
        """Runs the tool with a terminal as its standard error; gives the
        result with the terminal's bytes as stderr."""
        master, slave = pty.openpty()
        tty.setraw(slave)  # the bytes as the tool writes them
        fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack("HHHH", 24, 80, 0, 0))
        env = dict(webserve.tool_env(), TMPDIR=self.temp)
        process = subprocess.Popen([self.zelupd, url, self.inst.dest + "/", *options], env=env,
                                   stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                   stderr=slave)
        os.close(slave)
        output = bytearray()
        done = threading.Event()

        def drain():
            # The restarted file manager may hold the terminal open: read
            # until the tool has ended and nothing more comes.
            while True:
                ready, _, _ = select.select([master], [], [], 0.2)
                if not ready:
                    if done.is_set():
                        return
                    continue
                try:
                    data = os.read(master, 65536)
                except OSError:
                    return
                if not data:
                    return
                output.extend(data)

        reader = threading.Thread(target=drain)
        reader.start()
        with process.stdout:
            stdout = process.stdout.read()
        process.wait(timeout=60)
        done.set()
        reader.join()
        os.close(master)
        return subprocess.CompletedProcess(process.args, process.returncode, stdout,
                                           bytes(output))

    def test_progress_on_a_terminal(self):
        # Short addresses: a line on an 80-column terminal names them whole.
        for prefix, chunked in (("/pg", False), ("/pc", True)):
            self.site.routes[prefix + "/a.htm"] = Answer(
                fixture("html5-full.html").encode("utf-8"), chunked=chunked)
            self.serve_archive(self.site, prefix + "/zel17.lzh", chunked=chunked)

        result = self.run_on_terminal(self.site.url("/pg/a.htm"), "/DELETE")
        self.assertEqual(result.returncode, 0, describe(result))
        self.assertEqual(result.stdout, b"")
        shown = result.stderr.decode("utf-8")
        url, archive_url = self.site.url("/pg/a.htm"), self.site.url("/pg/zel17.lzh")
        self.assertIn("\r", shown)
        self.assertIn(url, shown)
        self.assertIn(archive_url, shown)
        self.assertLess(shown.index(url), shown.index(archive_url))
        self.assertTrue(shown.endswith("\n"), repr(shown[-200:]))
        # Both sizes are known: each line's last state is complete.
        for address in (url, archive_url):
            states = shown[shown.index(address):].split("\n")[0].split("\r")
            self.assertRegex([state for state in states if state.strip()][-1], r"\(100%\)")
        self.wait_started(1)
        self.reset_installation()

        with self.subTest("sizes unknown"):
            result = self.run_on_terminal(self.site.url("/pc/a.htm"), "/DELETE")
            self.assertEqual(result.returncode, 0, describe(result))
            self.assertEqual(result.stdout, b"")
            shown = result.stderr.decode("utf-8")
            self.assertIn(self.site.url("/pc/a.htm"), shown)
            self.assertIn(self.site.url("/pc/zel17.lzh"), shown)
            # The downloads show no percentage (the installation counts files).
            self.assertNotRegex(shown[:shown.index("installing into")], r"\(\d+%\)")
            self.assertTrue(shown.endswith("\n"), repr(shown[-200:]))
            self.wait_started(2)
            self.reset_installation()

        with self.subTest("a failed transfer"):
            self.site.routes["/pg/zel17.lzh"] = Answer(self.archive, cut=len(self.archive) // 2)
            result = self.run_on_terminal(url)
            message = file_failed(archive_url)
            self.assertEqual(result.returncode, 1, describe(result))
            self.assertEqual(result.stdout.decode("utf-8"), message + "\n")
            # The progress line was ended before the message box's line.
            self.assertIn("[Error] " + message, result.stderr.decode("utf-8").split("\n"))


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
    program = unittest.main(argv=[sys.argv[0], "-v", *rest], exit=False)
    for line in MEASURED:
        print(line, file=sys.stderr)
    sys.exit(not program.result.wasSuccessful())


if __name__ == "__main__":
    main()
