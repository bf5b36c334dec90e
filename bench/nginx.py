"""Debian's nginx on a loopback port as the prefix's proxy: it answers the program's absolute-URI
requests for the compiled-in host from a folder of files, and logs what it sent."""

from __future__ import annotations

import os
import shutil
import socket
import subprocess
import time
from dataclasses import dataclass
from pathlib import Path

from e2e.harness.server import DEFAULT_BASE_URL, FOLDER

HOST = DEFAULT_BASE_URL.split("/")[2]

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
        return 502;
    }}
    server {{
        listen 127.0.0.1:{port};
        server_name {host};
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
    """Serves files put with put(name, ...) at http://<host>/qormavik/websetup/<name>; a context manager."""

    def __init__(self, work: Path) -> None:
        self.work = work
        self.root = work / "root"
        self.folder = self.root / FOLDER
        self.port = 0
        self._process: subprocess.Popen | None = None

    @property
    def proxy_address(self) -> str:
        return f"127.0.0.1:{self.port}"

    def url(self, name: str) -> str:
        return f"{DEFAULT_BASE_URL}{FOLDER}{name}"

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
        # Workers of a root master would run as nobody, who may not read the files.
        user = "user root;" if os.geteuid() == 0 else ""
        configuration = self.work / "nginx.conf"
        configuration.write_text(CONFIGURATION.format(work=self.work, user=user, port=self.port, host=HOST,
                                                      root=self.root))
        self._process = subprocess.Popen([nginx_command(), "-p", str(self.work), "-c", str(configuration),
                                          "-e", str(self.work / "error.log")],
                                         stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        self._wait_listening(timeout=20)
        return self

    def _wait_listening(self, timeout: float) -> None:
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self._process.poll() is not None:
                raise RuntimeError(f"nginx ended at once: {self._process.stderr.read().decode().strip()}")
            try:
                socket.create_connection(("127.0.0.1", self.port), timeout=1).close()
                return
            except OSError:
                time.sleep(0.05)
        self.__exit__()
        raise RuntimeError(f"nginx did not listen on port {self.port} within {timeout} s")

    def __exit__(self, *_) -> None:
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
