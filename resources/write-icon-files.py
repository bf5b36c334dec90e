#!/usr/bin/env python3
"""Writes the program icon and the hand pointer as Windows .ico/.cur files.

Usage: write-icon-files.py PROGRAM_ICO HAND_CUR ICON_RGBA...

Each ICON_RGBA is one square image of the icon as raw 8-bit RGBA, top row first; its size
follows from its length. ImageMagick 6 writes no hot spot into a .cur and no AND mask that
older Windows need beside the alpha, so both files are put together here.
"""
import math
import struct
import sys

# Black outline, white inside, transparent elsewhere; the fingertip is the hot spot.
HAND = [
    "     XX",
    "    X..X",
    "    X..X",
    "    X..X",
    "    X..X",
    "    X..X",
    "    X..X",
    "    X..XXX",
    "    X..X..XXX",
    "    X..X..X..XXX",
    "    X..X..X..X..X",
    " XX X..X..X..X..X",
    "X..XX..X..X..X..X",
    "X...............X",
    "X...............X",
    " X..............X",
    " X..............X",
    "  X............X",
    "  X............X",
    "   X..........X",
    "   X..........X",
    "   XXXXXXXXXXXX",
]
HAND_HOT_SPOT = (5, 0)
CURSOR_SIZE = 32

BITMAPINFOHEADER = struct.Struct("<IiiHHIIiiII")
DIRECTORY = struct.Struct("<HHH")
DIRECTORY_ENTRY = struct.Struct("<BBBBHHII")


def mask_row_size(width):
    return (width + 31) // 32 * 4


def pack_bits(bits):
    """One bottom-up 1-bpp row; bits holds 0/1 per pixel."""
    row = bytearray(mask_row_size(len(bits)))
    for x, bit in enumerate(bits):
        if bit:
            row[x // 8] |= 0x80 >> (x % 8)
    return bytes(row)


def dib(width, height, bit_count, palette, pixels, and_mask):
    """One image of an icon or cursor: header, palette, colour rows and AND mask, bottom-up."""
    header = BITMAPINFOHEADER.pack(BITMAPINFOHEADER.size, width, height * 2, 1, bit_count,
                                   0, len(pixels) + len(and_mask), 0, 0, 0, 0)
    return header + palette + pixels + and_mask


def icon_file(file_type, images):
    """An .ico (type 1) or .cur (type 2) of images, each (width, height, colour count,
    field_a, field_b, dib bytes); field_a/field_b are planes and bit count for an icon,
    the hot spot for a cursor."""
    offset = DIRECTORY.size + DIRECTORY_ENTRY.size * len(images)
    entries = b""
    for width, height, colours, field_a, field_b, image in images:
        # 256 pixels is written as 0; these sizes never reach it.
        entries += DIRECTORY_ENTRY.pack(width, height, colours, 0, field_a, field_b, len(image), offset)
        offset += len(image)
    return DIRECTORY.pack(0, file_type, len(images)) + entries + b"".join(image[-1] for image in images)


def icon_image(rgba_path):
    """A 32-bit image with alpha, and an AND mask that marks its mostly transparent pixels."""
    with open(rgba_path, "rb") as file:
        data = file.read()
    size = math.isqrt(len(data) // 4)
    if size * size * 4 != len(data):
        sys.exit(f"{rgba_path}: not a square RGBA image")
    pixels = b""
    mask = b""
    for y in reversed(range(size)):
        row = data[y * size * 4:(y + 1) * size * 4]
        for x in range(size):
            red, green, blue, alpha = row[x * 4:x * 4 + 4]
            pixels += bytes((blue, green, red, alpha))
        mask += pack_bits([row[x * 4 + 3] < 128 for x in range(size)])
    return size, size, 0, 1, 32, dib(size, size, 32, b"", pixels, mask)


def hand_cursor():
    rows = [line.ljust(CURSOR_SIZE) for line in HAND]
    rows += [" " * CURSOR_SIZE] * (CURSOR_SIZE - len(rows))
    bottom_up = rows[::-1]
    # AND 1 keeps the screen; AND 0 with colour 0 (black) or 1 (white) paints.
    colours = b"".join(pack_bits([char == "." for char in row]) for row in bottom_up)
    and_mask = b"".join(pack_bits([char == " " for char in row]) for row in bottom_up)
    palette = bytes([0, 0, 0, 0, 255, 255, 255, 0])
    image = dib(CURSOR_SIZE, CURSOR_SIZE, 1, palette, colours, and_mask)
    return icon_file(2, [(CURSOR_SIZE, CURSOR_SIZE, 2, *HAND_HOT_SPOT, image)])


def main():
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    program_ico, hand_cur, *icon_images = sys.argv[1:]
    with open(program_ico, "wb") as file:
        file.write(icon_file(1, [icon_image(path) for path in icon_images]))
    with open(hand_cur, "wb") as file:
        file.write(hand_cursor())


if __name__ == "__main__":
    main()
