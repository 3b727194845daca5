#!/usr/bin/env python3
"""A scripted HTTP and HTTPS server on 127.0.0.1 for the tests (Python standard library + openssl).

    test_server.py start --dir DIR   make the certificates if needed, start the server in the
                                     background, wait until it listens, then return
    test_server.py stop --dir DIR    stop the server started for DIR
    test_server.py serve --dir DIR   run in the foreground (what start runs)

ctest runs start and stop as the "test_server" fixture (tests/support/CMakeLists.txt) with DIR =
<build>/test-server; C++ tests find it through tests/support/test_server.h.

DIR/server.json, written once the server listens:
    pid, http_port, https_port, untrusted_https_port, closed_port, blackhole_port, ca_file
Certificates (made once with the openssl command and kept in DIR):
    ca.pem                  the test CA; trust it only inside the test environment (SSL_CERT_FILE
                            natively, the Wine prefix's Root store under Wine), never on the machine
    server.pem/.key         DNS:localhost, DNS:127.0.0.1, IP:127.0.0.1, signed by the test CA
    untrusted.pem/.key      the same names, signed by a CA nobody trusts (untrusted_https_port)
Ports besides the servers: closed_port is bound but never listens, so connecting is refused at once;
blackhole_port listens with a full backlog and never accepts, so connecting hangs.

Routes (any method; the path without its query decides; an absolute target, as a client sends to a
proxy, counts by its path). A scripted answer for a path comes first, then:
    /echo...                      200; the body is the request exactly as received: request line,
                                  header lines, the empty line, then the body
    /redirect?to=URL&status=302   redirect to URL (default /echo/redirected)
    /big-headers?size=N           200 with a header block over N bytes (default 6000), body "big headers"
    /slow?delay_ms=N              200 "slow" after N ms
    /trickle?chunks=N&gap_ms=M    200, the body "piece k\n" for k = 1..N, one piece every M ms
    /silent                       reads the request and never answers (until the server stops)
    anything else                 404 "no route"

Control (on the http port, JSON, never recorded):
    POST /_control/answer   {"path": "/x", "status": 200, "headers": [["Name", "value"], ...],
                             "body_base64": "..." (or "body": "text"), "delay_ms": 0}
                            answers every later request for that path so (Content-Length is added)
    GET  /_control/requests?prefix=/x
                            {"requests": [{"method", "target", "head_base64", "body_base64",
                             "done"}, ...]} in arrival order; head = request line + header lines +
                            empty line, byte for byte
    GET  /_control/concurrency?prefix=/x   {"in_flight": n, "max_in_flight": m}: the most requests
                            under the prefix that were being answered at one moment
    POST /_control/forget?prefix=/x        drops the recorded requests and answers under the prefix
    POST /_control/stop
"""

import argparse
import base64
import http.server
import json
import os
import signal
import socket
import socketserver
import ssl
import subprocess
import sys
import threading
import time
import urllib.parse
import urllib.request

LOOPBACK = "127.0.0.1"
STATE_FILE = "server.json"
MAX_LIFETIME_S = 3 * 3600  # a server whose stop never came ends by itself


# ---------------------------------------------------------------------------------------------
# Certificates


