#!/usr/bin/env python3
"""HTTPS test service and CONNECT proxy for the HTTP client and update tests.

Listens on 127.0.0.1 only, on a port of its own choosing, prints "PORT <n>" once bound and
ends by itself after --lifetime seconds. Every request is appended to --log as one line.

  https  --certs DIR --cert ca|self   serves the routes below over TLS
  proxy                               a CONNECT tunnel (plain HTTP towards the client)
  certs  --certs DIR                  only makes the test certificates

Routes: /echo (request line, headers and body back), /big (150000 bytes), /slow (answers
after 5 s), /redirect (302 to /echo), /api/updates (the JSON of --answer), /file (the
--file-size bytes of a pattern, honouring a range), /stallfile (as /file, but a request
without a range stops after half and hangs), /status500 (a JSON answer with status 500),
/big/updates (as /big, for the update check), /trickle?gap=S (headers, then one byte every
S seconds for ever), /endless (a body without a length that never ends), /short (its answer,
or that of --answer for .../short/updates, announced three times as long, then the
connection ends), .../fail-WORD/updates (status 500 when the request's body holds WORD, else
as /api/updates).

The file's pattern depends on a seed: ?seed=N, else the first number in --file-seed FILE,
else 0. That file may go on with the file's size and the word "whole" (the stall file then
comes whole): "1 200000 whole". Under /etag/ (/etag/file, /etag/stallfile) the file carries
an ETag of its seed, under /dated/ a Last-Modified date of it; there a Range with an
If-Range that no longer matches gets the whole file.
"""
import argparse
import email.utils
import http.server
import os
import re
import select
import socket
import socketserver
import ssl
import subprocess
import sys
import threading
import time


