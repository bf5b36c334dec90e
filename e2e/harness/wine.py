"""Wine for the end-to-end tests: an X server of our own, prefixes copied from one template,
and bounded ways to run programs in them."""

from __future__ import annotations

import ctypes
import fcntl
import os
import select
import shutil
import signal
import subprocess
import time
from pathlib import Path, PurePosixPath

from .loaders import can_run, loader, route_environment, template_bits

WINE_ENVIRONMENT = {
    "WINEDEBUG": "-all",
    # No Mono and Gecko installers: the program needs neither, and their prompts would hang a run.
    "WINEDLLOVERRIDES": "mscoree,mshtml=",
    # Wine reads Linux paths and arguments in the locale's encoding; the tests use non-ASCII paths.
    "LC_ALL": "C.UTF-8",
}

# One virtual desktop holds every window of the prefix. Without it, a bare X server with no window
# manager makes each DestroyWindow of a top-level window stall for about two seconds.
DESKTOP_SETTINGS = [
    (r"HKCU\Software\Wine\Explorer", "Desktop", "Default"),
    (r"HKCU\Software\Wine\Explorer\Desktops", "Default", "1024x768"),
]

# No crash debugger: a process that dies of an exception ends at once with its code, after one
# line on its standard error (harness/crashes.py), instead of leaving winedbg's "Program Error"
# dialog on the display and the test waiting for a window that never comes. An empty Debugger
# turns it off; a missing one makes Wine start winedbg all the same. 32- and 64-bit programs read
# the key in registry views of their own.
AEDEBUG_KEY = r"HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug"
CRASH_SETTINGS = [(AEDEBUG_KEY, name, value, view)
                  for view in (32, 64) for name, value in (("Debugger", ""), ("Auto", "1"))]
TEMPLATE_SETTINGS = [(key, name, value, None) for key, name, value in DESKTOP_SETTINGS] + CRASH_SETTINGS

# What Wine's reg prints for a key or value that is not there.
MISSING_IN_REGISTRY = "reg: Unable to find the specified registry"
PROXY_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings"

# Folders of DLLs that Wine never writes to; a run's prefix shares them with the template through
# hard links, which turns a 1.3 GB copy into a few milliseconds.
SHARED_FOLDERS = {"system32", "syswow64", "winsxs"}
# Only there when Wine could set up 32-bit programs (the wine32 package) as well.
WOW64_FOLDER = Path("drive_c/windows/syswow64")


class WineError(RuntimeError):
    """Wine or the X server could not be brought up, or did not stop in time."""


def command(name: str) -> str:
    found = shutil.which(name)
    if not found:
        raise WineError(f"'{name}' is not on PATH; install wine, wine32, wine64 and xvfb")
    return found


def windows_path(path: Path | str) -> str:
    """The path under which a Wine program sees a Linux path: drive Z: is the Linux root."""
    return "Z:" + str(PurePosixPath(os.path.abspath(path))).replace("/", "\\")


def wine_version() -> str:
    return subprocess.run([str(loader(64)), "--version"], capture_output=True, text=True, timeout=30).stdout.strip()


class Xvfb:
    """A private X server on a display number it picks itself; no TCP listener."""

    def __init__(self, width: int = 1280, height: int = 1024) -> None:
        self.size = (width, height)
        self.display = ""
        self._process: subprocess.Popen | None = None

    def __enter__(self) -> Xvfb:
        read_end, write_end = os.pipe()
        width, height = self.size
        try:
            self._process = subprocess.Popen(
                [command("Xvfb"), "-displayfd", str(write_end), "-nolisten", "tcp",
                 "-screen", "0", f"{width}x{height}x24"],
                pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                preexec_fn=_end_with_parent,
            )
            os.close(write_end)
            write_end = -1
            number = _line(read_end, timeout=20)
        finally:
            os.close(read_end)
            if write_end >= 0:
                os.close(write_end)
        if not number:
            self.__exit__(None, None, None)
            raise WineError("Xvfb did not report its display within 20 s")
        self.display = f":{number}"
        return self

    def __exit__(self, *_) -> None:
        if self._process and self._process.poll() is None:
            self._process.terminate()
            try:
                self._process.wait(10)
            except subprocess.TimeoutExpired:
                self._process.kill()
                self._process.wait(10)


