"""The loopback package server. The prefix's proxy setting points WinINet at it, so the program's
requests for http://paketler.qormavik.test/qormavik/websetup/<file> arrive here in absolute form;
nothing leaves 127.0.0.1."""

from __future__ import annotations

import http.server
import re
import select
import socket
import struct
import sys
import threading
import time
import urllib.parse
from dataclasses import dataclass, field

DEFAULT_BASE_URL = "http://paketler.qormavik.test/"
FOLDER = "qormavik/websetup/"


@dataclass(frozen=True)
class Package:
    """One served file and how the server misbehaves while serving it."""

    body: bytes
    status: int = 200
    # The Content-Length sent: the body's own length when None; may differ from it.
    content_length: int | None = None
    # False: no Content-Length at all; the body then ends when the connection closes.
    send_length: bool = True
    # Cut the connection (a TCP reset) after this many bytes of the body sent in one answer.
    drop_after: int | None = None
    # Send this many bytes of the body, then nothing more while the connection lasts (used when
    # drop_after is None).
    stall_after: int | None = None
    # Answer nothing at all, not even the response head, while the connection lasts.
    stall_head: bool = False
    # How many of the first requests for the file get the drop or the stall; None: every one.
    misbehaving_requests: int | None = None
    # Throttle the body to this many bytes per second.
    bytes_per_second: int | None = None
    content_type: str = "application/octet-stream"
    etag: str | None = None
    last_modified: str | None = None
    # False: a Range request gets the whole file with 200, as from a server that ignores ranges.
    honour_range: bool = True

    @property
    def declared_length(self) -> int:
        return len(self.body) if self.content_length is None else self.content_length


def error_page(status: int = 404, reason: str = "Not Found") -> Package:
    """An error status with an HTML page of its own and that page's Content-Length."""
    html = f"<html><head><title>{status} {reason}</title></head><body><h1>{reason}</h1></body></html>\n"
    return Package(html.encode(), status=status, content_type="text/html; charset=utf-8")


@dataclass(frozen=True)
class Request:
    target: str  # the request line's URL as sent
    name: str | None  # the package file name, None when the request was not for the package folder
    headers: dict[str, str] = field(default_factory=dict)
    status: int = 0  # the status answered; 0 when no head was sent

    @property
    def range(self) -> str | None:
        return self.headers.get("Range")


class PackageServer:
    """Serves packages by file name on an ephemeral port of 127.0.0.1; a context manager."""

    def __init__(self, base_url: str = DEFAULT_BASE_URL) -> None:
        parts = urllib.parse.urlsplit(base_url)
        self.host = parts.hostname or ""
        self.folder = parts.path + FOLDER
        self.packages: dict[str, Package] = {}
        self._requests: list[Request] = []
        # How many requests for each name had come when its package was served.
        self._served_at: dict[str, int] = {}
        self._lock = threading.Lock()
        self._connections: set[socket.socket] = set()
        self._stopping = threading.Event()
        self._server: _Server | None = None
        self._thread: threading.Thread | None = None

    def serve(self, name: str, package: Package | bytes) -> None:
        """From now on name is this package; its misbehaving_requests count from here."""
        with self._lock:
            self.packages[name] = package if isinstance(package, Package) else Package(package)
            self._served_at[name] = self._requests_for(name)

    def _requests_for(self, name: str) -> int:
        return sum(1 for request in self._requests if request.name == name)

    @property
    def port(self) -> int:
        assert self._server, "the server is not running"
        return self._server.server_address[1]

    @property
    def proxy_address(self) -> str:
        return f"127.0.0.1:{self.port}"

    @property
    def requests(self) -> list[Request]:
        with self._lock:
            return list(self._requests)

    def requested_names(self) -> list[str | None]:
        return [request.name for request in self.requests]

    def __enter__(self) -> PackageServer:
        self._server = _Server(self)
        self._thread = threading.Thread(target=self._server.serve_forever, kwargs={"poll_interval": 0.05},
                                        name="package-server", daemon=True)
        self._thread.start()
        return self

    def __exit__(self, *_) -> None:
        if not self._server:
            return
        self._stopping.set()
        self._server.shutdown()
        with self._lock:
            for connection in self._connections:
                _close_quietly(connection)
        self._server.server_close()  # joins the handler threads
        self._thread.join(10)
        self._server = None

    def _package_for(self, name: str) -> tuple[Package, int]:
        """The package served under name, and how many requests it has answered."""
        with self._lock:
            package = self.packages.get(name)
            if package is None:
                return error_page(), 0
            return package, self._requests_for(name) - self._served_at[name]

    def _record(self, request: Request) -> None:
        with self._lock:
            self._requests.append(request)

    def _track(self, connection: socket.socket, open_: bool) -> None:
        with self._lock:
            (self._connections.add if open_ else self._connections.discard)(connection)

    def _package_name(self, target: str, host_header: str) -> str | None:
        parts = urllib.parse.urlsplit(target)
        host = parts.hostname if parts.scheme else host_header.rsplit(":", 1)[0]
        if parts.scheme not in ("", "http") or (host or "").lower() != self.host.lower():
            return None
        if parts.port not in (None, 80) or not parts.path.startswith(self.folder):
            return None
        return urllib.parse.unquote(parts.path[len(self.folder):]) or None


