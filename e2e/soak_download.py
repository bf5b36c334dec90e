"""A soak of the download road, not part of CI: many transfers in a row against the loopback
server, which drops connections, stalls mid-body or before the head, ignores ranges and changes
files at random, while a user cancels now and then.

    /usr/bin/python3 -m e2e.soak_download [--transfers 200] [--bits 64] [--seed N]

It uses the program built with the short stall timeout (e2e/tools/quick-stall), so that stalls
end within seconds. After every click it checks that nothing hangs (every wait is bounded), that
no file under its final name differs from what the server serves, that a cancelled transfer
leaves no .part behind, and that no thread the program started is left once a round is over: a
request's thread may still be ending then under Wine, whose blocked reads return only with their
socket or WinINet's receive timeout (the stall timeout plus 10 s), and must end within that. It
prints the counts at the end and exits non-zero on any fault."""

from __future__ import annotations

import argparse
import collections
import random
import sys
import time
from pathlib import Path

from e2e.harness.builds import PROGRAM, build, scratch_root
from e2e.harness.driver import IDOK, IDYES, DriverError, Snapshot
from e2e.harness.server import Package
from e2e.harness.session import DOTNET, MAIN_APP, PDF_PRINTER, ProgramRun, Session
from e2e.harness.wine import Xvfb
from e2e.test_download_road import (CANCEL, CANCEL_HOVER, IDLE, IDLE_HOVER, MAIN_CANCELLED_QUESTION, QUEUE,
                                    STATUS_ID, shown_button, window_in)

BEHAVIOURS = {DOTNET: "", PDF_PRINTER: "", MAIN_APP: "marker=1"}
ROUND_TIMEOUT = 240
CANCEL_BOX_TIMEOUT = 5
TRANSFER_RATE = 2 * 1024 * 1024
CANCELLED = " dosyası diske indirilemeden iptal edildi."
KINDS = ("healthy", "drop", "stall", "silent", "ignores-range", "changed")
# Beyond WinINet's receive timeout, for a loaded machine.
THREAD_END_SLACK = 5


class Fault(Exception):
    """Something the soak must never see."""


