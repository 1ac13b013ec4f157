#!/usr/bin/env python3
"""Checks the local stand-in of the music service over real loopback sockets: its routes, its
misbehaviour modes, its control endpoint and the Config.ini writer.

Run through the helper, which provides the first server:
    tools/standin/with_standin.sh 127.0.0.60 -- python3 tests/online/standin_selftest.py --second 127.0.0.61
--second and --third (127.0.0.61, 127.0.0.62) are free addresses on which the test starts stand-ins
of its own (a per-run mode; the helper itself).
"""

import argparse
import concurrent.futures
import json
import os
import socket
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.parse

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
STANDIN = os.path.join(REPO, "tools", "standin", "standin.py")
FIXTURES = os.path.join(REPO, "tests", "fixtures", "mp3")
ADDR = os.environ.get("STANDIN_ADDR", "127.0.0.60")
SECOND = "127.0.0.61"
THIRD = "127.0.0.62"


def fixture(name):
    with open(os.path.join(FIXTURES, name), "rb") as fh:
        return fh.read()


TONE = fixture("tone5s_128k.mp3")
SHORT = fixture("short1s_128k.mp3")


class Response:
    def __init__(self, raw, closed):
        head, _, self.rest = raw.partition(b"\r\n\r\n")
        self.head_size = len(head) + 4
        lines = head.decode("latin-1").split("\r\n")
        self.status = int(lines[0].split()[1])
        self.headers = {}
        for line in lines[1:]:
            k, _, v = line.partition(":")
            self.headers[k.strip().lower()] = v.strip()
        self.closed = closed  # the server closed the connection after the answer

    @property
    def length(self):
        v = self.headers.get("content-length")
        return None if v is None else int(v)

    def body(self):
        """The body as a client that honours Content-Length or chunking would read it."""
        if self.headers.get("transfer-encoding") == "chunked":
            out, data = b"", self.rest
            while True:
                size_line, _, data = data.partition(b"\r\n")
                n = int(size_line, 16)
                if n == 0:
                    return out
                out += data[:n]
                data = data[n + 2:]
        if self.length is not None:
            return self.rest[:self.length]
        return self.rest


def fetch(target, addr=None, method="GET", timeout=30):
    """Sends one keep-alive request on a fresh connection and reads the answer as an HTTP/1.1
    client would: to the end of the connection when the server says it closes, else to the end
    of the chunks or of the Content-Length. None when the server closed without a byte."""
    with socket.create_connection((addr or ADDR, 80), timeout=timeout) as s:
        s.sendall(("%s %s HTTP/1.1\r\nHost: %s\r\nUser-Agent: selftest\r\nConnection: Keep-Alive\r\n\r\n"
                   % (method, target, addr or ADDR)).encode("latin-1"))
        raw, closed = b"", False
        while True:
            if b"\r\n\r\n" in raw:
                r = Response(raw, False)
                if method == "HEAD":
                    break
                if r.headers.get("connection") != "close":
                    if r.headers.get("transfer-encoding") == "chunked":
                        if r.rest.endswith(b"\r\n0\r\n\r\n") or r.rest == b"0\r\n\r\n":
                            break
                    elif r.length is not None and len(r.rest) >= r.length:
                        break
            b = s.recv(65536)
            if not b:
                closed = True
                break
            raw += b
        if not raw:
            return None
        return Response(raw, closed)


def control(name, **params):
    r = fetch("/_standin/%s?%s" % (name, urllib.parse.urlencode(params)))
    assert r.status == 200, (name, r.status, r.rest)
    return r.body()


