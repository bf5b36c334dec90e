"""Screenshots of the windows a user meets, for the README and the help desks' guide
(docs/support.md): the real program under Wine, driven the way a user would, each window captured
on its own and checked to show the text the guide quotes; the download window also at 144 DPI.

    /usr/bin/python3 -m e2e.docs_screenshots [--bits 64] [--out docs]

Run by hand after a change to what a window shows; CI does not run it. It takes about a minute.
The administrator message is not among the shots: every Wine user is an administrator, so the
program never shows it there."""

from __future__ import annotations

import argparse
import re
import sys
import time
from pathlib import Path

from e2e.harness.builds import PROGRAM, REPOSITORY, build, scratch_root
from e2e.harness.driver import IDOK, IDYES, Driver, Window
from e2e.harness.images import Bitmap
from e2e.harness.loaders import refusal
from e2e.harness.machine import program_folder
from e2e.harness.server import Package, error_page
from e2e.harness.session import DOTNET, MAIN_APP, PDF_PRINTER, ProgramRun, Session
from e2e.harness.wine import Xvfb
from e2e.test_download_road import (BOX_TITLE, CANCEL, CANCEL_QUESTION, IDLE, STATUS_ID, WELCOME_ID, cancelled_line,
                                    failed_line, shown_button, window_in)

# The longest status line there is: the reason of a failed https handshake, for the .NET file.
LONGEST_REASON = "güvenli bağlantı kurulamadı"
# How long a cancelled request may keep its thread under Wine, with the shipped stall timeout.
ABORTED_REQUEST_SECONDS = 60 + 10
# The second session's screen, 150 %.
HIGH_DPI = 144
from e2e.test_install_road import ALREADY_RUNNING, QUESTION, START_FAILED, WAIT_LABEL, WAIT_WINDOW

# The first file stops coming at this fraction, so that its progress line stands still for the shot.
STALL_AT = 0.45
# A window counts as drawn once two captures this far apart agree.
SETTLE_PAUSE = 0.3
SETTLE_TRIES = 10
# Where a user would keep the program, as the program sees it: C:\users\Public\Downloads\<name>.
DOWNLOADS = Path("drive_c/users/Public/Downloads")


def percent(window: Window) -> int:
    """The percentage of the download window's progress line; -1 for any other line."""
    match = re.match(r"(\d+)% \(", window.control(STATUS_ID).text)
    return int(match[1]) if match else -1


