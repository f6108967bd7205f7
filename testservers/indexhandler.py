"""The index server's HTTP side: the endpoints under /p2p/v6, the faults,
and the records a test reads back."""

import html
import json
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, urlsplit

from indexcatalog import RESULT_COUNTS

BASE_PATH = "/p2p/v6"
LATEST_PATH = "/ranquil/latest.txt"
RELEASE_PAGE_PATH = "/ranquil/"
MAX_BODY = 64 * 1024
GARBAGE_LINE = "this line is no result line"
UPDATE_FIELDS = ("protocol", "filename", "pathname", "ip", "port", "filesize", "md5", "date",
                 "action")


class IndexServer(ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, address, catalog, settings):
        super().__init__(address, IndexHandler)
        self.catalog = catalog
        self.faults = settings.faults
        self.latest_version = settings.latest_version
        self._records = []
        self._lock = threading.Lock()
        self._request_log = open(settings.request_log, "a", encoding="utf8") \
            if settings.request_log else None

    @property
    def origin(self):
        return f"http://127.0.0.1:{self.server_address[1]}"

    def add_record(self, record):
        with self._lock:
            self._records.append(record)

    def records(self):
        with self._lock:
            return list(self._records)

    def log_request_of(self, method, path, content_type, body):
        if self._request_log is None:
            return
        line = json.dumps({"method": method, "path": path, "content_type": content_type,
                           "body": body.decode("utf8", "replace")})
        with self._lock:
            self._request_log.write(line + "\n")
            self._request_log.flush()


def _first_values(fields):
    return {name: values[0] for name, values in fields.items()}


class IndexHandler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "FamilyIndex/6"
    # A client that connects and then says nothing does not hold a thread forever.
    timeout = 30

    # (method, path) -> (endpoint name for the faults, handler method)
    ROUTES = {
        ("GET", BASE_PATH + "/getsindex.php"): ("getsindex", "_index_server"),
        ("POST", BASE_PATH + "/search.php"): ("search", "_search"),
        ("POST", BASE_PATH + "/resume.php"): ("resume", "_resume"),
        ("GET", BASE_PATH + "/getpindex.php"): ("getpindex", "_update_server"),
        ("POST", BASE_PATH + "/updatemd5.php"): ("updatemd5", "_update_md5"),
        ("GET", LATEST_PATH): ("latest", "_latest"),
        ("GET", RELEASE_PAGE_PATH): (None, "_release_page"),
        ("GET", "/records"): (None, "_records"),
        ("GET", "/"): (None, "_about"),
    }

    def do_GET(self):
        self._dispatch("GET")

    def do_POST(self):
        self._dispatch("POST")

    def log_message(self, format, *args):
        pass  # starters read our output for the READY line only

    # --- plumbing

    def _dispatch(self, method):
        body = self._read_body() if method == "POST" else b""
        if body is None:
            return
        path = urlsplit(self.path).path
        self.server.log_request_of(method, self.path, self.headers.get("Content-Type"), body)
        route = self.ROUTES.get((method, path))
        if route is None:
            known_path = any(known == path for _, known in self.ROUTES)
            self._reply(405 if known_path else 404, "405 Method not allowed." if known_path
                        else "404 Not found.")
            return
        endpoint, action = route
        if endpoint is not None and self._inject_fault(endpoint):
            return
        fields = parse_qs(body.decode("utf8", "replace"), keep_blank_values=True)
        getattr(self, action)(_first_values(fields))

    def _read_body(self):
        length_text = self.headers.get("Content-Length")
        if length_text is None:
            self._reply(411, "411 Content-Length required.")
            return None
        try:
            length = int(length_text)
        except ValueError:
            length = -1
        if not 0 <= length <= MAX_BODY:
            self.close_connection = True
            self._reply(413, "413 Body too large or length unreadable.")
            return None
        return self.rfile.read(length)

    def _inject_fault(self, endpoint):
        faults = self.server.faults
        if not faults.hit(endpoint):
            return False
        if faults.delay:
            time.sleep(faults.delay)
        if faults.error_status:
            self._reply(faults.error_status, f"{faults.error_status} Fault injected.")
            return True
        if faults.empty_reply:
            self._reply(200, "")
            return True
        return False

    def _reply(self, status, text, content_type="text/plain; charset=utf-8"):
        payload = text.encode("utf8")
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(payload)))
        self.end_headers()
        self.wfile.write(payload)

    def _reply_lines(self, entries):
        lines = [entry.result_line() for entry in entries]
        if self.server.faults.garbage_line:
            lines.insert(1 if lines else 0, GARBAGE_LINE)
        self._reply(200, "".join(line + "\n" for line in lines))

    # --- endpoints

    def _index_server(self, fields):
        # The client keeps this text as it stands and appends "/v6/search.php".
        self._reply(200, self.server.origin + "/p2p")

    def _update_server(self, fields):
        # The client appends "p2p/v6" to this text.
        self._reply(200, self.server.origin + "/")

    def _search(self, fields):
        keywords = fields.get("query", "").split()
        if not keywords:
            self._reply(200, "")
            return
        try:
            category = int(fields.get("category", "0"))
        except ValueError:
            category = 0
        found = self.server.catalog.search(
            keywords, any_keyword=fields.get("logic") == "1", category=category,
            country=fields.get("country", "UN").upper(),
            limit=RESULT_COUNTS.get(fields.get("record"), RESULT_COUNTS["0"]))
        self._reply_lines(found)

    def _resume(self, fields):
        action = fields.get("action")
        if action == "getIPFromUsername":
            self._resolve_user(fields.get("username", ""))
        elif action == "others":
            self._reply_lines(self.server.catalog.with_md5(fields.get("md5", "")))
        else:
            self._reply(200, "500 Unknown action.")

    def _resolve_user(self, user):
        server = self.server.catalog.server_of_user(user)
        if server is None or user in self.server.faults.offline_users:
            self._reply(200, f"550 User {user} is offline.")
        else:
            # No line end: the client reads the port up to the end of the body.
            self._reply(200, f"{server.address}*{server.port}")

    def _update_md5(self, fields):
        record = dict(fields, content_type=self.headers.get("Content-Type", ""))
        self.server.add_record(record)
        missing = [name for name in UPDATE_FIELDS if not fields.get(name)]
        if missing or fields.get("action") != "update":
            self._reply(200, f"500 Missing or wrong fields: {', '.join(missing) or 'action'}.")
        else:
            self._reply(200, "200 MD5 record stored.")

    def _latest(self, fields):
        version = self.server.latest_version
        if version is None:
            self._reply(404, "404 Not found.")
            return
        self._reply(200, f"[Ranquil]\nVersion={version}\nPage={self.server.origin}{RELEASE_PAGE_PATH}\n")

    def _release_page(self, fields):
        version = html.escape(self.server.latest_version or "")
        self._reply(200, f"<html><head><title>Quorvane Ranquil {version}</title></head><body>"
                         f"<h1>Quorvane Ranquil {version}</h1><p>The demo's release page: this "
                         f"version exists only here.</p></body></html>",
                    content_type="text/html; charset=utf-8")

    def _records(self, fields):
        self._reply(200, json.dumps(self.server.records()), content_type="application/json")

    def _about(self, fields):
        rows = "".join(
            f"<li>{html.escape(server.user)}: {html.escape(server.address)}:{server.port} "
            f"({html.escape(server.country)})</li>" for server in self.server.catalog.servers)
        self._reply(200, f"<html><head><title>Family index</title></head><body>"
                         f"<h1>Family index server</h1><ul>{rows}</ul></body></html>",
                    content_type="text/html; charset=utf-8")
