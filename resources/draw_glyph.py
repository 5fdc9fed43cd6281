#!/usr/bin/env python3
"""Draws OrvikPaletteMenu.bmp, the add-in's 16 x 16 tool-button glyph: a small palette of
coloured component cells with a drop-down menu in front of it. Writes an uncompressed,
bottom-up, 24-bit BMP; the background fills the bottom-left pixel, which the IDE's image list
makes transparent."""
import struct
import sys

W = H = 16
BACKGROUND = (236, 233, 216)
px = [[BACKGROUND for _ in range(W)] for _ in range(H)]  # px[y][x], y from the top


def rect(x0, y0, x1, y1, colour):
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            px[y][x] = colour


def frame(x0, y0, x1, y1, colour):
    for x in range(x0, x1 + 1):
        px[y0][x] = px[y1][x] = colour
    for y in range(y0, y1 + 1):
        px[y][x0] = px[y][x1] = colour


# The palette: a framed 2 x 2 grid of component cells.
rect(1, 1, 9, 9, (200, 200, 200))
frame(1, 1, 9, 9, (64, 64, 64))
rect(2, 2, 4, 4, (220, 50, 47))
rect(6, 2, 8, 4, (60, 160, 60))
rect(2, 6, 4, 8, (40, 90, 200))
rect(6, 6, 8, 8, (240, 200, 40))

# The menu in front: a white list with a highlighted first entry and two more lines.
rect(6, 8, 14, 14, (255, 255, 255))
frame(6, 8, 14, 14, (90, 90, 90))
rect(7, 9, 13, 10, (49, 106, 197))
rect(8, 12, 12, 12, (96, 96, 96))
rect(8, 13, 11, 13, (160, 160, 160))

# The drop-down arrow under the palette.
for i, y in enumerate(range(11, 14)):
    rect(1 + i, y, 5 - i, y, (0, 0, 0))

assert px[15][0] == BACKGROUND

stride = (W * 3 + 3) // 4 * 4
pixels = bytearray()
for y in range(H - 1, -1, -1):  # bottom-up
    row = bytearray()
    for x in range(W):
        r, g, b = px[y][x]
        row += bytes((b, g, r))
    row += bytes(stride - len(row))
    pixels += row
header = struct.pack('<2sIHHI', b'BM', 14 + 40 + len(pixels), 0, 0, 14 + 40)
info = struct.pack('<IiiHHIIiiII', 40, W, H, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
out = sys.argv[1] if len(sys.argv) > 1 else 'OrvikPaletteMenu.bmp'
with open(out, 'wb') as f:
    f.write(header + info + pixels)
