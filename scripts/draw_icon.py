#!/usr/bin/env python3
"""Draws the program icon (a blue shield with a white check mark) and writes it
as res/QEVZUN.ico: 16, 32 and 48 pixels, 32-bit colour with alpha.

Run it again only to change the picture; the .ico it writes is committed."""
import math
import os
import struct
import sys

BLUE = (0x1E, 0x6F, 0xD9)
DARK = (0x12, 0x45, 0x8C)
WHITE = (0xFF, 0xFF, 0xFF)


def inside_shield(x, y):
    """x, y in 0..1 (y downwards): a shield with a flat top and a pointed base."""
    if y < 0.08 or y > 0.95:
        return False
    if y < 0.55:
        return 0.12 <= x <= 0.88
    # the lower part narrows along two arcs towards the point at (0.5, 0.95)
    t = (y - 0.55) / 0.40
    half = 0.38 * math.sqrt(max(0.0, 1.0 - t * t))
    return abs(x - 0.5) <= half


def near_segment(px, py, ax, ay, bx, by, width):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    cx, cy = ax + t * dx, ay + t * dy
    return math.hypot(px - cx, py - cy) <= width


def on_check(x, y):
    w = 0.075
    return near_segment(x, y, 0.30, 0.48, 0.45, 0.64, w) or near_segment(x, y, 0.45, 0.64, 0.72, 0.32, w)


def pixel(x, y):
    """Colour and coverage at a point; four-by-four supersampling happens in render."""
    if not inside_shield(x, y):
        return None
    if on_check(x, y):
        return WHITE
    # a darker rim one twelfth wide
    rim = 1.0 / 12
    if not all(inside_shield(x + dx, y + dy) for dx, dy in ((rim, 0), (-rim, 0), (0, rim), (0, -rim))):
        return DARK
    return BLUE


def render(size):
    rows = []
    samples = 4
    for row in range(size):
        line = []
        for col in range(size):
            r = g = b = a = 0
            for sy in range(samples):
                for sx in range(samples):
                    x = (col + (sx + 0.5) / samples) / size
                    y = (row + (sy + 0.5) / samples) / size
                    c = pixel(x, y)
                    if c:
                        r += c[0]; g += c[1]; b += c[2]; a += 1
            n = samples * samples
            if a:
                line.append((r // a, g // a, b // a, 255 * a // n))
            else:
                line.append((0, 0, 0, 0))
        rows.append(line)
    return rows


def bitmap_entry(size):
    rows = render(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = bytearray()
    for line in reversed(rows):  # bottom-up
        for r, g, b, a in line:
            xor += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    andmask = bytearray()
    for line in reversed(rows):
        bits = bytearray(mask_stride)
        for i, (_, _, _, a) in enumerate(line):
            if a == 0:
                bits[i // 8] |= 0x80 >> (i % 8)
        andmask += bits
    return header + bytes(xor) + bytes(andmask)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..', 'res', 'QEVZUN.ico')
    sizes = (16, 32, 48)
    images = [bitmap_entry(s) for s in sizes]
    data = struct.pack('<HHH', 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, img in zip(sizes, images):
        data += struct.pack('<BBBBHHII', s, s, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    for img in images:
        data += img
    with open(out, 'wb') as f:
        f.write(data)


if __name__ == '__main__':
    main()
