"""One run of the program on a machine of its own: a fresh prefix copied from the template, the
package server as its proxy, the driver holding its desktop, and the stand-in packages."""

from __future__ import annotations

import contextlib
import json
import os
import shutil
import subprocess
from pathlib import Path

from .builds import PROGRAM, Build
from .crashes import CrashLog
from .driver import Driver
from .machine import Machine, program_folder
from .packages import DOTNET, MAIN_APP, PDF_PRINTER  # noqa: F401 (the names the tests import from here)
from .server import Package, PackageServer
from .tls import certificates
from .wine import Prefix, copy_prefix, template_prefix, windows_path

# Where Wine 8 reads the screen's DPI (a DWORD), as Windows did before per-monitor settings.
DPI_KEY = r"HKCU\Control Panel\Desktop"
# The program's own folder in ProgramData, which holds its log, and the folder its first run there
# makes in it for the packages to start from.
DATA_FOLDER = r"C:\ProgramData\MavikSetupWebCD"
STAGING_FOLDER = DATA_FOLDER + r"\Paketler-1"


class ProgramRun:
    """The program started from one folder; every wait on it is bounded."""

    def __init__(self, session: Session, folder: Path, process: subprocess.Popen, through_driver: bool) -> None:
        self.session = session
        self.folder = folder
        self.process = process
        self.through_driver = through_driver

    @property
    def running(self) -> bool:
        return self.process.poll() is None

    def wait(self, timeout: float = 30) -> int:
        """The exit code, once the program has ended; fails when it is still running after timeout,
        and when a process of the run has died of an exception (as soon as the program ends). It is
        the exit status of the Linux process that Wine ran the program in, which keeps only the low
        8 bits of the program's exit code, unless the driver started the program."""
        try:
            code = self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            self.session.crashes.check()
            shown = self.session.driver.snapshot().describe()
            raise AssertionError(f"{PROGRAM} still runs after {timeout} s; on screen: {shown}") from None
        self.session.crashes.check()
        if not self.through_driver:
            return code
        # Read once the driver has ended, so the line is whole; other processes of the run may still
        # hold the pipe, so the read stops at the line's end rather than at the pipe's.
        answer = json.loads(self.process.stdout.readline())
        if "exit" not in answer:
            raise AssertionError(f"the driver could not start {PROGRAM}: {answer}")
        return answer["exit"]


