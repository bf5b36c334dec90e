#!/usr/bin/env python3
"""Prints the version information of a PE image, one "name: value" line each: the fixed file and
product versions, then every string of the first string table.

Usage: exe-version.py IMAGE"""

from __future__ import annotations

import struct
import sys
from pathlib import Path

from pe_image import RESOURCE_DIRECTORY, PeImage

RT_VERSION = 16
VS_FFI_SIGNATURE = 0xFEEF04BD


def entry(image: PeImage, resources: int, directory: int, wanted: int | None = None) -> int:
    """What the entry numbered wanted, or the first entry, of a resource directory points at."""
    at = image.file_offset(resources + directory)
    named, numbered = struct.unpack_from("<12xHH", image.data, at)
    for index in range(named + numbered):
        name, target = struct.unpack_from("<II", image.data, at + 16 + 8 * index)
        if wanted is None or (not name & 0x80000000 and name == wanted):
            return target & 0x7FFFFFFF
    raise SystemExit("the image has no version information")


def version_resource(image: PeImage) -> bytes:
    resources, _ = image.directory(RESOURCE_DIRECTORY)
    if not resources:
        raise SystemExit("the image has no resources")
    language = entry(image, resources, entry(image, resources, entry(image, resources, 0, RT_VERSION)))
    rva, size = struct.unpack_from("<II", image.data, image.file_offset(resources + language))
    start = image.file_offset(rva)
    return image.data[start:start + size]


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
    print("\n".join(version_lines(version_resource(PeImage(Path(arguments[0]).read_bytes())))))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
