"""What the web-source tests share: an HTTP(S) server on 127.0.0.1 with canned
answers, a listener that only counts connections, sample pages, and a test
base that runs a private copy of zelupd (its last-download record lives
beside it) against them."""

import gzip
import http.server
import os
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import unittest
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
from harness import Installation, message_box_lines, wait_for  # noqa: E402

WRITER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "lzh_writer.py")
AGENT = "ZElUpd/0.8"
NOT_UPDATED = "更新されていないようです"


class Config:
    libraries = None


def read(path, mode="r"):
    with open(path, mode) as f:
        return f.read()


def page(*anchors):
    return ("<html><head><title>ZEL</title></head><body><h1>Download</h1>%s</body></html>"
            % "".join(anchors)).encode("utf-8")


def anchor(href, anchor_id="$target$", tag="a", id_name="id", href_name="href"):
    return '<%s %s="%s" %s="%s">the module</%s>' % (tag, id_name, anchor_id, href_name, href,
                                                     tag)


def describe(result):
    """A run's exit code and output, readable in a failure message."""
    def text(data):
        return "-" if data is None else data.decode("utf-8", "backslashreplace")
    return "exit %s\nstdout: %s\nstderr: %s" % (result.returncode, text(result.stdout),
                                                text(result.stderr))


def page_failed(url):
    return "ページ[%s]のダウンロードに失敗しました" % url


def file_failed(url):
    return "ファイル[%s]のダウンロードに失敗しました" % url


class Answer:
    """One canned answer.

    body: the bytes the resource has (before any content coding);
    status, content_type (default: text/html for a body that starts with
    "<", else application/octet-stream), headers: extra header lines;
    coding: "gzip" or "deflate", applied only when the request accepts it
    (as real servers do), so a test can tell that the client asked for it;
    encoded: the body already in that coding (for bodies too large to
    hold decoded); a request that does not accept it gets 406;
    chunked: no Content-Length, chunked transfer coding;
    until_close: no Content-Length, the body ends when the connection
    closes (as HTTP/1.0 servers and simple scripts answer);
    cut: the connection ends after this many bytes of the body (a chunked
    answer then never sends its last chunk), closed normally or, with
    reset, by a TCP reset."""

    def __init__(self, body=b"", status=200, content_type=None, headers=(), coding=None,
                 encoded=None, chunked=False, until_close=False, cut=None, reset=False):
        self.body = body
        self.status = status
        self.content_type = content_type
        self.headers = list(headers.items()) if isinstance(headers, dict) else list(headers)
        self.coding = coding
        self.encoded = encoded
        self.chunked = chunked
        self.until_close = until_close
        self.cut = cut
        self.reset = reset


def redirect(location, status=302):
    return Answer(b"<html><body>Moved</body></html>", status=status,
                  headers={"Location": location})


class Site(http.server.ThreadingHTTPServer):
    """Canned answers by path (the raw request target, query included).
    A route is an Answer or one of the short forms ("ok", bytes),
    ("status", code, bytes), ("cut", bytes, sent). Anything else is a 404
    page. Every request is logged; with tls (a server-side SSLContext) the
    site speaks HTTPS and counts the connections that began a handshake."""

    daemon_threads = True

    def __init__(self, tls=None):
        super().__init__(("127.0.0.1", 0), Handler)
        self.tls = tls
        self.routes = {}
        self.log = []
        self.tls_connections = 0
        self.thread = threading.Thread(target=self.serve_forever, daemon=True)
        self.thread.start()

    @property
    def origin(self):
        return "%s://127.0.0.1:%d" % ("https" if self.tls else "http", self.server_address[1])

    def url(self, path):
        return self.origin + path

    def requests_for(self, path):
        return [entry for entry in self.log if entry["path"] == path]

    def get_request(self):
        sock, address = super().get_request()
        if self.tls is not None:
            # The handshake happens in the request's thread, so a client that
            # stalls or refuses the certificate never blocks the accept loop.
            sock = self.tls.wrap_socket(sock, server_side=True, do_handshake_on_connect=False)
        return sock, address

    def handle_error(self, request, client_address):
        # A client that gives up (a refused certificate, a page too large, a
        # cut answer) is part of what these tests do; stay quiet.
        pass

    def stop(self):
        self.shutdown()
        self.server_close()


def _chunks(data, size=65536):
    for start in range(0, len(data), size):
        yield data[start:start + size]


