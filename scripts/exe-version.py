#!/usr/bin/env python3
"""Prints the version information of a PE image, one "name: value" line each: the fixed file and
product versions, then every string of the first string table.

Usage: exe-version.py IMAGE"""

from __future__ import annotations

import struct
import sys
from pathlib import Path

RT_VERSION = 16
RESOURCE_DIRECTORY = 2
VS_FFI_SIGNATURE = 0xFEEF04BD


class Image:
    def __init__(self, data: bytes) -> None:
        self.data = data
        header = struct.unpack_from("<I", data, 0x3C)[0]
        if data[:2] != b"MZ" or data[header:header + 4] != b"PE\0\0":
            raise SystemExit("not a PE image")
        count, optional_size = struct.unpack_from("<H12xH", data, header + 6)
        optional = header + 24
        wide = struct.unpack_from("<H", data, optional)[0] == 0x20B
        directories = optional + (112 if wide else 96)
        self.resources = struct.unpack_from("<I", data, directories + 8 * RESOURCE_DIRECTORY)[0]
        self.sections = []
        for index in range(count):
            entry = optional + optional_size + 40 * index
            virtual_size, rva, file_size, file_offset = struct.unpack_from("<IIII", data, entry + 8)
            self.sections.append((rva, max(virtual_size, file_size), file_offset))

    def offset(self, rva: int) -> int:
        for start, size, file_offset in self.sections:
            if start <= rva < start + size:
                return file_offset + rva - start
        raise SystemExit(f"address {rva:#x} lies in no section")

    def first_entry(self, directory: int, wanted: int | None = None) -> int:
        """The offset of the entry named wanted (by number), or of the first, below a resource directory."""
        at = self.offset(self.resources + directory)
        named, numbered = struct.unpack_from("<12xHH", self.data, at)
        for index in range(named + numbered):
            name, target = struct.unpack_from("<II", self.data, at + 16 + 8 * index)
            if wanted is None or (not name & 0x80000000 and name == wanted):
                return target
        raise SystemExit("the image has no version information")

    def version_resource(self) -> bytes:
        if not self.resources:
            raise SystemExit("the image has no resources")
        names = self.first_entry(0, RT_VERSION) & 0x7FFFFFFF
        languages = self.first_entry(names) & 0x7FFFFFFF
        data_entry = self.first_entry(languages)
        rva, size = struct.unpack_from("<II", self.data, self.offset(self.resources + data_entry))
        start = self.offset(rva)
        return self.data[start:start + size]


def blocks(data: bytes, start: int, end: int):
    """(key, value bytes, text value?, children start, block end) of each block in [start, end)."""
    while start + 6 <= end:
        length, value_length, is_text = struct.unpack_from("<HHH", data, start)
        if length == 0:
            return
        key_end = start + 6
        while data[key_end:key_end + 2] != b"\0\0":
            key_end += 2
        key = data[start + 6:key_end].decode("utf-16-le")
        value_start = (key_end + 2 + 3) & ~3
        value_size = value_length * 2 if is_text else value_length
        yield key, data[value_start:value_start + value_size], value_start + value_size, start + length
        start = (start + length + 3) & ~3


def version_lines(resource: bytes) -> list[str]:
    (root, fixed, children, end), = list(blocks(resource, 0, len(resource)))[:1]
    signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", fixed)
    if root != "VS_VERSION_INFO" or signature != VS_FFI_SIGNATURE:
        raise SystemExit("the version information is malformed")
    numbers = lambda ms, ls: f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"
    lines = [f"FILEVERSION: {numbers(file_ms, file_ls)}", f"PRODUCTVERSION: {numbers(product_ms, product_ls)}"]
    for key, _, table_start, table_end in blocks(resource, (children + 3) & ~3, end):
        if key != "StringFileInfo":
            continue
        _, _, strings_start, strings_end = next(blocks(resource, table_start, table_end))
        for name, value, _, _ in blocks(resource, strings_start, strings_end):
            lines.append(f"{name}: {value.decode('utf-16-le').rstrip(chr(0))}")
    return lines


def main(arguments: list[str]) -> int:
    if len(arguments) != 1:
        print(__doc__, file=sys.stderr)
        return 2
    print("\n".join(version_lines(Image(Path(arguments[0]).read_bytes()).version_resource())))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
