"""Where the kernel runs no 32-bit programs, Debian's wine launcher fails for every program, since
it picks the 32-bit loader whenever wine32 is installed. 64-bit programs then start with the
64-bit loader itself, named by WINELOADER; a launcher of that name in front on PATH makes
everything that calls "wine" use it."""

from __future__ import annotations

import os
import subprocess
from pathlib import Path

LOADER_64 = Path("/usr/lib/wine/wine64")


def starts(launcher: str) -> bool:
    try:
        return subprocess.run([launcher, "--version"], capture_output=True, timeout=60).returncode == 0
    except OSError:
        return False


def use_64bit_loader_if_needed(scratch: Path) -> str:
    """Puts a "wine" that runs the 64-bit loader first on PATH when the launcher cannot start;
    says which loader runs the programs."""
    if starts("wine"):
        return "wine launcher"
    if not starts(str(LOADER_64)):
        raise RuntimeError(f"neither 'wine' nor {LOADER_64} starts: install wine, wine64 and wine32")
    folder = scratch / "loader"
    folder.mkdir(parents=True, exist_ok=True)
    launcher = folder / "wine"
    launcher.write_text(f'#!/bin/sh\nexec {LOADER_64} "$@"\n')
    launcher.chmod(0o755)
    os.environ["PATH"] = f"{folder}{os.pathsep}{os.environ.get('PATH', '')}"
    os.environ["WINELOADER"] = str(LOADER_64)
    return f"64-bit loader ({LOADER_64}; the wine launcher cannot start here)"