class Handler(http.server.BaseHTTPRequestHandler):
    # Chunked answers need HTTP/1.1.
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def setup(self):
        super().setup()
        if self.server.tls is not None:
            self.server.tls_connections += 1
            self.request.do_handshake()

    def do_GET(self):
        entry = {"path": self.path, "agent": self.headers.get("User-Agent"),
                 "cache": self.headers.get("Cache-Control"),
                 "accept-encoding": self.headers.get("Accept-Encoding"), "coding": None}
        self.server.log.append(entry)
        route = self.server.routes.get(self.path,
                                       ("status", 404, b"<html><body>Not Found</body></html>"))
        if isinstance(route, Answer):
            answer = route
        elif route[0] == "ok":
            answer = Answer(route[1])
        elif route[0] == "status":
            answer = Answer(route[2], status=route[1])
        else:
            answer = Answer(route[1], cut=route[2])
        self.answer(answer, entry)

    def accepts(self, coding):
        accepted = self.headers.get("Accept-Encoding") or ""
        names = [part.split(";")[0].strip().lower() for part in accepted.split(",")]
        return coding in names

    def answer(self, answer, entry):
        body = answer.body
        if answer.coding and self.accepts(answer.coding):
            if answer.encoded is not None:
                body = answer.encoded
            elif answer.coding == "gzip":
                body = gzip.compress(body)
            else:
                body = zlib.compress(body)
            entry["coding"] = answer.coding
        elif answer.encoded is not None:
            answer = Answer(b"<html><body>Not Acceptable</body></html>", status=406)
            body = answer.body
        self.send_response(answer.status)
        content_type = answer.content_type or (
            "text/html" if answer.body.startswith(b"<") else "application/octet-stream")
        self.send_header("Content-Type", content_type)
        if entry["coding"]:
            self.send_header("Content-Encoding", entry["coding"])
        if answer.chunked:
            self.send_header("Transfer-Encoding", "chunked")
        elif not answer.until_close:
            self.send_header("Content-Length", str(len(body)))
        for name, value in answer.headers:
            self.send_header(name, value)
        if answer.cut is not None or answer.until_close:
            self.send_header("Connection", "close")
        self.end_headers()
        sent = body if answer.cut is None else body[:answer.cut]
        try:
            for chunk in _chunks(sent):
                if answer.chunked:
                    self.wfile.write(b"%x\r\n%s\r\n" % (len(chunk), chunk))
                else:
                    self.wfile.write(chunk)
            if answer.chunked and answer.cut is None:
                self.wfile.write(b"0\r\n\r\n")
            self.wfile.flush()
        except OSError:
            # The client stopped reading (a page over the limit).
            self.close_connection = True
            return
        if answer.until_close:
            self.close_connection = True
        if answer.cut is not None:
            self.close_connection = True
            if answer.reset:
                self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER,
                                           struct.pack("ii", 1, 0))
            else:
                self.connection.shutdown(socket.SHUT_RDWR)


class Listener:
    """A port that accepts and at once closes connections, counting them:
    shows whether a client tried to reach it at all (e.g. with a scheme
    that must never be fetched)."""

    def __init__(self):
        self.socket = socket.socket()
        self.socket.bind(("127.0.0.1", 0))
        self.socket.listen(8)
        self.port = self.socket.getsockname()[1]
        self.connections = 0
        self.thread = threading.Thread(target=self._serve, daemon=True)
        self.thread.start()

    def _serve(self):
        while True:
            try:
                conn, _ = self.socket.accept()
            except OSError:
                return
            self.connections += 1
            conn.close()

    def stop(self):
        self.socket.close()


def make_archive(directory, name, readme):
    """An LZH archive of the new stand-in as ZEL.EXE and a readme, as bytes."""
    source = os.path.join(directory, "src-" + name)
    os.mkdir(source)
    exe = os.path.join(source, "ZEL.EXE")
    shutil.copy2(harness.Programs.standin, exe)
    with open(exe, "ab") as f:
        f.write(harness.NEW_MARK)
    with open(os.path.join(source, "readme.txt"), "w", encoding="utf-8") as f:
        f.write(readme)
    path = os.path.join(directory, "pack-" + name)
    specs = ["%s=%s" % (member, os.path.join(source, member))
             for member in ("ZEL.EXE", "readme.txt")]
    subprocess.run([sys.executable, WRITER, "pack", path, *specs], check=True)
    return read(path, "rb")


def tool_env(**extra):
    """The environment of a run: the test's archiver libraries, no proxy,
    no trust settings but those the test gives."""
    env = dict(os.environ, ZELUPD_LIBRARY_PATH=Config.libraries,
               no_proxy="127.0.0.1,localhost", NO_PROXY="127.0.0.1,localhost")
    for name in ("http_proxy", "https_proxy", "all_proxy", "ALL_PROXY", "HTTPS_PROXY",
                 "SSL_CERT_FILE", "SSL_CERT_DIR", "CURL_CA_BUNDLE"):
        env.pop(name, None)
    env.update(extra)
    return env


class ToolTest(unittest.TestCase):
    """A temporary installation (not started), a private copy of the tool,
    a private temporary directory."""

    def setUp(self):
        self.inst = Installation()
        self.addCleanup(self.inst.cleanup)
        # The tool's own directory, where it downloads and keeps its record.
        self.bin = os.path.join(self.inst.root, "tool", "bin")
        os.makedirs(self.bin)
        self.zelupd = os.path.join(self.bin, "zelupd")
        shutil.copy2(harness.Programs.zelupd, self.zelupd)
        self.record = os.path.join(self.bin, "downver.inf")
        self.temp = tempfile.mkdtemp(prefix="zel-e2e-tmp-")
        self.addCleanup(lambda: shutil.rmtree(self.temp, ignore_errors=True))

    def run_update(self, url, *options, dest=None, env=None, stderr=subprocess.PIPE,
                   prefix=(), timeout=60):
        env = dict(env or tool_env(), TMPDIR=self.temp)
        return subprocess.run([*prefix, self.zelupd, url, dest or self.inst.dest + "/", *options],
                              env=env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=stderr, timeout=timeout)

    def assertReported(self, result, message):
        self.assertEqual(result.returncode, 1, describe(result))
        self.assertEqual(result.stdout.decode("utf-8"), message + "\n")
        if result.stderr is not None:
            self.assertEqual(message_box_lines(result.stderr), ["[Error] " + message])

    def assertRecord(self, name):
        self.assertEqual(read(self.record, "rb").decode("utf-8"),
                         "[ZelUpd]\nLastDown=%s\n" % name)

    def wait_started(self, starts):
        wait_for(lambda: len(self.inst.started_pids()) == starts, 10,
                 "the restarted file manager")
        self.assertTrue(harness.pid_alive(self.inst.started_pids()[-1]))