class Routes(unittest.TestCase):
    def setUp(self):
        control("reset")

    def test_service_documents(self):
        cases = [
            # target, content type starts with, fragments the body holds (decoded as utf-8 unless gbk)
            ("/x.php?action=config", "text/xml", ["<number>Beta1.0</number>", "<download>",
                                                  "<asset>", "<adment>", "update/update.zip"]),
            ("/x.php?action=GetAdment", "text/xml", ["ad/banner1.htm", "ad/banner3.htm",
                                                     "<text>孕期营养小知识</text>"]),
            ("/getMusicXML.php?id=101&key=abc", "text/xml", ["<musicName>摇篮曲</musicName>",
                                                             "<musicSize>0:05</musicSize>",
                                                             "<item>http://%s/music/tone5s.mp3</item>" % ADDR]),
            ("/getMusicXML.php?id=999&key=x", "text/xml", ["<error>"]),
            ("/getMusicXML.php?id=abc&key=x", "text/xml", ["<error>"]),
            ("/getPop.php?ip=1.2.3.4&mac=00AABBCCDDEE", "text/plain",
             ["http://%s/ad/pop.php?admentid=1&mac=00AABBCCDDEE" % ADDR]),
            ("/ad/pop.php?admentid=1&mac=00AABBCCDDEE", "text/html", ["<html>"]),
            ("/index.php", "text/html", ["胎教音乐"]),
            ("/search.php", "text/html", ["歌曲搜索"]),
            ("/soft/suggest.php", "text/html", ["意见反馈"]),
        ]
        for target, ctype, fragments in cases:
            with self.subTest(target=target):
                r = fetch(target)
                self.assertEqual(r.status, 200)
                self.assertTrue(r.headers["content-type"].startswith(ctype))
                self.assertEqual(r.length, len(r.body()))
                text = r.body().decode("utf-8")
                for f in fragments:
                    self.assertIn(f, text)

    def test_song_descriptions_carry_their_urls(self):
        with open(os.path.join(REPO, "tools", "standin", "catalogue.json"), encoding="utf-8") as fh:
            songs = {s["id"]: s for s in json.load(fh)["songs"]}
        for song_id, items in [(101, 1), (103, 2), (107, 3), (201, 1)]:
            with self.subTest(id=song_id):
                text = fetch("/getMusicXML.php?id=%d&key=k" % song_id).body().decode("utf-8")
                self.assertEqual(text.count("<item>"), items)
                self.assertIn("<musicName>%s</musicName>" % songs[song_id]["name"].replace("'", "'"), text)
        # A query in a catalogue URL (a misbehaving song) is escaped for XML.
        self.assertIn("mode=drip&amp;rate=65536", fetch("/getMusicXML.php?id=201&key=k").body().decode())

    def test_echo_page_is_gbk_with_the_address_in_brackets(self):
        r = fetch("/ic.asp")
        self.assertIn("gb2312", r.headers["content-type"])
        text = r.body().decode("gbk")
        self.assertIn("[127.0.0.1]", text)
        self.assertIn("您的IP", text)

    def test_song_files(self):
        cases = [("tone5s.mp3", TONE), ("short1s.mp3", SHORT), ("tagged.mp3", fixture("tagged_id3v2.mp3")),
                 ("vbr8s.mp3", fixture("vbr_xing.mp3")), ("mid5m.mp3", TONE * 65), ("big20m.mp3", TONE * 260)]
        for name, expected in cases:
            with self.subTest(name=name):
                r = fetch("/music/" + name)
                self.assertEqual(r.status, 200)
                self.assertEqual(r.headers["content-type"], "audio/mpeg")
                self.assertEqual(r.length, len(expected))
                self.assertTrue(r.body() == expected)

    def test_a_doubled_slash_after_the_host_is_one_slash(self):
        for target in ["//music/short1s.mp3", "///music/short1s.mp3"]:
            with self.subTest(target=target):
                self.assertTrue(fetch(target).body() == SHORT)

    def test_unknown_paths_get_404_with_a_length(self):
        for target in ["/nothing.php", "/music/none.mp3", "/music/", "/update/update.zip", "/_standin/bogus"]:
            with self.subTest(target=target):
                r = fetch(target)
                self.assertIn(r.status, (400, 404))
                self.assertEqual(r.length, len(r.body()))

    def test_head_sends_no_body(self):
        r = fetch("/music/tone5s.mp3", method="HEAD")
        self.assertEqual((r.status, r.length, r.rest), (200, len(TONE), b""))

    def test_keep_alive_answers_two_requests_on_one_connection(self):
        with socket.create_connection((ADDR, 80), timeout=10) as s:
            req = "GET /music/short1s.mp3 HTTP/1.1\r\nHost: x\r\nConnection: Keep-Alive\r\n\r\n".encode()
            s.sendall(req + req)
            want = 2 * len(SHORT)
            raw = b""
            while raw.count(b"HTTP/1.1 200") < 2 or len(raw) < want:
                b = s.recv(65536)
                if not b:
                    break
                raw += b
            self.assertEqual(raw.count(b"HTTP/1.1 200 OK"), 2)
            self.assertEqual(raw.count(SHORT), 2)

    def test_many_connections_at_once_while_one_drips(self):
        with concurrent.futures.ThreadPoolExecutor(max_workers=24) as pool:
            slow = pool.submit(fetch, "/music/short1s.mp3?mode=drip&rate=8000")
            quick = [pool.submit(fetch, "/music/tone5s.mp3") for _ in range(20)]
            for f in quick:
                self.assertTrue(f.result().body() == TONE)
            self.assertTrue(slow.result().body() == SHORT)