class Session(contextlib.ExitStack):
    """Everything one run needs, undone in reverse order on exit (also after a failure)."""

    def __init__(self, build: Build, root: Path, display: str, template_root: Path, dpi: int | None = None) -> None:
        super().__init__()
        self.build = build
        self.dpi = dpi
        self.root = root
        self.display = display
        self.template_root = template_root

    def __enter__(self) -> Session:
        super().__enter__()
        try:
            self._open()
        except BaseException:
            self.close()
            raise
        return self

    def _open(self) -> None:
        leftover = self.root / "prefix"
        if leftover.is_dir():
            # A run that was killed left its prefix, maybe with its wineserver and programs still
            # going: they must not serve the new prefix made in the same place.
            Prefix(leftover, self.display, self.build.bits).stop()
        shutil.rmtree(self.root, ignore_errors=True)
        self.root.mkdir(parents=True)
        template = template_prefix(self.template_root)
        self.prefix: Prefix = copy_prefix(template, self.root / "prefix", self.display, self.build.bits)
        if not os.environ.get("MAVIK_E2E_KEEP"):
            self.callback(shutil.rmtree, self.root, ignore_errors=True)
        self.certificates = certificates(self.template_root)
        self.server = self.enter_context(PackageServer(identity=self.certificates.trusted))
        self.callback(self.prefix.stop)
        self.crashes = CrashLog(self.root / "wine-stderr.log")
        self.callback(self.crashes.close)
        if self.dpi:
            # Wine reads the DPI once per process: set before any program of the prefix starts.
            self.prefix.set_value(DPI_KEY, "LogPixels", self.dpi)
        self.driver = Driver(self.prefix, self.build.driver, self.crashes)
        self.callback(self.driver.stop)
        # First of the undoing: a crash that no wait of the test came across fails it all the same.
        self.callback(self.crashes.check)
        self.prefix.use_proxy(self.server.proxy_address)
        # The prefix trusts the tests' authority as a machine trusts the real server's.
        self.trust_authority(self.certificates.authority_der)
        self.machine = Machine(self.prefix, self.build.bits)
        self.standin_config = self.root / "standin.conf"
        self.standin_log_file = self.root / "standin.log"
        self.standin_config.write_text("")
        self._folders = 0

    def trust_authority(self, certificate: Path, user_only: bool = False) -> None:
        """Puts the authority's DER certificate into the prefix's machine root store, or with
        user_only into the user's root store alone."""
        self.prefix.run([str(self.build.trust_tool), *(["--user"] if user_only else []), windows_path(certificate)])

    def program_folder(self, name: str | None = None, pinned: bool = False, program: Path | None = None) -> Path:
        """A new folder holding a copy of the program (by default with blanks, Turkish and CJK in its
        name); pinned: the build that pins the stand-in under every package name; program: another
        build of it, such as build.quick_stall_program."""
        self._folders += 1
        parent = self.root / f"program{self._folders}"
        program = program or (self.build.pinned_program if pinned else self.build.program)
        return program_folder(parent, program, *([name] if name else []))

    def start_program(self, folder: Path, environment: dict[str, str] | None = None, *,
                      through_driver: bool = False) -> ProgramRun:
        """The program from folder, as a user starts it, with these variables added to its environment;
        through_driver: started and waited for by a driver process of its own, whose answer gives
        ProgramRun.wait all 32 bits of its exit code."""
        environment = {"MAVIK_STANDIN_CONFIG": windows_path(self.standin_config),
                       "MAVIK_STANDIN_LOG": windows_path(self.standin_log_file), **(environment or {})}
        program = folder / PROGRAM
        arguments = [str(self.build.driver), "start", windows_path(program)] if through_driver else [str(program)]
        process = self.prefix.start(arguments, environment, cwd=folder,
                                    stdout=subprocess.PIPE if through_driver else subprocess.DEVNULL,
                                    stderr=self.crashes.stream)
        return ProgramRun(self, folder, process, through_driver)

    def configure_standins(self, behaviours: dict[str, str]) -> None:
        """Each stand-in's behaviour line by package name, e.g. "window=1 marker=1 wait_ms=300 exit=0"."""
        self.standin_config.write_text("".join(f"{name} {behaviour}\n" for name, behaviour in behaviours.items()),
                                       encoding="utf-8")

    def serve_standins(self, behaviours: dict[str, str], bytes_per_second: int | None = None,
                       padding: int = 0) -> None:
        """The download road: the server offers a stand-in under each name; padding adds that many
        bytes after the executable's image, for transfers that take a while."""
        self.configure_standins(behaviours)
        body = self.build.standin.read_bytes() + bytes(padding)
        for name in behaviours:
            self.server.serve(name, Package(body, bytes_per_second=bytes_per_second))

    def place_standins(self, folder: Path, behaviours: dict[str, str]) -> None:
        """The installation road: a stand-in under each name already lies in the program's mavikfiles."""
        self.configure_standins(behaviours)
        local = folder / "mavikfiles"
        local.mkdir(exist_ok=True)
        for name in behaviours:
            shutil.copyfile(self.build.standin, local / name)

    def standin_log(self) -> list[str]:
        """What the stand-ins logged, line by line, in the order they ran."""
        if not self.standin_log_file.exists():
            return []
        return self.standin_log_file.read_text(encoding="utf-8").splitlines()

    def data_folder(self) -> Path:
        """DATA_FOLDER on the Linux side."""
        return self.prefix.path.joinpath("drive_c", *DATA_FOLDER[3:].split("\\"))

    def standins_started(self) -> list[str]:
        return [line.split(" ", 1)[1] for line in self.standin_log() if line.startswith("start ")]
