"""One timed run of each kind, all in the benchmark's one Wine prefix and against the one nginx:
the program from the click to its .NET file, the reference loops, curl, and start-ups."""

from __future__ import annotations

import filecmp
import json
import os
import resource
import shutil
import subprocess
import time
from dataclasses import dataclass
from pathlib import Path

from e2e.harness.builds import PROGRAM
from e2e.harness.driver import Control, Snapshot, Window
from e2e.harness.session import DOTNET, MAIN_APP, PDF_PRINTER, ProgramRun, Session
from e2e.harness.wine import windows_path

from .linux_processes import CpuMeter, command_line, find, peak_resident_bytes
from .nginx import Nginx

WINDOW = "QorMavikWebSetup"
STATUS_ID = 1
# The button's images for İndir&Kur, plain and hovered; a click on either starts the downloads.
IDLE_IMAGES = (10, 11)
# The status line of a window whose downloads have not started.
NOT_STARTED = "-"
# A click that has not started the downloads after this long was lost, and is made again.
CLICK_TAKES_SECONDS = 15
CLICK_ATTEMPTS = 3
# The main installer reports its completion, so the installation sequence asks nothing.
BEHAVIOURS = {DOTNET: "", PDF_PRINTER: "", MAIN_APP: "marker=1"}
EMPTY_WINDOW = "bench_empty_window"
FILE_POLL_SECONDS = 0.002
# No run here is expected slower than this; a slower one fails instead of hanging.
SLOWEST_BYTES_PER_SECOND = 250_000


@dataclass(frozen=True)
class Sample:
    seconds: float
    bytes: int
    cpu_seconds: float
    # What wineserver and the X server spent meanwhile: the drawing and messages of a Wine program.
    helper_cpu_seconds: float
    peak_working_set: int | None

    @property
    def mb_per_second(self) -> float:
        return self.bytes / self.seconds / 1e6


@dataclass(frozen=True)
class Startup:
    seconds: float
    # What the started program itself spent until its window showed.
    cpu_seconds: float


def download_window(snapshot: Snapshot) -> Window | None:
    return next(iter(snapshot.find(WINDOW, exe=PROGRAM)), None)


def idle_button(snapshot: Snapshot) -> Control | None:
    """The button's one visible image, when it is an İndir&Kur image."""
    window = download_window(snapshot)
    shown = [child for child in window.children if child.visible and child.id in IDLE_IMAGES] if window else []
    return shown[0] if len(shown) == 1 else None


def downloads_started(snapshot: Snapshot) -> bool:
    """The status line has moved on, or the window is gone because everything is already done."""
    window = download_window(snapshot)
    return window is None or not window.visible or window.control(STATUS_ID).text != NOT_STARTED


def payload(standin: bytes, size: int) -> bytes:
    """The .NET package as served: a stand-in installer that runs, padded with random bytes to size."""
    return standin + os.urandom(size - len(standin))


def deadline_for(size: int) -> float:
    return 60 + size / SLOWEST_BYTES_PER_SECOND


