"""The route that 32-bit programs take: a run that cannot start them fails their tests, and under
qemu no 32-bit process of a prefix escapes the emulator."""

from __future__ import annotations

import os
import time
import unittest
from pathlib import Path
from unittest import mock

from e2e.harness.builds import PROGRAM
from e2e.harness.case import WineTestCase
from e2e.harness.loaders import NONE, QEMU, Route, route
from e2e.harness.session import DOTNET, MAIN_APP, PDF_PRINTER

ELF_CLASS_32 = 1
# Each stand-in stays long enough to be seen among the prefix's processes; the main installer
# reports its completion, so that no question holds the program.
STANDIN = "window=1 wait_ms=1500"
BEHAVIOURS = {DOTNET: STANDIN, PDF_PRINTER: STANDIN, MAIN_APP: f"{STANDIN} marker=1"}
RUN_TIMEOUT = 60


class RouteNone(unittest.TestCase):
    def test_a_bitness_the_run_cannot_start_fails_with_the_reason_and_never_skips(self):
        class Unrunnable(WineTestCase):
            bits = 32

            def test_anything(self):
                raise AssertionError("ran although the run cannot start 32-bit programs")

        refused = Route(NONE, "this kernel does not run 32-bit programs, and qemu cannot stand in: no qemu")
        result = unittest.TestResult()
        with mock.patch("e2e.harness.loaders.route", return_value=refused):
            unittest.TestSuite([Unrunnable("test_anything")]).run(result)
        self.assertEqual(result.skipped, [])
        self.assertEqual(len(result.failures), 1)
        self.assertIn(refused.why, result.failures[0][1])


def prefix_processes(prefix: Path) -> dict[int, tuple[bytes, list[str]]]:
    """Every process of the prefix: its executable's ELF header and its command line."""
    wanted = f"WINEPREFIX={prefix}".encode()
    found = {}
    for entry in os.scandir("/proc"):
        if not entry.name.isdigit():
            continue
        try:
            if wanted not in Path(entry.path, "environ").read_bytes().split(b"\0"):
                continue
            with open(Path(entry.path, "exe"), "rb") as executable:
                header = executable.read(5)
            command = Path(entry.path, "cmdline").read_bytes().decode(errors="replace").split("\0")
        except OSError:  # the process ended meanwhile
            continue
        found[int(entry.name)] = (header, command)
    return found


class QemuRoute(WineTestCase):
    bits = 32

    def setUp(self):
        if route().name != QEMU:
            self.skipTest(f"32-bit programs do not run through qemu in this run: {route().describe()}")
        super().setUp()

    def test_the_program_and_the_packages_it_starts_run_under_qemu_and_nothing_32_bit_runs_natively(self):
        folder = self.session.program_folder()
        self.session.place_standins(folder, BEHAVIOURS)
        run = self.session.start_program(folder)
        under_qemu: set[str] = set()
        native_32_bit: set[str] = set()
        deadline = time.monotonic() + RUN_TIMEOUT
        while run.running and time.monotonic() < deadline:
            for header, command in prefix_processes(self.session.prefix.path).values():
                if header[4] == ELF_CLASS_32:
                    native_32_bit.add(" ".join(command))
                elif Path(command[0]).name == "qemu-i386":
                    # qemu-i386 -0 <wrapper> <real loader> <Windows program> ...
                    under_qemu.add(Path(command[4].replace("\\", "/")).name)
            time.sleep(0.05)
        self.assertEqual(run.wait(), 0)
        self.assertEqual(native_32_bit, set())
        self.assertLessEqual({PROGRAM, DOTNET, MAIN_APP, PDF_PRINTER, "mavik_driver.exe"}, under_qemu)


if __name__ == "__main__":
    unittest.main()
