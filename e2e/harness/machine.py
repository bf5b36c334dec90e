"""The state of the machine that the program probes and changes: .NET registry values, the
completion marker, printers and the program's own folder."""

from __future__ import annotations

import contextlib
import subprocess
from pathlib import Path
from typing import Iterator

from .builds import PROGRAM
from .wine import Prefix

DOTNET_KEY = r"HKLM\SOFTWARE\Microsoft\NET Framework Setup\NDP\v4\Full"
DOTNET_472_VERSION = "4.7.03062"
MARKER_KEY = r"HKCU\Software\VB and VBA Program Settings\QORmavikSetup\LastSetup"
MARKER_VALUE = "Installed"

# Blanks, Turkish letters and CJK characters: a path that only the wide APIs get right.
AWKWARD_FOLDER_NAME = "Kurulum Dosyaları 安装 ğüşİ"


class Machine:
    """Registry state of one prefix, seen the way a program of the given bitness sees it."""

    def __init__(self, prefix: Prefix, bits: int) -> None:
        self.prefix = prefix
        self.bits = bits

    def set_dotnet(self, install: int | str = 1, version: str = DOTNET_472_VERSION) -> None:
        """Install as a DWORD (int) or a string, as the .NET installer would leave them."""
        self.prefix.set_value(DOTNET_KEY, "Install", install, view=self.bits)
        self.prefix.set_value(DOTNET_KEY, "Version", version, view=self.bits)

    def remove_dotnet(self) -> None:
        for name in ("Install", "Version"):
            self.prefix.delete_value(DOTNET_KEY, name, view=self.bits)

    @property
    def marker(self) -> str | None:
        """The completion marker, None when it is missing."""
        return self.prefix.value(MARKER_KEY, MARKER_VALUE)

    @marker.setter
    def marker(self, value: str | None) -> None:
        if value is None:
            self.prefix.delete_value(MARKER_KEY, MARKER_VALUE)
        else:
            self.prefix.set_value(MARKER_KEY, MARKER_VALUE, value)


def program_folder(parent: Path, program: Path, name: str = AWKWARD_FOLDER_NAME) -> Path:
    """A fresh folder under parent holding a copy of the program, as a user would have put it."""
    folder = parent / name
    folder.mkdir(parents=True)
    (folder / PROGRAM).write_bytes(program.read_bytes())
    return folder


@contextlib.contextmanager
def read_only(folder: Path) -> Iterator[Path]:
    """The folder refuses new entries, also to root (chmod does not stop root, chattr +i does)."""
    result = subprocess.run(["chattr", "+i", str(folder)], capture_output=True, text=True, timeout=30)
    if result.returncode != 0:
        raise AssertionError(f"cannot make {folder} read-only with chattr +i: {result.stderr.strip()}")
    try:
        yield folder
    finally:
        subprocess.run(["chattr", "-i", str(folder)], check=True, timeout=30)
