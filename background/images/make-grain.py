#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
# Writes the grain texture that backgrounds are tiled with: 16 x 16 RGBA,
# 8 bits per channel, soft grey speckle whose smoothing wraps around the
# edges so that the tiles join without a seam.
#   make-grain.py OUTPUT.png
import random
import struct
import sys
import zlib

SIZE = 16


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def grain():
    rng = random.Random(20261210)
    raw = [[rng.random() for _ in range(SIZE)] for _ in range(SIZE)]
    pixels = []
    for y in range(SIZE):
        row = []
        for x in range(SIZE):
            # Neighbours are taken modulo the size: that makes the tile wrap.
            around = sum(raw[(y + dy) % SIZE][(x + dx) % SIZE]
                         for dy in (-1, 0, 1) for dx in (-1, 0, 1)) / 9.0
            level = 0.5 * raw[y][x] + 0.5 * around
            grey = int(round(64 + 160 * level))
            alpha = int(round(176 + 79 * raw[(y + 5) % SIZE][(x + 11) % SIZE]))
            row.append((grey, grey, grey, alpha))
        pixels.append(row)
    return pixels


def png(pixels):
    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)
    scanlines = b"".join(b"\x00" + bytes(c for px in row for c in px) for row in pixels)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(scanlines, 9)) + chunk(b"IEND", b""))


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as out:
        out.write(png(grain()))
