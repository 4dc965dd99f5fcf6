"""End-to-end tests of an update from a download page: an HTTP server on
127.0.0.1 that the tests start, a real session bus, the archiver libraries
the build provides, and a private copy of zelupd per test (its
last-download record lives beside it)."""

import argparse
import os
import socket
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
import webserve  # noqa: E402
from harness import message_box_lines, wait_for  # noqa: E402
from webserve import AGENT, NOT_UPDATED, Site, anchor, page, read  # noqa: E402


class WebTest(webserve.ToolTest):
    def setUp(self):
        super().setUp()
        self.site = Site()
        self.addCleanup(self.site.stop)
        self.archives = {}

    def make_archive(self, name, readme):
        """An LZH archive of the new stand-in as ZEL.EXE and a readme, as bytes."""
        if name not in self.archives:
            self.archives[name] = webserve.make_archive(self.inst.root, name, readme)
        return self.archives[name]

    def publish(self, page_path, archive_path, body=None):
        """The page at `page_path` and, when `archive_path` is given, an archive there."""
        if body is None:
            body = page(anchor(archive_path.rsplit("/", 1)[1]))
        self.site.routes[page_path] = ("ok", body)
        if archive_path is not None:
            name = archive_path.rsplit("/", 1)[1]
            self.site.routes[archive_path] = ("ok", self.make_archive(name, "from " + name))

    def assertInstalled(self, result, readme, starts=2):
        self.assertEqual(result.returncode, 0, result)
        self.assertEqual(message_box_lines(result.stderr), [])
        wait_for(lambda: len(self.inst.started_pids()) == starts, 10, "the restarted file manager")
        self.assertTrue(harness.pid_alive(self.inst.started_pids()[-1]))
        self.assertTrue(read(self.inst.exe, "rb").endswith(harness.NEW_MARK))
        self.assertEqual(read(os.path.join(self.inst.dest, "readme.txt")), readme)
        self.assertEqual(os.listdir(self.temp), [], "the work directory is gone")

    def assertUntouched(self, first):
        """The old file manager still runs and nothing was installed."""
        self.assertIsNone(first.poll())
        self.assertNotIn("message close", self.inst.log_lines())
        self.assertFalse(os.path.exists(os.path.join(self.inst.dest, "readme.txt")))

    def started(self):
        self.inst.install_old()
        return self.inst.start()

    # ---- installing ----

    def test_first_run_installs_and_records_the_second_is_refused(self):
        first = self.started()
        self.publish("/dl/page.htm", "/dl/zel16.lzh")
        result = self.run_update(self.site.url("/dl/page.htm"))
        self.assertInstalled(result, "from zel16.lzh")
        self.assertEqual(first.wait(timeout=10), 0)
        self.assertRecord("zel16.lzh")
        # Downloaded beside the tool, and nothing else left there.
        self.assertEqual(read(os.path.join(self.bin, "zel16.lzh"), "rb"),
                         self.archives["zel16.lzh"])
        self.assertEqual(sorted(os.listdir(self.bin)), ["downver.inf", "zel16.lzh", "zelupd"])
        # Both requests name the tool; the page is asked for past any cache.
        self.assertEqual([(e["path"], e["agent"]) for e in self.site.log],
                         [("/dl/page.htm", AGENT), ("/dl/zel16.lzh", AGENT)])
        self.assertEqual(self.site.log[0]["cache"], "no-cache")

        again = self.run_update(self.site.url("/dl/page.htm"))
        self.assertReported(again, NOT_UPDATED)
        self.assertEqual(len(self.site.requests_for("/dl/zel16.lzh")), 1)
        self.assertEqual(len(self.inst.started_pids()), 2)
        self.assertTrue(harness.pid_alive(self.inst.started_pids()[-1]))
        self.assertRecord("zel16.lzh")

    def test_a_page_that_links_a_new_file_installs_it(self):
        self.inst.install_old()
        with open(self.record, "w") as f:
            f.write("[ZelUpd]\nLastDown=zel152.lzh\n")
        self.publish("/dl/page.htm", "/dl/zel16.lzh")
        self.assertInstalled(self.run_update(self.site.url("/dl/page.htm")), "from zel16.lzh",
                             starts=1)
        self.assertRecord("zel16.lzh")

    def test_downpath_keeps_the_archive_there(self):
        self.started()
        downloads = os.path.join(self.inst.root, "downloads")
        os.mkdir(downloads)
        self.publish("/dl/page.htm", "/dl/zel16.lzh")
        result = self.run_update(self.site.url("/dl/page.htm"), "/DOWNPATH", downloads)
        self.assertInstalled(result, "from zel16.lzh")
        self.assertEqual(os.listdir(downloads), ["zel16.lzh"])
        self.assertEqual(sorted(os.listdir(self.bin)), ["downver.inf", "zelupd"])
        self.assertRecord("zel16.lzh")

    def test_delete_removes_the_download_and_still_records(self):
        self.started()
        downloads = os.path.join(self.inst.root, "downloads")
        os.mkdir(downloads)
        self.publish("/dl/page.htm", "/dl/zel16.lzh")
        result = self.run_update(self.site.url("/dl/page.htm"), "/delete", "/DOWNPATH",
                                 downloads + "/")
        self.assertInstalled(result, "from zel16.lzh")
        self.assertEqual(os.listdir(downloads), [])
        self.assertRecord("zel16.lzh")

    def test_an_archive_already_there_is_installed_without_a_request(self):
        self.started()
        self.publish("/dl/page.htm", "/dl/zel16.lzh")
        with open(os.path.join(self.bin, "zel16.lzh"), "wb") as f:
            f.write(self.make_archive("local-zel16.lzh", "from the local copy"))
        result = self.run_update(self.site.url("/dl/page.htm"))
        self.assertInstalled(result, "from the local copy")
        self.assertEqual([e["path"] for e in self.site.log], ["/dl/page.htm"])
        self.assertRecord("zel16.lzh")

    def test_how_the_link_is_found_and_joined(self):
        """Which anchor decides, and that its link is taken in the page's directory."""
        cases = [
            ("joined", "/a/b/page.htm", page(anchor("sub/zel16.lzh")), "/a/b/sub/zel16.lzh"),
            ("first of two", "/two/page.htm",
             page(anchor("zel16.lzh"), anchor("zel99.lzh")), "/two/zel16.lzh"),
            ("capitals", "/caps/page.htm",
             page(anchor("zel16.lzh", tag="A", id_name="ID", href_name="HREF")),
             "/caps/zel16.lzh"),
        ]
        self.inst.install_old()
        self.site.routes["/two/zel99.lzh"] = ("ok", self.make_archive("zel99.lzh", "wrong"))
        for starts, (name, page_path, body, archive_path) in enumerate(cases, 1):
            with self.subTest(name):
                self.publish(page_path, archive_path, body)
                result = self.run_update(self.site.url(page_path), "/DELETE")
                self.assertInstalled(result, "from zel16.lzh", starts=starts)
                self.assertEqual(len(self.site.requests_for(archive_path)), 1)
                self.assertEqual(self.site.requests_for("/two/zel99.lzh"), [])
                os.remove(self.record)

    # ---- refusing ----

    def test_pages_without_a_module_link(self):
        first = self.started()
        cases = [
            ("id in other case", "/dl/case.htm", ("ok", page(anchor("zel16.lzh", "$TARGET$")))),
            ("a not-found page", "/dl/missing.htm", None),
            ("a server error page", "/dl/error.htm", ("status", 500, b"<p>broken</p>")),
        ]
        self.site.routes["/dl/zel16.lzh"] = ("ok", self.make_archive("zel16.lzh", "x"))
        for name, path, route in cases:
            with self.subTest(name):
                if route is not None:
                    self.site.routes[path] = route
                url = self.site.url(path)
                self.assertReported(self.run_update(url),
                                    'ページ[%s]には"ろぬ"のモジュールが見あたりません' % url)
        self.assertEqual(self.site.requests_for("/dl/zel16.lzh"), [])
        self.assertUntouched(first)
        self.assertFalse(os.path.exists(self.record))

    def test_a_page_that_cannot_be_reached(self):
        first = self.started()
        # A port that is bound but never listens refuses the connection.
        closed = socket.socket()
        closed.bind(("127.0.0.1", 0))
        self.addCleanup(closed.close)
        url = "http://127.0.0.1:%d/dl/page.htm" % closed.getsockname()[1]
        self.assertReported(self.run_update(url), "ページ[%s]のダウンロードに失敗しました" % url)
        self.assertUntouched(first)

    def test_archive_not_found_and_bad_names(self):
        first = self.started()
        self.site.routes["/dl/page.htm"] = ("ok", page(anchor("zel16.lzh")))
        self.site.routes["/dl/dots.htm"] = ("ok", page(anchor("..")))
        self.site.routes["/dl/dir.htm"] = ("ok", page(anchor("sub/")))
        # ".." is resolved as a browser resolves it: the site's root, whose name is empty.
        for page_path, archive_url in (("/dl/page.htm", "/dl/zel16.lzh"),
                                       ("/dl/dots.htm", "/"), ("/dl/dir.htm", "/dl/sub/")):
            with self.subTest(page_path):
                result = self.run_update(self.site.url(page_path))
                self.assertReported(result, "ファイル[%s]のダウンロードに失敗しました"
                                    % self.site.url(archive_url))
        # Only the real name was asked for.
        self.assertEqual([e["path"] for e in self.site.log if not e["path"].endswith(".htm")],
                         ["/dl/zel16.lzh"])
        self.assertEqual(sorted(os.listdir(self.bin)), ["zelupd"])
        self.assertUntouched(first)

    def test_an_archive_cut_off_is_not_kept_and_the_next_run_downloads_again(self):
        first = self.started()
        with open(self.record, "w") as f:
            f.write("[ZelUpd]\nLastDown=zel152.lzh\n")
        self.publish("/dl/page.htm", "/dl/zel16.lzh")
        archive = self.archives["zel16.lzh"]
        self.site.routes["/dl/zel16.lzh"] = ("cut", archive, len(archive) // 2)
        url = self.site.url("/dl/page.htm")
        self.assertReported(self.run_update(url),
                            "ファイル[%s]のダウンロードに失敗しました" % self.site.url("/dl/zel16.lzh"))
        self.assertEqual(sorted(os.listdir(self.bin)), ["downver.inf", "zelupd"])
        self.assertRecord("zel152.lzh")
        self.assertUntouched(first)

        self.site.routes["/dl/zel16.lzh"] = ("ok", archive)
        self.assertInstalled(self.run_update(url), "from zel16.lzh")
        self.assertEqual(len(self.site.requests_for("/dl/zel16.lzh")), 2)
        self.assertRecord("zel16.lzh")


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