def _close_quietly(connection: socket.socket) -> None:
    try:
        connection.shutdown(socket.SHUT_RDWR)
    except OSError:
        pass


class _Server(http.server.ThreadingHTTPServer):
    daemon_threads = False
    block_on_close = True

    def __init__(self, owner: PackageServer) -> None:
        self.owner = owner
        super().__init__(("127.0.0.1", 0), _Handler)

    def handle_error(self, request, client_address) -> None:
        # A client that goes away mid-response is part of the tests; anything else is reported.
        if not isinstance(sys.exc_info()[1], ConnectionError):
            super().handle_error(request, client_address)


class _Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    timeout = 60
    server: _Server

    def setup(self) -> None:
        super().setup()
        self.server.owner._track(self.connection, True)

    def finish(self) -> None:
        self.server.owner._track(self.connection, False)
        try:
            super().finish()
        except OSError:
            pass

    def log_message(self, *_) -> None:
        pass

    def do_GET(self) -> None:
        owner = self.server.owner
        name = owner._package_name(self.path, self.headers.get("Host", ""))
        if name is None:
            # Anything but the package folder of the configured host: refused, never forwarded.
            self._answer(name, error_page(502, "Bad Gateway"), misbehave=False)
            return
        package, earlier = owner._package_for(name)
        limit = package.misbehaving_requests
        self._answer(name, package, misbehave=limit is None or earlier < limit)

    def _answer(self, name: str | None, package: Package, misbehave: bool) -> None:
        owner = self.server.owner
        if misbehave and package.stall_head:
            owner._record(Request(self.path, name, dict(self.headers.items())))
            self._hold()
            return
        start = self._range_start(package)
        status = package.status
        if start is not None:
            status = 206 if start < len(package.body) else 416
        owner._record(Request(self.path, name, dict(self.headers.items()), status))
        self._send(package, status, start or 0, misbehave)

    def _range_start(self, package: Package) -> int | None:
        """The first byte asked for by "Range: bytes=N-", when this answer honours it."""
        match = re.fullmatch(r"bytes=(\d+)-(\d*)", self.headers.get("Range", ""))
        if not match or not package.honour_range or package.status != 200:
            return None
        if_range = self.headers.get("If-Range")
        if if_range is not None and if_range not in (package.etag, package.last_modified):
            return None  # the file has changed since: all of it
        return int(match[1])

    def _send(self, package: Package, status: int, start: int, misbehave: bool) -> None:
        body = package.body
        total = package.declared_length
        if status == 416:
            self.send_response(416)
            self.send_header("Content-Range", f"bytes */{total}")
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        cut = package.drop_after if package.drop_after is not None else package.stall_after
        end = len(body) if not misbehave or cut is None else min(len(body), start + cut)
        delimited = package.send_length and total == len(body) and end == len(body)
        self.send_response(status)
        self.send_header("Content-Type", package.content_type)
        if package.etag:
            self.send_header("ETag", package.etag)
        if package.last_modified:
            self.send_header("Last-Modified", package.last_modified)
        if status == 206:
            self.send_header("Content-Range", f"bytes {start}-{total - 1}/{total}")
        if package.send_length:
            self.send_header("Content-Length", str(total - start))
        if not delimited:
            self.send_header("Connection", "close")
            self.close_connection = True
        self.end_headers()
        self._write(body[start:end], package.bytes_per_second)
        if end == len(body):
            return
        self.wfile.flush()
        if package.drop_after is None:
            self._hold()
            return
        # A reset rather than an orderly end: the connection is lost mid-body.
        self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        self.connection.close()

    def _hold(self) -> None:
        """Keeps the connection open and silent until the client closes it or the server stops."""
        stopping = self.server.owner._stopping
        self.close_connection = True
        while not stopping.is_set():
            readable, _, _ = select.select([self.connection], [], [], 0.1)
            try:
                if readable and not self.connection.recv(4096):
                    return
            except OSError:
                return

    def _write(self, data: bytes, bytes_per_second: int | None) -> None:
        stopping = self.server.owner._stopping
        piece = max(1, bytes_per_second // 20) if bytes_per_second else 64 * 1024
        started = time.monotonic()
        for offset in range(0, len(data), piece):
            if stopping.is_set():
                return
            if bytes_per_second:
                delay = started + offset / bytes_per_second - time.monotonic()
                if delay > 0:
                    stopping.wait(delay)
            try:
                self.wfile.write(data[offset:offset + piece])
            except OSError:
                self.close_connection = True
                return
