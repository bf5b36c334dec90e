"""A pinned build under Wine: the program built with the stand-in's SHA-256 pinned under every
package name takes a package only while its bytes are the stand-in's, after the download, at
start-up and again just before the package starts."""

from __future__ import annotations

import time
import unittest
from pathlib import Path

from e2e.harness.builds import PROGRAM
from e2e.harness.driver import IDOK, IDYES
from e2e.harness.exit_codes import PACKAGE_NOT_STARTED
from e2e.harness.server import Package
from e2e.harness.session import DOTNET, MAIN_APP, PDF_PRINTER, ProgramRun
from e2e.test_download_road import (BEHAVIOURS, INSTALL_ORDER, MAIN_CANCELLED_QUESTION, NOT_STARTED, QUEUE, WINDOW,
                                    DownloadRoadCase, failed_line, local_path)

NOT_VERIFIED = "dosya doğrulanamadı"
WAIT_WINDOW = "Bekleyiniz..."


def refused_at_its_start(case: DownloadRoadCase, run: ProgramRun) -> None:
    """The main package no longer matched its pin when it was to start: the box says so, the
    question for a main installer that did not complete follows, Yes installs the PDF printer, and
    the program ends with the code of a package that could not be started."""
    box = case.driver.wait_message_box(title="Hata", exe=PROGRAM, timeout=60)
    case.assertEqual(box.message, f"{NOT_STARTED}{local_path(run.folder, MAIN_APP)}\r\n{NOT_VERIFIED}")
    case.assertEqual(case.driver.icon(box.icon), "exclamation")
    case.driver.press(box, IDOK)
    question = case.driver.wait_message_box(title="MavikWebSetup", exe=PROGRAM, timeout=30)
    case.assertEqual(question.message, MAIN_CANCELLED_QUESTION)
    case.driver.press(question, IDYES)
    case.assertEqual(run.wait(60), PACKAGE_NOT_STARTED)
    case.assertEqual(case.session.standins_started(), [DOTNET, PDF_PRINTER])


class PinnedPackages:
    def setUp(self) -> None:
        super().setUp()
        # The same size with one byte changed: only the digest can tell.
        tampered = bytearray(self.standin)
        tampered[len(tampered) // 2] ^= 0xFF
        self.tampered = bytes(tampered)

    def start_pinned(self, present: dict[str, bytes] | None = None) -> ProgramRun:
        """The pinned program from a fresh folder, with these files already in its mavikfiles."""
        folder = self.session.program_folder(pinned=True)
        (folder / "mavikfiles").mkdir()
        for name, body in (present or {}).items():
            (folder / "mavikfiles" / name).write_bytes(body)
        return self.session.start_program(folder)

    def test_a_tampered_download_fails_leaves_no_file_and_nothing_runs(self):
        self.session.configure_standins(BEHAVIOURS)
        # Two with a changed byte, one with a Content-Length that is not the pinned size.
        self.server.serve(DOTNET, self.tampered)
        self.server.serve(PDF_PRINTER, self.standin + b"\0")
        self.server.serve(MAIN_APP, self.tampered)
        run = self.start_pinned()
        self.driver.wait_window(title=WINDOW, exe=PROGRAM, timeout=30)
        self.click_button()
        self.wait_run_over(failed_line(local_path(run.folder, DOTNET), NOT_VERIFIED))
        self.assertTrue(run.running)
        self.assertEqual(self.server.requested_names(), QUEUE)
        self.assertEqual(self.session.standins_started(), [])
        self.assert_local_files(run.folder, {})

    def test_matching_files_in_mavikfiles_are_installed_at_once(self):
        self.session.configure_standins(BEHAVIOURS)
        run = self.start_pinned(dict.fromkeys(QUEUE, self.standin))
        self.assertEqual(run.wait(60), 0)
        self.assertEqual(self.session.standins_started(), INSTALL_ORDER)
        self.assertEqual(self.server.requests, [])

    def test_a_tampered_file_in_mavikfiles_sends_start_up_down_the_download_road(self):
        self.session.serve_standins(BEHAVIOURS)
        run = self.start_pinned({DOTNET: self.standin, PDF_PRINTER: self.standin, MAIN_APP: self.tampered})
        self.driver.wait_window(title=WINDOW, exe=PROGRAM, timeout=30)
        self.assertEqual(self.session.standins_started(), [], "nothing is installed before the download")
        self.click_button()

        self.assertEqual(self.finish_installation(run), [])
        self.assertEqual(self.server.requested_names(), QUEUE)
        self.assertEqual(self.session.standins_started(), INSTALL_ORDER)
        self.assert_local_files(run.folder, dict.fromkeys(QUEUE, self.standin))

    def test_a_package_replaced_after_its_download_is_refused_at_its_start_and_the_sequence_goes_on(self):
        # The first installer runs long enough for the main one to be replaced meanwhile.
        self.session.serve_standins({**BEHAVIOURS, DOTNET: "wait_ms=4000"})
        run = self.start_pinned()
        self.driver.wait_window(title=WINDOW, exe=PROGRAM, timeout=30)
        self.click_button()
        self.wait_started(DOTNET)
        main_app = run.folder / "mavikfiles" / MAIN_APP
        self.assertEqual(main_app.read_bytes(), self.standin, "the download was taken")
        main_app.write_bytes(self.tampered)

        refused_at_its_start(self, run)
        # As for any main installer that did not start: the marker still reads 0.
        self.assertEqual(self.machine.marker, "0")

    def wait_started(self, name: str, timeout: float = 60) -> None:
        deadline = time.monotonic() + timeout
        while name not in self.session.standins_started():
            if time.monotonic() > deadline:
                raise AssertionError(f"{name} did not start within {timeout} s; log: {self.session.standin_log()}")
            time.sleep(0.05)


class PinnedPackages32(PinnedPackages, DownloadRoadCase):
    bits = 32


class PinnedPackages64(PinnedPackages, DownloadRoadCase):
    bits = 64


if __name__ == "__main__":
    unittest.main()
