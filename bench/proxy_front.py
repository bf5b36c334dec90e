"""The proxy port for https, in front of nginx, which cannot answer CONNECT: WinINet asks a proxy
for an https URL with CONNECT host:443. A CONNECT for the package host is answered here, and the
tunnel's bytes then pass untouched to nginx's TLS port, moved by the kernel (splice). TLS and HTTP
are nginx's; anything but such a CONNECT is refused."""

from __future__ import annotations

import contextlib
import fcntl
import os
import socket
import threading
from typing import Iterator

HEAD_LIMIT = 16 * 1024
PIPE_BYTES = 1024 * 1024


class ProxyFront:
    """Listens on an ephemeral port of 127.0.0.1 while open; a context manager."""

    def __init__(self, host: str, tls_port: int) -> None:
        self.host = host
        self.tls_port = tls_port
        self._listener: socket.socket | None = None
        self._threads: list[threading.Thread] = []
        self._connections: set[socket.socket] = set()
        self._lock = threading.Lock()

    @property
    def address(self) -> str:
        assert self._listener, "the front is not open"
        return "127.0.0.1:%d" % self._listener.getsockname()[1]

    def __enter__(self) -> ProxyFront:
        self._listener = socket.create_server(("127.0.0.1", 0))
        self._spawn(self._accept)
        return self

    def __exit__(self, *_) -> None:
        listener, self._listener = self._listener, None
        if listener:
            # Wakes the accepting thread.
            _shut(listener)
            listener.close()
        with self._lock:
            for connection in self._connections:
                _shut(connection)
        for thread in self._threads:
            thread.join(10)

    def _spawn(self, target, *arguments) -> None:
        thread = threading.Thread(target=target, args=arguments, daemon=True)
        self._threads.append(thread)
        thread.start()

    def _accept(self) -> None:
        while self._listener:
            try:
                client, _ = self._listener.accept()
            except OSError:
                return
            self._spawn(self._serve, client)

    def _serve(self, client: socket.socket) -> None:
        with self._tracked(client):
            head = _head(client)
            if not head:
                return
            words = head.split(b" ", 2)
            target = words[1].decode(errors="replace").lower() if len(words) == 3 else ""
            if words[0] != b"CONNECT" or target != f"{self.host}:443":
                client.sendall(b"HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
                return
            client.sendall(b"HTTP/1.1 200 Connection established\r\n\r\n")
            with socket.create_connection(("127.0.0.1", self.tls_port)) as server, self._tracked(server):
                backward = threading.Thread(target=_copy, args=(server, client), daemon=True)
                backward.start()
                _copy(client, server)
                backward.join()

    @contextlib.contextmanager
    def _tracked(self, connection: socket.socket) -> Iterator[socket.socket]:
        """Shut by __exit__ while open, so that no copy outlives the front."""
        with self._lock:
            self._connections.add(connection)
        try:
            yield connection
        finally:
            with self._lock:
                self._connections.discard(connection)
            connection.close()


def _head(client: socket.socket) -> bytes:
    """The request line and headers, up to the blank line; b"" when the client gives up first.
    A client sends nothing after a CONNECT before it has the answer."""
    received = b""
    while b"\r\n\r\n" not in received and len(received) < HEAD_LIMIT:
        chunk = client.recv(HEAD_LIMIT)
        if not chunk:
            return b""
        received += chunk
    return received


def _copy(source: socket.socket, target: socket.socket) -> None:
    """Until source ends; then target learns that no more comes. The bytes go through a pipe with
    splice, so that they are never copied into this process."""
    read_end, write_end = os.pipe()
    try:
        fcntl.fcntl(write_end, fcntl.F_SETPIPE_SZ, PIPE_BYTES)
        while moved := os.splice(source.fileno(), write_end, PIPE_BYTES):
            while moved:
                moved -= os.splice(read_end, target.fileno(), moved)
    except OSError:
        pass
    finally:
        os.close(read_end)
        os.close(write_end)
    _shut(target, socket.SHUT_WR)


def _shut(connection: socket.socket, how: int = socket.SHUT_RDWR) -> None:
    try:
        connection.shutdown(how)
    except OSError:
        pass