def _end_with_parent() -> None:
    """Ends the child when the test process ends, even when it is killed and runs no clean-up:
    a server left behind would hold its display for good."""
    PR_SET_PDEATHSIG = 1
    ctypes.CDLL(None, use_errno=True).prctl(PR_SET_PDEATHSIG, signal.SIGKILL)


def _line(descriptor: int, timeout: float) -> str:
    """One whole line: Xvfb ends itself when the pipe closes before its line break is written."""
    received = b""
    deadline = time.monotonic() + timeout
    while not received.endswith(b"\n"):
        ready, _, _ = select.select([descriptor], [], [], max(deadline - time.monotonic(), 0))
        chunk = os.read(descriptor, 64) if ready else b""
        if not chunk:
            return ""
        received += chunk
    return received.decode().strip()


class Prefix:
    """One Wine prefix and the X display its programs use; every program in it, tools included,
    starts through the loader of the given bitness."""

    def __init__(self, path: Path, display: str, bits: int) -> None:
        self.path = path
        self.display = display
        self.loader = str(loader(bits))

    def environment(self, extra: dict[str, str] | None = None) -> dict[str, str]:
        environment = dict(os.environ)
        environment.update(WINE_ENVIRONMENT)
        # Wine starts child processes through WINELOADER (with "64" taken off for a 32-bit child).
        environment.update(WINEPREFIX=str(self.path), DISPLAY=self.display, WINELOADER=self.loader)
        environment.update(route_environment())
        environment.update(extra or {})
        return environment

    def run(self, arguments: list[str], timeout: float = 60, check: bool = True) -> subprocess.CompletedProcess:
        """Runs a Wine command to its end; fails when it outlasts timeout twice in a row, or fails
        while check is set. The second try is there for the harness's own commands under qemu: once a
        32-bit reg hung for the whole minute at a session's start (1 of 135 such commands in a run of
        the 32-bit suite), while 300 more of the same in a row took 1.6 s each (median), 3.5 s at most."""
        for attempt in (1, 2):
            try:
                result = subprocess.run([self.loader, *arguments], env=self.environment(),
                                        capture_output=True, text=True, timeout=timeout)
                break
            except subprocess.TimeoutExpired as error:
                if attempt == 2:
                    raise WineError(f"'wine {' '.join(arguments)}' did not end within {timeout} s, twice") from error
        if check and result.returncode != 0:
            raise WineError(f"'wine {' '.join(arguments)}' failed ({result.returncode}): {result.stderr.strip()}")
        return result

    def start(self, arguments: list[str], environment: dict[str, str] | None = None, **popen) -> subprocess.Popen:
        return subprocess.Popen([self.loader, *arguments], env=self.environment(environment), **popen)

    def set_value(self, key: str, name: str, value: str | int, view: int | None = None) -> None:
        """Writes a REG_SZ (str) or REG_DWORD (int) value; view 32 or 64 picks the registry view."""
        kind, data = ("REG_DWORD", str(value)) if isinstance(value, int) else ("REG_SZ", value)
        self.run(["reg", "add", key, "/v", name, "/t", kind, "/d", data, "/f", *_view(view)])

    def delete_value(self, key: str, name: str, view: int | None = None) -> None:
        """Deletes the value when it is there."""
        self.run(["reg", "delete", key, "/v", name, "/f", *_view(view)], check=False)

    def value(self, key: str, name: str, view: int | None = None) -> str | None:
        """The value's data as reg shows it (DWORDs as 0x...), or None when it is missing."""
        query = ["reg", "query", key, "/v", name, *_view(view)]
        result = self.run(query, check=False)
        if not _reg_answered(result):
            # reg itself did not run (now and then a Wine process fails to start): once more.
            result = self.run(query, check=False)
            if not _reg_answered(result):
                raise WineError(f"'wine {' '.join(query)}' failed ({result.returncode}): "
                                f"{(result.stdout + result.stderr).strip()}")
        for line in result.stdout.splitlines() if result.returncode == 0 else []:
            fields = line.strip().split(None, 2)
            if len(fields) >= 2 and fields[0] == name and fields[1].startswith("REG_"):
                return fields[2] if len(fields) == 3 else ""
        return None

    def use_proxy(self, address: str) -> None:
        """Sends the prefix's WinINet traffic through the given host:port."""
        self.set_value(PROXY_KEY, "ProxyEnable", 1)
        self.set_value(PROXY_KEY, "ProxyServer", address)

    def stop(self) -> None:
        """Ends every process of this prefix and waits for its wineserver to go."""
        environment = self.environment()
        try:
            subprocess.run([command("wineserver"), "-k"], env=environment, capture_output=True, timeout=30)
            subprocess.run([command("wineserver"), "-w"], env=environment, capture_output=True, timeout=30)
        except subprocess.TimeoutExpired as error:
            raise WineError(f"the wineserver of {self.path} did not stop within 30 s") from error