class Misbehaviour(unittest.TestCase):
    def setUp(self):
        control("reset")

    def test_modes(self):
        n = len(TONE)
        cases = [
            # query, status, content-length header, raw bytes after the header, chunked, closed by server
            ("", 200, n, n, False, False),
            ("mode=nolength", 200, None, n, False, True),
            ("mode=chunked&chunk=1000", 200, None, None, True, False),
            ("mode=close&after=1000", 200, n, 1000, False, True),
            ("mode=close&after=0", 200, n, 0, False, True),
            ("mode=overlong&extra=500", 200, n, n + 500, False, True),
            ("mode=hugelength", 200, 99999999999, n, False, True),
            ("mode=hugelength&length=4294967296", 200, 4294967296, n, False, True),
            ("mode=bigheader", 200, n, n, False, False),
            ("mode=drip,close&rate=200000&after=30000", 200, n, 30000, False, True),
        ]
        for query, status, length, raw_len, chunked, closed in cases:
            with self.subTest(query=query):
                r = fetch("/music/tone5s.mp3" + ("?" + query if query else ""))
                self.assertEqual(r.status, status)
                self.assertEqual(r.length, length)
                if raw_len is not None:
                    self.assertEqual(len(r.rest), raw_len)
                self.assertEqual(r.headers.get("transfer-encoding") == "chunked", chunked)
                self.assertEqual(r.headers.get("connection") == "close", closed)
                self.assertEqual(r.closed, closed)
                self.assertTrue(TONE.startswith(r.body()[:n]))
                if raw_len in (n, None):
                    self.assertTrue(r.body() == TONE)

    def test_chunked_uses_the_chunk_size(self):
        r = fetch("/music/short1s.mp3?mode=chunked&chunk=1000")
        self.assertTrue(r.rest.startswith(b"3e8\r\n"))
        self.assertTrue(r.body() == SHORT)

    def test_error_status_has_a_small_body(self):
        for query, status in [("mode=error", 500), ("mode=error&status=404", 404), ("mode=error&status=503", 503)]:
            with self.subTest(query=query):
                r = fetch("/music/big20m.mp3?" + query)
                self.assertEqual(r.status, status)
                self.assertLess(r.length, 1024)
                self.assertEqual(len(r.body()), r.length)

    def test_big_header_is_larger_than_4_kib(self):
        for size in [5000, 9000]:
            with self.subTest(size=size):
                r = fetch("/music/short1s.mp3?mode=bigheader&header=%d" % size)
                self.assertGreater(r.head_size, 4096)
                self.assertGreaterEqual(r.head_size, size)
                self.assertTrue(r.body() == SHORT)

    def test_drip_sends_at_most_the_rate(self):
        # The stand-in sleeps after each piece, so the transfer cannot be quicker than size / rate:
        # this lower bound holds on any machine, however loaded.
        rate = 40000
        start = time.monotonic()
        r = fetch("/music/short1s.mp3?mode=drip&rate=%d" % rate)
        elapsed = time.monotonic() - start
        self.assertTrue(r.body() == SHORT)
        self.assertGreaterEqual(elapsed, 0.9 * len(SHORT) / rate)
        print("drip: %d bytes at %d B/s took %.2f s" % (len(SHORT), rate, elapsed), file=sys.stderr)

    def test_stall_answers_nothing_and_closes(self):
        self.assertIsNone(fetch("/x.php?action=config&mode=stall&seconds=1"))

    def test_unknown_mode_is_refused(self):
        r = fetch("/music/tone5s.mp3?mode=sideways")
        self.assertEqual(r.status, 400)
        self.assertIn(b"sideways", r.body())

    def test_mode_parameters_do_not_disturb_routing(self):
        r = fetch("/getMusicXML.php?id=102&key=k&mode=nolength")
        self.assertIsNone(r.length)
        self.assertIn("小星星", r.body().decode("utf-8"))


