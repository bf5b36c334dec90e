"""Debian's nginx on loopback as the prefix's proxy: it serves the compiled-in host's package folder
from a folder of files over http (absolute-URI requests, to nginx's own port) and over https (in
the tunnels of the CONNECT front), with the tests' certificate for that host, and logs what it sent."""

from __future__ import annotations

import os
import shutil
import socket
import subprocess
import time
from dataclasses import dataclass
from pathlib import Path

from e2e.harness.server import FOLDER
from e2e.harness.tls import SERVER_HOST as HOST
from e2e.harness.tls import ServerIdentity

from .proxy_front import ProxyFront

CONFIGURATION = """\
daemon off;
worker_processes 1;
pid {work}/nginx.pid;
error_log {work}/error.log warn;
{user}
events {{ worker_connections 64; }}
http {{
    default_type application/octet-stream;
    sendfile on;
    tcp_nopush on;
    log_format sent '$host $uri $status $body_bytes_sent';
    access_log {work}/access.log sent;
    client_body_temp_path {work}/client_body;
    proxy_temp_path {work}/proxy;
    fastcgi_temp_path {work}/fastcgi;
    uwsgi_temp_path {work}/uwsgi;
    scgi_temp_path {work}/scgi;
    # Any other host is refused, never forwarded.
    server {{
        listen 127.0.0.1:{port} default_server;
        listen 127.0.0.1:{tls_port} ssl default_server;
        ssl_certificate {certificate};
        ssl_certificate_key {key};
        return 502;
    }}
    server {{
        listen 127.0.0.1:{port};
        listen 127.0.0.1:{tls_port} ssl;
        server_name {host};
        ssl_certificate {certificate};
        ssl_certificate_key {key};
        root {root};
    }}
}}
"""


@dataclass(frozen=True)
class Sent:
    host: str
    path: str
    status: int
    bytes: int


def free_port() -> int:
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def nginx_command() -> str:
    found = shutil.which("nginx") or "/usr/sbin/nginx"
    if not Path(found).is_file():
        raise RuntimeError("nginx is not installed (Debian package nginx)")
    return found


def nginx_version() -> str:
    result = subprocess.run([nginx_command(), "-v"], capture_output=True, text=True, timeout=30)
    return result.stderr.strip().rsplit(" ", 1)[-1]


class Nginx:
    """Serves files put with put(name, ...) at http(s)://<host>/qormavik/websetup/<name> to clients
    of proxy_address; a context manager."""

    def __init__(self, work: Path, identity: ServerIdentity) -> None:
        self.work = work.resolve()
        self.identity = identity
        self.root = work / "root"
        self.folder = self.root / FOLDER
        self.port = 0
        self._process: subprocess.Popen | None = None
        self._front: ProxyFront | None = None

    def proxy_address(self, scheme: str) -> str:
        """nginx itself answers http's absolute-URI requests; https goes through the CONNECT front."""
        assert self._front, "nginx is not running"
        return self._front.address if scheme == "https" else f"127.0.0.1:{self.port}"

    def url(self, name: str, scheme: str) -> str:
        return f"{scheme}://{HOST}/{FOLDER}{name}"

    def path(self, name: str) -> Path:
        return self.folder / name

    def put(self, name: str, body: bytes) -> None:
        """Replaces the file at once: a request never sees it half written."""
        staged = self.folder / f".{name}.new"
        staged.write_bytes(body)
        os.replace(staged, self.folder / name)

    def sent(self) -> list[Sent]:
        log = self.work / "access.log"
        lines = log.read_text().splitlines() if log.exists() else []
        return [Sent(host, path, int(status), int(size))
                for host, path, status, size in (line.split(" ") for line in lines)]

    def __enter__(self) -> Nginx:
        shutil.rmtree(self.work, ignore_errors=True)
        self.folder.mkdir(parents=True)
        self.port = free_port()
        tls_port = free_port()
        while tls_port == self.port:
            tls_port = free_port()
        # Workers of a root master would run as nobody, who may not read the files.
        user = "user root;" if os.geteuid() == 0 else ""
        configuration = self.work / "nginx.conf"
        configuration.write_text(CONFIGURATION.format(
            work=self.work, user=user, port=self.port, tls_port=tls_port, host=HOST, root=self.root,
            certificate=self.identity.certificate.resolve(), key=self.identity.key.resolve()))
        self._process = subprocess.Popen([nginx_command(), "-p", str(self.work), "-c", str(configuration),
                                          "-e", str(self.work / "error.log")],
                                         stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        try:
            for port in (self.port, tls_port):
                self._wait_listening(port, timeout=20)
            self._front = ProxyFront(HOST, tls_port).__enter__()
        except BaseException:
            self.__exit__()
            raise
        return self

    def _wait_listening(self, port: int, timeout: float) -> None:
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self._process.poll() is not None:
                raise RuntimeError(f"nginx ended at once: {self._process.stderr.read().decode().strip()}")
            try:
                socket.create_connection(("127.0.0.1", port), timeout=1).close()
                return
            except OSError:
                time.sleep(0.05)
        raise RuntimeError(f"nginx did not listen on port {port} within {timeout} s")

    def __exit__(self, *_) -> None:
        if self._front:
            self._front.__exit__(None, None, None)
            self._front = None
        if self._process and self._process.poll() is None:
            self._process.terminate()
            try:
                self._process.wait(15)
            except subprocess.TimeoutExpired:
                self._process.kill()
                self._process.wait(15)
        if self._process:
            self._process.stderr.close()
        self._process = None
        # The served files are large; nothing in here is looked at after a run.
        shutil.rmtree(self.work, ignore_errors=True)
