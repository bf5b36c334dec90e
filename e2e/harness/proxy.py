"""A loopback proxy in front of the package server, as a company network puts one between a machine
and the internet. It may demand Basic credentials (407 with Proxy-Authenticate); each request it
admits goes on to the package server, which answers it as it answers the prefix's WinINet directly
(a tunnel for CONNECT, a package for an absolute GET), and from then on the proxy only passes the
bytes both ways. It records every request head it read. Nothing leaves 127.0.0.1."""

from __future__ import annotations

import base64
import socket
import socketserver
import threading
from dataclasses import dataclass

REALM = "QorMavik test proxy"
HEAD_LIMIT = 64 * 1024


@dataclass(frozen=True)
class ProxyRequest:
    method: str
    target: str
    # The Proxy-Authorization header as sent; None without one.
    credentials: str | None
    admitted: bool


def basic_credentials(user: str, password: str) -> str:
    return "Basic " + base64.b64encode(f"{user}:{password}".encode()).decode()


class Proxy:
    """Listens on an ephemeral port of 127.0.0.1 and forwards to upstream (host, port); a context
    manager. With credentials (user, password) it admits only requests that carry them."""

    def __init__(self, upstream: tuple[str, int], credentials: tuple[str, str] | None = None) -> None:
        self.upstream = upstream
        self.expected = basic_credentials(*credentials) if credentials else None
        self._requests: list[ProxyRequest] = []
        self._sockets: set[socket.socket] = set()
        self._lock = threading.Lock()
        self._server: _Server | None = None
        self._thread: threading.Thread | None = None

    @property
    def address(self) -> str:
        assert self._server, "the proxy is not running"
        return f"127.0.0.1:{self._server.server_address[1]}"

    @property
    def requests(self) -> list[ProxyRequest]:
        with self._lock:
            return list(self._requests)

    def __enter__(self) -> Proxy:
        self._server = _Server(self)
        self._thread = threading.Thread(target=self._server.serve_forever, kwargs={"poll_interval": 0.05},
                                        name="proxy", daemon=True)
        self._thread.start()
        return self

    def __exit__(self, *_) -> None:
        if not self._server:
            return
        self._server.shutdown()
        with self._lock:
            for open_socket in self._sockets:
                _shut(open_socket)
        self._server.server_close()
        self._thread.join(10)
        self._server = None

    def _record(self, request: ProxyRequest) -> None:
        with self._lock:
            self._requests.append(request)

    def _track(self, open_socket: socket.socket, open_: bool) -> None:
        with self._lock:
            (self._sockets.add if open_ else self._sockets.discard)(open_socket)


def _shut(open_socket: socket.socket) -> None:
    try:
        open_socket.shutdown(socket.SHUT_RDWR)
    except OSError:
        pass


def _read_head(connection: socket.socket) -> bytes | None:
    """One request head, read a byte at a time so that nothing after it is taken from the socket;
    None when the client closed the connection first."""
    head = b""
    while not head.endswith(b"\r\n\r\n"):
        byte = connection.recv(1)
        if not byte or len(head) > HEAD_LIMIT:
            return None
        head += byte
    return head


def _pass_on(source: socket.socket, sink: socket.socket) -> None:
    try:
        while data := source.recv(64 * 1024):
            sink.sendall(data)
    except OSError:
        pass
    _shut(sink)


class _Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, owner: Proxy) -> None:
        self.owner = owner
        super().__init__(("127.0.0.1", 0), _Handler)


class _Handler(socketserver.BaseRequestHandler):
    server: _Server

    def handle(self) -> None:
        owner = self.server.owner
        client = self.request
        owner._track(client, True)
        try:
            self._serve(owner, client)
        except OSError:
            pass
        finally:
            owner._track(client, False)

    def _serve(self, owner: Proxy, client: socket.socket) -> None:
        # A client may send its request again, with credentials, on the connection that got the 407.
        while (head := _read_head(client)) is not None:
            lines = head.decode("latin-1").split("\r\n")
            method, target, _ = (lines[0].split(" ", 2) + ["", ""])[:3]
            fields = [line for line in lines[1:] if line]
            credentials = next((line.split(":", 1)[1].strip() for line in fields
                                if line.lower().startswith("proxy-authorization:")), None)
            admitted = owner.expected is None or credentials == owner.expected
            owner._record(ProxyRequest(method, target, credentials, admitted))
            if admitted:
                kept = [line for line in fields if not line.lower().startswith("proxy-authorization:")]
                self._forward(owner, client, "\r\n".join([lines[0], *kept, "", ""]).encode("latin-1"))
                return
            page = b"<html><body><h1>407 Proxy Authentication Required</h1></body></html>\n"
            client.sendall(b"HTTP/1.1 407 Proxy Authentication Required\r\n"
                           + f'Proxy-Authenticate: Basic realm="{REALM}"\r\n'.encode()
                           + b"Content-Type: text/html\r\n"
                           + f"Content-Length: {len(page)}\r\n\r\n".encode() + page)

    def _forward(self, owner: Proxy, client: socket.socket, head: bytes) -> None:
        upstream = socket.create_connection(owner.upstream, timeout=30)
        upstream.settimeout(None)
        owner._track(upstream, True)
        try:
            upstream.sendall(head)
            back = threading.Thread(target=_pass_on, args=(upstream, client), name="proxy-back", daemon=True)
            back.start()
            _pass_on(client, upstream)
            back.join()
        finally:
            owner._track(upstream, False)
            upstream.close()
