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

from pe_image import LOAD_CONFIG_DIRECTORY, PeImage


def symbol_address(link_map: str, name: str) -> int:
    """The address the map gives the symbol (a leading underscore is the 32-bit decoration)."""
    found = re.findall(rf"^\s+0x([0-9a-fA-F]+)\s+_?{re.escape(name)}\s*$", link_map, re.MULTILINE)
    if len(found) != 1:
        raise SystemExit(f"the link map names {name} {len(found)} times")
    return int(found[0], 16)


def main(image_path: str, map_path: str) -> None:
    path = Path(image_path)
    image = PeImage(bytearray(path.read_bytes()))
    rva = symbol_address(Path(map_path).read_text(), "_load_config_used") - image.base
    size = struct.unpack_from("<I", image.data, image.file_offset(rva))[0]
    image.set_directory(LOAD_CONFIG_DIRECTORY, rva, size)
    path.write_bytes(image.data)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        raise SystemExit(__doc__)
    main(sys.argv[1], sys.argv[2])