def openssl(*args):
    subprocess.run(["openssl", *args], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def make_ca(folder, name, subject):
    key, cert = os.path.join(folder, name + ".key"), os.path.join(folder, name + ".pem")
    if not os.path.exists(cert):
        openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-sha256", "-days", "3650",
                "-keyout", key, "-out", cert, "-subj", "/CN=" + subject,
                "-addext", "basicConstraints=critical,CA:TRUE",
                "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    return key, cert


def make_server_cert(folder, name, ca_key, ca_cert):
    key, cert = os.path.join(folder, name + ".key"), os.path.join(folder, name + ".pem")
    if os.path.exists(cert):
        return key, cert
    request, extensions = os.path.join(folder, name + ".csr"), os.path.join(folder, name + ".ext")
    with open(extensions, "w") as f:
        f.write("subjectAltName=DNS:localhost,DNS:127.0.0.1,IP:127.0.0.1\n"
                "basicConstraints=critical,CA:FALSE\n"
                "keyUsage=critical,digitalSignature,keyEncipherment\n"
                "extendedKeyUsage=serverAuth\n")
    openssl("req", "-new", "-newkey", "rsa:2048", "-nodes", "-sha256", "-keyout", key,
            "-out", request, "-subj", "/CN=localhost")
    openssl("x509", "-req", "-in", request, "-CA", ca_cert, "-CAkey", ca_key, "-CAcreateserial",
            "-sha256", "-days", "3650", "-out", cert, "-extfile", extensions)
    return key, cert


def make_certificates(folder):
    ca_key, ca_cert = make_ca(folder, "ca", "qingwu-ocr test CA")
    other_key, other_cert = make_ca(folder, "untrusted-ca", "untrusted test CA")
    return {
        "ca": ca_cert,
        "server": make_server_cert(folder, "server", ca_key, ca_cert),
        "untrusted": make_server_cert(folder, "untrusted", other_key, other_cert),
    }


# ---------------------------------------------------------------------------------------------
# What the server remembers


class Recorder:
    """Requests in arrival order, scripted answers, and the in-flight bookkeeping, under one lock."""

    def __init__(self):
        self.lock = threading.Lock()
        self.requests = []  # dicts: method, target, path, head, body, started, finished
        self.answers = {}   # path -> answer dict
        self.clock = 0      # orders starts and ends; no wall time involved

    def _tick(self):
        self.clock += 1
        return self.clock

    def begin(self, method, target, path, head, body):
        with self.lock:
            record = {"method": method, "target": target, "path": path, "head": head,
                      "body": body, "started": self._tick(), "finished": None}
            self.requests.append(record)
            return record

    def end(self, record):
        with self.lock:
            record["finished"] = self._tick()

    def answer_for(self, path):
        with self.lock:
            return self.answers.get(path)

    def set_answer(self, answer):
        with self.lock:
            self.answers[answer["path"]] = answer

    def matching(self, prefix):
        return [r for r in self.requests if r["path"].startswith(prefix)]

    def listing(self, prefix):
        with self.lock:
            return [{"method": r["method"], "target": r["target"],
                     "head_base64": base64.b64encode(r["head"]).decode("ascii"),
                     "body_base64": base64.b64encode(r["body"]).decode("ascii"),
                     "done": r["finished"] is not None} for r in self.matching(prefix)]

    def concurrency(self, prefix):
        with self.lock:
            events = []
            in_flight = 0
            for r in self.matching(prefix):
                events.append((r["started"], 1))
                if r["finished"] is None:
                    in_flight += 1
                else:
                    events.append((r["finished"], -1))
            current = highest = 0
            for _, step in sorted(events):
                current += step
                highest = max(highest, current)
            return {"in_flight": in_flight, "max_in_flight": highest}

    def forget(self, prefix):
        with self.lock:
            self.requests = [r for r in self.requests if not r["path"].startswith(prefix)]
            self.answers = {p: a for p, a in self.answers.items() if not p.startswith(prefix)}


# ---------------------------------------------------------------------------------------------
# The request handler


class LineRecorder:
    """Stands in for rfile while the header lines are parsed, keeping every line as read."""

    def __init__(self, stream):
        self.stream = stream
        self.lines = []

    def readline(self, *args):
        line = self.stream.readline(*args)
        self.lines.append(line)
        return line

    def __getattr__(self, name):
        return getattr(self.stream, name)


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    # Without it every request on a reused connection waits for the peer's delayed ACK (~40 ms).
    disable_nagle_algorithm = True
    timeout = 120  # an idle kept-alive connection is closed after this
    server_version = "qw-test-server"

    def log_message(self, format, *args):
        pass

    def parse_request(self):
        recorder = LineRecorder(self.rfile)
        self.rfile = recorder
        try:
            return super().parse_request()
        finally:
            self.rfile = recorder.stream
            self.raw_head = self.raw_requestline + b"".join(recorder.lines)

    def __getattr__(self, name):
        # Every method (GET, POST, HEAD, PUT, ...) goes through one dispatcher.
        if name.startswith("do_"):
            return self.dispatch
        raise AttributeError(name)

    def read_body(self):
        length = int(self.headers.get("Content-Length") or 0)
        return self.rfile.read(length) if length > 0 else b""

    def dispatch(self):
        target = self.path
        split = urllib.parse.urlsplit(target)
        path = split.path or "/"
        query = dict(urllib.parse.parse_qsl(split.query))
        body = self.read_body()
        if path.startswith("/_control/"):
            self.control(path, query, body)
            return
        record = self.server.recorder.begin(self.command, target, path, self.raw_head, body)
        try:
            self.route(path, query, body)
        finally:
            self.server.recorder.end(record)

    def send(self, status, headers=(), body=b"", reason=None):
        self.send_response(status, reason)
        names = set()
        for name, value in headers:
            self.send_header(name, value)
            names.add(name.lower())
        if "content-length" not in names and "transfer-encoding" not in names:
            self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if self.command != "HEAD" and body:
            self.wfile.write(body)
        self.wfile.flush()

    def route(self, path, query, body):
        scripted = self.server.recorder.answer_for(path)
        if scripted is not None:
            if scripted.get("delay_ms"):
                self.server.stopping.wait(scripted["delay_ms"] / 1000)
            self.send(scripted.get("status", 200), [tuple(h) for h in scripted.get("headers", [])],
                      scripted.get("body_bytes", b""))
        elif path.startswith("/echo"):
            self.send(200, [("Content-Type", "application/octet-stream")], self.raw_head + body)
        elif path == "/redirect":
            self.send(int(query.get("status", "302")), [("Location", query.get("to", "/echo/redirected"))],
                      b"redirecting")
        elif path == "/big-headers":
            size = int(query.get("size", "6000"))
            filler = [("X-Filler-%04d" % i, "x" * 90) for i in range(size // 100 + 1)]
            self.send(200, filler + [("Set-Cookie", "big=1")], b"big headers")
        elif path == "/slow":
            self.server.stopping.wait(int(query.get("delay_ms", "1000")) / 1000)
            self.send(200, [], b"slow")
        elif path == "/trickle":
            self.trickle(int(query.get("chunks", "4")), int(query.get("gap_ms", "300")))
        elif path == "/silent":
            self.server.stopping.wait(MAX_LIFETIME_S)
            self.close_connection = True
        else:
            self.send(404, [("Content-Type", "text/plain")], b"no route")

    def trickle(self, chunks, gap_ms):
        self.send_response(200)
        self.send_header("Transfer-Encoding", "chunked")
        self.end_headers()
        self.wfile.flush()
        for k in range(1, chunks + 1):
            self.server.stopping.wait(gap_ms / 1000)
            piece = b"piece %d\n" % k
            self.wfile.write(b"%x\r\n%s\r\n" % (len(piece), piece))
            self.wfile.flush()
        self.wfile.write(b"0\r\n\r\n")
        self.wfile.flush()

    def control(self, path, query, body):
        recorder = self.server.recorder
        prefix = query.get("prefix", "/")
        if path == "/_control/answer":
            answer = json.loads(body)
            if "body_base64" in answer:
                answer["body_bytes"] = base64.b64decode(answer["body_base64"])
            else:
                answer["body_bytes"] = answer.get("body", "").encode("utf-8")
            recorder.set_answer(answer)
            reply = {"ok": True}
        elif path == "/_control/requests":
            reply = {"requests": recorder.listing(prefix)}
        elif path == "/_control/concurrency":
            reply = recorder.concurrency(prefix)
        elif path == "/_control/forget":
            recorder.forget(prefix)
            reply = {"ok": True}
        elif path == "/_control/stop":
            reply = {"ok": True}
            threading.Thread(target=self.server.owner.stop, daemon=True).start()
        else:
            self.send(404, [], b"no such control")
            return
        self.send(200, [("Content-Type", "application/json")], json.dumps(reply).encode("utf-8"))


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    request_queue_size = 128
    allow_reuse_address = True

    def __init__(self, owner, context=None):
        self.owner = owner
        self.recorder = owner.recorder
        self.stopping = owner.stopping
        self.context = context
        super().__init__((LOOPBACK, 0), Handler)

    def finish_request(self, request, client_address):
        if self.context is None:
            return super().finish_request(request, client_address)
        # The handshake runs on the connection's own thread, so a client that stalls or refuses the
        # certificate holds up nobody else.
        try:
            request.settimeout(30)
            tls = self.context.wrap_socket(request, server_side=True)
            tls.settimeout(None)
        except (ssl.SSLError, OSError):
            return
        try:
            self.RequestHandlerClass(tls, client_address, self)
        finally:
            tls.close()


def tls_context(cert_and_key):
    key, cert = cert_and_key
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    return context


def closed_port():
    """A port held by a socket that never listens: connections to it are refused."""
    holder = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    holder.bind((LOOPBACK, 0))
    return holder


def blackhole_port():
    """A listening socket whose accept queue is full and never drained: connecting hangs."""
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind((LOOPBACK, 0))
    listener.listen(0)
    fillers = []
    for _ in range(4):
        filler = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        filler.setblocking(False)
        try:
            filler.connect(listener.getsockname())
        except (BlockingIOError, OSError):
            pass
        fillers.append(filler)
    return listener, fillers


class TestServer:
    def __init__(self, folder):
        self.folder = folder
        self.recorder = Recorder()
        self.stopping = threading.Event()
        certificates = make_certificates(folder)
        self.ca_file = certificates["ca"]
        self.http = Server(self)
        self.https = Server(self, tls_context(certificates["server"]))
        self.untrusted = Server(self, tls_context(certificates["untrusted"]))
        self.closed = closed_port()
        self.blackhole, self.fillers = blackhole_port()
        self.done = threading.Event()

    def state(self):
        return {"pid": os.getpid(), "http_port": self.http.server_address[1],
                "https_port": self.https.server_address[1],
                "untrusted_https_port": self.untrusted.server_address[1],
                "closed_port": self.closed.getsockname()[1],
                "blackhole_port": self.blackhole.getsockname()[1], "ca_file": self.ca_file}

    def serve(self):
        servers = [self.http, self.https, self.untrusted]
        for server in servers:
            threading.Thread(target=server.serve_forever, kwargs={"poll_interval": 0.2}, daemon=True).start()
        write_state(self.folder, self.state())
        self.done.wait(MAX_LIFETIME_S)
        self.stopping.set()
        for server in servers:
            server.shutdown()
            server.server_close()

    def stop(self):
        self.stopping.set()
        self.done.set()


# ---------------------------------------------------------------------------------------------
# start / stop


def state_path(folder):
    return os.path.join(folder, STATE_FILE)


def write_state(folder, state):
    temporary = state_path(folder) + ".tmp"
    with open(temporary, "w") as f:
        json.dump(state, f)
    os.replace(temporary, state_path(folder))


def read_state(folder):
    try:
        with open(state_path(folder)) as f:
            return json.load(f)
    except (OSError, ValueError):
        return None


def is_running(pid):
    try:
        os.kill(pid, 0)
    except OSError:
        return False
    try:
        with open("/proc/%d/cmdline" % pid, "rb") as f:
            return b"test_server.py" in f.read()
    except OSError:
        return True


def stop(folder):
    state = read_state(folder)
    if state is None:
        return
    pid = state["pid"]
    if is_running(pid):
        # The server is on loopback; the environment's proxies must not come into it.
        opener = urllib.request.build_opener(urllib.request.ProxyHandler({}))
        try:
            opener.open(urllib.request.Request("http://%s:%d/_control/stop" % (LOOPBACK, state["http_port"]),
                                               data=b"", method="POST"), timeout=5).read()
        except OSError:
            os.kill(pid, signal.SIGTERM)
        deadline = time.monotonic() + 10
        while is_running(pid) and time.monotonic() < deadline:
            time.sleep(0.05)
        if is_running(pid):
            os.kill(pid, signal.SIGKILL)
    try:
        os.remove(state_path(folder))
    except OSError:
        pass


def start(folder):
    os.makedirs(folder, exist_ok=True)
    stop(folder)
    make_certificates(folder)  # here, so that a failure shows in the start step's output
    with open(os.path.join(folder, "server.log"), "ab") as log:
        child = subprocess.Popen([sys.executable, os.path.abspath(__file__), "serve", "--dir", folder],
                                 stdin=subprocess.DEVNULL, stdout=log, stderr=log, start_new_session=True)
    deadline = time.monotonic() + 30
    while time.monotonic() < deadline:
        state = read_state(folder)
        if state is not None and state["pid"] == child.pid:
            print("test server: http %(http_port)d, https %(https_port)d, untrusted https "
                  "%(untrusted_https_port)d, closed %(closed_port)d, blackhole %(blackhole_port)d" % state)
            return 0
        if child.poll() is not None:
            break
        time.sleep(0.05)
    print("test server did not start; see " + os.path.join(folder, "server.log"), file=sys.stderr)
    return 1


def main():
    parser = argparse.ArgumentParser(description="scripted local HTTP(S) test server")
    parser.add_argument("action", choices=["start", "stop", "serve"])
    parser.add_argument("--dir", required=True)
    args = parser.parse_args()
    folder = os.path.abspath(args.dir)
    if args.action == "start":
        return start(folder)
    if args.action == "stop":
        stop(folder)
        return 0
    os.makedirs(folder, exist_ok=True)
    server = TestServer(folder)
    signal.signal(signal.SIGTERM, lambda *_: server.stop())
    server.serve()
    return 0


if __name__ == "__main__":
    sys.exit(main())
