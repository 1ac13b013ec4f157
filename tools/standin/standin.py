#!/usr/bin/env python3
"""Local stand-in of the music service: a small threaded HTTP/1.1 server on a loopback address.

It answers every request the player makes of the service, in the forms the player expects, with
UTF-8 XML and Chinese song names, and it serves song files (MP3) with a Content-Length. Python 3
standard library only.

Start by hand (port 80 needs root; every 127.0.0.x is loopback, so parallel tests each take their own):

    tools/standin/standin.py --addr 127.0.0.5              # port 80, log on stderr
    tools/standin/standin.py --addr 127.0.0.5 --port 8080 --log /tmp/standin.log

From a test (CTest), wrap the test command with the helper, which starts the server, waits until it
answers, runs the command with STANDIN_ADDR / STANDIN_URL set, stops the server and returns the
command's exit code:

    tools/standin/with_standin.sh 127.0.0.31 [--config-dir DIR] [standin options] -- COMMAND ARGS...

--config-dir DIR writes the [SERVICE] section of DIR/Config.ini (ApiHost, WebHost, IpEchoHost = the
address) so a Windows program in DIR talks to this stand-in; other sections of the file are kept.

In CMake (any tests/<area>/CMakeLists.txt):

    include(${PROJECT_SOURCE_DIR}/tools/standin/standin.cmake)
    # a doctest program like halvery_test, run under Wine with the stand-in on 127.0.0.41
    # and Config.ini written next to the program:
    halvery_standin_test(engine_stream_tests ADDRESS 127.0.0.41
                         SOURCES stream_test.cpp LIBS halvery_playback TIMEOUT 120)
    # any other command (the test exe gets ${CMAKE_CROSSCOMPILING_EMULATOR} yourself):
    halvery_standin_command(app_play_request ADDRESS 127.0.0.42 CONFIG_DIR $<TARGET_FILE_DIR:Halvery>
                            COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:Halvery>)

Routes (path and query; the host is this server):

    x.php?action=config            version document: result/version/{number,url,datetime},
                                   result/update/{download,asset,adment,datetime}
    x.php?action=GetAdment         result/ad64060/item/url (3 banners), result/adtext/item/{text,url} (2)
    getMusicXML.php?id=%d&key=%s   result/mp3/{musicName, musicSize (m:ss), url/item (one or two)}
                                   from catalogue.json; an unknown id gets result/error
    getPop.php?ip=%s&mac=%s        plain text: the URL of the popup page
    ad/pop.php, ad/banner1.htm..   pages; index.php, search.php, soft/suggest.php: pages
    ic.asp                         IP-echo page in GBK: "...[<client address>]..."
    music/<file>                   song files of catalogue.json, audio/mpeg with Content-Length
                                   (tone5s.mp3, short1s.mp3, tagged.mp3, vbr8s.mp3,
                                    mid5m.mp3 = 5243290 bytes, big20m.mp3 = 20973160 bytes)
    update/<file>                  files of --update-dir (404 without it)

Misbehaviour, per URL (query parameters, removed before routing, so they can follow any route,
e.g. "http://127.0.0.41/music/big20m.mp3?mode=drip&rate=100000"), or per run (--mode and the
same names as options, for every route or only paths starting with --mode-path). Several modes
may be combined with commas (mode=drip,close&rate=50000&after=100000):

    mode=nolength             no Content-Length, body, then the connection is closed
    mode=chunked[&chunk=N]    Transfer-Encoding: chunked, chunks of N bytes (4096)
    mode=drip&rate=N          body at N bytes per second
    mode=close&after=N        full Content-Length, only N body bytes, then the connection is closed
    mode=error[&status=N]     status N (500) with a small HTML body instead of the answer
    mode=overlong[&extra=N]   N (1000) bytes more than the Content-Length, then close
    mode=bigheader[&header=N] the response header grows past N bytes (5000; more than 4 KiB)
    mode=hugelength[&length=N] Content-Length N (99999999999) whatever the body, then close
    mode=stall[&seconds=N]    read the request, answer nothing for N seconds (60), close

Control (for tests; never part of the service):

    _standin/ping              "ok"
    _standin/reset             drop every override and the request log
    _standin/log               the request log (control requests left out), one line per request:
                               METHOD<TAB>target<TAB>user agent<TAB>status
    _standin/answer?path=P&body=B[&charset=C][&ctype=T][&status=N][&mode=...]
                               from now on answer the exact path-and-query P (e.g. "/x.php?action=config")
                               with body B (percent-encoded UTF-8, sent re-encoded in charset C, e.g.
                               gbk; or the raw body of a POST); without body: the usual answer with the
                               given misbehaviour. Percent-encode P and B.
"""

