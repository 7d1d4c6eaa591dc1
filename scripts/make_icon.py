#!/usr/bin/env python3
"""Draws the program icon: a small printer glyph, 16 colours, at 16x16 and 32x32."""
import struct
import sys

# Standard 16-colour palette indices used below.
BLACK, DARKGRAY, LIGHTGRAY, WHITE, GREEN, BLUE = 0, 8, 7, 15, 10, 12
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
    (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


def printer(size):
    """Returns rows (top first) of palette indices, None for transparent."""
    s = size / 16.0
    px = [[None] * size for _ in range(size)]

    def box(x0, y0, x1, y1, fill, edge=BLACK):
        for y in range(int(y0 * s), int(y1 * s)):
            for x in range(int(x0 * s), int(x1 * s)):
                border = y in (int(y0 * s), int(y1 * s) - 1) or x in (int(x0 * s), int(x1 * s) - 1)
                px[y][x] = edge if border else fill

    box(4, 1, 12, 7, WHITE)            # paper
    box(1, 6, 15, 13, LIGHTGRAY)       # body
    box(4, 11, 12, 15, WHITE)          # output tray paper
    for x in range(int(12 * s), int(14 * s)):   # status light
        for y in range(int(8 * s), int(9 * s) + 1):
            px[y][x] = GREEN
    for x in range(int(5 * s), int(11 * s)):    # a line of print
        px[int(3 * s)][x] = BLUE
    return px


def bmp_image(size):
    rows = printer(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    xor_stride = ((size * 4 + 31) // 32) * 4
    and_stride = ((size + 31) // 32) * 4
    xor = b""
    andm = b""
    for row in reversed(rows):
        line = bytearray(xor_stride)
        mask = bytearray(and_stride)
        for x, c in enumerate(row):
            value = BLACK if c is None else c
            line[x // 2] |= value << (4 if x % 2 == 0 else 0)
            if c is None:
                mask[x // 8] |= 0x80 >> (x % 8)
        xor += bytes(line)
        andm += bytes(mask)
    return header + palette + xor + andm


def icon_file(sizes=(16, 32)):
    images = [bmp_image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as f:
        f.write(icon_file())