def make_certs(folder):
    os.makedirs(folder, exist_ok=True)
    if os.path.exists(os.path.join(folder, "self.pem")):
        return

    def run(*args):
        subprocess.run(["openssl", *args], cwd=folder, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    ec = ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"]
    run("req", "-x509", *ec, "-keyout", "ca.key", "-out", "ca.pem", "-days", "30",
        "-subj", "/CN=Halvek Test CA")
    run("req", *ec, "-keyout", "server.key", "-out", "server.csr", "-subj", "/CN=127.0.0.1")
    with open(os.path.join(folder, "server.ext"), "w") as ext:
        ext.write("subjectAltName=IP:127.0.0.1,DNS:localhost\n")
    run("x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
        "-CAcreateserial", "-out", "server.pem", "-days", "30", "-extfile", "server.ext")
    run("req", "-x509", *ec, "-keyout", "self.key", "-out", "self.pem.tmp", "-days", "30",
        "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1")
    os.rename(os.path.join(folder, "self.pem.tmp"), os.path.join(folder, "self.pem"))


def pattern(start, end, seed=0):
    return bytes((i * 7 + 3 + seed * 13) & 0xFF for i in range(start, end))


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    options = None

    def log_message(self, *args):
        pass

    def note(self, text):
        with open(self.options.log, "a") as log:
            log.write(text + "\n")

    def body(self):
        length = int(self.headers.get("Content-Length") or 0)
        return self.rfile.read(min(length, 1 << 20)) if length > 0 else b""

    def answer(self, data, status=200, headers=()):
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def do_GET(self):
        self.route(b"")

    def do_POST(self):
        self.route(self.body())

    def query(self):
        return dict(p.split("=", 1) for p in self.path.partition("?")[2].split("&") if "=" in p)

    def route(self, body):
        path = self.path.split("?")[0]
        line = f"{self.command} {path} range={self.headers.get('Range', '')}"
        if self.headers.get("If-Range") is not None:
            line += f" if-range={self.headers.get('If-Range')}"
        self.note(line)
        failing = re.search(r"/fail-(\w+)/", path)
        if path == "/echo":
            lines = [self.requestline] + [f"{k}: {v}" for k, v in self.headers.items()]
            self.answer(("\r\n".join(lines) + "\r\n\r\n").encode() + body)
        elif path == "/big" or path.endswith("/big/updates"):
            self.answer(b"{" * 150000)
        elif path == "/slow":
            time.sleep(5)
            self.answer(b"late")
        elif path == "/redirect":
            self.answer(b"", 302, [("Location", "/echo")])
        elif "/status500" in path:
            self.answer(b'{"version":"9999","name":"x"}', 500)
        elif path.startswith("/trickle"):
            gap = float(self.query().get("gap", "1"))
            self.send_response(200)
            self.send_header("Content-Length", "100000")
            self.end_headers()
            self.wfile.flush()
            try:
                while True:
                    self.wfile.write(b"{")
                    self.wfile.flush()
                    time.sleep(gap)
            except OSError:
                return
        elif path == "/endless":
            self.send_response(200)
            self.send_header("Connection", "close")
            self.end_headers()
            block = pattern(0, 65536)
            try:
                while True:
                    self.wfile.write(block)
            except OSError:
                return
        elif "/short" in path:
            data = b'{"version":"0103"}'
            if path.endswith("/updates"):
                with open(self.options.answer, "rb") as answer:
                    data = answer.read()
            self.send_response(200)
            self.send_header("Content-Length", str(len(data) * 3))
            self.end_headers()
            self.wfile.write(data)
            self.wfile.flush()
            self.close_connection = True
        elif failing and failing.group(1).encode() in body:
            self.answer(b'{"version":"9999","name":"x"}', 500)
        elif path.endswith("/updates"):
            with open(self.options.answer, "rb") as answer:
                self.answer(answer.read())
        elif path.endswith("/file") or path.endswith("/stallfile"):
            self.serve_file(path)
        else:
            self.answer(b"not here", 404)

    def file_seed(self):
        try:
            with open(self.options.file_seed) as seed:
                return seed.read().split()
        except (OSError, TypeError):
            return []

    def serve_file(self, path):
        words = self.file_seed()
        seed = int(self.query().get("seed", words[0] if words else 0))
        sizes = [int(word) for word in words[1:] if word.isdigit()]
        size = sizes[0] if sizes else self.options.file_size
        validator = None
        if path.startswith("/etag/"):
            validator = ("ETag", f'"v{seed}"')
        elif path.startswith("/dated/"):
            validator = ("Last-Modified",
                         email.utils.formatdate(1700000000 + seed * 86400, usegmt=True))
        extra = [validator] if validator else []
        wanted = self.headers.get("Range", "")
        stall = path.endswith("/stallfile") and not wanted and "whole" not in words
        condition = self.headers.get("If-Range")
        if condition is not None and (validator is None or condition != validator[1]):
            wanted = ""  # another file now: the whole of it
        if wanted.startswith("bytes=") and wanted.endswith("-"):
            start = int(wanted[6:-1])
            if start >= size:
                self.answer(b"", 416, [("Content-Range", f"bytes */{size}")])
                return
            self.send_response(206)
            for name, value in extra:
                self.send_header(name, value)
            self.send_header("Content-Range", f"bytes {start}-{size - 1}/{size}")
            self.send_header("Content-Length", str(size - start))
            self.end_headers()
            self.wfile.write(pattern(start, size, seed))
            return
        self.send_response(200)
        for name, value in extra:
            self.send_header(name, value)
        self.send_header("Content-Length", str(size))
        self.end_headers()
        if stall:
            self.wfile.write(pattern(0, size // 2, seed))
            self.wfile.flush()
            time.sleep(30)
            return
        self.wfile.write(pattern(0, size, seed))


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True


class ProxyHandler(socketserver.BaseRequestHandler):
    log = None

    def handle(self):
        data = b""
        while b"\r\n\r\n" not in data and len(data) < 8192:
            chunk = self.request.recv(4096)
            if not chunk:
                return
            data += chunk
        line = data.split(b"\r\n")[0].decode(errors="replace")
        with open(self.log, "a") as log:
            log.write(line + "\n")
        parts = line.split()
        if len(parts) < 2 or parts[0] != "CONNECT":
            self.request.sendall(b"HTTP/1.1 405 Only CONNECT\r\nContent-Length: 0\r\n\r\n")
            return
        host, port = parts[1].rsplit(":", 1)
        if host not in ("127.0.0.1", "localhost"):
            self.request.sendall(b"HTTP/1.1 403 Loopback only\r\nContent-Length: 0\r\n\r\n")
            return
        upstream = socket.create_connection(("127.0.0.1", int(port)), timeout=10)
        self.request.sendall(b"HTTP/1.1 200 Connection established\r\n\r\n")
        ends = [self.request, upstream]
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline:
            ready, _, _ = select.select(ends, [], [], 1)
            for end in ready:
                chunk = end.recv(65536)
                if not chunk:
                    upstream.close()
                    return
                (upstream if end is self.request else self.request).sendall(chunk)
        upstream.close()


class ProxyServer(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("mode", choices=["https", "proxy", "certs"])
    parser.add_argument("--certs")
    parser.add_argument("--cert", default="ca", choices=["ca", "self"])
    parser.add_argument("--log", default=os.devnull)
    parser.add_argument("--answer", default=os.devnull)
    parser.add_argument("--file-size", type=int, default=300000)
    parser.add_argument("--file-seed")
    parser.add_argument("--lifetime", type=float, default=60)
    options = parser.parse_args()

    if options.mode == "certs":
        make_certs(options.certs)
        return
    if options.mode == "proxy":
        ProxyHandler.log = options.log
        server = ProxyServer(("127.0.0.1", 0), ProxyHandler)
    else:
        make_certs(options.certs)
        Handler.options = options
        server = Server(("127.0.0.1", 0), Handler)
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        name = "server" if options.cert == "ca" else "self"
        context.load_cert_chain(os.path.join(options.certs, name + ".pem"),
                                os.path.join(options.certs, name + ".key"))
        server.socket = context.wrap_socket(server.socket, server_side=True)
    threading.Timer(options.lifetime, lambda: os._exit(0)).start()
    print(f"PORT {server.server_address[1]}", flush=True)
    server.serve_forever()


if __name__ == "__main__":
    sys.exit(main())
