#!/usr/bin/python3
"""A plain HTTP server whose answers a test chooses through the request path,
byte for byte: status codes, redirections, bodies with and without length,
replies that break the rules (over-long lines, endless bodies, silence), and
an echo of the request exactly as it arrived. It echoes every request with
an absolute URL, so it can stand in for an HTTP proxy.

    http_fixture_server.py [--port N] [--lifetime SECONDS] [--log FILE]

Prints "READY port=<n>" once it listens on 127.0.0.1 and stops by itself
after --lifetime seconds. With --log every request is appended to FILE as a
JSON line: {"connection", "method", "target", "head", "body"}, where
"connection" numbers the TCP connections in the order they were accepted.

A connection stays open for the next request when the client asked with
HTTP/1.1 and the route answered with version=1.1. With dropnext=1 the next
request on that connection is read and answered by closing it.

Routes (first path segment; query parameters in brackets):
  /echo [version]             200, body = the request as received
  /reply/<body>/...           200, body = the percent-decoded second segment
  /status [code, reason, body, version]
  /redirect [to, code, version, body, pause]  Location: to; the body
                              follows the header after pause milliseconds
  /chain [n]                  n redirections to /chain?n=n-1, then 200 "end"
  /body [size, version]       size bytes with Content-Length
  /nolength [size]            size bytes without Content-Length, then close
  /endless                    bytes without Content-Length until the client leaves
  /html                       a bare "<HTML>" document, no status line
  /silent                     reads the request and never answers
  /closenoreply               closes without a byte
  /truncated                  Content-Length 100, 10 bytes, close
  /badlength                  Content-Length that is no number
  /longline                   a 10000-byte header line
  /manyheaders [n]            n header lines
  /connection [version]       body = the number of this TCP connection
"""

import argparse
import json
import socketserver
import sys
import threading
import time
from urllib.parse import parse_qs, unquote_to_bytes, urlsplit

MAX_HEAD = 64 * 1024
MAX_BODY = 16 * 1024 * 1024


class FixtureServer(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, address, log_path):
        super().__init__(address, FixtureHandler)
        self._lock = threading.Lock()
        self._connections = 0
        self._log = open(log_path, "a", encoding="utf8") if log_path else None

    def next_connection(self):
        with self._lock:
            self._connections += 1
            return self._connections

    def log_request(self, record):
        if self._log is None:
            return
        with self._lock:
            self._log.write(json.dumps(record) + "\n")
            self._log.flush()


def _response(status, reason, headers, body=b"", version="1.0"):
    head = f"HTTP/{version} {status} {reason}\r\n"
    head += "".join(f"{name}: {value}\r\n" for name, value in headers)
    return head.encode("latin1") + b"\r\n" + body


def _with_length(status, reason, body, version="1.0", extra=()):
    headers = [("Content-Type", "text/plain"), ("Content-Length", str(len(body)))] + list(extra)
    return _response(status, reason, headers, body, version)


