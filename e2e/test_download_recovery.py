"""Transfers that go wrong under the real program: a server that stalls mid-body or never answers,
connections dropped halfway, a server that ignores ranges, a file that changes between requests.
The window must go on answering, and what arrives must be the server's file or nothing."""

from __future__ import annotations

import time
import unittest
from pathlib import Path

from e2e.harness.builds import PROGRAM
from e2e.harness.case import WineTestCase
from e2e.harness.driver import IDYES
from e2e.harness.exit_codes import CANCELLED
from e2e.harness.server import Package
from e2e.harness.session import DOTNET, MAIN_APP, PDF_PRINTER
from e2e.test_download_road import (CANCEL, CANCEL_HOVER, IDLE, IDLE_HOVER, INSTALL_ORDER, QUEUE, STATUS_ID,
                                    DownloadRoadCase, cancelled_line, display_name, failed_line, local_path,
                                    window_in)

# Bounds set by the behaviour under test, not by the machine's speed.
CLOSE_BOUND = 2.0
QUESTION_BOUND = 1.0
CANCELLED_BOUND = 2.0
# Slow enough that a reset comes after the client has read what was sent: a reset discards
# whatever the client has not read yet.
DROP_RATE = 1024 * 1024
ETAG = '"standin-1"'


def retrying_line(path: str, n: int) -> str:
    return display_name(path) + f" yeniden deneniyor ({n}/3)..."


