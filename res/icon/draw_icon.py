#!/usr/bin/env python3
"""Draws the application icon (an ember over a flash chip) as PNG files.

Pure Python (zlib only), 4x4 supersampling per pixel. Run it from anywhere:
    python3 res/icon/draw_icon.py
It rewrites emberline-{16,32,48,64,256}.png next to itself.
"""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def rounded_rect(x, y, x0, y0, x1, y1, r):
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r and x0 <= x <= x1 and y0 <= y <= y1


def flame(x, y, cx, base, radius, height):
    """A teardrop: a circle whose top is drawn out into a leaning tip."""
    if (x - cx) ** 2 + (y - base) ** 2 <= radius ** 2:
        return True
    top = base - height
    if top <= y <= base:
        t = (base - y) / height  # 0 at the circle's centre, 1 at the tip
        half = radius * math.cos(t * math.pi / 2) ** 1.3
        lean = radius * 0.35 * math.sin(t * math.pi)
        return abs(x - (cx + lean)) <= half
    return False


def mix(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(4))


def sample(u, v):
    """Colour (RGBA) of the icon at u, v in 0..1."""
    if not rounded_rect(u, v, 0.02, 0.02, 0.98, 0.98, 0.18):
        return (0, 0, 0, 0)
    colour = mix((38, 52, 84, 255), (18, 24, 40, 255), v)
    # The flash chip: a body with four pins a side.
    body = (0.24, 0.50, 0.76, 0.90)
    if rounded_rect(u, v, *body, 0.04):
        colour = (58, 64, 76, 255)
        if rounded_rect(u, v, 0.30, 0.56, 0.70, 0.84, 0.03):
            colour = (78, 86, 100, 255)
    for i in range(4):
        py = 0.55 + i * 0.09
        if 0.16 <= u <= 0.24 and py - 0.025 <= v <= py + 0.025:
            colour = (170, 176, 186, 255)
        if 0.76 <= u <= 0.84 and py - 0.025 <= v <= py + 0.025:
            colour = (170, 176, 186, 255)
    # The ember: an outer flame, then a hotter core.
    if flame(u, v, 0.50, 0.56, 0.20, 0.48):
        colour = mix((255, 196, 60, 255), (232, 72, 28, 255), min(1.0, max(0.0, (v - 0.08) / 0.62)))
    if flame(u, v, 0.50, 0.60, 0.10, 0.30):
        colour = mix((255, 250, 210, 255), (255, 190, 70, 255), min(1.0, max(0.0, (v - 0.3) / 0.4)))
    return colour


def render(size, samples=4):
    rows = []
    for j in range(size):
        row = bytearray([0])  # PNG filter: none
        for i in range(size):
            acc = [0, 0, 0, 0]
            for sj in range(samples):
                for si in range(samples):
                    u = (i + (si + 0.5) / samples) / size
                    v = (j + (sj + 0.5) / samples) / size
                    r, g, b, a = sample(u, v)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            n = samples * samples
            alpha = acc[3] / n
            if acc[3]:
                row += bytes([int(acc[0] / acc[3]), int(acc[1] / acc[3]), int(acc[2] / acc[3]), int(alpha)])
            else:
                row += bytes([0, 0, 0, 0])
        rows.append(bytes(row))
    return b"".join(rows)


def png(size, pixels):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(pixels, 9)) + chunk(b"IEND", b"")


if __name__ == "__main__":
    for size in (16, 32, 48, 64, 256):
        with open(os.path.join(HERE, f"emberline-{size}.png"), "wb") as f:
            f.write(png(size, render(size)))
