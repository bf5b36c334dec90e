"""Screen captures: reading the driver's BMP files, reading and writing PNG files, standard library only."""

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

    @classmethod
    def read_png(cls, path: Path) -> Bitmap:
        """An 8-bit RGB PNG without interlacing, as the artwork script writes them."""
        data = Path(path).read_bytes()
        if data[:8] != b"\x89PNG\r\n\x1a\n":
            raise ValueError(f"{path} is not a PNG file")
        chunks, position = {}, 8
        while position < len(data):
            length, kind = struct.unpack_from(">I4s", data, position)
            chunks[kind] = chunks.get(kind, b"") + data[position + 8 : position + 8 + length]
            position += 12 + length
        width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", chunks[b"IHDR"])
        if (depth, colour, interlace) != (8, 2, 0):
            raise ValueError(f"{path}: only 8-bit RGB PNG files without interlacing are read")
        raw = zlib.decompress(chunks[b"IDAT"])
        stride = width * 3
        rows, previous = [], bytes(stride)
        for y in range(height):
            start = y * (stride + 1)
            row = _unfiltered(raw[start], bytearray(raw[start + 1 : start + 1 + stride]), previous)
            rows.append(bytes(row))
            previous = row
        return cls(width, height, tuple(rows))

    def pixel(self, x: int, y: int) -> Rgb:
        row = self.rows[y]
        return row[3 * x], row[3 * x + 1], row[3 * x + 2]

    def count(self, wanted: Callable[[Rgb], bool], box: tuple[int, int, int, int] | None = None) -> int:
        """Pixels inside box (left, top, right, bottom; the whole image by default) that are wanted."""
        left, top, right, bottom = box or (0, 0, self.width, self.height)
        return sum(1 for y in range(top, bottom) for x in range(left, right) if wanted(self.pixel(x, y)))

    def save_png(self, path: Path) -> None:
        write_png(path, self.width, self.height, self.rows)


def _unfiltered(kind: int, row: bytearray, above: bytes) -> bytearray:
    """Undoes one PNG filter of an RGB row (3 bytes a pixel)."""
    for i in range(len(row)):
        left = row[i - 3] if i >= 3 else 0
        up = above[i]
        upper_left = above[i - 3] if i >= 3 else 0
        if kind == 1:
            row[i] = (row[i] + left) & 0xFF
        elif kind == 2:
            row[i] = (row[i] + up) & 0xFF
        elif kind == 3:
            row[i] = (row[i] + (left + up) // 2) & 0xFF
        elif kind == 4:
            estimate = left + up - upper_left
            nearest = min((abs(estimate - left), 0, left), (abs(estimate - up), 1, up),
                          (abs(estimate - upper_left), 2, upper_left))[2]
            row[i] = (row[i] + nearest) & 0xFF
        elif kind != 0:
            raise ValueError(f"unknown PNG filter {kind}")
    return row


def write_png(path: Path, width: int, height: int, rows: tuple[bytes, ...] | list[bytes]) -> None:
    """Writes 8-bit RGB rows (top row first) as a PNG file."""

    def chunk(kind: bytes, payload: bytes) -> bytes:
        return struct.pack(">I", len(payload)) + kind + payload + struct.pack(">I", zlib.crc32(kind + payload))

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    image = zlib.compress(b"".join(b"\x00" + row for row in rows), 9)
    Path(path).write_bytes(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", image) + chunk(b"IEND", b""))