class Soak:
    def __init__(self, session: Session, rng: random.Random) -> None:
        self.session = session
        self.server = session.server
        self.driver = session.driver
        self.rng = rng
        self.standin = session.build.standin.read_bytes()
        self.counts: collections.Counter[str] = collections.Counter()
        self.bodies: dict[str, bytes] = {}
        self.versions = collections.Counter()
        self.run: ProgramRun | None = None
        # What each final file of the current program's folder held when it was fetched.
        self.fetched: dict[str, bytes] = {}
        self.clicked_at = 0.0
        # The texts of the error boxes the installation showed.
        self.install_errors: list[str] = []
        # The longest time a request's thread went on after its round was over.
        self.longest_thread_end = 0.0

    # The server's side.

    def new_body(self, name: str) -> bytes:
        """A stand-in that still runs, with padding that makes each version differ."""
        self.versions[name] += 1
        return self.standin + self.rng.randbytes(self.rng.randrange(4096, 256 * 1024))

    def serve_round(self) -> dict[str, str]:
        kinds = {}
        for name in QUEUE:
            kind = self.rng.choices(KINDS, weights=(4, 3, 2, 1, 1, 1))[0]
            if kind == "changed" or name not in self.bodies:
                self.bodies[name] = self.new_body(name)
            body = self.bodies[name]
            etag = f'"{name}-{self.versions[name]}"'
            somewhere = self.rng.randrange(1, len(body))
            tries = self.rng.randint(1, 5)
            package = {
                "healthy": Package(body, etag=etag),
                "changed": Package(body, etag=etag),
                "drop": Package(body, etag=etag, drop_after=somewhere, misbehaving_requests=tries,
                                bytes_per_second=TRANSFER_RATE),
                "stall": Package(body, etag=etag, stall_after=somewhere, misbehaving_requests=self.rng.randint(1, 2)),
                "silent": Package(body, etag=etag, stall_head=True, misbehaving_requests=1),
                "ignores-range": Package(body, drop_after=somewhere, misbehaving_requests=1, honour_range=False,
                                         bytes_per_second=TRANSFER_RATE),
            }[kind]
            self.server.serve(name, package)
            self.counts[f"served {kind}"] += 1
            kinds[name] = kind
        return kinds

    # The user's side.

    def ensure_program(self) -> None:
        if self.run and self.run.running:
            return
        self.session.configure_standins(BEHAVIOURS)
        folder = self.session.program_folder(program=self.session.build.quick_stall_program)
        self.run = self.session.start_program(folder)
        self.fetched = {}
        self.install_errors = []
        self.driver.wait_window(title="QorMavikWebSetup", exe=PROGRAM, timeout=60)
        self.counts["program starts"] += 1

    def click(self, *members: int) -> bool:
        """Clicks the button when it shows one of the members; False when the run ended first."""
        snapshot = self.driver.snapshot()
        window = window_in(snapshot)
        button = window and window.visible and shown_button(window)
        if not button or button.id not in members:
            return False
        self.driver.click_control(button)
        return True

    def cancel_later(self, delay: float) -> str:
        """After delay, asks to cancel and answers Yes, unless the run is over by then."""
        deadline = time.monotonic() + delay
        while time.monotonic() < deadline:
            if self.run_over(self.driver.snapshot()):
                return "cancels too late"
            time.sleep(0.05)
        if not self.click(CANCEL, CANCEL_HOVER):
            return "cancels too late"
        try:
            box = self.driver.wait_message_box(exe=PROGRAM, timeout=CANCEL_BOX_TIMEOUT)
        except AssertionError:
            # The run ended between the look and the click, which then started a new run.
            self.clicked_at = time.monotonic()
            return "cancel clicks that started a run"
        self.driver.press(box, IDYES)
        return "cancels confirmed"

    def run_over(self, snapshot: Snapshot) -> bool:
        """The program has ended, or its window is idle again after the click."""
        if not self.run.running:
            return True
        window = window_in(snapshot)
        if not window or not window.visible or time.monotonic() - self.clicked_at < 0.5:
            return False
        # After a Yes the button is idle at once, while the transfer beneath is still ending.
        status = window.control(STATUS_ID).text
        button = shown_button(window)
        return (bool(button) and button.id in (IDLE, IDLE_HOVER) and not snapshot.message_boxes(exe=PROGRAM)
                and (status.endswith(CANCELLED) or " dosyası indirilemedi (" in status))

    def wait_round(self) -> None:
        deadline = time.monotonic() + ROUND_TIMEOUT
        while True:
            snapshot = self.driver.snapshot()
            if self.run_over(snapshot):
                return
            # The installation road: stand-ins run; an error box is answered so that it goes on, and
            # the main installer, which always completes here, must not leave its question.
            for box in snapshot.message_boxes(exe=PROGRAM):
                if box.title == "Hata":
                    self.counts["install errors"] += 1
                    self.install_errors.append(box.message)
                    self.driver.press(box, IDOK)
                elif box.message == MAIN_CANCELLED_QUESTION:
                    raise Fault(f"the main installation did not complete; error boxes of this program: "
                                f"{self.install_errors}")
            if time.monotonic() > deadline:
                raise Fault(f"hang: the round did not end within {ROUND_TIMEOUT} s; on screen: "
                            f"{snapshot.describe(PROGRAM)}")
            time.sleep(0.1)

    # The checks.

    def threads_end(self) -> None:
        """Waits until no thread that the program started is left, within the bound its requests keep."""
        window = self.run.running and window_in(self.driver.snapshot())
        if not window:
            return
        bound = self.session.build.quick_stall_seconds + 10 + THREAD_END_SLACK
        over = time.monotonic()
        while self.run.running and self.driver.started_threads(window.pid):
            if time.monotonic() - over > bound:
                raise Fault(f"a thread of the program still runs {bound} s after the round was over")
            time.sleep(0.1)
        waited = time.monotonic() - over
        if waited > 0.2:
            self.counts["rounds over before their request's thread had ended"] += 1
            self.longest_thread_end = max(self.longest_thread_end, waited)

    def cancelled_name(self) -> str | None:
        status = window_in(self.driver.snapshot()).control(STATUS_ID).text
        if not status.endswith(CANCELLED):
            return None
        shown = status.split(" dosyası")[0]
        return next(name for name in QUEUE if shown.endswith(name[-15:]))

    def check(self, requested: list[str], round_started: float) -> None:
        local = self.run.folder / "mavikfiles"
        installed = not self.run.running
        cancelled = None if installed else self.cancelled_name()
        for name in QUEUE:
            final, part, record = local / name, local / (name + ".part"), local / (name + ".part.resume")
            fresh = final.exists() and final.stat().st_mtime >= round_started
            # A final file that an earlier click fetched must still be what that click got.
            if final.exists() and final.read_bytes() != (self.bodies[name] if fresh else self.fetched.get(name)):
                raise Fault(f"{final} differs from the server's file")
            if fresh:
                self.fetched[name] = self.bodies[name]
            if name == cancelled:
                if part.exists() or record.exists() or final.exists():
                    raise Fault(f"{name}, its .part or its record left after a cancel")
                self.counts["transfers cancelled"] += 1
            elif name not in requested:
                continue
            elif fresh:
                self.counts["transfers completed"] += 1
            elif installed:
                raise Fault(f"the packages were installed without {name}")
            elif part.exists():
                self.counts["transfers failed, .part kept"] += 1
            else:
                self.counts["transfers failed, nothing kept"] += 1

    def round(self) -> str:
        """One click and what follows it; returns a line that tells what happened."""
        self.ensure_program()
        kinds = self.serve_round()
        requests_before = len(self.server.requests)
        round_started = time.time() - 1
        # Clicked where the snapshot that found it showed it: the next snapshot may come while the
        # hover timer swaps the stacked pictures, with none or two of them visible.
        try:
            button = self.driver.wait_for(lambda snapshot: (window := window_in(snapshot)) and window.visible
                                          and (button := shown_button(window)) and button.id in (IDLE, IDLE_HOVER)
                                          and button, "the İndir&Kur button", 15, PROGRAM)
        except AssertionError as error:
            raise Fault(str(error)) from None
        self.driver.click_control(button)
        self.clicked_at = time.monotonic()
        cancel = "no cancel"
        if self.rng.random() < 0.3:
            cancel = self.cancel_later(self.rng.uniform(0.1, 4))
            self.counts[cancel] += 1
        self.wait_round()
        if not self.run.running:
            self.counts["runs that installed"] += 1
            # A click that came as the last transfer ended is answered while the packages install.
            if cancel == "cancels confirmed":
                self.counts["cancels confirmed once the downloads were over"] += 1
        requests = self.server.requests[requests_before:]
        requested = [name for name in QUEUE if any(request.name == name for request in requests)]
        self.counts["transfers"] += len(requested)
        self.counts["requests"] += len(requests)
        self.counts["requests with Range"] += sum(1 for request in requests if request.range)
        self.counts["206 answers"] += sum(1 for request in requests if request.status == 206)
        self.check(requested, round_started)
        self.threads_end()
        end = "installed" if not self.run.running else window_in(self.driver.snapshot()).control(STATUS_ID).text
        return f"{', '.join(f'{name[:5]} {kind}' for name, kind in kinds.items())}; {cancel}; {end}"


