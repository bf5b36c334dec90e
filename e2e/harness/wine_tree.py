"""A private copy of the installed Wine tree whose 32-bit loader runs under qemu-i386, for kernels
that refuse 32-bit Linux programs.

Wine finds its 32-bit partner loader as `wine` beside its own loader, and starts every child from
that folder plus the name in its argv[0]. In this tree, that `wine` is a wrapper that starts the
real i386 loader under qemu-i386 with argv[0] kept (`-0`), so every 32-bit process of a prefix,
children included, goes through qemu, while the 64-bit loader and wineserver run natively. The
system's own loaders stay as they are."""

from __future__ import annotations

import errno
import fcntl
import os
import shlex
import shutil
import subprocess
from dataclasses import dataclass
from pathlib import Path

QEMU_I386 = Path("/usr/bin/qemu-i386")
# The installed Wine: its loaders, its Unix and PE libraries of both bitnesses (the zlib1.dll
# copies that libwine's install script makes included) and its data. The loaders find the rest
# relative to their own folder, so the tree keeps these paths.
WINE_FOLDERS = ("usr/lib/wine", "usr/lib/x86_64-linux-gnu/wine", "usr/lib/i386-linux-gnu/wine", "usr/share/wine")
WINE_PACKAGES = ("wine", "wine64", "wine32:i386", "libwine:amd64", "libwine:i386")
LOADER_FOLDER = Path("usr/lib/wine")
REAL_I386_LOADER = "wine.i386"


class WineTreeError(RuntimeError):
    """The private Wine tree could not be made."""


@dataclass(frozen=True)
class WineTree:
    """The loaders and server of a private Wine tree."""

    root: Path

    @property
    def loader32(self) -> Path:
        """The wrapper that runs the i386 loader under qemu-i386."""
        return self.root / LOADER_FOLDER / "wine"

    @property
    def loader64(self) -> Path:
        return self.root / LOADER_FOLDER / "wine64"

    @property
    def wineserver(self) -> Path:
        return self.root / LOADER_FOLDER / "wineserver64"


def installed_wine_version() -> str:
    """The versions of Wine's packages; the tree is made again when they change."""
    result = subprocess.run(["dpkg-query", "-W", "-f", "${Package}:${Architecture} ${Version}\n", *WINE_PACKAGES],
                            capture_output=True, text=True, timeout=30)
    if result.returncode != 0:
        raise WineTreeError(f"Wine's packages are not all installed ({', '.join(WINE_PACKAGES)}): "
                            f"{result.stderr.strip()}; run scripts/install-deps.sh")
    return result.stdout


def wine_tree(folder: Path) -> WineTree:
    """The tree in folder, made when it is missing or older than the installed Wine: hard links
    to the installed files where the file system allows, so it takes about a second."""
    tree = WineTree(folder)
    stamp = folder.with_name(folder.name + ".version")
    version = installed_wine_version()
    folder.parent.mkdir(parents=True, exist_ok=True)
    with open(folder.with_name(folder.name + ".lock"), "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if stamp.is_file() and stamp.read_text() == version and tree.loader32.is_file():
            return tree
        stamp.unlink(missing_ok=True)
        shutil.rmtree(folder, ignore_errors=True)
        for part in WINE_FOLDERS:
            shutil.copytree(Path("/") / part, folder / part, symlinks=True, copy_function=_link_or_copy)
        _put_wrapper(tree)
        stamp.write_text(version)
    return tree


def _put_wrapper(tree: WineTree) -> None:
    real = tree.loader32.with_name(REAL_I386_LOADER)
    tree.loader32.rename(real)
    wrapper = shlex.join([str(QEMU_I386), "-0", str(tree.loader32), str(real)])
    tree.loader32.write_text(f'#!/bin/sh\nexec {wrapper} "$@"\n')
    tree.loader32.chmod(0o755)


def _link_or_copy(source: str, target: str) -> None:
    try:
        os.link(source, target)
    except OSError as error:
        if error.errno not in (errno.EXDEV, errno.EPERM):
            raise
        shutil.copy2(source, target)
