#!/usr/bin/env python3
"""Finds the category headers of a Widget Box in a screenshot (binary PPM) and compares them.

A category header is a row band drawn on a flat, non-white fill; the rows of the widgets under a
category have a white background. A pixel row counts as a header row when, along the span
LEFT..LEFT+WIDTH, it has no white pixel and is mostly light (the header's fill, not a frame).

  header_bands.py bands SHOT LEFT TOP WIDTH HEIGHT
      prints "Y0 Y1" for every header band (at least 12 rows high) in the rectangle
  header_bands.py same SHOT_A Y_A SHOT_B Y_B LEFT WIDTH HEIGHT
      exits 0 when the HEIGHT rows from Y_A in SHOT_A equal those from Y_B in SHOT_B along the
      span LEFT..LEFT+WIDTH, 1 otherwise; Y_B may be off by up to two rows (a band's first and
      last rows are its border, which the rows next to it can shade)
  header_bands.py expanded SHOT_A K SHOT_B LEFT TOP WIDTH HEIGHT
      exits 0 when the K-th header band (from 0) of the rectangle in SHOT_A is found in SHOT_B
      (the same rows, as "same" compares them) followed by the rows of its widgets: the next
      band (or the rectangle's end) at least 12 rows below it, and something other than the
      white background in the rows between; 1 otherwise
"""
import sys


def read_ppm(path):
    data = open(path, "rb").read()
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            while data[pos:pos + 1] not in (b"\n", b""):
                pos += 1
            continue
        start = pos
        while not data[pos:pos + 1].isspace():
            pos += 1
        fields.append(data[start:pos])
    if fields[0] != b"P6" or int(fields[3]) != 255:
        sys.exit(f"{path}: not a binary 8-bit PPM")
    return int(fields[1]), int(fields[2]), data[pos + 1:]


def pixel(image, x, y):
    width, _, pixels = image
    i = (y * width + x) * 3
    return pixels[i], pixels[i + 1], pixels[i + 2]


def header_row(image, left, width, y):
    light = 0
    for x in range(left, left + width):
        r, g, b = pixel(image, x, y)
        if r >= 250 and g >= 250 and b >= 250:
            return False
        if min(r, g, b) >= 170:
            light += 1
    return light * 4 >= width


def bands(image, left, top, width, height):
    found, start = [], None
    for y in range(top, top + height + 1):
        inside = y < top + height and header_row(image, left, width, y)
        if inside and start is None:
            start = y
        elif not inside and start is not None:
            if y - start >= 12:
                found.append((start, y - 1))
            start = None
    return found


def rows(image, y, left, width, height):
    return [[pixel(image, x, yy) for x in range(left, left + width)] for yy in range(y, y + height)]


def same_rows(a, ya, b, yb, left, width, height):
    want = rows(a, ya, left, width, height)
    return any(rows(b, yb + d, left, width, height) == want for d in range(-2, 3))


def expanded(a, k, b, left, top, width, height):
    ref = bands(a, left, top, width, height)
    if k >= len(ref):
        return False
    y0, y1 = ref[k]
    now = bands(b, left, top, width, height)
    for i, (n0, n1) in enumerate(now):
        if not same_rows(a, y0, b, n0, left, width, y1 - y0 + 1):
            continue
        below = now[i + 1][0] if i + 1 < len(now) else top + height
        if below - n1 < 12:
            return False
        return any(min(p) < 200 for row in rows(b, n1 + 1, left, width, min(24, below - n1 - 1))
                   for p in row)
    return False


def main(argv):
    if len(argv) == 7 and argv[1] == "bands":
        image = read_ppm(argv[2])
        left, top, width, height = map(int, argv[3:7])
        w, h, _ = image
        width = min(width, w - left)
        height = min(height, h - top)
        for y0, y1 in bands(image, left, top, width, height):
            print(y0, y1)
        return 0
    if len(argv) == 9 and argv[1] == "same":
        a, b = read_ppm(argv[2]), read_ppm(argv[4])
        ya, yb = int(argv[3]), int(argv[5])
        left, width, height = map(int, argv[6:9])
        return 0 if same_rows(a, ya, b, yb, left, width, height) else 1
    if len(argv) == 9 and argv[1] == "expanded":
        a, b = read_ppm(argv[2]), read_ppm(argv[4])
        k = int(argv[3])
        left, top, width, height = map(int, argv[5:9])
        w, h, _ = b
        width = min(width, w - left)
        height = min(height, h - top)
        return 0 if expanded(a, k, b, left, top, width, height) else 1
    sys.exit(__doc__)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
