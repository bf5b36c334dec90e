"""The download road of the real program under Wine: the download window, a click that fetches the
queue from the loopback server with live progress, cancelling, failed transfers and the hover
images of the button."""

from __future__ import annotations

import contextlib
import re
import time
import unittest
from pathlib import Path
from typing import Callable, Iterator

from e2e.harness.builds import PROGRAM
from e2e.harness.case import WineTestCase
from e2e.harness.driver import IDNO, IDOK, IDYES, Control, Snapshot, Window
from e2e.harness.exit_codes import CANCELLED
from e2e.harness.images import Bitmap
from e2e.harness.server import Package, error_page
from e2e.harness.packages import INSTALL_ORDER, QUEUE
from e2e.harness.session import DOTNET, MAIN_APP, PDF_PRINTER, ProgramRun
from e2e.harness.wine import windows_path

WINDOW = "QorMavikWebSetup"
BOX_TITLE = "MavikWebSetup"
STATUS_ID, WELCOME_ID, BAR_ID = 1, 2, 4
IDLE, IDLE_HOVER, CANCEL, CANCEL_HOVER = 10, 11, 12, 13
BUTTON_IDS = (IDLE, IDLE_HOVER, CANCEL, CANCEL_HOVER)

WELCOME = ("QorMAVIK indirme yöneticine hoş geldiniz. Bu program kurulum için gerekli olan dosyaları "
           "indirecek ve kurulumu başlatacaktır.")
CANCEL_QUESTION = "İndirme işlemi iptal edilsin mi?"
NOT_STARTED = "Program başlatılamadı: "
MAIN_CANCELLED_QUESTION = "QORmavik kurulumu iptal edildi, ek paketler kurulsun mu?"

# The main installer reports its completion, so the sequence asks nothing; the first one lasts
# long enough to be seen running.
BEHAVIOURS = {DOTNET: "wait_ms=300", PDF_PRINTER: "", MAIN_APP: "marker=1"}

# A transfer of one stand-in (about 600 KB) to watch for about three seconds, and one that leaves
# time to answer the cancel question twice on a busy machine: the server keeps sending while a box is open.
WATCHED_RATE = 200 * 1024
CANCELLED_RATE = 32 * 1024
# Within a few 50 ms ticks, with room for a busy machine.
HOVER_TIMEOUT = 1.0
# Wine's default: a second click on the same control and spot within it is a double click, which
# the button does not take for a click.
DOUBLE_CLICK_TIME = 0.5


def local_path(folder: Path, name: str) -> str:
    return f"{windows_path(folder)}\\mavikfiles\\{name}"


def display_name(path: str) -> str:
    return path if len(path) <= 20 else path[:4] + "..." + path[-15:]


def completed_line(path: str) -> str:
    return display_name(path) + " dosyası diske indirildi."


def cancelled_line(path: str) -> str:
    return display_name(path) + " dosyası diske indirilemeden iptal edildi."


def failed_line(path: str, reason: str) -> str:
    return display_name(path) + f" dosyası indirilemedi ({reason})."


def yellow(pixel: tuple[int, int, int]) -> bool:
    red, green, blue = pixel
    return red > 200 and green > 200 and blue < 80


def window_in(snapshot: Snapshot) -> Window | None:
    """The download window, also while it is hidden."""
    return next(iter(snapshot.find(WINDOW, exe=PROGRAM)), None)


def shown_button(window: Window) -> Control | None:
    """The visible image of the button; None while a timer tick is switching images."""
    shown = [window.control(id) for id in BUTTON_IDS if window.control(id).visible]
    return shown[0] if len(shown) == 1 else None


