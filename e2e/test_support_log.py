"""The support log of the real program under Wine: what a download road run leaves in the program's
folder in ProgramData (and nothing in the user's temporary folder), the sample log of the help desks'
guide (docs/support.md) against a real one, an old full log moved aside, and a log that cannot be
written."""

from __future__ import annotations

import re
import unittest
from pathlib import Path

from e2e.harness.builds import PROGRAM, REPOSITORY
from e2e.harness.driver import IDNO
from e2e.harness.exit_codes import CANCELLED
from e2e.harness.machine import AWKWARD_FOLDER_NAME, program_folder
from e2e.harness.server import Package
from e2e.harness.session import DOTNET, PDF_PRINTER, STAGING_FOLDER, ProgramRun
from e2e.test_download_road import (CANCEL, CANCEL_HOVER, CANCEL_QUESTION, INSTALL_ORDER, QUEUE, WINDOW,
                                    DownloadRoadCase)

LOG_NAME = "MavikSetupWebCD.log"
STAMP = r"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} "
LIMIT = 1024 * 1024

SUPPORT_GUIDE = REPOSITORY / "docs" / "support.md"
# Where a user keeps the program: on Wine's drive C:, and as the program sees it.
DOWNLOADS = Path("drive_c/users/Public/Downloads")
SHOWN_FOLDER = "C:\\users\\Public\\Downloads\\" + AWKWARD_FOLDER_NAME
# The .NET file breaks off once, halfway; the printer's comes slowly enough to be asked to cancel.
DROP_RATE = 1024 * 1024
ETAG = '"standin-1"'
ASKED_RATE = 100 * 1024


def guide_sample_and_line_types() -> tuple[list[str], list[str]]:
    """The lines of the guide's sample log, and the leading words of each line type its table explains."""
    guide = SUPPORT_GUIDE.read_text(encoding="utf-8")
    sample = re.search(r"^### A sample log$.*?^```text\n(.*?)^```$", guide, re.MULTILINE | re.DOTALL)
    table = re.search(r"^### Every line of the log$(.*?)^#", guide, re.MULTILINE | re.DOTALL)
    if not sample or not table:
        raise AssertionError(f"{SUPPORT_GUIDE} has no sample log or no table of its lines")
    return sample[1].splitlines(), re.findall(r"^\| `([^`]+)` \|", table[1], re.MULTILINE)


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

    def run_road_a_help_desk_meets(self) -> ProgramRun:
        """The download road from the user's Downloads, with a transfer broken off and resumed, and
        a cancel question answered No."""
        self.serve_queue()
        self.server.serve(DOTNET, Package(self.standin, drop_after=len(self.standin) // 2, misbehaving_requests=1,
                                          bytes_per_second=DROP_RATE, etag=ETAG))
        self.server.serve(PDF_PRINTER, Package(self.standin, bytes_per_second=ASKED_RATE))
        folder = program_folder(self.session.prefix.path / DOWNLOADS, self.build.program, AWKWARD_FOLDER_NAME)
        run = self.session.start_program(folder)
        self.driver.wait_window(title=WINDOW, exe=PROGRAM, timeout=30)
        self.click_button()
        self.wait_progress(f"{SHOWN_FOLDER}\\mavikfiles\\{PDF_PRINTER}")
        self.click_button(CANCEL, CANCEL_HOVER)
        self.driver.press(self.wait_box(CANCEL_QUESTION), IDNO)
        self.assertEqual(self.finish_installation(run), [])
        self.assertEqual(run.wait(30), 0)
        self.assertEqual(self.session.standins_started(), INSTALL_ORDER)
        return run

    def test_a_download_road_run_is_logged_from_the_version_to_the_end(self):
        self.run_road_a_help_desk_meets()
        lines = self.log_lines()
        self.assertRegex(lines[0], rf"^MavikSetupWebCD 1\.0\.0\.0 on Windows \d+\.\d+\.\d+, {self.bits}-bit process, "
                                   r"64-bit machine$")
        self.assertIn("Probe: processor address width: \"64\"", lines)
        self.assertTrue(any(line.startswith("Plan: ") and line.endswith("; downloading first") for line in lines))
        size = len(self.standin)
        downloads = [line for line in lines if line.startswith("Download: ")]
        self.assertEqual(len(downloads), 3, downloads)
        resumed = re.fullmatch(rf"Download: https://\S+/{re.escape(DOTNET)} status 206, Content-Length \"(\d+)\", "
                               rf"received {size} bytes in \d+\.\d{{3}} s, attempts 2, resumed at byte (\d+): "
                               r"completed \(.+\)", downloads[0])
        self.assertIsNotNone(resumed, downloads[0])
        self.assertEqual(int(resumed[1]) + int(resumed[2]), size, "the second request asked for the rest")
        for line, name in zip(downloads[1:], QUEUE[1:]):
            self.assertRegex(line, rf"^Download: https://\S+/{re.escape(name)} status 200, Content-Length \"{size}\", "
                                   rf"received {size} bytes in \d+\.\d{{3}} s, attempts 1: completed \(")
        asked = lines.index(f"Message \"MavikWebSetup\" (style 36): {CANCEL_QUESTION}")
        self.assertEqual(lines[asked + 1], "Answer 7")
        starts = [line for line in lines if line.startswith(("Start: ", "Staged: "))]
        self.assertEqual(starts, [line for name in INSTALL_ORDER
                                  for line in (f"Start: \"{SHOWN_FOLDER}\\mavikfiles\\{name}\"",
                                               f"Staged: \"{STAGING_FOLDER}\\{name}\"")])
        exits = [line for line in lines if line.startswith("Exit code: ")]
        self.assertEqual(exits, [f"Exit code: 0 (\"{SHOWN_FOLDER}\\mavikfiles\\{name}\")" for name in INSTALL_ORDER])
        self.assertEqual(lines[-2:], ["Exit code of the setup: 0 (everything planned was installed)", "End"])
        self.assert_the_guide_sample_holds(lines)

    def assert_the_guide_sample_holds(self, lines: list[str]) -> None:
        """Each line of the guide's sample is of a type its table explains, and each of those types
        begins a line of this real log."""
        sample, line_types = guide_sample_and_line_types()
        self.assertTrue(sample and line_types, "the guide's sample and table are not empty")
        used = set()
        for line in sample:
            self.assertRegex(line, "^" + STAMP, "each sample line is stamped")
            text = line[len("2026-12-07 17:30:01.123 "):]
            explained = [line_type for line_type in line_types if text.startswith(line_type)]
            self.assertTrue(explained, f"the guide's table explains the sample line {text!r}")
            used.add(max(explained, key=len))
        for line_type in sorted(used):
            self.assertTrue(any(line.startswith(line_type) for line in lines),
                            f"the sample's line type {line_type!r} occurs in the real log:\n" + "\n".join(lines))

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