class Control(unittest.TestCase):
    def setUp(self):
        control("reset")

    def test_answer_override_then_reset(self):
        doc = '<?xml version="1.0" encoding="utf-8"?><result><version><number>测试2.0</number></version></result>'
        control("answer", path="/x.php?action=config", body=doc)
        self.assertEqual(fetch("/x.php?action=config").body().decode("utf-8"), doc)
        # Only that exact path and query.
        self.assertNotEqual(fetch("/x.php?action=GetAdment").body().decode("utf-8"), doc)
        control("reset")
        self.assertIn("Beta1.0", fetch("/x.php?action=config").body().decode("utf-8"))

    def test_override_body_in_another_charset(self):
        control("answer", path="/ic.asp", body="您的IP：[1.2.3.4]", charset="gbk", ctype="text/html")
        self.assertEqual(fetch("/ic.asp").body(), "您的IP：[1.2.3.4]".encode("gbk"))
        r = fetch("/_standin/answer?" + urllib.parse.urlencode({"path": "/ic.asp", "body": "€", "charset": "gb2312"}))
        self.assertEqual(r.status, 400)

    def test_override_with_status_and_mode_only(self):
        control("answer", path="/ic.asp", mode="close", after="10")
        r = fetch("/ic.asp")
        self.assertEqual((r.status, len(r.rest), r.headers.get("connection")), (200, 10, "close"))
        control("answer", path="/index.php", body="gone", status="404", ctype="text/plain")
        r = fetch("/index.php")
        self.assertEqual((r.status, r.body()), (404, b"gone"))

    def test_override_by_post(self):
        body = "<result><x>一</x></result>".encode("utf-8")
        with socket.create_connection((ADDR, 80), timeout=10) as s:
            s.sendall(b"POST /_standin/answer?path=%2Fsearch.php HTTP/1.1\r\nHost: x\r\nConnection: close\r\n"
                      b"Content-Length: " + str(len(body)).encode() + b"\r\n\r\n" + body)
            while s.recv(4096):
                pass
        self.assertEqual(fetch("/search.php").body(), body)

    def test_log_shows_every_request_with_its_user_agent(self):
        fetch("/index.php")
        fetch("/music/tone5s.mp3?mode=close&after=5")
        log = control("log").decode("utf-8").splitlines()
        self.assertEqual(log[0], "GET\t/index.php\tselftest\t200")
        self.assertEqual(log[1], "GET\t/music/tone5s.mp3?mode=close&after=5\tselftest\t200")


class PerRun(unittest.TestCase):
    """A second stand-in, started by this test, with a misbehaviour for every song of the run."""

    @classmethod
    def setUpClass(cls):
        cls.log = tempfile.NamedTemporaryFile(suffix=".log", delete=False)
        cls.proc = subprocess.Popen([sys.executable, STANDIN, "--addr", SECOND, "--mode", "close",
                                     "--after", "100", "--mode-path", "/music/", "--log", cls.log.name])
        for _ in range(300):
            try:
                socket.create_connection((SECOND, 80), timeout=1).close()
                return
            except OSError:
                if cls.proc.poll() is not None:
                    raise RuntimeError("second stand-in did not start")
                time.sleep(0.1)
        raise RuntimeError("second stand-in does not answer")

    @classmethod
    def tearDownClass(cls):
        cls.proc.terminate()
        cls.proc.wait(10)
        os.unlink(cls.log.name)

    def test_run_mode_applies_to_its_paths_only(self):
        r = fetch("/music/tone5s.mp3", addr=SECOND)
        self.assertEqual((r.length, len(r.rest)), (len(TONE), 100))
        r = fetch("/x.php?action=config", addr=SECOND)
        self.assertEqual(r.length, len(r.rest))
        # A URL's own mode wins over the run's.
        r = fetch("/music/tone5s.mp3?mode=nolength", addr=SECOND)
        self.assertTrue(r.body() == TONE)

    def test_second_server_on_a_taken_address_says_so(self):
        p = subprocess.run([sys.executable, STANDIN, "--addr", SECOND], capture_output=True, text=True, timeout=60)
        self.assertEqual(p.returncode, 2)
        self.assertIn("cannot listen", p.stderr)


