"""The program's exit code under Wine, as a deployment tool that started it reads it, and the log
line that names it: a cancelled download, a failed one, a package that fails and one that asks for a
restart. The driver starts the program, so that a code above 255 arrives whole."""

from __future__ import annotations

import re
import unittest

from e2e.harness.driver import IDYES
from e2e.harness.exit_codes import CANCELLED, DOWNLOAD_FAILED, PACKAGE_FAILED, RESTART_REQUIRED
from e2e.harness.server import error_page
from e2e.harness.session import DOTNET, MAIN_APP, PDF_PRINTER, ProgramRun
from e2e.test_download_road import (CANCEL, CANCEL_HOVER, CANCEL_QUESTION, CANCELLED_RATE, INSTALL_ORDER,
                                    DownloadRoadCase, cancelled_line, failed_line, local_path)

# A stand-in that shows a window is found at once; without one the program looks for it for 2 s.
SHOWN = "window=1"
STAMP = re.compile(r"^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} ")


class ExitCodes:
    def assert_ended_with(self, run: ProgramRun, code: int, why: str) -> None:
        """The program ended with code, and its log's last words say so."""
        self.assertEqual(run.wait(60), code)
        log = (self.session.data_folder() / "MavikSetupWebCD.log").read_text(encoding="utf-8").splitlines()
        self.assertEqual([STAMP.sub("", line) for line in log[-2:]],
                         [f"Exit code of the setup: {code} ({why})", "End"])

    def install_at_once(self, behaviours: dict[str, str]) -> ProgramRun:
        """The installation road: every package already lies in mavikfiles."""
        folder = self.session.program_folder()
        self.session.place_standins(folder, behaviours)
        return self.session.start_program(folder, through_driver=True)

    def test_a_cancelled_download_ends_with_the_cancel_code(self):
        self.serve_queue({DOTNET: CANCELLED_RATE})
        run, window = self.open_window(through_driver=True)
        dotnet = local_path(run.folder, DOTNET)
        self.click_button()
        self.wait_progress(dotnet)
        self.click_button(CANCEL, CANCEL_HOVER)
        self.driver.press(self.wait_box(CANCEL_QUESTION), IDYES)
        self.wait_status(cancelled_line(dotnet))

        self.driver.close(window)
        self.assert_ended_with(run, CANCELLED, "the user cancelled")
        self.assertEqual(self.session.standins_started(), [])

    def test_a_failed_download_ends_with_its_code_once_the_window_is_closed(self):
        self.serve_queue()
        self.server.serve(PDF_PRINTER, error_page(404, "Not Found"))
        run, window = self.open_window(through_driver=True)
        self.click_button()
        self.wait_run_over(failed_line(local_path(run.folder, PDF_PRINTER), "HTTP 404"))

        self.driver.close(window)
        self.assert_ended_with(run, DOWNLOAD_FAILED, "a download failed")
        self.assertEqual(self.session.standins_started(), [])

    def test_a_package_that_ends_with_1603_gives_the_failure_code_and_the_packages_after_it_still_run(self):
        run = self.install_at_once({DOTNET: f"{SHOWN} exit=1603", MAIN_APP: f"{SHOWN} marker=1",
                                    PDF_PRINTER: SHOWN})
        self.assert_ended_with(run, PACKAGE_FAILED, "a package ended with a failure code")
        self.assertEqual(self.session.standins_started(), INSTALL_ORDER)

    def test_a_package_that_asks_for_a_restart_gives_3010_when_the_rest_went_well(self):
        run = self.install_at_once({DOTNET: SHOWN, MAIN_APP: f"{SHOWN} marker=1 exit=3010", PDF_PRINTER: SHOWN})
        self.assert_ended_with(run, RESTART_REQUIRED, "a package asked for a restart")
        self.assertEqual(self.session.standins_started(), INSTALL_ORDER)


class ExitCodes32(ExitCodes, DownloadRoadCase):
    bits = 32


class ExitCodes64(ExitCodes, DownloadRoadCase):
    bits = 64


if __name__ == "__main__":
    unittest.main()
