"""Screen captures: reading the driver's BMP files and writing PNG files, standard library only."""

from __future__ import annotations

import struct
import zlib
from dataclasses import dataclass
from pathlib import Path
from typing import Callable

Rgb = tuple[int, int, int]


@dataclass(frozen=True)
class Bitmap:
    width: int
    height: int
    rows: tuple[bytes, ...]  # top row first, 3 bytes (R, G, B) per pixel

    @classmethod
    def read(cls, path: Path) -> Bitmap:
        data = Path(path).read_bytes()
        if data[:2] != b"BM":
            raise ValueError(f"{path} is not a BMP file")
        offset = struct.unpack_from("<I", data, 10)[0]
        width, height, _, bits, compression = struct.unpack_from("<iiHHI", data, 18)
        if bits not in (24, 32) or compression != 0:
            raise ValueError(f"{path}: only uncompressed 24- and 32-bit BMP files are read")
        step = bits // 8
        stride = (width * step + 3) // 4 * 4
        rows = []
        for y in range(abs(height)):
            start = offset + y * stride
            row = bytearray()
            for x in range(width):
                b, g, r = data[start + x * step : start + x * step + 3]
                row += bytes((r, g, b))
            rows.append(bytes(row))
        if height > 0:  # stored bottom-up
            rows.reverse()
        return cls(width, abs(height), tuple(rows))

    def pixel(self, x: int, y: int) -> Rgb:
        row = self.rows[y]
        return row[3 * x], row[3 * x + 1], row[3 * x + 2]

    def count(self, wanted: Callable[[Rgb], bool], box: tuple[int, int, int, int] | None = None) -> int:
        """Pixels inside box (left, top, right, bottom; the whole image by default) that are wanted."""
        left, top, right, bottom = box or (0, 0, self.width, self.height)
        return sum(1 for y in range(top, bottom) for x in range(left, right) if wanted(self.pixel(x, y)))

    def save_png(self, path: Path) -> None:
        write_png(path, self.width, self.height, self.rows)


def write_png(path: Path, width: int, height: int, rows: tuple[bytes, ...] | list[bytes]) -> None:
    """Writes 8-bit RGB rows (top row first) as a PNG file."""

    def chunk(kind: bytes, payload: bytes) -> bytes:
        return struct.pack(">I", len(payload)) + kind + payload + struct.pack(">I", zlib.crc32(kind + payload))

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    image = zlib.compress(b"".join(b"\x00" + row for row in rows), 9)
    Path(path).write_bytes(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", image) + chunk(b"IEND", b""))