def _reg_answered(result: subprocess.CompletedProcess) -> bool:
    """reg ran: it found what was asked, or said that it is not there."""
    return result.returncode == 0 or MISSING_IN_REGISTRY in result.stdout


def _view(view: int | None) -> list[str]:
    return [f"/reg:{view}"] if view else []


def template_prefix(root: Path) -> Path:
    """The ready template under root, created once (10-15 s) and again when Wine's version or the
    bitnesses this machine runs change. It serves programs of both bitnesses where 32-bit programs
    run (natively or through qemu)."""
    template = root / "template-prefix"
    stamp = root / "template-prefix.version"
    with_32bit = can_run(32)
    version = f"{wine_version()} {'32+64' if with_32bit else '64'}-bit {TEMPLATE_SETTINGS}"
    with open(root / "template-prefix.lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if stamp.is_file() and stamp.read_text() == version and (template / "system.reg").is_file():
            return template
        stamp.unlink(missing_ok=True)
        # A fresh prefix's first boot now and then fails to load kernel32.dll (measured once in a
        # fresh clone's CI run, where the next test's boot of the same prefix passed): one more try.
        for attempt in range(2):
            shutil.rmtree(template, ignore_errors=True)
            prefix = Prefix(template, display="", bits=template_bits())
            try:
                prefix.run(["wineboot", "-i"], timeout=180)
                for key, name, value, view in TEMPLATE_SETTINGS:
                    prefix.set_value(key, name, value, view)
                break
            except WineError:
                if attempt == 1:
                    raise
            finally:
                prefix.stop()
        if with_32bit and not (template / WOW64_FOLDER).is_dir():
            raise WineError("the new prefix cannot run 32-bit programs: install wine32 (i386) and run again")
        stamp.write_text(version)
    return template


def copy_prefix(template: Path, destination: Path, display: str, bits: int) -> Prefix:
    """A prefix of its own for one run; only the DLL folders are shared with the template."""

    def copy(source: Path, target: Path, shared: bool) -> None:
        target.mkdir()
        for entry in os.scandir(source):
            to = target / entry.name
            if entry.is_symlink():
                os.symlink(os.readlink(entry.path), to)
            elif entry.is_dir():
                copy(Path(entry.path), to, shared or entry.name.lower() in SHARED_FOLDERS)
            elif shared:
                os.link(entry.path, to)
            else:
                shutil.copy2(entry.path, to)
        shutil.copystat(source, target)

    copy(template, destination, shared=False)
    return Prefix(destination, display, bits)
