"""The base of the end-to-end test cases: an X server per test class, a session per test."""

from __future__ import annotations

import re
import unittest

from .builds import build, scratch_root
from .session import Session
from .wine import Xvfb


class WineTestCase(unittest.TestCase):
    """Each test gets self.session (prefix, server, driver, machine) on a fresh copy of the template."""

    bits = 32

    @classmethod
    def setUpClass(cls) -> None:
        cls.build = build(cls.bits)
        if cls.build is None:
            raise unittest.SkipTest(f"no {cls.bits}-bit build is configured")
        cls.build.require()
        cls.xvfb = cls.enterClassContext(Xvfb())

    def setUp(self) -> None:
        name = re.sub(r"[^A-Za-z0-9_.-]", "_", self.id())
        self.session = self.enterContext(Session(self.build, scratch_root() / "runs" / name,
                                                 self.xvfb.display, scratch_root()))
        self.driver = self.session.driver
        self.server = self.session.server
        self.machine = self.session.machine
