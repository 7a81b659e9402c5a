#!/usr/bin/env python3
"""Draws icon 103: a 32 x 32, 16-colour picture of a waveform cut in two by a pair of
scissors-like blades. Writes the .ico file given on the command line."""
import struct
import sys

# The standard 16-colour palette, as (R, G, B).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
    (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DARK_BLUE, GREY, RED, BLUE, CYAN, WHITE = 0, 4, 8, 9, 12, 14, 15
SIZE = 32


def draw():
    """Rows top to bottom; None is transparent."""
    img = [[None] * SIZE for _ in range(SIZE)]
    # A rounded dark tile.
    for y in range(2, 30):
        for x in range(2, 30):
            corner = (x in (2, 29)) and (y in (2, 29))
            if not corner:
                img[y][x] = DARK_BLUE
    # A waveform: bars whose heights follow a made-up envelope.
    heights = [2, 4, 7, 5, 9, 11, 8, 6, 10, 12, 9, 5, 3, 6, 9, 11, 7, 4, 8, 10, 6, 3]
    for i, h in enumerate(heights):
        x = 5 + i
        if x == 16:
            continue  # the cut
        colour = CYAN if x < 16 else WHITE
        for y in range(16 - h, 16 + h):
            if 3 <= y <= 28:
                img[y][x] = colour
    # The cut: a red line through the middle, with a small notch at top and bottom.
    for y in range(3, 29):
        img[y][16] = RED
    for dx in (-1, 1):
        img[3][16 + dx] = RED
        img[28][16 + dx] = RED
    return img


def ico(img):
    # Colour bitmap, 4 bits per pixel, bottom-up rows of 16 bytes.
    xor = bytearray()
    for row in reversed(img):
        for x in range(0, SIZE, 2):
            hi = row[x] if row[x] is not None else 0
            lo = row[x + 1] if row[x + 1] is not None else 0
            xor.append((hi << 4) | lo)
    # Mask, 1 bit per pixel (1 = transparent), rows of 4 bytes.
    mask = bytearray()
    for row in reversed(img):
        for x in range(0, SIZE, 8):
            byte = 0
            for b in range(8):
                if row[x + b] is None:
                    byte |= 0x80 >> b
            mask.append(byte)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0, len(xor) + len(mask), 0, 0,
                         16, 0)
    palette = b"".join(struct.pack("<BBBB", r_b[2], r_b[1], r_b[0], 0) for r_b in PALETTE)
    image = header + palette + bytes(xor) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4,
                                                             len(image), 6 + 16)
    return directory + image


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as out:
        out.write(ico(draw()))
