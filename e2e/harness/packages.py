"""The packages the program knows, read from its one table (setup/Packages.h): the names the
tests use, the queue of a bare machine under Wine and its order of installation."""

from __future__ import annotations

import re
from dataclasses import dataclass
from pathlib import Path

TABLE = Path(__file__).resolve().parents[2] / "setup" / "Packages.h"
ROW = re.compile(r'^\s*\{u"([^"]+)",\s*(\w+),\s*(\d+),\s*(true|false)\},', re.MULTILINE)

# What each planning probe of the table answers on a bare machine under Wine: no .NET, no PDF
# printer, and a 64-bit processor, also for the 32-bit program.
ON_A_BARE_MACHINE = {"DotNet472Missing": True, "PdfPrinterMissing": True, "On32BitProcessor": False,
                     "OnOtherProcessors": True}


@dataclass(frozen=True)
class Package:
    name: str
    planned_when: str
    install_order: int


PACKAGES = [Package(name, planned_when, int(order)) for name, planned_when, order, _ in ROW.findall(TABLE.read_text())]


def named_by(planned_when: str) -> str:
    return next(package.name for package in PACKAGES if package.planned_when == planned_when)


DOTNET = named_by("DotNet472Missing")
PDF_PRINTER = named_by("PdfPrinterMissing")
# Wine reports a 64-bit processor, also to a 32-bit program.
MAIN_APP = named_by("OnOtherProcessors")

# A bare machine's download queue, and the order its packages install in.
QUEUE = [package.name for package in PACKAGES if ON_A_BARE_MACHINE[package.planned_when]]
INSTALL_ORDER = [package.name for package in sorted((package for package in PACKAGES if package.name in QUEUE),
                                                    key=lambda package: package.install_order)]