class Runs:
    """scheme: http or https, as the program fetches its packages; the loops and curl do the same."""

    def __init__(self, session: Session, nginx: Nginx, tools: Path, scheme: str) -> None:
        self.session = session
        self.nginx = nginx
        self.url = nginx.url(DOTNET, scheme)
        self.proxy = nginx.proxy_address(scheme)
        self.fetch = tools / "bench_fetch.exe"
        self.launch = tools / "bench_launch.exe"
        self.empty_window = tools / f"{EMPTY_WINDOW}.exe"
        self.work = session.root / "bench"
        self.work.mkdir()
        # The X server is this process's child; the wineserver is the prefix's, up since the driver started.
        self.helpers = find("Xvfb", parent=os.getpid()) + find("wineserver", wine_prefix=session.prefix.path)
        if len(self.helpers) != 2:
            raise RuntimeError(f"expected one Xvfb and one wineserver, found processes {self.helpers}")
        self.startup_folder = session.program_folder()
        # What went wrong outside the measured spans, for the report.
        self.notes: list[str] = []

    def serve(self, size: int) -> None:
        standin = self.session.build.standin.read_bytes()
        self.nginx.put(DOTNET, payload(standin, size))
        for name in (PDF_PRINTER, MAIN_APP):
            self.nginx.put(name, standin)
        self.session.configure_standins(BEHAVIOURS)

    def program(self) -> Sample:
        """The real program on a bare machine: the time from the click on İndir&Kur until the .NET
        package stands in mavikfiles under its final name."""
        folder = self.session.program_folder()
        expected = self.nginx.path(DOTNET)
        size = expected.stat().st_size
        run = self.session.start_program(folder)
        driver = self.session.driver
        try:
            driver.wait_window(title=WINDOW, exe=PROGRAM, timeout=60)
            pid = run.process.pid
            if not any(PROGRAM in argument for argument in command_line(pid)):
                raise RuntimeError(f"process {pid} is not the program: {command_line(pid)}")
            target = folder / "mavikfiles" / DOTNET
            start, own, helpers = self._click_until_started(pid)
            self._wait_for_file(target, run.process, start + deadline_for(size))
            seconds = time.monotonic() - start
            cpu, helper_cpu = own.spent(), helpers.spent()
            peak = peak_resident_bytes(pid)
            self._let_finish(run)
        finally:
            if run.running:
                run.process.kill()
                run.process.wait(15)
        self._check_copy(target, expected)
        shutil.rmtree(folder.parent)
        return Sample(seconds, size, cpu, helper_cpu, peak)

    def _click_until_started(self, pid: int) -> tuple[float, CpuMeter, CpuMeter]:
        """Clicks İndir&Kur until the status line shows that the downloads started; the time and
        the CPU meters start at the click that did it."""
        driver = self.session.driver
        for _ in range(CLICK_ATTEMPTS):
            button = driver.wait_for(lambda snapshot: idle_button(snapshot), "the İndir&Kur button", 30, PROGRAM)
            own, helpers = CpuMeter([pid]), CpuMeter(self.helpers)
            start = time.monotonic()
            driver.click_control(button)
            try:
                driver.wait_for(downloads_started, "the start of the downloads", CLICK_TAKES_SECONDS, PROGRAM)
                return start, own, helpers
            except AssertionError as lost:
                self.notes.append(f"a click was made again: {lost}")
        raise RuntimeError(f"{CLICK_ATTEMPTS} clicks on İndir&Kur did not start the downloads")

    def _let_finish(self, run: ProgramRun) -> None:
        """The rest of the queue and the installation are not measured: a failure there is noted,
        and the program is ended so that the next run finds the prefix idle."""
        try:
            exit_code = run.wait(180)
        except AssertionError as error:
            self.notes.append(f"after its download: {error}")
            return
        if exit_code != 0:
            self.notes.append(f"{PROGRAM} ended with exit code {exit_code} after its download")

    def _wait_for_file(self, path: Path, process: subprocess.Popen, deadline: float) -> None:
        while not path.exists():
            if process.poll() is not None or time.monotonic() > deadline:
                shown = self.session.driver.snapshot().describe(PROGRAM)
                raise RuntimeError(f"{path.name} did not arrive; on screen: {shown}")
            time.sleep(FILE_POLL_SECONDS)

    def _check_copy(self, copy: Path, original: Path) -> None:
        if not filecmp.cmp(copy, original, shallow=False):
            raise RuntimeError(f"{copy} differs from what nginx served")
        last = [sent for sent in self.nginx.sent() if sent.path.endswith("/" + original.name)][-1]
        if last.status != 200 or last.bytes != original.stat().st_size:
            raise RuntimeError(f"nginx did not send the whole file: {last}")

    def loop(self, name: str) -> Sample:
        """One of bench_fetch's loops: bare, naive or wide."""
        out = self.work / DOTNET
        expected = self.nginx.path(DOTNET)
        helpers = CpuMeter(self.helpers)
        result = self.session.prefix.run([str(self.fetch), name, self.url, windows_path(out)],
                                         timeout=deadline_for(expected.stat().st_size), check=False)
        helper_cpu = helpers.spent()
        if result.returncode != 0:
            raise RuntimeError(f"bench_fetch {name} failed ({result.returncode}): {result.stderr.strip()}")
        measured = json.loads(result.stdout.strip().splitlines()[-1])
        self._check_copy(out, expected)
        out.unlink()
        return Sample(measured["seconds"], measured["bytes"], measured["cpu_seconds"], helper_cpu,
                      measured["peak_working_set"])

    def curl(self) -> Sample:
        """curl through the same proxy, writing a file as the others do: nginx's own speed here."""
        out = self.work / DOTNET
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        result = subprocess.run(["curl", "-sS", "--fail", "--proxy", f"http://{self.proxy}",
                                 "--cacert", str(self.session.certificates.authority), "-o", str(out),
                                 "-w", "%{time_total} %{size_download}", self.url],
                                capture_output=True, text=True, timeout=120)
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        if result.returncode != 0:
            raise RuntimeError(f"curl failed ({result.returncode}): {result.stderr.strip()}")
        seconds, size = result.stdout.split()
        self._check_copy(out, self.nginx.path(DOTNET))
        out.unlink()
        cpu = after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime
        return Sample(float(seconds), int(size), cpu, 0.0, None)

    def startup(self, empty: bool) -> Startup:
        """From the process's creation to its window shown: the program's download window (probes
        included) or the empty window."""
        program = self.empty_window if empty else self.startup_folder / PROGRAM
        title = EMPTY_WINDOW if empty else WINDOW
        result = self.session.prefix.run([str(self.launch), windows_path(program), title], timeout=120,
                                         check=False)
        if result.returncode != 0:
            raise RuntimeError(f"bench_launch {program.name} failed: {result.stderr.strip()}")
        measured = json.loads(result.stdout.strip().splitlines()[-1])
        if not measured["closed"]:
            self.notes.append(f"{program.name} did not end when its window was closed; it was terminated")
        return Startup(measured["seconds"], measured["cpu_seconds"])
