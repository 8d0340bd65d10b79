#!/usr/bin/env python3
"""Draws Rastelle.ico: 32x32 and 16x16 images, 16 colours, black on white.

A small pixel figure above two lines of binary literals and a row of three dots.
Run it from anywhere; it writes the icon next to itself.
"""
import pathlib
import struct

FONT = {  # 3x5 glyphs
    "%": ["X.X", "..X", ".X.", "X..", "X.X"],
    "0": ["XXX", "X.X", "X.X", "X.X", "XXX"],
    "1": [".X.", "XX.", ".X.", ".X.", "XXX"],
}

FIGURE_32 = [
    "..X.....X..",
    "...X...X...",
    "..XXXXXXX..",
    ".XX.XXX.XX.",
    "XXXXXXXXXXX",
    "X.XXXXXXX.X",
    "X.X.....X.X",
    "...XX.XX...",
]

FIGURE_16 = [
    ".X...X.",
    ".XXXXX.",
    "XX.X.XX",
    "XXXXXXX",
    ".X...X.",
]

# The 16 colours of the standard palette; black is index 0, white index 15.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, WHITE = 0, 15


def blank(size):
    return [[WHITE] * size for _ in range(size)]


def stamp(image, pattern, left, top):
    for y, row in enumerate(pattern):
        for x, cell in enumerate(row):
            if cell == "X":
                image[top + y][left + x] = BLACK


def text(image, literal, left, top):
    for i, char in enumerate(literal):
        stamp(image, FONT[char], left + 4 * i, top)


def large():
    image = blank(32)
    stamp(image, FIGURE_32, 10, 2)
    text(image, "%01101", 4, 13)
    text(image, "%10010", 4, 20)
    for left in (10, 15, 20):
        stamp(image, ["XX", "XX"], left, 27)
    return image


def small():
    image = blank(16)
    stamp(image, FIGURE_16, 4, 0)
    # Too small for glyphs: a 1 is a bar, a 0 a dot at its foot, after a short marker.
    for top, bits in ((6, "01101"), (10, "10010")):
        stamp(image, ["X", "X", "."], 2, top)
        for i, bit in enumerate(bits):
            column = ["X", "X", "X"] if bit == "1" else [".", ".", "X"]
            stamp(image, column, 5 + 2 * i, top)
    for left in (5, 8, 11):
        stamp(image, ["X"], left, 14)
    return image


def dib(image):
    size = len(image)
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    xor_stride = ((size * 4 + 31) // 32) * 4
    and_stride = ((size + 31) // 32) * 4
    pixels = bytearray()
    for row in reversed(image):  # bottom-up
        packed = bytearray((row[x] << 4) | row[x + 1] for x in range(0, size, 2))
        pixels += packed + bytes(xor_stride - len(packed))
    mask = bytes(and_stride * size)  # every pixel opaque
    return header + palette + bytes(pixels) + mask


def icon(images):
    data = [dib(image) for image in images]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for image, blob in zip(images, data):
        size = len(image)
        directory += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(blob), offset)
        offset += len(blob)
    return directory + b"".join(data)


if __name__ == "__main__":
    target = pathlib.Path(__file__).with_name("Rastelle.ico")
    target.write_bytes(icon([large(), small()]))
