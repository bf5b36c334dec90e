"""How this run starts Wine programs of each bitness, and the loader that starts each.

Debian's `wine` launcher script takes the 32-bit loader whenever wine32 is installed, even for a
64-bit program, and some kernels refuse 32-bit Linux programs altogether ("32-bit emulation
disabled"). So every Wine program here goes through the loader of its own bitness, never through
the launcher. 64-bit programs always run natively. 32-bit programs take one route per run:
"native" where the kernel starts the 32-bit loader, else "qemu" (that loader under qemu-i386, from
a private Wine tree), else "none", and then every 32-bit test fails with the reason.

    python3 -m e2e.harness.loaders              prints this run's routes and why
    python3 -m e2e.harness.loaders route        prints the name of the 32-bit route alone
    python3 -m e2e.harness.loaders record FILE  decides once, readies the route, keeps it in FILE
    python3 -m e2e.harness.loaders demo-bits    prints 32 where it can run, else 64 and why
"""

from __future__ import annotations

import functools
import json
import os
import re
import subprocess
import sys
from dataclasses import asdict, dataclass
from pathlib import Path

from .builds import scratch_root
from .wine_tree import QEMU_I386, WineTree, wine_tree

# Debian's wine32 and wine64 packages put their loaders here.
LOADERS = {32: Path("/usr/lib/wine/wine"), 64: Path("/usr/lib/wine/wine64")}
NATIVE, QEMU, NONE = "native", "qemu", "none"
# qemu 7.2 (bookworm's own) fails to map Wine's shared user data; 10 from backports works.
QEMU_MAJOR = 10

# Read by the harness alone, never by the program: "native" or "qemu" forces that route.
ROUTE_OVERRIDE = "MAVIK_E2E_32BIT"
# Behave as a kernel without 32-bit programs: the same as MAVIK_E2E_32BIT=qemu.
NO_32BIT_OVERRIDE = "MAVIK_E2E_NO_32BIT"
# Set by CTest for its e2e tests: the file where its first test keeps the run's decision, so that
# every test process of the run takes the same route.
DECISION_FILE = "MAVIK_E2E_ROUTE_FILE"


class LoaderError(RuntimeError):
    """A loader that must run is not installed, or the run's route cannot be known."""


@dataclass(frozen=True)
class Route:
    """How this run starts 32-bit programs ("native", "qemu" or "none") and why."""

    name: str
    why: str

    def describe(self) -> str:
        if self.name == NATIVE:
            return f"32-bit and 64-bit natively ({self.why})"
        if self.name == QEMU:
            return f"64-bit natively, 32-bit through qemu-i386 ({self.why})"
        return f"64-bit natively; 32-bit tests FAIL: {self.why}"


def decide() -> Route:
    """The route of 32-bit programs on this machine, after the overrides."""
    forced = _forced_route()
    if forced != QEMU:
        refusal = _native_refusal()
        if refusal is None:
            return Route(NATIVE, f"{ROUTE_OVERRIDE}={NATIVE} is set" if forced else "the kernel runs the 32-bit Wine loader")
        if forced == NATIVE:
            return Route(NONE, f"{ROUTE_OVERRIDE}={NATIVE} is set, but {refusal}")
    why = _forced_why() if forced else _native_refusal()
    refusal = _qemu_refusal()
    if refusal is None:
        return Route(QEMU, why)
    return Route(NONE, f"{why}, and qemu cannot stand in: {refusal}")


@functools.cache
def route() -> Route:
    """This run's route: the one CTest's first e2e test recorded, else decided in this process."""
    kept = os.environ.get(DECISION_FILE)
    if not kept:
        return decide()
    try:
        return Route(**json.loads(Path(kept).read_text()))
    except (OSError, ValueError, TypeError) as error:
        raise LoaderError(f"this run's route of 32-bit programs is not recorded in {kept} ({error}); "
                          "CTest's e2e.route test records it before the other e2e tests") from None


def _forced_route() -> str | None:
    asked = os.environ.get(ROUTE_OVERRIDE, "")
    if asked not in ("", NATIVE, QEMU):
        raise LoaderError(f"{ROUTE_OVERRIDE}={asked}: it takes '{NATIVE}' or '{QEMU}'")
    if os.environ.get(NO_32BIT_OVERRIDE):
        if asked == NATIVE:
            raise LoaderError(f"{NO_32BIT_OVERRIDE} and {ROUTE_OVERRIDE}={NATIVE} contradict each other")
        return QEMU
    return asked or None


