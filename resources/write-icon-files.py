#!/usr/bin/env python3
"""Writes the program icon and the hand pointer as Windows .ico/.cur files.

Usage: write-icon-files.py LOGO_BMP PROGRAM_ICO HAND_CUR

ImageMagick 6 writes any .ico or .cur as a 32-bit icon with alpha and without hot spot,
while the window wants a 24-bit icon and a monochrome pointer, so both are put together here.
"""
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


def icon_file(file_type, width, height, bit_count, palette, pixels, and_mask, field_a, field_b):
    """One-image .ico (type 1) or .cur (type 2); field_a/field_b are planes and bit count
    for an icon, the hot spot for a cursor."""
    header = BITMAPINFOHEADER.pack(BITMAPINFOHEADER.size, width, height * 2, 1, bit_count,
                                   0, len(pixels) + len(and_mask), 0, 0, 0, 0)
    image = header + palette + pixels + and_mask
    colour_count = len(palette) // 4
    entry = DIRECTORY_ENTRY.pack(width, height, colour_count, 0, field_a, field_b,
                                 len(image), DIRECTORY.size + DIRECTORY_ENTRY.size)
    return DIRECTORY.pack(0, file_type, 1) + entry + image


def read_bmp24(path):
    with open(path, "rb") as file:
        data = file.read()
    if data[:2] != b"BM":
        sys.exit(f"{path}: not a BMP file")
    pixel_offset = struct.unpack_from("<I", data, 10)[0]
    (size, width, height, _, bit_count, compression, *_) = BITMAPINFOHEADER.unpack_from(data, 14)
    if size != BITMAPINFOHEADER.size or bit_count != 24 or compression != 0 or height <= 0:
        sys.exit(f"{path}: want a bottom-up, uncompressed 24-bit BMP with BITMAPINFOHEADER")
    row_size = (width * 3 + 3) // 4 * 4
    return width, height, data[pixel_offset:pixel_offset + row_size * height]


def program_icon(bmp_path):
    width, height, pixels = read_bmp24(bmp_path)
    opaque = pack_bits([0] * width) * height
    return icon_file(1, width, height, 24, b"", pixels, opaque, 1, 24)


def hand_cursor():
    rows = [line.ljust(CURSOR_SIZE) for line in HAND]
    rows += [" " * CURSOR_SIZE] * (CURSOR_SIZE - len(rows))
    bottom_up = rows[::-1]
    # AND 1 keeps the screen; AND 0 with colour 0 (black) or 1 (white) paints.
    colours = b"".join(pack_bits([char == "." for char in row]) for row in bottom_up)
    and_mask = b"".join(pack_bits([char == " " for char in row]) for row in bottom_up)
    palette = bytes([0, 0, 0, 0, 255, 255, 255, 0])
    return icon_file(2, CURSOR_SIZE, CURSOR_SIZE, 1, palette, colours, and_mask, *HAND_HOT_SPOT)


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    logo_bmp, program_ico, hand_cur = sys.argv[1:]
    with open(program_ico, "wb") as file:
        file.write(program_icon(logo_bmp))
    with open(hand_cur, "wb") as file:
        file.write(hand_cursor())


if __name__ == "__main__":
    main()
