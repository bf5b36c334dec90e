"""A process of a run that dies of an exception fails its test at once, naming the exception and its
address, and leaves nothing on the display: Wine's crash debugger is off in every prefix."""

import time
import unittest

from e2e.harness.builds import PROGRAM
from e2e.harness.case import WineTestCase
from e2e.harness.session import MAIN_APP, PDF_PRINTER

# Wine's line for a fault; under qemu every memory fault reads as an illegal instruction.
FAULT = r"Unhandled (page fault on write access to 0+|illegal instruction) at address [0-9A-F]{8,16} \(thread "
# A crashing process ends within a second or two under Wine; the waits below would take 30 s.
AT_ONCE = 10


class Crashes:
    def test_a_program_that_crashes_fails_the_wait_for_its_window_at_once(self):
        # The stand-in under the program's name: it crashes as soon as it has started.
        folder = self.session.program_folder(program=self.build.standin)
        self.session.configure_standins({PROGRAM: "crash=1"})
        self.session.start_program(folder)
        started = time.monotonic()
        with self.assertRaisesRegex(AssertionError, FAULT):
            self.driver.wait_window(title="QorMavikWebSetup", exe=PROGRAM, timeout=30)
        self.assertLess(time.monotonic() - started, AT_ONCE)

    def test_a_package_that_crashes_fails_the_test_and_leaves_no_window(self):
        folder = self.session.program_folder()
        self.machine.set_dotnet()
        self.session.place_standins(folder, {MAIN_APP: "marker=1 crash=1", PDF_PRINTER: ""})
        run = self.session.start_program(folder)
        with self.assertRaisesRegex(AssertionError, FAULT):
            run.wait(30)
        # The program went on with the next package, as after any package's failure.
        self.assertEqual(self.session.standins_started(), [MAIN_APP, PDF_PRINTER])
        self.assertEqual(self.driver.snapshot().describe(), "no visible window")


class Crashes32(Crashes, WineTestCase):
    bits = 32


class Crashes64(Crashes, WineTestCase):
    bits = 64


if __name__ == "__main__":
    unittest.main()
