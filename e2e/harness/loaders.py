"""Which bitnesses this machine can run under Wine, and the loader that starts each.

Debian's `wine` launcher script takes the 32-bit loader whenever wine32 is installed, even for a
64-bit program, and some kernels refuse 32-bit Linux programs altogether ("32-bit emulation
disabled"). So every Wine program here goes through the loader of its own bitness, never through
the launcher, and 32-bit runs only where its loader starts.

    python3 -m e2e.harness.loaders            prints what this machine runs and why
    python3 -m e2e.harness.loaders demo-bits  prints 32 where it can run, else 64 and why
"""

from __future__ import annotations

import functools
import os
import subprocess
import sys
from pathlib import Path

# Debian's wine32 and wine64 packages put their loaders here.
LOADERS = {32: Path("/usr/lib/wine/wine"), 64: Path("/usr/lib/wine/wine64")}

# Read by the tests alone: a machine that can run 32-bit programs behaves as one that cannot.
NO_32BIT_OVERRIDE = "MAVIK_E2E_NO_32BIT"

STATICALLY_CHECKED = "the 32-bit exe was built and checked statically"


class LoaderError(RuntimeError):
    """The Wine loader of a bitness that must run is not installed."""


def loader(bits: int) -> Path:
    path = LOADERS[bits]
    if not os.access(path, os.X_OK):
        raise LoaderError(f"{path} is missing: install wine{bits} (scripts/install-deps.sh)")
    return path


@functools.cache
def _32bit_refusal() -> str | None:
    """Why 32-bit programs cannot run here, or None when they can."""
    if os.environ.get(NO_32BIT_OVERRIDE):
        return f"{NO_32BIT_OVERRIDE} is set, so this run behaves as on a kernel without 32-bit programs"
    path = LOADERS[32]
    if not os.access(path, os.X_OK):
        return f"the 32-bit Wine loader {path} is not installed"
    try:
        started = subprocess.run([str(path), "--version"], capture_output=True, timeout=30)
    except OSError:
        return "this kernel does not run 32-bit programs"
    except subprocess.TimeoutExpired:
        return "the 32-bit Wine loader did not answer within 30 s"
    if started.returncode != 0:
        return "this kernel does not run 32-bit programs"
    return None


def can_run(bits: int) -> bool:
    return bits == 64 or _32bit_refusal() is None


def skip_reason(bits: int) -> str:
    """The one line that a skipped test of this bitness gives."""
    return f"{_32bit_refusal()}; {STATICALLY_CHECKED}"


def runnable_bits() -> list[int]:
    return [bits for bits in (32, 64) if can_run(bits)]


def main(arguments: list[str]) -> int:
    if arguments == ["demo-bits"]:
        if not can_run(32):
            print(f"The demo runs the 64-bit build instead of the shipped 32-bit one: {_32bit_refusal()}.",
                  file=sys.stderr)
        print(32 if can_run(32) else 64)
        return 0
    if arguments:
        print(__doc__, file=sys.stderr)
        return 2
    print("E2E bitnesses: " + ", ".join(f"{bits}-bit" for bits in runnable_bits())
          + ("" if can_run(32) else f"; 32-bit skipped: {skip_reason(32)}"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