import argparse
import html
import json
import os
import shutil
import socket
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
FIXTURES = os.path.join(REPO, "tests", "fixtures", "mp3")
MODE_KEYS = ("mode", "rate", "after", "status", "extra", "header", "length", "chunk", "seconds")
CONTROL = "/_standin/"


# ---------------------------------------------------------------------------------------------
# Catalogue and song files


def default_cache():
    base = os.environ.get("XDG_CACHE_HOME") or os.path.join(os.path.expanduser("~"), ".cache")
    return os.path.join(base, "halvery-standin")


def starts_with(path, unit):
    """A generated file is current when it begins with the fixture it repeats (fixtures can change
    without changing their size)."""
    with open(path, "rb") as fh:
        return fh.read(len(unit)) == unit


def prepare_files(catalogue, cache):
    """Maps each song file name to a path; generated files are made once in the cache folder.

    Generated files are written under a temporary name and renamed, so stand-ins starting in
    parallel never see half a file."""
    os.makedirs(cache, exist_ok=True)
    paths = {}
    for f in catalogue["files"]:
        if "fixture" in f:
            paths[f["name"]] = os.path.join(FIXTURES, f["fixture"])
            continue
        src = os.path.join(FIXTURES, f["repeat"])
        with open(src, "rb") as fh:
            unit = fh.read()
        want = len(unit) * int(f["copies"])
        dst = os.path.join(cache, f["name"])
        if not (os.path.exists(dst) and os.path.getsize(dst) == want and starts_with(dst, unit)):
            tmp = "%s.%d.tmp" % (dst, os.getpid())
            with open(tmp, "wb") as out:
                for _ in range(int(f["copies"])):
                    out.write(unit)
            os.replace(tmp, dst)
        paths[f["name"]] = dst
    return paths


class Body:
    """A response body from memory or from a file, read in pieces."""

    def __init__(self, data=b"", path=None):
        self.data = data
        self.path = path
        self.size = os.path.getsize(path) if path else len(data)

    def pieces(self, block=65536):
        if self.path is None:
            for i in range(0, len(self.data), block):
                yield self.data[i:i + block]
            return
        with open(self.path, "rb") as fh:
            while True:
                b = fh.read(block)
                if not b:
                    return
                yield b


# ---------------------------------------------------------------------------------------------
# Answers of the service


def xml_doc(inner):
    return ('<?xml version="1.0" encoding="utf-8"?>\n<result>\n%s</result>\n' % inner).encode("utf-8")


def esc(text):
    return html.escape(str(text), quote=False)


def page(title, text):
    return ('<!DOCTYPE html>\n<html><head><meta charset="utf-8"><title>%s</title></head>\n'
            '<body><h1>%s</h1><p>%s</p></body></html>\n' % (esc(title), esc(title), esc(text))).encode("utf-8")