def _forced_why() -> str:
    if os.environ.get(NO_32BIT_OVERRIDE):
        return f"{NO_32BIT_OVERRIDE} is set, so this run behaves as on a kernel without 32-bit programs"
    return f"{ROUTE_OVERRIDE}={QEMU} is set"


def _started(command: list[str]) -> subprocess.CompletedProcess | str:
    """The finished command, or why it could not be started or did not end."""
    try:
        return subprocess.run(command, capture_output=True, text=True, timeout=30)
    except OSError as error:
        return f"{command[0]} does not start ({error.strerror})"
    except subprocess.TimeoutExpired:
        return f"{command[0]} did not answer within 30 s"


@functools.cache
def _native_refusal() -> str | None:
    """Why the kernel does not start the 32-bit loader, or None when it does."""
    path = LOADERS[32]
    if not os.access(path, os.X_OK):
        return f"the 32-bit Wine loader {path} is not installed"
    started = _started([str(path), "--version"])
    if isinstance(started, str) or started.returncode != 0:
        return "this kernel does not run 32-bit programs"
    return None


def _qemu_refusal() -> str | None:
    """Why the 32-bit loader cannot run under qemu-i386, or None when it can."""
    if not os.access(QEMU_I386, os.X_OK):
        return f"{QEMU_I386} is not installed (scripts/install-deps.sh installs qemu-user {QEMU_MAJOR})"
    version = _started([str(QEMU_I386), "--version"])
    if isinstance(version, str):
        return version
    found = re.search(r"version (\d+)\.", version.stdout)
    if not found or int(found.group(1)) < QEMU_MAJOR:
        said = (version.stdout + version.stderr).strip().splitlines()
        return f"{QEMU_I386} is not version {QEMU_MAJOR} or later ({said[0] if said else 'it gives no version'})"
    if not os.access(LOADERS[32], os.R_OK):
        return f"the 32-bit Wine loader {LOADERS[32]} is not installed"
    started = _started([str(QEMU_I386), str(LOADERS[32]), "--version"])
    if isinstance(started, str):
        return started
    if started.returncode != 0:
        return f"the 32-bit Wine loader fails under qemu-i386: {started.stderr.strip()}"
    return None


def can_run(bits: int) -> bool:
    return bits == 64 or route().name != NONE


def refusal(bits: int) -> str | None:
    """Why programs of this bitness cannot run in this run, or None when they can."""
    return None if can_run(bits) else f"32-bit programs cannot run: {route().why}"


@functools.cache
def _tree() -> WineTree:
    return wine_tree(scratch_root() / "wine-tree")


def loader(bits: int) -> Path:
    """The loader that starts programs of this bitness in this run."""
    if route().name == QEMU:
        tree = _tree()
        return tree.loader32 if bits == 32 else tree.loader64
    path = LOADERS[bits]
    if not os.access(path, os.X_OK):
        raise LoaderError(f"{path} is missing: install wine{bits} (scripts/install-deps.sh)")
    return path


def route_environment() -> dict[str, str]:
    """What this run's route adds to a prefix's environment."""
    return {"WINESERVER": str(_tree().wineserver)} if route().name == QEMU else {}


def template_bits() -> int:
    """The loader that creates a template prefix serving both bitnesses: the 32-bit one where it
    runs natively; under qemu, the native 64-bit one, which sets up the 32-bit side as well."""
    return 32 if route().name == NATIVE else 64


def runnable_bits() -> list[int]:
    return [bits for bits in (32, 64) if can_run(bits)]


def record(file: Path) -> Route:
    """Decides for the whole run, readies the private Wine tree when qemu is taken, keeps the route."""
    decided = decide()
    file.parent.mkdir(parents=True, exist_ok=True)
    file.write_text(json.dumps(asdict(decided)))
    if decided.name == QEMU:
        _tree()
    return decided


def main(arguments: list[str]) -> int:
    if arguments == ["demo-bits"]:
        if not can_run(32):
            print(f"The demo runs the 64-bit build instead of the shipped 32-bit one: {route().why}.",
                  file=sys.stderr)
        print(32 if can_run(32) else 64)
        return 0
    if arguments == ["route"]:
        print(route().name)
        return 0
    if len(arguments) == 2 and arguments[0] == "record":
        print(f"E2E routes: {record(Path(arguments[1])).describe()}")
        return 0
    if arguments:
        print(__doc__, file=sys.stderr)
        return 2
    print(f"E2E routes: {route().describe()}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