class Shots:
    """One session of the program on a fresh Wine machine, and the folder the PNG files go to."""

    def __init__(self, session: Session, out: Path) -> None:
        self.session = session
        self.driver: Driver = session.driver
        self.out = out

    def save(self, window: Window, name: str) -> None:
        """The window as the screen shows it, cropped to its frame, once two captures in a row
        agree: a capture taken while a control repaints shows it half drawn."""
        earlier = None
        for _ in range(SETTLE_TRIES):
            shot = self.driver.capture(window, self.session.root / "shot.bmp")
            if earlier is not None and shot.rows == earlier.rows:
                self.keep(shot, name)
                return
            earlier = shot
            time.sleep(SETTLE_PAUSE)
        raise AssertionError(f"the window {window.title!r} kept changing; nothing saved as {name}")

    def keep(self, shot: Bitmap, name: str) -> None:
        shot.save_png(self.out / name)
        print(f"Saved {self.out / name}.")

    def folder(self, name: str) -> Path:
        return program_folder(self.session.prefix.path / DOWNLOADS, self.session.build.program, name)

    def shown_path(self, path: Path) -> str:
        """How the program names a path of its prefix's drive C:."""
        return "C:\\" + str(path.relative_to(self.session.prefix.path / "drive_c")).replace("/", "\\")

    def box(self, message: str, title: str = BOX_TITLE, besides: int = 0) -> Window:
        """The program's message box whose text starts so, once it is complete on screen; besides:
        a box already open, which is passed over."""
        box = self.driver.wait_for(
            lambda snapshot: next((box for box in snapshot.message_boxes(exe=PROGRAM)
                                   if box.hwnd != besides and box.message.startswith(message)), None),
            f"the message box {message!r}", 60, PROGRAM)
        if box.title != title:
            raise AssertionError(f"the box {message!r} has the caption {box.title!r}, not {title!r}")
        return box

    def answer(self, box: Window, button: int) -> None:
        self.driver.press(box, button)
        self.driver.wait_for(lambda snapshot: not any(window.hwnd == box.hwnd for window in snapshot.windows),
                             f"the box {box.title!r} closing", exe=PROGRAM)

    def download_window(self, status: str | None = None, button: int | None = None, timeout: float = 60) -> Window:
        """The visible download window once its status line and its button's face are as given."""
        return self.driver.wait_for(
            lambda snapshot: (window := window_in(snapshot)) and window.visible
            and (status is None or window.control(STATUS_ID).text == status)
            and (button is None or ((face := shown_button(window)) and face.id == button)) and window,
            f"the download window with {status!r} and face {button}", timeout, PROGRAM)

    def download_road(self) -> None:
        """Before the click, during a transfer, the cancel question, and after a failed transfer."""
        session = self.session
        session.serve_standins({DOTNET: "", PDF_PRINTER: "", MAIN_APP: "marker=1"})
        standin = session.build.standin.read_bytes()
        session.server.serve(DOTNET, Package(standin, stall_after=int(len(standin) * STALL_AT)))
        folder = self.folder("QorMavik")
        run = session.start_program(folder)
        dotnet = self.shown_path(folder / "mavikfiles" / DOTNET)

        window, away = self.before_the_click("download-window-96dpi.png")

        self.driver.click_control(shown_button(window))
        self.driver.move(*away)
        self.save(self.driver.wait_for(
            lambda snapshot: (shown := window_in(snapshot)) and percent(shown) >= 40
            and (face := shown_button(shown)) and face.id == CANCEL and shown,
            "a progress line past 40 %", 60, PROGRAM), "download-window.png")

        self.driver.click_control(shown_button(window_in(self.driver.snapshot())))
        question = self.box(CANCEL_QUESTION)
        self.save(question, "cancel-question.png")
        self.answer(question, IDYES)
        self.download_window(status=cancelled_line(dotnet))

        session.server.serve(DOTNET, error_page(404, "Not Found"))
        self.driver.click_control(shown_button(window_in(self.driver.snapshot())))
        self.driver.move(*away)
        # Under Wine the cancelled request's thread ends only at WinINet's receive timeout, the stall
        # timeout plus 10 s, and the next request waits for it.
        failed = self.download_window(status=failed_line(dotnet, "HTTP 404"), button=IDLE,
                                      timeout=ABORTED_REQUEST_SECONDS + 60)
        self.save(failed, "download-window-failed.png")
        self.driver.close(failed)
        run.wait(30)

    def before_the_click(self, name: str) -> tuple[Window, tuple[int, int]]:
        """The download window as it opens, saved; with a spot away from the button, where the
        cursor is left so that the button's faces show without the hover image."""
        window = self.download_window(status="-", button=IDLE)
        away = window.control(WELCOME_ID).center
        self.driver.move(*away)
        self.save(self.download_window(status="-", button=IDLE), name)
        return window, away

    def first_look(self, name: str) -> None:
        """Only the download window as it opens."""
        self.session.serve_standins({DOTNET: "", PDF_PRINTER: "", MAIN_APP: ""})
        run = self.session.start_program(self.folder("QorMavik"))
        window, _ = self.before_the_click(name)
        self.driver.close(window)
        run.wait(30)

    def long_status_line(self) -> None:
        """The status line after a run whose every transfer met a certificate no machine trusts."""
        session = self.session
        session.serve_standins({DOTNET: "", PDF_PRINTER: "", MAIN_APP: ""})
        trusted = session.server.identity
        session.server.identity = session.certificates.untrusted
        folder = self.folder("QorMavik (4)")
        run = session.start_program(folder)
        window = self.download_window(status="-", button=IDLE)
        away = window.control(WELCOME_ID).center
        self.driver.click_control(shown_button(window))
        self.driver.move(*away)
        dotnet = self.shown_path(folder / "mavikfiles" / DOTNET)
        failed = self.download_window(status=failed_line(dotnet, LONGEST_REASON), button=IDLE)
        self.save(failed, "download-window-long-status.png")
        self.driver.close(failed)
        run.wait(30)
        session.server.identity = trusted

    def installation_road(self) -> None:
        """The wait window, a package that cannot start, the question after a main installer that
        left the marker at "0", and a second copy started meanwhile."""
        session = self.session
        folder = self.folder("QorMavik Kurulum")
        # The main installer writes no marker; the first package is no program at all.
        session.place_standins(folder, {MAIN_APP: "window=1", PDF_PRINTER: "window=1"})
        (folder / "mavikfiles" / DOTNET).write_text("Bu bir program değil.\r\n", encoding="utf-8")
        run = session.start_program(folder)

        self.catch_wait_window(run)
        not_started = self.box(START_FAILED + self.shown_path(folder / "mavikfiles" / DOTNET) + "\r\n", title="Hata")
        self.save(not_started, "package-not-started.png")
        self.answer(not_started, IDOK)

        question = self.box(QUESTION)
        self.save(question, "main-installation-cancelled.png")
        second = session.start_program(self.folder("QorMavik (2)"))
        already = self.box(ALREADY_RUNNING, besides=question.hwnd)
        self.save(already, "already-running.png")
        self.answer(already, IDOK)
        second.wait(30)
        self.answer(question, IDYES)
        run.wait(60)

    def catch_wait_window(self, run: ProgramRun) -> None:
        """The wait window shows for about 200 ms before its package starts: it is captured the
        moment it is seen, and the capture kept only when the window was still there after it."""
        deadline = time.monotonic() + 60
        while run.running and time.monotonic() < deadline:
            shown = self.driver.snapshot().find(title=WAIT_WINDOW, exe=PROGRAM, visible=True)
            if not shown:
                continue
            window = shown[0]
            bitmap = self.driver.capture(window, self.session.root / "wait.bmp")
            still = self.driver.snapshot().find(title=WAIT_WINDOW, exe=PROGRAM, visible=True)
            if any(other.hwnd == window.hwnd for other in still):
                if [child.text for child in window.children if child.visible] != [WAIT_LABEL]:
                    raise AssertionError(f"the wait window shows {[child.text for child in window.children]}")
                self.keep(bitmap, "wait-window.png")
                return
        raise AssertionError("the wait window was never seen long enough to be captured")

    def folder_message(self) -> None:
        """A file named mavikfiles stands where the program's folder should be."""
        folder = self.folder("QorMavik (3)")
        (folder / "mavikfiles").write_text("")
        run = self.session.start_program(folder)
        box = self.box(f'"{self.shown_path(folder / "mavikfiles")}\\" klasörü oluşturulamadı.')
        self.save(box, "folder-not-created.png")
        self.answer(box, IDOK)
        run.wait(30)


def main() -> int:
    parser = argparse.ArgumentParser(prog="python3 -m e2e.docs_screenshots", description=__doc__.split("\n\n")[0])
    parser.add_argument("--bits", type=int, choices=(32, 64), default=64, help="the build to show (default 64)")
    parser.add_argument("--out", type=Path, default=REPOSITORY / "docs", help="where the PNG files go")
    options = parser.parse_args()
    chosen = build(options.bits)
    if chosen is None:
        raise SystemExit(f"no {options.bits}-bit build is configured")
    if reason := refusal(options.bits):
        raise SystemExit(reason)
    chosen.require()
    root = scratch_root()
    with Xvfb() as screen, Session(chosen, root / "docs-screenshots", screen.display, root) as session:
        shots = Shots(session, options.out.resolve())
        shots.download_road()
        shots.installation_road()
        shots.folder_message()
        shots.long_status_line()
    with Xvfb() as screen, Session(chosen, root / "docs-screenshots-dpi", screen.display, root, HIGH_DPI) as session:
        Shots(session, options.out.resolve()).first_look(f"download-window-{HIGH_DPI}dpi.png")
    return 0


if __name__ == "__main__":
    sys.exit(main())
