#!/usr/bin/env python3
"""Draws the agent's icon, four blue direction buttons, and writes it as resources/kevra.ico.

The .ico is committed, so a build needs no Python; run this again only after changing the drawing:
    python3 resources/make-icon.py
Each size is rendered with 8 x 8 samples per pixel and stored as an uncompressed 32-bit DIB with
straight (not premultiplied) alpha, plus the 1-bit AND mask that older shells still read.
"""
import os
import struct

SIZES = (16, 32)
SAMPLES = 8  # per pixel and axis

# The drawing, in units of the icon's width: (centre x, centre y, pointing x, pointing y).
# y grows downwards, as on screen.
BUTTONS = (
    (0.50, 0.21, 0, -1),  # up
    (0.50, 0.79, 0, 1),   # down
    (0.21, 0.50, -1, 0),  # left
    (0.79, 0.50, 1, 0),   # right
)
RADIUS = 0.205     # a button's outer radius, outline included
OUTLINE = 0.045    # width of the dark rim
ARROW = 0.095      # distance from a button's centre to its arrow's tip
ARROW_FROM = 24    # smallest size that shows the arrows; below it they blur into a blob

RIM = (16, 42, 120)
BLUE_LIGHT = (110, 170, 255)
BLUE_DARK = (25, 80, 200)
ARROW_COLOUR = (245, 250, 255)


def inside_triangle(px, py, a, b, c):
    def side(p, q, r):
        return (p[0] - r[0]) * (q[1] - r[1]) - (q[0] - r[0]) * (p[1] - r[1])
    d1 = side((px, py), a, b)
    d2 = side((px, py), b, c)
    d3 = side((px, py), c, a)
    negative = d1 < 0 or d2 < 0 or d3 < 0
    positive = d1 > 0 or d2 > 0 or d3 > 0
    return not (negative and positive)


def arrow(cx, cy, dx, dy):
    tip = (cx + dx * ARROW, cy + dy * ARROW)
    back = (cx - dx * ARROW * 0.7, cy - dy * ARROW * 0.7)
    half = ARROW * 0.95  # half the base, across the pointing direction
    return tip, (back[0] - dy * half, back[1] + dx * half), (back[0] + dy * half, back[1] - dx * half)


def sample(x, y, arrows):
    """Colour (r, g, b) and coverage 0 or 1 at a point of the unit square."""
    for cx, cy, dx, dy in BUTTONS:
        distance = ((x - cx) ** 2 + (y - cy) ** 2) ** 0.5
        if distance > RADIUS:
            continue
        if distance > RADIUS - OUTLINE:
            return RIM, 1
        if arrows and inside_triangle(x, y, *arrow(cx, cy, dx, dy)):
            return ARROW_COLOUR, 1
        # Lit from the upper left: lighter towards that side of the button.
        t = min(1.0, max(0.0, 0.5 + ((x - cx) + (y - cy)) / (2 * RADIUS)))
        return tuple(round(l + (d - l) * t) for l, d in zip(BLUE_LIGHT, BLUE_DARK)), 1
    return (0, 0, 0), 0


def render(size):
    """Rows top to bottom of (r, g, b, a) pixels."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = covered = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    (cr, cg, cb), hit = sample((px + (sx + 0.5) / SAMPLES) / size,
                                               (py + (sy + 0.5) / SAMPLES) / size,
                                               size >= ARROW_FROM)
                    r, g, b, covered = r + cr * hit, g + cg * hit, b + cb * hit, covered + hit
            if covered:
                row.append((round(r / covered), round(g / covered), round(b / covered),
                            round(255 * covered / SAMPLES ** 2)))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def dib(size):
    """BITMAPINFOHEADER, BGRA pixels and AND mask, both bottom-up; the header counts both in its height."""
    rows = render(size)
    mask_stride = (size + 31) // 32 * 4
    pixels, mask = bytearray(), bytearray()
    for row in reversed(rows):
        line = bytearray(mask_stride)
        for px, (r, g, b, a) in enumerate(row):
            pixels += bytes((b, g, r, a))
            if a == 0:
                line[px // 8] |= 0x80 >> (px % 8)
        mask += line
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    return header + pixels + mask


def main():
    images = [dib(size) for size in SIZES]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(SIZES, images):
        out += struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    out += b''.join(images)
    with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), 'kevra.ico'), 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    main()
