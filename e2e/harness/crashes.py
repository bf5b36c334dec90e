"""Processes of a run that died of an exception. Every prefix has Wine's crash debugger off
(wine.CRASH_SETTINGS), so a crashing process writes one line to its standard error, such as
"wine: Unhandled page fault on execute access to 00000000 at address 00000000 (thread 0024),
starting debugger...", and ends at once with the exception's code. Under qemu every memory fault
reads "Unhandled illegal instruction". The programs of a session, and the packages they start,
which inherit it, write their standard error into one file that this class reads."""

from __future__ import annotations

import re
from pathlib import Path
from typing import BinaryIO

# Wine goes on with ", starting debugger...", which no longer happens.
UNHANDLED = re.compile(r"Unhandled .*? at address [0-9a-fA-F]+(?: \(thread [0-9a-fA-F]+\))?")


class CrashLog:
    def __init__(self, path: Path) -> None:
        self.path = path
        self.stream: BinaryIO = open(path, "ab")
        self._reported: set[str] = set()

    def close(self) -> None:
        self.stream.close()

    def crashes(self) -> list[str]:
        """Each unhandled exception with its address and thread."""
        text = self.path.read_text(encoding="utf-8", errors="replace")
        return UNHANDLED.findall(text)

    def check(self) -> None:
        """Fails with the exception and address of each crash not reported before."""
        crashes = [crash for crash in self.crashes() if crash not in self._reported]
        if crashes:
            self._reported.update(crashes)
            raise AssertionError("a process of this run died of an exception: " + "; ".join(crashes))
