"""A transfer broken off in one run of the program goes on in the next: the .part and the record
beside it stay when the program is closed, and a new start asks for exactly the rest, or takes the
whole file anew once it has changed on the server."""

from __future__ import annotations

import unittest
from pathlib import Path

from e2e.harness.builds import PROGRAM
from e2e.harness.packages import INSTALL_ORDER, QUEUE
from e2e.harness.server import Package, Request
from e2e.harness.session import DOTNET, MAIN_APP, PDF_PRINTER
from e2e.test_download_recovery import DROP_RATE, ETAG
from e2e.test_download_road import WINDOW, DownloadRoadCase, failed_line, local_path

PART = DOTNET + ".part"
RECORD = PART + ".resume"


class ResumeRestart:
    def broken_off_run(self, body: bytes, etag: str) -> tuple[Path, bytes]:
        """A first run whose .NET transfer breaks off on every try, closed once it is over: the program
        folder and the .part it left."""
        self.serve_queue()
        # Each answer breaks off after an eighth of the file: the four tries bring about half of it.
        self.server.serve(DOTNET, Package(body, drop_after=len(body) // 8, bytes_per_second=DROP_RATE, etag=etag))
        run, window = self.open_window()
        self.click_button()
        self.wait_run_over(failed_line(local_path(run.folder, DOTNET), "bağlantı kesildi"))
        self.driver.close(window)
        run.wait(15)
        local = run.folder / "mavikfiles"
        part = (local / PART).read_bytes()
        self.assertTrue(len(body) // 8 < len(part) < len(body) and body.startswith(part), len(part))
        self.assert_local_files(run.folder, {PART: part, RECORD: (local / RECORD).read_bytes(),
                                             PDF_PRINTER: self.standin, MAIN_APP: self.standin})
        return run.folder, part

    def restarted_run(self, folder: Path, body: bytes, etag: str) -> Request:
        """The program started again in folder and clicked, with the .NET file served whole; returns
        the one request for that file."""
        self.server.serve(DOTNET, Package(body, etag=etag))
        requests_before = len(self.server.requests)
        run = self.session.start_program(folder)
        self.driver.wait_window(title=WINDOW, exe=PROGRAM, timeout=30)
        self.click_button()
        self.assertEqual(self.finish_installation(run), [])
        self.assertEqual(self.server.requested_names()[requests_before:], QUEUE)
        self.assertEqual(self.session.standins_started(), INSTALL_ORDER)
        return next(request for request in self.server.requests[requests_before:] if request.name == DOTNET)

    def test_a_new_start_asks_for_exactly_the_rest(self):
        folder, part = self.broken_off_run(self.standin, ETAG)
        request = self.restarted_run(folder, self.standin, ETAG)
        self.assertEqual((request.range, request.headers.get("If-Range"), request.status),
                         (f"bytes={len(part)}-", ETAG, 206))
        self.assert_local_files(folder, dict.fromkeys(QUEUE, self.standin))

    def test_a_file_changed_on_the_server_in_between_is_taken_anew(self):
        old, new = self.standin + bytes(4096), self.standin + b"\x01" * 4096
        folder, part = self.broken_off_run(old, '"old"')
        request = self.restarted_run(folder, new, '"new"')
        self.assertEqual((request.range, request.headers.get("If-Range"), request.status),
                         (f"bytes={len(part)}-", '"old"', 200))
        self.assert_local_files(folder, {DOTNET: new, PDF_PRINTER: self.standin, MAIN_APP: self.standin})


class ResumeRestart32(ResumeRestart, DownloadRoadCase):
    bits = 32


class ResumeRestart64(ResumeRestart, DownloadRoadCase):
    bits = 64


if __name__ == "__main__":
    unittest.main()
