"""The base of the end-to-end test cases: an X server per test class, a session per test."""

from __future__ import annotations

import hashlib
import unittest

from .builds import build, scratch_root
from .loaders import refusal
from .session import Session
from .wine import Xvfb


class WineTestCase(unittest.TestCase):
    """Each test gets self.session (prefix, server, driver, machine) on a fresh copy of the template."""

    bits = 32
    # The screen's DPI for the whole test; None keeps Wine's default, 96.
    dpi: int | None = None

    # Room a test needs below its run folder: the program folder with blanks and Unicode, then
    # mavikfiles and the longest package name. Windows starts no program whose path passes MAX_PATH.
    ROOM_BELOW_RUN_FOLDER = 120
    MAX_PATH = 260

    @classmethod
    def setUpClass(cls) -> None:
        cls.skip_reason = cls.reason_to_skip()
        # A bitness this run cannot start fails every test: the 32-bit exe is the one we ship.
        cls.refusal = refusal(cls.bits)
        if cls.skip_reason or cls.refusal:
            return
        cls.build.require()
        cls.xvfb = cls.enterClassContext(Xvfb())

    @classmethod
    def reason_to_skip(cls) -> str | None:
        cls.build = build(cls.bits)
        if cls.build is None:
            return f"no {cls.bits}-bit build is configured"
        return None

    def setUp(self) -> None:
        # Skipped here rather than for the whole class, so that each test reports its own line.
        if self.skip_reason:
            self.skipTest(self.skip_reason)
        if self.refusal:
            self.fail(self.refusal)
        self.session = self.enterContext(Session(self.build, self.run_folder(), self.xvfb.display, scratch_root(),
                                                 self.dpi))
        self.driver = self.session.driver
        self.server = self.session.server
        self.machine = self.session.machine

    def run_folder(self):
        """A short folder per test (class, the start of the method's name, a digest of the whole id),
        so that the program's paths below it stay within what Windows can start."""
        method = self.id().rsplit(".", 1)[-1]
        digest = hashlib.sha1(self.id().encode()).hexdigest()[:8]
        folder = scratch_root() / "runs" / f"{type(self).__name__}.{method[:32]}-{digest}"
        # As Wine shows it: Z: followed by the Linux path.
        length = len("Z:") + len(str(folder))
        if length + self.ROOM_BELOW_RUN_FOLDER >= self.MAX_PATH:
            raise AssertionError(f"the scratch folder {folder} is too deep for Windows paths below it; "
                                 "set MAVIK_E2E_SCRATCH to a shorter folder")
        return folder