class DownloadRoadCase(WineTestCase):
    """Helpers over the download window of one program run, whose packages are stand-ins."""

    def setUp(self) -> None:
        super().setUp()
        self.standin = self.build.standin.read_bytes()
        self.progress = re.compile(rf"(\d+)% \((\d+) Kb\\{len(self.standin) // 1024} Kb - (.+)\)")
        self.last_click = (None, 0.0)

    def open_window(self, earlier: dict[str, bytes] | None = None, program: Path | None = None,
                    through_driver: bool = False) -> tuple[ProgramRun, Window]:
        """A fresh copy of the program (or of another build of it) on this bare machine, with
        earlier files in its mavikfiles; through_driver as for Session.start_program."""
        folder = self.session.program_folder(program=program)
        for name, body in (earlier or {}).items():
            (folder / "mavikfiles").mkdir(exist_ok=True)
            (folder / "mavikfiles" / name).write_bytes(body)
        run = self.session.start_program(folder, through_driver=through_driver)
        return run, self.driver.wait_window(title=WINDOW, exe=PROGRAM, timeout=30)

    @contextlib.contextmanager
    def program(self, earlier: dict[str, bytes] | None = None) -> Iterator[tuple[ProgramRun, Window]]:
        """open_window for one of several runs in a test: a run that a failure left behind is ended."""
        run, window = self.open_window(earlier)
        try:
            yield run, window
        finally:
            if run.running:
                run.process.kill()
                run.process.wait(15)

    def serve_queue(self, throttled: dict[str, int] | None = None) -> None:
        """Stand-ins under every queued name, those named in throttled at their bytes per second."""
        self.session.serve_standins(BEHAVIOURS)
        for name, rate in (throttled or {}).items():
            self.server.serve(name, Package(self.standin, bytes_per_second=rate))

    def status(self) -> str:
        window = window_in(self.driver.snapshot())
        self.assertIsNotNone(window, "the download window is gone")
        return window.control(STATUS_ID).text

    def wait_status(self, wanted: str) -> None:
        self.driver.wait_for(lambda snapshot: (window := window_in(snapshot))
                             and window.control(STATUS_ID).text == wanted,
                             f"the status line {wanted!r}", exe=PROGRAM)

    def progress_of(self, text: str, path: str) -> re.Match | None:
        """The progress line of this file that text is, with the percentage and Kb done as groups."""
        match = self.progress.fullmatch(text)
        return match if match and match[3] == display_name(path) else None

    def wait_progress(self, path: str, more_than: int = 0) -> int:
        """Waits for a progress line of this file past more_than Kb; returns its Kb."""

        def kb_done(snapshot: Snapshot) -> int:
            window = window_in(snapshot)
            match = window and self.progress_of(window.control(STATUS_ID).text, path)
            return int(match[2]) if match and int(match[2]) > more_than else 0

        return self.driver.wait_for(kb_done, f"a progress line past {more_than} Kb of {path}", 30, PROGRAM)

    def wait_button(self, *members: int, timeout: float = 15) -> Window:
        """The download window once one of the members is the visible image."""
        return self.driver.wait_for(
            lambda snapshot: (window := window_in(snapshot)) and (button := shown_button(window))
            and button.id in members and window,
            f"button image {' or '.join(map(str, members))}", timeout, PROGRAM)

    def click_button(self, *members: int) -> Window:
        """A real click on the button once it shows one of the members (any by default)."""
        window = self.wait_button(*(members or BUTTON_IDS))
        button = shown_button(window)
        # Every member lies on the same spot, and the one shown may change between this look and
        # the click, when the mouse check sees the pointer: a quick second click on the spot may
        # land on the member clicked before, as a double click, whichever member was shown here.
        spot, at = self.last_click
        if spot == button.center:
            time.sleep(max(0.0, at + DOUBLE_CLICK_TIME - time.monotonic()))
        self.driver.click_control(button)
        self.last_click = (button.center, time.monotonic())
        return window

    def wait_run_over(self, status: str, since: int = 0, timeout: float = 60,
                      main_asked: Callable[[], bool] | None = None) -> None:
        """Waits until a run that installs nothing is over: the main package was asked for after
        the first `since` requests (or main_asked says it was), the button offers İndir&Kur again
        and the status line reads status."""
        main_asked = main_asked or (lambda: MAIN_APP in self.server.requested_names()[since:])
        self.driver.wait_for(
            lambda snapshot: main_asked() and (window := window_in(snapshot))
            and window.visible and window.control(STATUS_ID).text == status
            and (button := shown_button(window)) and button.id in (IDLE, IDLE_HOVER),
            f"the end of the run with the status line {status!r}", timeout, PROGRAM)

    def wait_box(self, message: str) -> Window:
        box = self.driver.wait_message_box(exe=PROGRAM)
        self.assertEqual((box.title, box.message), (BOX_TITLE, message))
        return box

    def finish_installation(self, run: ProgramRun) -> list[str]:
        """Answers the installation road's boxes (OK to each error, Yes to the question) until the
        program ends; returns the paths it could not start, in order."""
        not_started = []
        while True:
            box = self.driver.wait_for(
                lambda snapshot: not run.running or next(iter(snapshot.message_boxes(exe=PROGRAM)), None),
                "a message box or the end of the program", 60, PROGRAM)
            if box is True:
                break
            if box.title == "Hata":
                self.assertTrue(box.message.startswith(NOT_STARTED), box.message)
                not_started.append(box.message.removeprefix(NOT_STARTED).split("\r\n")[0])
                self.driver.press(box, IDOK)
            else:
                self.assertEqual((box.title, box.message), (BOX_TITLE, MAIN_CANCELLED_QUESTION))
                self.driver.press(box, IDYES)
            self.driver.wait_for(lambda snapshot: not any(w.hwnd == box.hwnd for w in snapshot.windows),
                                 "the box to close", exe=PROGRAM)
        self.assertEqual(run.wait(), 0)
        return not_started

    def assert_local_files(self, folder: Path, expected: dict[str, bytes]) -> None:
        """mavikfiles holds exactly these files with these bytes: nothing else, no partial file."""
        local = folder / "mavikfiles"
        self.assertEqual(sorted(path.name for path in local.iterdir()), sorted(expected))
        for name, body in expected.items():
            self.assertTrue((local / name).read_bytes() == body, f"{name} differs from what was served")


