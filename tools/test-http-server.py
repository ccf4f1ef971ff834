#!/usr/bin/env python3
"""HTTP server for the network tests, listening on 127.0.0.1 only.

The tests steer it through files in its folder (--dir), which the test
programs reach through Wine's Z: drive:

  routes/*.route   what to answer, tried in file-name order; the first whose
                   "path" line matches the request path (without the query;
                   a path line holding '?' must match path and query exactly)
                   answers. Lines:
                     path /update.php
                     status 200
                     header Name: value      (any number)
                     body-file answer.xml    (relative to the folder)
                     body text               (the rest of the line, as UTF-8)
                     ranges 1                (honour "Range: bytes=N-" with 206)
                     short N                 (announce N more bytes than sent, then close)
                     framing chunked         (the body in chunks of 1000 bytes and the last
                                              chunk, no Content-Length)
                     framing close           (no Content-Length: the body ends when the
                                              connection closes)
                     cut N                   (only the first N bytes of the body go out,
                                              then the connection closes: a chunked body
                                              lacks its last chunk)
                     partial N               (206 with the body from byte N on and its
                                              Content-Range, whatever the request asked)
                     fill 1                  (each "@sha256 FILE@" in the body becomes
                                              the SHA-256 of that file of the folder, in
                                              64 lower-case hexadecimal digits, and each
                                              "@signature KEY FILE@" the ECDSA P-256
                                              signature of the file's SHA-256 with
                                              KEY.pem of the keys folder, as r and s in
                                              128 lower-case hexadecimal digits)
                     keys DIR                (the folder of those keys, a Linux path)
                     hold 1                  (record the request, then answer nothing
                                              until the client goes away)
                     stall 1                 (send the headers and the body, then keep
                                              the connection open until the client goes away)
                   Without a matching route the answer is 404 with a short body.
  requests/NNNN/   one folder per request, numbered from 0001 in arrival order
                   and written completely before any answer byte is sent:
                     line     "METHOD TARGET" (target = path and query as sent)
                     headers  the header block as received
                     body     the body bytes (a chunked body is decoded)
                     done     written last, empty

--port-file receives the port once the server listens.
"""
import argparse
import hashlib
import os
import re
import socket
import subprocess
import sys
import threading
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

counter_lock = threading.Lock()
counter = [0]


def read_routes(folder):
    routes = []
    route_dir = os.path.join(folder, "routes")
    if not os.path.isdir(route_dir):
        return routes
    for name in sorted(os.listdir(route_dir)):
        if not name.endswith(".route"):
            continue
        route = {"status": 200, "headers": [], "body": b"", "ranges": False, "short": 0,
                 "hold": False, "stall": False, "path": None, "framing": "length",
                 "cut": None, "partial": None, "fill": False, "keys": ""}
        with open(os.path.join(route_dir, name), "rb") as f:
            for raw in f.read().decode("utf-8").splitlines():
                key, _, value = raw.partition(" ")
                if key == "path":
                    route["path"] = value
                elif key == "status":
                    route["status"] = int(value)
                elif key == "header":
                    route["headers"].append(value)
                elif key == "body-file":
                    with open(os.path.join(folder, value), "rb") as b:
                        route["body"] = b.read()
                elif key == "body":
                    route["body"] = value.encode("utf-8")
                elif key == "ranges":
                    route["ranges"] = value == "1"
                elif key == "short":
                    route["short"] = int(value)
                elif key == "hold":
                    route["hold"] = value == "1"
                elif key == "stall":
                    route["stall"] = value == "1"
                elif key == "framing":
                    route["framing"] = value
                elif key in ("cut", "partial"):
                    route[key] = int(value)
                elif key == "fill":
                    route["fill"] = value == "1"
                elif key == "keys":
                    route["keys"] = value
        routes.append(route)
    return routes


def signature(key, path):
    """openssl's DER signature (a sequence of the integers r and s) as r||s."""
    der = subprocess.run(["openssl", "dgst", "-sha256", "-sign", key, path],
                         check=True, capture_output=True).stdout
    at = 2 if der[1] < 0x80 else 2 + (der[1] & 0x7F)
    raw = b""
    for _ in range(2):
        length = der[at + 1]
        raw += der[at + 2:at + 2 + length].lstrip(b"\0").rjust(32, b"\0")
        at += 2 + length
    return raw.hex()


