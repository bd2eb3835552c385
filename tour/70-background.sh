#!/bin/bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Background library: makes a wallpaper, turns it into a cached background
# with the staged example program and library, and leaves both side by side.
set -euo pipefail
out=${TOUR_OUT:-${TMPDIR:-/tmp}/quellkit-tour}/background
rm -rf "$out"
mkdir -p "$out"

echo "library:  $(cd "$IMAGE" && ls usr/lib/libbriskovitrelbackground.so.* | tr '\n' ' ')"
echo "header:   $(cd "$IMAGE" && ls usr/include/briskovitrelbackground.h)"
echo "pkg-config: briskovitrelbackground $(PKG_CONFIG_PATH="$IMAGE/usr/lib/pkgconfig" \
	pkg-config --modversion briskovitrelbackground)"

# A 1080 x 1920 wallpaper: a sky-to-meadow gradient with a sun and stripes.
python3 - "$out/wallpaper.png" <<'PY'
import math, struct, sys, zlib
W, H = 1080, 1920
rows = []
for y in range(H):
    v = y / H
    row = bytearray(b"\x00")
    for x in range(W):
        u = x / W
        d = math.hypot(u - 0.7, v - 0.25)
        sun = max(0.0, 1.0 - d * 6.0)
        hill = 1.0 if v > 0.62 + 0.05 * math.sin(u * 9.0) else 0.0
        r = 70 + 120 * (1 - v) + 160 * sun - 40 * hill
        g = 110 + 80 * (1 - v) + 120 * sun + 60 * hill
        b = 200 - 60 * v + 40 * sun - 150 * hill + (25 if (x // 40) % 2 and hill else 0)
        row += bytes(max(0, min(255, int(c))) for c in (r, g, b))
    rows.append(bytes(row))
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xffffffff)
png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", W, H, 8, 2, 0, 0, 0))
       + chunk(b"IDAT", zlib.compress(b"".join(rows), 6)) + chunk(b"IEND", b""))
open(sys.argv[1], "wb").write(png)
PY
echo "wallpaper: $(file -b "$out/wallpaper.png")"

echo "\$ briskovitrel-makebackground $out/wallpaper.png $out"
result=$(briskovitrel-makebackground "$out/wallpaper.png" "$out")
echo "$result"
echo "background: $(file -b "$result")"
ls -l "$out"