class Service:
    def __init__(self, opts, catalogue, files):
        self.opts = opts
        self.songs = {int(s["id"]): s for s in catalogue["songs"]}
        self.files = files
        self.lock = threading.Lock()      # guards overrides and log
        self.overrides = {}               # exact "path?query" -> dict(body, ctype, status, modes)
        self.log = []

    def base(self, host):
        return "http://%s/" % host

    def config(self, host):
        return xml_doc(
            "  <version>\n"
            "    <number>%s</number>\n"
            "    <url>%supdate/update.zip</url>\n"
            "    <datetime>%s</datetime>\n"
            "  </version>\n"
            "  <update>\n"
            "    <download>1</download>\n"
            "    <asset>1</asset>\n"
            "    <adment>1</adment>\n"
            "    <datetime>%s</datetime>\n"
            "  </update>\n" % (esc(self.opts.version_number), esc(self.base(host)),
                               esc(self.opts.version_date), esc(self.opts.version_date)))

    def adment(self, host):
        b = self.base(host)
        banners = "".join("    <item><url>%sad/banner%d.htm</url></item>\n" % (esc(b), i) for i in (1, 2, 3))
        texts = ("    <item><text>孕期营养小知识</text><url>%ssoft/tips.php?id=1</url></item>\n"
                 "    <item><text>本周胎教音乐推荐</text><url>%ssoft/tips.php?id=2</url></item>\n" % (esc(b), esc(b)))
        return xml_doc("  <ad64060>\n%s  </ad64060>\n  <adtext>\n%s  </adtext>\n" % (banners, texts))

    def music_xml(self, host, query):
        try:
            song = self.songs.get(int(query.get("id", [""])[0]))
        except ValueError:
            song = None
        if song is None:
            return xml_doc("  <error>歌曲不存在</error>\n")
        items = "".join("      <item>%s%s</item>\n" % (esc(self.base(host)), esc(u)) for u in song["urls"])
        return xml_doc("  <mp3>\n"
                       "    <musicName>%s</musicName>\n"
                       "    <musicSize>%s</musicSize>\n"
                       "    <url>\n%s    </url>\n"
                       "  </mp3>\n" % (esc(song["name"]), esc(song["size"]), items))

    def route(self, host, path, query, client):
        """-> (status, content type, Body)"""
        xml, text_plain = "text/xml; charset=utf-8", "text/plain; charset=utf-8"
        html_t = "text/html; charset=utf-8"
        action = query.get("action", [""])[0]
        if path == "/x.php" and action == "config":
            return 200, xml, Body(self.config(host))
        if path == "/x.php" and action == "GetAdment":
            return 200, xml, Body(self.adment(host))
        if path == "/getMusicXML.php":
            return 200, xml, Body(self.music_xml(host, query))
        if path == "/getPop.php":
            mac = query.get("mac", [""])[0]
            return 200, text_plain, Body(("%sad/pop.php?admentid=1&mac=%s" % (self.base(host), mac)).encode("utf-8"))
        if path == "/ad/pop.php":
            return 200, html_t, Body(page("孕期好礼", "弹出广告页面"))
        if path.startswith("/ad/banner"):
            return 200, html_t, Body(page("横幅广告", path[len("/ad/"):]))
        if path == "/index.php":
            return 200, html_t, Body(page("胎教音乐首页", "欢迎收听胎教音乐"))
        if path == "/search.php":
            return 200, html_t, Body(page("歌曲搜索", "请输入歌曲名称"))
        if path == "/soft/suggest.php":
            return 200, html_t, Body(page("意见反馈", "欢迎提出宝贵意见"))
        if path == "/soft/tips.php":
            return 200, html_t, Body(page("小知识", "孕期小知识"))
        if path == "/ic.asp":
            doc = ("<html><head><title>您的IP地址</title></head><body>您的IP是：[%s] 来自：本地网络</body></html>"
                   % client)
            return 200, "text/html; charset=gb2312", Body(doc.encode("gbk"))
        if path.startswith("/music/"):
            p = self.files.get(urllib.parse.unquote(path[len("/music/"):]))
            if p:
                return 200, "audio/mpeg", Body(path=p)
        if path.startswith("/update/") and self.opts.update_dir:
            name = os.path.basename(urllib.parse.unquote(path[len("/update/"):]))
            p = os.path.join(self.opts.update_dir, name)
            if name and os.path.isfile(p):
                return 200, "application/zip", Body(path=p)
        return 404, html_t, Body(page("404", "没有这个页面"))


