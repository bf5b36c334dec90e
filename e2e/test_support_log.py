"""The support log of the real program under Wine: what a download road run leaves in the program's
folder in ProgramData (and nothing in the user's temporary folder), an old full log moved aside, and
a log that cannot be written."""

from __future__ import annotations

import re
import unittest
from pathlib import Path

from e2e.harness.session import STAGING_FOLDER, ProgramRun
from e2e.harness.exit_codes import CANCELLED
from e2e.test_download_road import INSTALL_ORDER, QUEUE, DownloadRoadCase, local_path

LOG_NAME = "MavikSetupWebCD.log"
STAMP = r"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} "
LIMIT = 1024 * 1024


class SupportLog:
    def temp_folder(self) -> Path:
        """The prefix's folder behind the user's TEMP, where the log once was."""
        temp = self.session.prefix.value(r"HKCU\Environment", "TEMP")
        self.assertRegex(temp, r"^[Cc]:\\", "TEMP is on drive C")
        return self.session.prefix.path.joinpath("drive_c", *temp[3:].split("\\"))

    def log_lines(self) -> list[str]:
        """The log's lines without their stamps, after checking that each has one."""
        self.assertFalse((self.temp_folder() / LOG_NAME).exists(), "nothing is logged into the user's TEMP")
        text = (self.session.data_folder() / LOG_NAME).read_bytes().decode("utf-8")
        self.assertTrue(text.endswith("\r\n"), "the last line is complete")
        lines = text.split("\r\n")[:-1]
        for line in lines:
            self.assertRegex(line, "^" + STAMP)
        return [line[len("2026-12-07 17:30:01.123 "):] for line in lines]

    def run_download_road(self) -> ProgramRun:
        """A bare machine fetches the queue with a click and installs it."""
        self.serve_queue()
        run, _ = self.open_window()
        self.click_button()
        self.assertEqual(self.finish_installation(run), [])
        self.assertEqual(run.wait(30), 0)
        self.assertEqual(self.session.standins_started(), INSTALL_ORDER)
        return run

    def test_a_download_road_run_is_logged_from_the_version_to_the_end(self):
        run = self.run_download_road()
        lines = self.log_lines()
        self.assertRegex(lines[0], rf"^MavikSetupWebCD 1\.0\.0\.0 on Windows \d+\.\d+\.\d+, {self.bits}-bit process, "
                                   r"64-bit machine$")
        self.assertIn("Probe: processor address width: \"64\"", lines)
        self.assertTrue(any(line.startswith("Plan: ") and line.endswith("; downloading first") for line in lines))
        size = len(self.standin)
        downloads = [line for line in lines if line.startswith("Download: ")]
        self.assertEqual(len(downloads), 3, downloads)
        for line, name in zip(downloads, QUEUE):
            self.assertRegex(line, rf"^Download: https://\S+/{re.escape(name)} status 200, Content-Length \"{size}\", "
                                   rf"received {size} bytes in \d+\.\d{{3}} s, attempts 1: completed \(")
        starts = [line for line in lines if line.startswith(("Start: ", "Staged: "))]
        self.assertEqual(starts, [line for name in INSTALL_ORDER
                                  for line in (f"Start: \"{local_path(run.folder, name)}\"",
                                               f"Staged: \"{STAGING_FOLDER}\\{name}\"")])
        exits = [line for line in lines if line.startswith("Exit code: ")]
        self.assertEqual(exits, [f"Exit code: 0 (\"{local_path(run.folder, name)}\")" for name in INSTALL_ORDER])
        self.assertEqual(lines[-2:], ["Exit code of the setup: 0 (everything planned was installed)", "End"])

    def test_a_full_log_is_moved_aside_and_a_new_one_started(self):
        self.session.data_folder().mkdir(parents=True)
        old = self.session.data_folder() / LOG_NAME
        old.write_bytes(b"x" * (LIMIT - 10) + b"\r\n")
        run, window = self.open_window()
        self.driver.close(window)
        self.assertEqual(run.wait(30), CANCELLED)
        self.assertEqual((self.session.data_folder() / (LOG_NAME + ".1")).read_bytes(), b"x" * (LIMIT - 10) + b"\r\n")
        lines = self.log_lines()
        self.assertTrue(lines[0].startswith("MavikSetupWebCD "), lines[0])
        self.assertEqual(lines[-1], "End")

    def test_a_log_that_cannot_be_written_does_not_change_the_run(self):
        # A folder under the log's name: the file can neither be opened nor moved aside.
        (self.session.data_folder() / LOG_NAME).mkdir(parents=True)
        self.run_download_road()
        self.assertTrue((self.session.data_folder() / LOG_NAME).is_dir())
        self.assertFalse((self.session.data_folder() / (LOG_NAME + ".1")).exists())


class SupportLog32(SupportLog, DownloadRoadCase):
    bits = 32


class SupportLog64(SupportLog, DownloadRoadCase):
    bits = 64


if __name__ == "__main__":
    unittest.main()
