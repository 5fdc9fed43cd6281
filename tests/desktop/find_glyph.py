#!/usr/bin/env python3
"""Prints "X Y" of the top-left corner where a 16 x 16 glyph (24-bit uncompressed BMP, its
bottom-left pixel the transparent background) is drawn in a screenshot (binary PPM), searching
the rectangle LEFT TOP WIDTH HEIGHT of the screen; exits 1 when it is not there."""
import struct
import sys


def read_bmp(path):
    data = open(path, "rb").read()
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    bits = struct.unpack_from("<H", data, 28)[0]
    if bits != 24 or height <= 0:
        sys.exit(f"{path}: not a bottom-up 24-bit bitmap")
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(height):  # bottom-up: the last row in the file is the top one
        row = data[offset + (height - 1 - y) * stride:]
        rows.append([(row[x * 3 + 2], row[x * 3 + 1], row[x * 3]) for x in range(width)])
    return width, height, rows


def read_ppm(path):
    data = open(path, "rb").read()
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    if fields[0] != b"P6" or int(fields[3]) != 255:
        sys.exit(f"{path}: not a binary 8-bit PPM")
    return int(fields[1]), int(fields[2]), data[pos + 1:]


def main():
    glyph, shot = sys.argv[1], sys.argv[2]
    left, top, width, height = (int(v) for v in sys.argv[3:7])
    gw, gh, rows = read_bmp(glyph)
    background = rows[gh - 1][0]
    opaque = [(x, y, rows[y][x]) for y in range(gh) for x in range(gw) if rows[y][x] != background]
    sw, sh, pixels = read_ppm(shot)

    def at(x, y):
        i = (y * sw + x) * 3
        return (pixels[i], pixels[i + 1], pixels[i + 2])

    fx, fy, first = opaque[0]
    for y in range(max(0, top), min(sh - gh, top + height)):
        for x in range(max(0, left), min(sw - gw, left + width)):
            if at(x + fx, y + fy) == first and all(at(x + px, y + py) == c for px, py, c in opaque):
                print(x, y)
                return 0
    return 1


if __name__ == "__main__":
    sys.exit(main())
