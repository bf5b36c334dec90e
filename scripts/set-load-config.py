#!/usr/bin/env python3
"""Points a linked PE image's load configuration entry at its _load_config_used structure.

The toolchain's linker leaves that data directory entry empty, so Windows would never read the
structure (and its DependentLoadFlags). The structure's address comes from the link map, since
the image itself is stripped. Usage: set-load-config.py IMAGE MAP
"""

from __future__ import annotations

import re
import struct
import sys
from pathlib import Path

LOAD_CONFIG_ENTRY = 10
PE32, PE32_PLUS = 0x10B, 0x20B


class Image:
    def __init__(self, data: bytearray) -> None:
        self.data = data
        self.header = struct.unpack_from("<I", data, 0x3C)[0]
        if data[:2] != b"MZ" or data[self.header:self.header + 4] != b"PE\0\0":
            raise SystemExit("not a PE image")
        sections, optional_size = struct.unpack_from("<H12xH", data, self.header + 6)
        self.optional = self.header + 24
        magic = struct.unpack_from("<H", data, self.optional)[0]
        if magic not in (PE32, PE32_PLUS):
            raise SystemExit(f"unknown optional header magic {magic:#x}")
        self.wide = magic == PE32_PLUS
        self.image_base = struct.unpack_from("<Q" if self.wide else "<I", data, self.optional + (24 if self.wide else 28))[0]
        self.directories = self.optional + (112 if self.wide else 96)
        table = self.optional + optional_size
        self.sections = [struct.unpack_from("<8xIIII", data, table + 40 * i) for i in range(sections)]

    def file_offset(self, rva: int) -> int:
        for virtual_size, virtual_address, raw_size, raw_pointer in self.sections:
            if virtual_address <= rva < virtual_address + min(virtual_size, raw_size):
                return raw_pointer + rva - virtual_address
        raise SystemExit(f"RVA {rva:#x} lies in no section's file data")

    def set_directory(self, index: int, rva: int, size: int) -> None:
        struct.pack_into("<II", self.data, self.directories + 8 * index, rva, size)


def symbol_address(link_map: str, name: str) -> int:
    """The address the map gives the symbol (a leading underscore is the 32-bit decoration)."""
    found = re.findall(rf"^\s+0x([0-9a-fA-F]+)\s+_?{re.escape(name)}\s*$", link_map, re.MULTILINE)
    if len(found) != 1:
        raise SystemExit(f"the link map names {name} {len(found)} times")
    return int(found[0], 16)


def main(image_path: str, map_path: str) -> None:
    path = Path(image_path)
    image = Image(bytearray(path.read_bytes()))
    rva = symbol_address(Path(map_path).read_text(), "_load_config_used") - image.image_base
    size = struct.unpack_from("<I", image.data, image.file_offset(rva))[0]
    image.set_directory(LOAD_CONFIG_ENTRY, rva, size)
    path.write_bytes(image.data)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        raise SystemExit(__doc__)
    main(sys.argv[1], sys.argv[2])
