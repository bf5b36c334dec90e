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
from dataclasses import dataclass
from pathlib import Path

PE32_PLUS = 0x20B
IMAGE_SCN_MEM_EXECUTE = 0x20000000
IMPORT_DIRECTORY = 1

# "call   *0x476594" (32-bit) or "call   *0x65652(%rip)        # 0x1400668b0" (64-bit; in an image
# with symbols "# 140008320 <__imp_CoInitializeEx>").
INDIRECT = re.compile(r"^\s*([0-9a-f]+):.*\t(?:rex\.W )?(call|jmp)\s+\*0x[0-9a-f]+"
                      r"(?:\(%rip\)\s+# (?:0x)?([0-9a-f]+))?(?: <[^>]*>)?$")
ABSOLUTE = re.compile(r"\*0x([0-9a-f]+)")


@dataclass(frozen=True)
class Section:
    name: str
    rva: int
    virtual_size: int
    file_offset: int
    file_size: int
    flags: int

    def holds(self, rva: int) -> bool:
        return self.rva <= rva < self.rva + max(self.virtual_size, self.file_size)


class Image:
    def __init__(self, data: bytes) -> None:
        self.data = data
        header = struct.unpack_from("<I", data, 0x3C)[0]
        if data[:2] != b"MZ" or data[header:header + 4] != b"PE\0\0":
            raise SystemExit("not a PE image")
        count, optional_size = struct.unpack_from("<H12xH", data, header + 6)
        optional = header + 24
        self.wide = struct.unpack_from("<H", data, optional)[0] == PE32_PLUS
        self.pointer = 8 if self.wide else 4
        self.base = struct.unpack_from("<Q" if self.wide else "<I", data, optional + (24 if self.wide else 28))[0]
        self.directories = optional + (112 if self.wide else 96)
        self.sections = []
        for index in range(count):
            entry = optional + optional_size + 40 * index
            name = data[entry:entry + 8].rstrip(b"\0").decode(errors="replace")
            virtual_size, rva, file_size, file_offset = struct.unpack_from("<IIII", data, entry + 8)
            flags = struct.unpack_from("<I", data, entry + 36)[0]
            self.sections.append(Section(name, rva, virtual_size, file_offset, file_size, flags))

    def section(self, rva: int) -> Section | None:
        return next((section for section in self.sections if section.holds(rva)), None)

    def pointer_at(self, rva: int) -> int:
        """The pointer the slot holds on disk; 0 for a slot beyond the section's file data (.bss)."""
        section = self.section(rva)
        if section is None or rva + self.pointer > section.rva + section.file_size:
            return 0
        offset = section.file_offset + rva - section.rva
        return struct.unpack_from("<Q" if self.wide else "<I", self.data, offset)[0]

    def in_code(self, address: int) -> bool:
        section = self.section(address - self.base) if address >= self.base else None
        return bool(section and section.flags & IMAGE_SCN_MEM_EXECUTE)

    def loader_bound(self) -> set[int]:
        """The slots of every import descriptor's address run, up to its closing 0."""
        bound: set[int] = set()
        table = struct.unpack_from("<I", self.data, self.directories + 8 * IMPORT_DIRECTORY)[0]
        while table and self.section(table):
            section = self.section(table)
            offset = section.file_offset + table - section.rva
            names, _, _, dll_name, addresses = struct.unpack_from("<IIIII", self.data, offset)
            if not (names or dll_name or addresses):
                break
            slot = addresses
            while self.section(slot) and self.pointer_at(slot):
                bound.add(slot)
                slot += self.pointer
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
    image = Image(path.read_bytes())
    bound = image.loader_bound()
    slots = called_slots(path, objdump, image.base)
    bad = [(slot, caller) for slot, caller in sorted(slots.items())
           if slot not in bound and not image.in_code(image.pointer_at(slot))]
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