def main() -> int:
    parser = argparse.ArgumentParser(prog="python3 -m e2e.soak_download", description=__doc__.split("\n\n")[0])
    parser.add_argument("--transfers", type=int, default=200)
    parser.add_argument("--bits", type=int, default=64, choices=(32, 64))
    parser.add_argument("--seed", type=int, default=int(time.time()))
    options = parser.parse_args()
    selected = build(options.bits)
    if selected is None:
        print(f"no {options.bits}-bit build is configured", file=sys.stderr)
        return 2
    selected.require()
    print(f"seed {options.seed}, {options.transfers} transfers, {options.bits}-bit", flush=True)
    rng = random.Random(options.seed)
    started = time.monotonic()
    fault = None
    with Xvfb() as xvfb, Session(selected, scratch_root() / "runs" / "soak", xvfb.display, scratch_root()) as session:
        soak = Soak(session, rng)
        try:
            while soak.counts["transfers"] < options.transfers:
                what = soak.round()
                print(f"{soak.counts['transfers']:4} transfers {time.monotonic() - started:5.0f} s: {what}", flush=True)
        except (Fault, DriverError, AssertionError) as error:
            fault = error
        counts = soak.counts
    print(f"\n{time.monotonic() - started:.0f} s, seed {options.seed}")
    for key in sorted(counts):
        print(f"  {key}: {counts[key]}")
    print(f"  longest a request's thread went on after its round: {soak.longest_thread_end:.1f} s")
    if fault:
        print(f"FAULT: {fault}")
        return 1
    print("no hang, no final file that differs from the server's, no .part after a cancel, no thread left")
    return 0


if __name__ == "__main__":
    sys.exit(main())
