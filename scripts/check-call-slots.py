#!/usr/bin/env python3
"""Checks a PE image from the loader's point of view: every pointer slot that its code calls or
jumps through (call/jmp *ADDRESS, on 64-bit *ADDRESS(%rip)) must be bound by the loader, that is
lie in the address run of an import descriptor, or already hold an address inside the image's code.
Any other slot is called as it lies on disk: a 0 there is a call to address 0 at the first use.

Usage: check-call-slots.py IMAGE OBJDUMP
Prints one line per bad slot and exits 1 when there is one; else prints what it checked."""

from __future__ import annotations

import re
import struct
import subprocess
import sys
from pathlib import Path

from pe_image import IMPORT_DIRECTORY, PeImage

# "call   *0x476594" (32-bit) or "call   *0x65652(%rip)        # 0x1400668b0" (64-bit; in an image
# with symbols "# 140008320 <__imp_CoInitializeEx>").
INDIRECT = re.compile(r"^\s*([0-9a-f]+):.*\t(?:rex\.W )?(call|jmp)\s+\*0x[0-9a-f]+"
                      r"(?:\(%rip\)\s+# (?:0x)?([0-9a-f]+))?(?: <[^>]*>)?$")
ABSOLUTE = re.compile(r"\*0x([0-9a-f]+)")


def in_code(image: PeImage, address: int) -> bool:
    section = image.section(address - image.base) if address >= image.base else None
    return bool(section and section.executable)


def loader_bound(image: PeImage) -> set[int]:
    """The slots of every import descriptor's address run, up to its closing 0."""
    bound: set[int] = set()
    table, _ = image.directory(IMPORT_DIRECTORY)
    while table and image.section(table):
        names, _, _, dll_name, addresses = struct.unpack_from("<IIIII", image.data, image.file_offset(table))
        if not (names or dll_name or addresses):
            break
        slot = addresses
        while image.section(slot) and image.pointer_at(slot):
            bound.add(slot)
            slot += image.pointer_size
        table += 20
    return bound


def called_slots(image: Path, objdump: str, base: int) -> dict[int, int]:
    """Each slot called or jumped through, with the address of one instruction that does it."""
    listing = subprocess.run([objdump, "-d", "--no-show-raw-insn", str(image)], capture_output=True, text=True,
                             check=True).stdout
    slots: dict[int, int] = {}
    for line in listing.splitlines():
        match = INDIRECT.match(line)
        if not match:
            continue
        target = match.group(3) or ABSOLUTE.search(line).group(1)
        slots.setdefault(int(target, 16) - base, int(match.group(1), 16))
    return slots


def main(arguments: list[str]) -> int:
    if len(arguments) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    path, objdump = Path(arguments[0]), arguments[1]
    image = PeImage(path.read_bytes())
    bound = loader_bound(image)
    slots = called_slots(path, objdump, image.base)
    bad = [(slot, caller) for slot, caller in sorted(slots.items())
           if slot not in bound and not in_code(image, image.pointer_at(slot))]
    for slot, caller in bad:
        section = image.section(slot)
        print(f"slot {image.base + slot:#x} ({section.name if section else 'outside the image'}) holds "
              f"{image.pointer_at(slot):#x}, called at {caller:#x}: neither bound by the loader nor code")
    if bad:
        print(f"{len(bad)} of {len(slots)} called slots would be called as they lie on disk")
        return 1
    print(f"Call slots: {len(slots)}, {len(set(slots) & bound)} bound by the loader, the rest pointing at code")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