class Recovery:
    def setUp(self) -> None:
        super().setUp()
        self.half = len(self.standin) // 2

    def click_with_dotnet(self, package: Package, program: Path | None = None):
        """A click on a bare machine whose .NET package is served as package, the others as stand-ins."""
        self.serve_queue()
        self.server.serve(DOTNET, package)
        run, window = self.open_window(program=program)
        self.click_button()
        return run, window

    def stalled_run(self):
        """A run whose .NET transfer has stopped halfway with its server silent."""
        run, window = self.click_with_dotnet(Package(self.standin, stall_after=self.half))
        # The last whole chunk before the stall, on screen.
        self.wait_progress(local_path(run.folder, DOTNET), more_than=(self.half // 4096 - 1) * 4)
        return run, window

    def nothing_installed(self, run) -> None:
        self.assertEqual(self.session.standins_started(), [])
        self.assertIsNone(self.machine.marker)

    def dotnet_requests(self):
        return [request for request in self.server.requests if request.name == DOTNET]

    def test_a_stall_then_close_ends_the_program_at_once_with_nothing_left(self):
        run, window = self.stalled_run()
        closed = time.monotonic()
        self.driver.close(window)
        self.driver.wait_for(lambda snapshot: not window_in(snapshot), "the window to go", CLOSE_BOUND, PROGRAM)
        self.assertLess(time.monotonic() - closed, CLOSE_BOUND)
        self.assertEqual(run.wait(15), CANCELLED)
        self.assert_local_files(run.folder, {})
        self.nothing_installed(run)

    def test_a_stall_then_a_click_asks_at_once_and_yes_cancels_at_once(self):
        run, _ = self.stalled_run()
        # The button follows the mouse and takes the click while the transfer hangs.
        self.click_button(CANCEL, CANCEL_HOVER)
        clicked = time.monotonic()
        box = self.driver.wait_message_box(exe=PROGRAM, timeout=QUESTION_BOUND)
        self.assertLess(time.monotonic() - clicked, QUESTION_BOUND)

        self.driver.press(box, IDYES)
        answered = time.monotonic()
        wanted = cancelled_line(local_path(run.folder, DOTNET))
        self.driver.wait_for(lambda snapshot: (window := window_in(snapshot)) and window.control(STATUS_ID).text == wanted,
                             "the cancelled line", CANCELLED_BOUND, PROGRAM)
        self.assertLess(time.monotonic() - answered, CANCELLED_BOUND)
        self.wait_button(IDLE, IDLE_HOVER)
        self.assert_local_files(run.folder, {})
        self.assertTrue(run.running)
        self.nothing_installed(run)

    def test_a_silent_server_runs_into_the_stall_timeout(self):
        stall = self.build.quick_stall_seconds
        run, _ = self.click_with_dotnet(Package(self.standin, stall_head=True), self.build.quick_stall_program)
        clicked = time.monotonic()
        # Nothing came at all: no .part to go on from, so the first timeout is final.
        self.wait_run_over(failed_line(local_path(run.folder, DOTNET), "sunucu yanıt vermiyor"), timeout=stall + 30)
        self.assertGreaterEqual(time.monotonic() - clicked, stall)
        self.assertEqual(self.server.requested_names(), QUEUE)
        self.assert_local_files(run.folder, {PDF_PRINTER: self.standin, MAIN_APP: self.standin})
        self.nothing_installed(run)

    def test_a_drop_at_half_is_resumed_from_where_it_broke_off(self):
        run, _ = self.click_with_dotnet(Package(self.standin, drop_after=self.half, misbehaving_requests=1,
                                                bytes_per_second=DROP_RATE, etag=ETAG))
        self.wait_status(retrying_line(local_path(run.folder, DOTNET), 1))
        self.assertEqual(self.finish_installation(run), [])

        first, second = self.dotnet_requests()
        self.assertIsNone(first.range)
        resumed_at = int(second.range.removeprefix("bytes=").removesuffix("-"))
        self.assertTrue(0 < resumed_at <= self.half, second.range)
        self.assertEqual((second.headers.get("If-Range"), second.status), (ETAG, 206))
        self.assert_local_files(run.folder, dict.fromkeys(QUEUE, self.standin))
        self.assertEqual(self.session.standins_started(), INSTALL_ORDER)

    def test_a_server_that_ignores_ranges_gets_the_file_again_from_its_start(self):
        run, _ = self.click_with_dotnet(Package(self.standin, drop_after=self.half, misbehaving_requests=1,
                                                bytes_per_second=DROP_RATE, honour_range=False))
        self.assertEqual(self.finish_installation(run), [])
        self.assertEqual([(request.range is not None, request.status) for request in self.dotnet_requests()],
                         [(False, 200), (True, 200)])
        self.assert_local_files(run.folder, dict.fromkeys(QUEUE, self.standin))

    def test_a_file_changed_between_requests_is_fetched_again_whole(self):
        old, new = self.standin + bytes(4096), self.standin + b"\x01" * 4096
        run, _ = self.click_with_dotnet(Package(old, drop_after=len(old) // 2, bytes_per_second=DROP_RATE, etag='"old"'))
        self.wait_status(retrying_line(local_path(run.folder, DOTNET), 1))
        self.server.serve(DOTNET, Package(new, etag='"new"'))
        self.assertEqual(self.finish_installation(run), [])
        second = self.dotnet_requests()[1]
        self.assertEqual((second.headers.get("If-Range"), second.status), ('"old"', 200))
        self.assert_local_files(run.folder, {DOTNET: new, PDF_PRINTER: self.standin, MAIN_APP: self.standin})

    def test_drops_on_every_try_keep_the_part_and_a_new_click_goes_on_from_it(self):
        # Each answer breaks off after an eighth of the file: four tries bring about half of it.
        run, _ = self.click_with_dotnet(Package(self.standin, drop_after=len(self.standin) // 8,
                                                bytes_per_second=DROP_RATE, etag=ETAG))
        dotnet = local_path(run.folder, DOTNET)
        self.wait_run_over(failed_line(dotnet, "bağlantı kesildi"))
        self.assertEqual(len(self.dotnet_requests()), 4, "the first try and three more")
        part = (run.folder / "mavikfiles" / (DOTNET + ".part")).read_bytes()
        record = (run.folder / "mavikfiles" / (DOTNET + ".part.resume")).read_bytes()
        self.assertTrue(len(part) > len(self.standin) // 8 and self.standin.startswith(part), len(part))
        self.assertIn(ETAG.encode(), record)
        self.assert_local_files(run.folder, {DOTNET + ".part": part, DOTNET + ".part.resume": record,
                                             PDF_PRINTER: self.standin, MAIN_APP: self.standin})
        self.nothing_installed(run)

        self.server.serve(DOTNET, Package(self.standin, etag=ETAG))
        self.click_button()
        self.assertEqual(self.finish_installation(run), [])
        last = self.dotnet_requests()[-1]
        self.assertEqual((last.range, last.status), (f"bytes={len(part)}-", 206))
        self.assert_local_files(run.folder, dict.fromkeys(QUEUE, self.standin))
        self.assertEqual(self.session.standins_started(), INSTALL_ORDER)


class Recovery32(Recovery, DownloadRoadCase):
    bits = 32


class Recovery64(Recovery, DownloadRoadCase):
    bits = 64


if __name__ == "__main__":
    unittest.main()
