"""The loopback package server. The prefix's proxy setting points WinINet at it. For an https root
URL, WinINet asks it for a tunnel (CONNECT paketler.qormavik.test:443), in which the server itself
answers TLS with its certificate for that host and then the requests for
/qormavik/websetup/<file>; for an http root URL the requests arrive in absolute form. Nothing
leaves 127.0.0.1."""

from __future__ import annotations

import http.server
import io
import re
import select
import socket
import ssl
import struct
import sys
import threading
import time
import urllib.parse
from dataclasses import dataclass, field

from .tls import ServerIdentity

DEFAULT_BASE_URL = "https://paketler.qormavik.test/"
FOLDER = "qormavik/websetup/"
DEFAULT_PORTS = {"http": 80, "https": 443}


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
    # Also answered to plain http on port 80 through the proxy, under an https root URL: the way
    # the system fetches a revocation list that a certificate names.
    plain_http: bool = False

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
    scheme: str = "http"  # "https" inside a TLS tunnel
    status: int = 0  # the status answered; 0 when no head was sent

    @property
    def range(self) -> str | None:
        return self.headers.get("Range")


@dataclass(frozen=True)
class Tunnel:
    """One CONNECT: where to, and whether the TLS handshake completed. A client that checks the
    certificate during the handshake breaks it off; WinINet may check it only afterwards and then
    close the tunnel without a request."""

    target: str
    established: bool


class PackageServer:
    """Serves packages by file name on an ephemeral port of 127.0.0.1; a context manager. An https
    root URL needs the identity (certificate and key) that the server presents in its tunnels."""

    def __init__(self, base_url: str = DEFAULT_BASE_URL, identity: ServerIdentity | None = None) -> None:
        parts = urllib.parse.urlsplit(base_url)
        self.scheme = parts.scheme
        self.host = parts.hostname or ""
        self.port_served = parts.port or DEFAULT_PORTS[self.scheme]
        self.folder = parts.path + FOLDER
        self.packages: dict[str, Package] = {}
        self.identity = identity
        self._requests: list[Request] = []
        # How many requests for each name had come when its package was served.
        self._served_at: dict[str, int] = {}
        self._tunnels: list[Tunnel] = []
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

    @property
    def tunnels(self) -> list[Tunnel]:
        with self._lock:
            return list(self._tunnels)

    @property
    def identity(self) -> ServerIdentity | None:
        return self._identity

    @identity.setter
    def identity(self, identity: ServerIdentity | None) -> None:
        """The certificate presented from the next tunnel on."""
        if self.scheme == "https" and identity is None:
            raise ValueError("an https package server needs a certificate and key")
        self._identity = identity
        self._context = identity.server_context() if identity else None

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

    def _record_tunnel(self, tunnel: Tunnel) -> None:
        with self._lock:
            self._tunnels.append(tunnel)

    def _tunnels_to(self, target: str) -> bool:
        host, _, port = target.rpartition(":")
        return self.scheme == "https" and host.lower() == self.host.lower() and port == str(self.port_served)

    def _track(self, connection: socket.socket, open_: bool) -> None:
        with self._lock:
            (self._connections.add if open_ else self._connections.discard)(connection)

    def _package_name(self, target: str, host_header: str, scheme: str) -> str | None:
        """target in absolute form (through the proxy) or origin form (in a tunnel, with its Host)."""
        parts = urllib.parse.urlsplit(target)
        if parts.scheme:
            scheme, host, port = parts.scheme, parts.hostname, parts.port
        else:
            host, _, port_text = host_header.partition(":")
            port = int(port_text) if port_text.isdigit() else None
        if (host or "").lower() != self.host.lower() or not parts.path.startswith(self.folder):
            return None
        name = urllib.parse.unquote(parts.path[len(self.folder):]) or None
        if scheme == self.scheme and port in (None, self.port_served):
            return name
        with self._lock:
            plain = scheme == "http" and port in (None, 80) and name in self.packages and self.packages[name].plain_http
        return name if plain else None


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
        # A client that goes away mid-response, or ends a tunnel without its TLS goodbye, is part
        # of the tests; anything else is reported.
        if not isinstance(sys.exc_info()[1], (ConnectionError, ssl.SSLError)):
            super().handle_error(request, client_address)


class _SocketWriter(io.BufferedIOBase):
    """Writes straight to the socket, as the handler's own writer does: a throttled body leaves
    piece by piece."""

    def __init__(self, connection: socket.socket) -> None:
        self._connection = connection

    def writable(self) -> bool:
        return True

    def write(self, data) -> int:
        self._connection.sendall(data)
        return len(data)


class _Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    timeout = 60
    server: _Server
    scheme = "http"

    def setup(self) -> None:
        super().setup()
        self.server.owner._track(self.connection, True)

    def finish(self) -> None:
        self.server.owner._track(self.connection, False)
        try:
            super().finish()
        except OSError:
            pass
        if self.scheme == "https":
            # The server closes the socket it accepted, which the tunnel's TLS socket took over.
            self.connection.close()

    def log_message(self, *_) -> None:
        pass

    def do_CONNECT(self) -> None:
        owner = self.server.owner
        if self.scheme == "https" or not owner._tunnels_to(self.path):
            # Tunnels lead to the configured host only, and never out.
            owner._record(Request(self.path, None, dict(self.headers.items()), self.scheme))
            self._send(error_page(502, "Bad Gateway"))
            return
        self.send_response(200, "Connection established")
        self.end_headers()
        try:
            tunnel = owner._context.wrap_socket(self.connection, server_side=True)
        except (ssl.SSLError, OSError):
            # The client refused the certificate, or went away.
            owner._record_tunnel(Tunnel(self.path, established=False))
            self.close_connection = True
            return
        owner._record_tunnel(Tunnel(self.path, established=True))
        owner._track(self.connection, False)
        owner._track(tunnel, True)
        self.connection = tunnel
        self.rfile = tunnel.makefile("rb", self.rbufsize)
        self.wfile = _SocketWriter(tunnel)
        self.scheme = "https"
        # The tunnel carries requests of its own, whatever the CONNECT's HTTP version said.
        self.close_connection = False

    def do_GET(self) -> None:
        owner = self.server.owner
        name = owner._package_name(self.path, self.headers.get("Host", ""), self.scheme)
        if name is None:
            # Anything but the package folder of the configured host: refused, never forwarded.
            self._answer(name, error_page(502, "Bad Gateway"), misbehave=False)
            return
        package, earlier = owner._package_for(name)
        limit = package.misbehaving_requests
        self._answer(name, package, misbehave=limit is None or earlier < limit)

    # Answered as the GET, without its body: only scripts/check-server.sh asks so.
    do_HEAD = do_GET

    def _answer(self, name: str | None, package: Package, misbehave: bool) -> None:
        owner = self.server.owner
        if misbehave and package.stall_head:
            owner._record(Request(self.path, name, dict(self.headers.items()), self.scheme))
            self._hold()
            return
        start = self._range_start(package)
        status = package.status
        if start is not None:
            status = 206 if start < len(package.body) else 416
        owner._record(Request(self.path, name, dict(self.headers.items()), self.scheme, status))
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

    def _send(self, package: Package, status: int | None = None, start: int = 0, misbehave: bool = False) -> None:
        """The answer: package's own status unless a range says otherwise, its body from start on."""
        status = status or package.status
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
        if self.command == "HEAD":
            return
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