class FixtureHandler(socketserver.BaseRequestHandler):
    def handle(self):
        self.drop_next = False
        connection = self.server.next_connection()
        stream = self.request.makefile("rb")
        self.request.settimeout(60)
        try:
            while self._serve_one(stream, connection):
                pass
        except (OSError, ValueError):
            pass

    def _read_request(self, stream):
        head = b""
        while not head.endswith(b"\r\n\r\n") and not head.endswith(b"\n\n"):
            line = stream.readline(MAX_HEAD)
            if not line:
                return None
            head += line
            if len(head) > MAX_HEAD:
                return None
        length = 0
        for line in head.split(b"\n")[1:]:
            name, _, value = line.partition(b":")
            if name.strip().lower() == b"content-length":
                length = min(int(value.strip() or b"0"), MAX_BODY)
        body = stream.read(length) if length else b""
        return head, body

    def _serve_one(self, stream, connection):
        request = self._read_request(stream)
        if request is None:
            return False
        head, body = request
        request_line = head.split(b"\r\n", 1)[0].decode("latin1")
        parts = request_line.split(" ")
        method, target = (parts + ["", ""])[:2]
        client_version = parts[2][5:] if len(parts) > 2 else "1.0"
        self.server.log_request({"connection": connection, "method": method, "target": target,
                                 "head": head.decode("latin1"), "body": body.decode("latin1")})
        if self.drop_next:
            # The connection was promised to stay and is dropped right now,
            # as a server does that closes an idle connection at this moment.
            return False
        url = urlsplit(target)
        query = {name: values[0] for name, values in parse_qs(url.query, keep_blank_values=True).items()}
        # A request with an absolute URL was meant for a proxy: show it as it came.
        first_segment = url.path.strip("/").split("/")[0]
        route = self._route_echo if target.startswith("http://") else \
            getattr(self, "_route_" + first_segment.replace("-", "_"), None)
        if route is None:
            self.request.sendall(_with_length(404, "Not Found", b"no such route"))
            return False
        self.path = url.path
        reply, keep = route(query, head + body, connection)
        if reply:
            self.request.sendall(reply)
        version = query.get("version", "1.0")
        self.drop_next = query.get("dropnext") == "1"
        return keep and version == "1.1" and client_version == "1.1"

    # --- routes: each returns (bytes to send, whether the connection may stay)

    def _route_echo(self, query, received, connection):
        return _with_length(200, "OK", received, query.get("version", "1.0")), True

    def _route_reply(self, query, received, connection):
        # /reply/<percent-encoded body>/anything: a fixed body under any path
        # that a client appends to a base URL.
        segments = self.path.split("/")
        body = unquote_to_bytes(segments[2]) if len(segments) > 2 else b""
        return _with_length(200, "OK", body), True

    def _route_status(self, query, received, connection):
        code = int(query.get("code", "200"))
        body = query.get("body", f"status {code}").encode("utf8")
        return _with_length(code, query.get("reason", "Status"), body, query.get("version", "1.0")), True

    def _route_redirect(self, query, received, connection):
        body = query.get("body", "moved").encode("utf8")
        reply = _with_length(int(query.get("code", "302")), "Found", body, query.get("version", "1.0"),
                             [("Location", query.get("to", "/echo"))])
        if "pause" in query:
            # The body arrives well after the header, as its own packet.
            head_length = len(reply) - len(body)
            self.request.sendall(reply[:head_length])
            time.sleep(int(query["pause"]) / 1000.0)
            return reply[head_length:], True
        return reply, True

    def _route_chain(self, query, received, connection):
        left = int(query.get("n", "0"))
        if left <= 0:
            return _with_length(200, "OK", b"end"), True
        return _with_length(302, "Found", b"", extra=[("Location", f"/chain?n={left - 1}")]), True

    def _route_body(self, query, received, connection):
        size = int(query.get("size", "0"))
        body = bytes(ord("a") + i % 26 for i in range(size))
        return _with_length(200, "OK", body, query.get("version", "1.0")), True

    def _route_connection(self, query, received, connection):
        return _with_length(200, "OK", str(connection).encode(), query.get("version", "1.0")), True

    def _route_nolength(self, query, received, connection):
        size = int(query.get("size", "0"))
        body = bytes(ord("A") + i % 26 for i in range(size))
        return _response(200, "OK", [("Content-Type", "text/plain")], body), False

    def _route_endless(self, query, received, connection):
        self.request.sendall(_response(200, "OK", [("Content-Type", "application/octet-stream")]))
        block = b"x" * 65536
        while True:
            self.request.sendall(block)

    def _route_html(self, query, received, connection):
        return b"<HTML><body>no header here</body></html>\n", False

    def _route_silent(self, query, received, connection):
        # Holds the connection open without a word until the client leaves.
        while self.request.recv(4096):
            pass
        return b"", False

    def _route_closenoreply(self, query, received, connection):
        return b"", False

    def _route_truncated(self, query, received, connection):
        return _response(200, "OK", [("Content-Length", "100")], b"0123456789"), False

    def _route_badlength(self, query, received, connection):
        return _response(200, "OK", [("Content-Length", "12abc")], b"0123456789ab"), False

    def _route_longline(self, query, received, connection):
        return _response(200, "OK", [("X-Long", "y" * 10000), ("Content-Length", "2")], b"ok"), False

    def _route_manyheaders(self, query, received, connection):
        count = int(query.get("n", "1000"))
        headers = [(f"X-Header-{i}", "v") for i in range(count)] + [("Content-Length", "2")]
        return _response(200, "OK", headers, b"ok"), False


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--lifetime", type=float, default=300.0)
    parser.add_argument("--log")
    options = parser.parse_args(argv)
    server = FixtureServer(("127.0.0.1", options.port), options.log)
    stopper = threading.Timer(options.lifetime, server.shutdown)
    stopper.daemon = True
    stopper.start()
    sys.stdout.write(f"READY port={server.server_address[1]}\n")
    sys.stdout.flush()
    try:
        server.serve_forever(poll_interval=0.2)
    finally:
        server.server_close()


if __name__ == "__main__":
    main()