def fill(folder, keys, data):
    def file(name):
        return os.path.join(folder, name.decode("utf-8"))

    def sha256(match):
        with open(file(match.group(1)), "rb") as f:
            return hashlib.sha256(f.read()).hexdigest().encode("ascii")

    def signed(match):
        key = os.path.join(keys, match.group(1).decode("utf-8") + ".pem")
        return signature(key, file(match.group(2))).encode("ascii")

    data = re.sub(rb"@sha256 ([^@]+)@", sha256, data)
    return re.sub(rb"@signature (\S+) ([^@]+)@", signed, data)


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, format, *args):
        pass

    def read_body(self):
        if self.headers.get("Transfer-Encoding", "").lower() == "chunked":
            body = b""
            while True:
                size = int(self.rfile.readline().split(b";")[0].strip() or b"0", 16)
                if size == 0:
                    while self.rfile.readline() not in (b"\r\n", b"\n", b""):
                        pass
                    return body
                body += self.rfile.read(size)
                self.rfile.readline()
        length = int(self.headers.get("Content-Length", "0") or "0")
        return self.rfile.read(length) if length > 0 else b""

    def record(self, body):
        with counter_lock:
            counter[0] += 1
            number = counter[0]
        folder = os.path.join(self.server.folder, "requests", "%04d" % number)
        os.makedirs(folder)
        with open(os.path.join(folder, "line"), "wb") as f:
            f.write(("%s %s" % (self.command, self.path)).encode("latin-1"))
        with open(os.path.join(folder, "headers"), "wb") as f:
            f.write(str(self.headers).encode("latin-1"))
        with open(os.path.join(folder, "body"), "wb") as f:
            f.write(body)
        open(os.path.join(folder, "done"), "wb").close()

    def answer(self):
        body = self.read_body()
        self.record(body)
        path, _, query = self.path.partition("?")
        route = None
        for r in read_routes(self.server.folder):
            wanted = r["path"]
            if wanted is None:
                continue
            if ("?" in wanted and wanted == self.path) or ("?" not in wanted and wanted == path):
                route = r
                break
        if route is None:
            self.send_plain(404, b"not found")
            return
        if route["hold"]:
            self.wait_for_client()
            return
        status = route["status"]
        data = route["body"]
        if route["fill"]:
            data = fill(self.server.folder, route["keys"], data)
        extra = []
        match = re.match(r"bytes=(\d+)-$", self.headers.get("Range", ""))
        if route["ranges"] and match:
            start = int(match.group(1))
            total = len(data)
            data = data[start:]
            status = 206
            extra.append("Content-Range: bytes %d-%d/%d" % (start, total - 1, total))
        elif route["partial"] is not None:
            start = route["partial"]
            total = len(data)
            data = data[start:]
            status = 206
            extra.append("Content-Range: bytes %d-%d/%d" % (start, total - 1, total))
        self.send_response(status)
        for h in route["headers"] + extra:
            name, _, value = h.partition(":")
            self.send_header(name.strip(), value.strip())
        framing = route["framing"]
        if framing == "chunked":
            self.send_header("Transfer-Encoding", "chunked")
        elif framing == "length":
            self.send_header("Content-Length", str(len(data) + route["short"]))
        self.send_header("Connection", "close")
        self.end_headers()
        if self.command != "HEAD":
            self.send_body(data, framing, route["cut"])
        if route["stall"]:
            self.wfile.flush()
            self.wait_for_client()
        self.close_connection = True

    def send_body(self, data, framing, cut):
        sent = data if cut is None else data[:cut]
        if framing != "chunked":
            self.wfile.write(sent)
            return
        for at in range(0, len(sent), 1000):
            piece = sent[at:at + 1000]
            self.wfile.write(b"%x\r\n" % len(piece) + piece + b"\r\n")
        if cut is None:
            self.wfile.write(b"0\r\n\r\n")

    def wait_for_client(self):
        # Nothing more is sent; the request ends when the client closes.
        self.connection.settimeout(120)
        try:
            while self.connection.recv(1024):
                pass
        except OSError:
            pass
        self.close_connection = True

    def send_plain(self, status, data):
        self.send_response(status)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(data)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(data)
        self.close_connection = True

    do_GET = answer
    do_POST = answer
    do_PUT = answer
    do_HEAD = answer


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dir", required=True)
    parser.add_argument("--port-file", required=True)
    args = parser.parse_args()
    os.makedirs(os.path.join(args.dir, "routes"), exist_ok=True)
    os.makedirs(os.path.join(args.dir, "requests"), exist_ok=True)
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    server.folder = args.dir
    port = server.server_address[1]
    temp = args.port_file + ".tmp"
    with open(temp, "w") as f:
        f.write(str(port))
    os.rename(temp, args.port_file)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