class CompleteRun:
    """One click fetches the whole queue with live progress, then the stand-ins install in order."""

    def test_a_click_fetches_the_queue_with_live_progress_then_installs(self):
        self.serve_queue({DOTNET: WATCHED_RATE})
        run, window = self.open_window()
        self.click_button()
        # The cursor rests on the button: the cancel image under the mouse, then without it.
        self.wait_button(CANCEL_HOVER)
        self.driver.move(*window.control(WELCOME_ID).center)
        self.wait_button(CANCEL, timeout=HOVER_TIMEOUT)

        lines, bars = self.watch_transfer(window, local_path(run.folder, DOTNET))
        chunk_total = len(self.standin) // 4096
        self.assertGreaterEqual(len(lines), 3, "progress lines seen during the throttled transfer")
        for match in lines:
            percent, kb_done = int(match[1]), int(match[2])
            self.assertEqual((percent, kb_done % 4), (kb_done // 4 * 100 // chunk_total, 0), match[0])
        kb_seen = [int(match[2]) for match in lines]
        self.assertEqual(kb_seen, sorted(set(kb_seen)), "the Kb done only grow")
        self.assertEqual(len(bars), 2, f"two bar captures 25 % apart, seen {[match[0] for match in lines]}")
        self.assert_bar_grows(*bars)

        installing = self.driver.wait_for(lambda snapshot: snapshot.running(DOTNET) and window_in(snapshot),
                                          "the first installer", 30, PROGRAM)
        self.assertFalse(installing.visible, "the window hides while the packages install")
        last_line = completed_line(local_path(run.folder, MAIN_APP))
        self.assertEqual(installing.control(STATUS_ID).text, last_line)
        self.assertEqual(self.driver.sent_text(installing.control(STATUS_ID)), (last_line, len(last_line)))
        self.assertEqual(self.finish_installation(run), [])
        self.assertEqual(self.server.requested_names(), QUEUE)
        self.assertEqual(self.session.standins_started(), INSTALL_ORDER)
        self.assert_local_files(run.folder, dict.fromkeys(QUEUE, self.standin))

    def watch_transfer(self, window: Window, path: str) -> tuple[list[re.Match], list[Bitmap]]:
        """The progress lines of this file, each once, until the status line has moved on; and two
        captures of the bar, the second at least 25 % further on."""
        lines, bars = [], []
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline:
            text = self.status()
            match = self.progress_of(text, path)
            if not match:
                if lines:
                    break
                continue
            if not lines:
                self.assert_sent_text_not_behind(window, match, path)
            if not lines or lines[-1][0] != text:
                lines.append(match)
            percent = int(match[1])
            if not bars or len(bars) == 1 and percent >= bars[0][0] + 25:
                bars.append((percent, self.driver.capture(window.control(BAR_ID), self.session.root / "bar.bmp")))
        return lines, [bitmap for _, bitmap in bars]

    def assert_sent_text_not_behind(self, window: Window, shown: re.Match, path: str) -> None:
        """WM_GETTEXT answers the line of the last chunk counted, never one behind the control's own
        text (which follows at the label's next paint); or the line after the transfer."""
        sent, _ = self.driver.sent_text(window.control(STATUS_ID))
        if sent == completed_line(path):
            return
        match = self.progress_of(sent, path)
        self.assertTrue(match, f"WM_GETTEXT answers a progress line, not {sent!r}")
        self.assertGreaterEqual(int(match[2]), int(shown[2]), f"{sent!r} after {shown[0]!r}")

    def assert_bar_grows(self, earlier: Bitmap, later: Bitmap) -> None:
        """The yellow strip starts at the bar's left edge and is longer in the later capture."""
        row = earlier.height // 2
        strips = []
        for bitmap in (earlier, later):
            columns = [x for x in range(bitmap.width) if yellow(bitmap.pixel(x, row))]
            self.assertTrue(columns, "the bar shows yellow")
            self.assertEqual(columns, list(range(columns[0], columns[0] + len(columns))), "one strip")
            self.assertLessEqual(columns[0], 1, "the strip starts at the left edge")
            strips.append(len(columns))
        self.assertGreater(strips[1], strips[0])


class DownloadRoad(CompleteRun):
    def test_the_welcome_window_and_its_button_following_the_mouse(self):
        run, window = self.open_window()
        self.assertEqual(window.control(STATUS_ID).text, "-")
        self.assertEqual(window.control(WELCOME_ID).text, WELCOME)
        button = shown_button(self.wait_button(IDLE))

        images = {}
        for member, point in ((IDLE_HOVER, button.center), (IDLE, window.control(WELCOME_ID).center)):
            self.driver.move(*point)
            shown = self.wait_button(member, timeout=HOVER_TIMEOUT)
            images[member] = self.driver.capture(shown_button(shown), self.session.root / f"button{member}.bmp")
        self.assertNotEqual(images[IDLE].rows, images[IDLE_HOVER].rows, "the hover image differs")

        self.driver.close(window)
        self.assertEqual(run.wait(), CANCELLED)
        self.assertEqual(self.server.requests, [])

    def test_cancel_no_goes_on_yes_stops_the_run_and_a_new_click_starts_over(self):
        self.serve_queue({PDF_PRINTER: CANCELLED_RATE})
        run, _ = self.open_window()
        pdf = local_path(run.folder, PDF_PRINTER)
        self.click_button()

        self.wait_progress(pdf)
        self.click_button(CANCEL, CANCEL_HOVER)
        box = self.wait_box(CANCEL_QUESTION)
        self.assertEqual(self.driver.icon(box.icon), "question")
        self.assertEqual([button.id for button in box.buttons], [IDYES, IDNO])
        kb = self.wait_progress(pdf)
        self.driver.press(box, IDNO)
        self.wait_progress(pdf, more_than=kb)

        window = self.click_button(CANCEL, CANCEL_HOVER)
        self.driver.press(self.wait_box(CANCEL_QUESTION), IDYES)
        # Queued behind the answer: handled before the transfer beneath has seen the cancel.
        self.driver.press(window, shown_button(window).id)
        self.wait_status(cancelled_line(pdf))
        self.wait_button(IDLE, IDLE_HOVER)
        self.assertEqual(self.server.requested_names(), [DOTNET, PDF_PRINTER])
        self.assert_local_files(run.folder, {DOTNET: self.standin})
        self.assertTrue(run.running)
        self.assertEqual(self.session.standins_started(), [])

        self.serve_queue()
        self.click_button()
        self.assertEqual(self.finish_installation(run), [])
        self.assertEqual(self.server.requested_names(), [DOTNET, PDF_PRINTER, *QUEUE])
        self.assertEqual(self.session.standins_started(), INSTALL_ORDER)
        self.assert_local_files(run.folder, dict.fromkeys(QUEUE, self.standin))

    def test_closing_the_window_during_a_transfer_ends_the_program_with_nothing_installed(self):
        self.serve_queue({DOTNET: CANCELLED_RATE})
        run, window = self.open_window()
        self.click_button()
        self.wait_progress(local_path(run.folder, DOTNET))

        self.driver.close(window)
        self.assertEqual(run.wait(15), CANCELLED)
        self.assertEqual(self.server.requested_names(), [DOTNET])
        self.assert_local_files(run.folder, {})
        self.assertEqual(self.session.standins_started(), [])
        self.assertIsNone(self.machine.marker)

    def test_failed_transfers_install_nothing_and_the_first_failure_stays_in_the_window(self):
        body = bytes(range(256)) * 64
        failures = {
            "a 404 with its error page": (error_page(404, "Not Found"), "HTTP 404"),
            "no Content-Length": (Package(body, send_length=False), "dosya boyu bilinmiyor"),
        }
        # An earlier copy of the main installer: a refused response leaves it, a failed transfer removes it.
        earlier = self.standin
        self.session.serve_standins(BEHAVIOURS)
        for failure, (package, reason) in failures.items():
            # The first and the last entry fail: the run goes on after the first, and the first
            # one's line is what the window shows once the run is over.
            self.server.serve(DOTNET, package)
            self.server.serve(MAIN_APP, package)
            requests_before = len(self.server.requests)
            with self.subTest(failure), self.program(earlier={MAIN_APP: earlier}) as (run, _):
                self.click_button()
                self.wait_run_over(failed_line(local_path(run.folder, DOTNET), reason), since=requests_before)
                self.assertEqual(self.server.requested_names()[requests_before:], QUEUE)
                self.assertTrue(run.running)
                self.assertEqual(self.session.standins_started(), [])
                self.assert_local_files(run.folder, {PDF_PRINTER: self.standin,
                                                     **({MAIN_APP: earlier} if package.status != 200 else {})})


class DownloadRoad32(DownloadRoad, DownloadRoadCase):
    bits = 32


class DownloadRoad64(DownloadRoad, DownloadRoadCase):
    bits = 64


if __name__ == "__main__":
    unittest.main()