# ---------------------------------------------------------------------------------------------
# HTTP


def split_modes(query):
    """-> (query without mode keys, mode parameters)"""
    rest, modes = {}, {}
    for k, v in query.items():
        (modes if k in MODE_KEYS else rest)[k] = v
    return rest, {k: v[0] for k, v in modes.items()}


def int_param(modes, key, default):
    try:
        return int(modes.get(key, default))
    except (TypeError, ValueError):
        return default


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "StandIn/1.0"

    def log_message(self, fmt, *args):  # our own log line per request instead
        pass

    def do_GET(self):
        self.handle_any(b"")

    def do_HEAD(self):
        self.handle_any(b"")

    def do_POST(self):
        n = int_param(self.headers, "Content-Length", 0)
        self.handle_any(self.rfile.read(n) if n > 0 else b"")

    def handle_any(self, post_body):
        svc = self.server.service
        status = 0
        try:
            status = self.answer(svc, post_body)
        except (BrokenPipeError, ConnectionResetError, ConnectionAbortedError, socket.timeout):
            status = status or -1
            self.close_connection = True
        finally:
            ua = self.headers.get("User-Agent", "")
            line = "%s\t%s\t%s\t%s" % (self.command, self.path, ua, status)
            if not self.path.startswith(CONTROL):
                with svc.lock:
                    svc.log.append(line)
            self.server.write_log("%s %s %s" % (time.strftime("%H:%M:%S"), self.client_address[0], line))

    def answer(self, svc, post_body):
        target = self.path
        if target.startswith("http://"):  # absolute form through a proxy
            target = "/" + target.split("/", 3)[-1] if target.count("/") >= 3 else "/"
        # "http://host//music/a.mp3" (a base URL ending in "/" plus a path) means "/music/a.mp3";
        # left alone, the URL parser would take "music" for a host name.
        target = "/" + target.lstrip("/")
        parts = urllib.parse.urlsplit(target)
        query = urllib.parse.parse_qs(parts.query, keep_blank_values=True)
        if parts.path.startswith(CONTROL):
            return self.control(svc, parts.path[len(CONTROL):], query, post_body)

        rest, modes = split_modes(query)
        opts = svc.opts
        if not modes and opts.mode and parts.path.startswith(opts.mode_path):
            modes = dict(opts.run_modes)
        host = self.headers.get("Host") or self.server.host_text
        exact = parts.path + ("?" + parts.query if parts.query else "")
        with svc.lock:
            ov = svc.overrides.get(exact)
        if ov is not None and ov.get("body") is not None:
            code, ctype, body = ov["status"], ov["ctype"], Body(ov["body"])
        else:
            code, ctype, body = svc.route(host, parts.path, rest, self.client_address[0])
            if ov is not None and ov.get("status"):
                code = ov["status"]
        if ov is not None and ov.get("modes"):
            modes = ov["modes"]
        return self.send(code, ctype, body, modes)

    def control(self, svc, name, query, post_body):
        q = {k: v[0] for k, v in query.items()}
        if name == "ping":
            return self.send(200, "text/plain", Body(b"ok"), {})
        if name == "reset":
            with svc.lock:
                svc.overrides.clear()
                svc.log.clear()
            return self.send(200, "text/plain", Body(b"ok"), {})
        if name == "log":
            with svc.lock:
                text = "\n".join(svc.log) + ("\n" if svc.log else "")
            return self.send(200, "text/plain; charset=utf-8", Body(text.encode("utf-8")), {})
        if name == "answer" and q.get("path", "").startswith("/"):
            body = post_body if self.command == "POST" else q.get("body")
            if isinstance(body, str):
                try:
                    body = body.encode(q.get("charset", "utf-8"))
                except (LookupError, UnicodeEncodeError):
                    return self.send(400, "text/plain", Body(b"body not encodable in that charset"), {})
            _, modes = split_modes(query)
            ov = {"body": body, "ctype": q.get("ctype", "text/xml; charset=utf-8"),
                  "status": int_param(q, "status", 200 if body is not None else 0),
                  "modes": modes if "mode" in modes else None}
            with svc.lock:
                svc.overrides[q["path"]] = ov
            return self.send(200, "text/plain", Body(b"ok"), {})
        return self.send(400, "text/plain", Body(b"bad control request"), {})

    def send(self, code, ctype, body, modes):
        """Writes one response, honouring the misbehaviour modes. -> status sent."""
        kinds = set(filter(None, modes.get("mode", "").split(",")))
        unknown = kinds - {"nolength", "chunked", "drip", "close", "error", "overlong", "bigheader",
                           "hugelength", "stall"}
        if unknown:
            code, ctype, body, kinds = 400, "text/plain", Body(("unknown mode %s" % ",".join(sorted(unknown))).encode()), set()
        if "stall" in kinds:
            self.close_connection = True
            deadline = time.time() + int_param(modes, "seconds", 60)
            self.connection.settimeout(0.5)
            while time.time() < deadline and not self.server.stopping.is_set():
                try:
                    if self.connection.recv(1) == b"":
                        break  # the client gave up
                except socket.timeout:
                    continue
                except OSError:
                    break
            return 0
        if "error" in kinds:
            code = int_param(modes, "status", 500)
            ctype, body = "text/html; charset=utf-8", Body(page("错误 %d" % code, "服务器出错了"))

        head = ["HTTP/1.1 %d %s" % (code, self.responses.get(code, ("Status",))[0]),
                "Server: %s" % self.server_version,
                "Content-Type: %s" % ctype]
        chunked = "chunked" in kinds
        if chunked:
            head.append("Transfer-Encoding: chunked")
        elif "hugelength" in kinds:
            head.append("Content-Length: %d" % int_param(modes, "length", 99999999999))
        elif "nolength" not in kinds:
            head.append("Content-Length: %d" % body.size)
        closing = bool(kinds & {"nolength", "close", "overlong", "hugelength"})
        if closing or self.close_connection:
            head.append("Connection: close")
            self.close_connection = True
        if "bigheader" in kinds:
            want = int_param(modes, "header", 5000)
            used = sum(len(h) + 2 for h in head) + 2
            n = 0
            while used < want + 1:
                line = "X-Padding-%d: %s" % (n, "x" * 200)
                head.append(line)
                used += len(line) + 2
                n += 1
        self.wfile.write(("\r\n".join(head) + "\r\n\r\n").encode("latin-1"))
        if self.command == "HEAD":
            self.wfile.flush()
            return code

        limit = int_param(modes, "after", -1) if "close" in kinds else -1
        rate = int_param(modes, "rate", 0) if "drip" in kinds else 0
        step = max(1, rate // 20) if rate > 0 else 65536
        chunk = int_param(modes, "chunk", 4096) if chunked else step
        sent = 0
        for piece in body.pieces(max(1, min(chunk, step))):
            if limit >= 0 and sent + len(piece) > limit:
                piece = piece[:limit - sent]
            if piece:
                if chunked:
                    self.wfile.write(b"%x\r\n%s\r\n" % (len(piece), piece))
                else:
                    self.wfile.write(piece)
                sent += len(piece)
            if rate > 0:
                self.wfile.flush()
                time.sleep(len(piece) / rate)
            if limit >= 0 and sent >= limit:
                break
        if limit >= 0:
            self.wfile.flush()
            return code
        if chunked:
            self.wfile.write(b"0\r\n\r\n")
        if "overlong" in kinds:
            self.wfile.write(b"\x55" * int_param(modes, "extra", 1000))
        self.wfile.flush()
        return code


class Server(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 64

    def __init__(self, addr, service, log_file):
        self.service = service
        self.stopping = threading.Event()
        self.log_lock = threading.Lock()
        self.log_file = log_file
        super().__init__(addr, Handler)
        self.host_text = addr[0] if addr[1] == 80 else "%s:%d" % addr

    def write_log(self, line):
        with self.log_lock:
            self.log_file.write(line + "\n")
            self.log_file.flush()


# ---------------------------------------------------------------------------------------------
# Config.ini next to a Windows program


def write_config_ini(folder, host):
    """Sets [SERVICE] ApiHost/WebHost/IpEchoHost in folder/Config.ini, keeping every other section."""
    path = os.path.join(folder, "Config.ini")
    lines = []
    if os.path.exists(path):
        with open(path, "r", encoding="latin-1") as fh:
            lines = fh.read().splitlines()
    out, skipping = [], False
    for line in lines:
        s = line.strip()
        if s.startswith("[") and s.endswith("]"):
            skipping = s[1:-1].strip().upper() == "SERVICE"
        if not skipping:
            out.append(line)
    out += ["[SERVICE]", "ApiHost=%s" % host, "WebHost=%s" % host, "IpEchoHost=%s" % host]
    os.makedirs(folder, exist_ok=True)
    with open(path, "w", encoding="latin-1", newline="\r\n") as fh:
        fh.write("\n".join(out) + "\n")


def main(argv=None):
    ap = argparse.ArgumentParser(description="Local stand-in of the music service (see the top of this file).")
    ap.add_argument("--addr", default="127.0.0.1", help="loopback address to listen on (127.0.0.1)")
    ap.add_argument("--port", type=int, default=80, help="port (80; song downloads always use 80)")
    ap.add_argument("--catalogue", default=os.path.join(HERE, "catalogue.json"))
    ap.add_argument("--cache", default=default_cache(), help="folder for the generated large songs")
    ap.add_argument("--update-dir", default="", help="folder served under update/")
    ap.add_argument("--version-number", default="Beta1.0", help="number in the version document")
    ap.add_argument("--version-date", default="20121008", help="datetime in the version document (yyyymmdd)")
    ap.add_argument("--log", default="", help="append the request log to this file (default stderr)")
    ap.add_argument("--write-config-ini", metavar="DIR", default="",
                    help="only write DIR/Config.ini pointing at --addr, then exit")
    ap.add_argument("--mode", default="", help="misbehaviour for every response (see the top of this file)")
    ap.add_argument("--mode-path", default="/", help="apply --mode only to paths starting with this (/)")
    for k in MODE_KEYS[1:]:
        ap.add_argument("--" + k, default=None)
    opts = ap.parse_args(argv)
    opts.run_modes = {k: getattr(opts, k) for k in MODE_KEYS[1:] if getattr(opts, k) is not None}
    opts.run_modes["mode"] = opts.mode

    if opts.write_config_ini:
        # The program takes host names only and always talks to port 80.
        if opts.port != 80:
            print("standin: Config.ini names hosts only; the program will use port 80, not %d" % opts.port,
                  file=sys.stderr)
        write_config_ini(opts.write_config_ini, opts.addr)
        return 0

    with open(opts.catalogue, encoding="utf-8") as fh:
        catalogue = json.load(fh)
    files = prepare_files(catalogue, opts.cache)
    log_file = open(opts.log, "a", encoding="utf-8") if opts.log else sys.stderr
    try:
        server = Server((opts.addr, opts.port), Service(opts, catalogue, files), log_file)
    except OSError as e:
        print("standin: cannot listen on %s:%d: %s" % (opts.addr, opts.port, e), file=sys.stderr)
        return 2
    server.write_log("%s standin listening on %s:%d" % (time.strftime("%H:%M:%S"), opts.addr, opts.port))
    try:
        server.serve_forever(poll_interval=0.2)
    except KeyboardInterrupt:
        pass
    finally:
        server.stopping.set()
        server.server_close()
    return 0


def stop_on_term(signum, frame):
    raise KeyboardInterrupt


if __name__ == "__main__":
    import signal
    signal.signal(signal.SIGTERM, stop_on_term)
    sys.exit(main())