class Helper(unittest.TestCase):
    """tools/standin/with_standin.sh, the way CTest uses it."""

    HELPER = os.path.join(REPO, "tools", "standin", "with_standin.sh")

    def test_runs_the_command_with_the_server_and_passes_its_exit_code(self):
        script = ('test "$STANDIN_URL" = "http://%s/" && python3 -c "import urllib.request,sys;'
                  'sys.exit(0 if urllib.request.urlopen(sys.argv[1]).read() == b\'ok\' else 9)" '
                  '"${STANDIN_URL}_standin/ping" && exit 7' % THIRD)
        with tempfile.TemporaryDirectory() as d:
            p = subprocess.run([self.HELPER, THIRD, "--config-dir", d, "--", "sh", "-c", script],
                               cwd=d, capture_output=True, text=True, timeout=60)
            self.assertEqual(p.returncode, 7, p.stderr)
            with open(os.path.join(d, "Config.ini"), encoding="latin-1") as fh:
                self.assertIn("ApiHost=%s" % THIRD, fh.read())
            self.assertTrue(os.path.exists(os.path.join(d, "standin-%s.log" % THIRD)))
        # The server is gone afterwards.
        with self.assertRaises(OSError):
            socket.create_connection((THIRD, 80), timeout=2).close()

    def test_refuses_an_address_already_in_use(self):
        with tempfile.TemporaryDirectory() as d:
            p = subprocess.run([self.HELPER, ADDR, "--", "true"], cwd=d, capture_output=True, text=True,
                               timeout=60)
        self.assertEqual(p.returncode, 2)
        self.assertIn("already listens", p.stderr)


class ConfigIni(unittest.TestCase):
    def run_writer(self, folder, addr="127.0.0.9", port=80):
        subprocess.run([sys.executable, STANDIN, "--addr", addr, "--port", str(port),
                        "--write-config-ini", folder], check=True)
        with open(os.path.join(folder, "Config.ini"), "rb") as fh:
            return fh.read().decode("latin-1")

    def test_writer_keeps_other_sections_and_replaces_its_own(self):
        with tempfile.TemporaryDirectory() as d:
            with open(os.path.join(d, "Config.ini"), "wb") as fh:
                fh.write(b"[VERSION]\r\nAppVersion=V2.1\r\nAppTime=20130101\r\n[service]\r\nApiHost=old\r\n")
            text = self.run_writer(d)
            self.assertIn("[VERSION]\r\nAppVersion=V2.1\r\nAppTime=20130101\r\n", text)
            self.assertNotIn("old", text)
            self.assertTrue(text.endswith("[SERVICE]\r\nApiHost=127.0.0.9\r\nWebHost=127.0.0.9\r\n"
                                          "IpEchoHost=127.0.0.9\r\n"))
            self.assertEqual(self.run_writer(d), text)  # idempotent

    def test_writer_creates_the_folder_and_names_the_host_only(self):
        with tempfile.TemporaryDirectory() as d:
            text = self.run_writer(os.path.join(d, "sub"), port=8080)
            self.assertIn("ApiHost=127.0.0.9\r\n", text)


if __name__ == "__main__":
    ap = argparse.ArgumentParser()
    ap.add_argument("--second", default=SECOND)
    ap.add_argument("--third", default=THIRD)
    args, rest = ap.parse_known_args()
    SECOND, THIRD = args.second, args.third
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
