#!/usr/bin/env python3
"""Writes the small sample images of data/samples/ (run once; the results are committed)."""
import math, os, struct, zlib

out = os.path.join(os.path.dirname(__file__), "..", "data", "samples")
os.makedirs(out, exist_ok=True)

def scene(w, h):
    px = []
    for y in range(h):
        row = []
        for x in range(w):
            sky = y < h * 0.6
            r = int(80 + 120 * x / w) if sky else int(40 + 60 * math.sin(x / 9.0) ** 2)
            g = int(140 + 80 * y / h) if sky else int(120 + 50 * math.cos(y / 7.0) ** 2)
            b = int(230 - 60 * y / h) if sky else int(50 + 30 * ((x * y) % 7) / 7)
            if (x - w * 0.75) ** 2 + (y - h * 0.25) ** 2 < (h * 0.12) ** 2:
                r, g, b = 255, 230, 120
            row.append((min(r, 255), min(g, 255), min(b, 255)))
        px.append(row)
    return px

def png(path, w, h, rows, alpha):
    raw = b"".join(b"\0" + bytes(c for p in row for c in p) for row in rows)
    def chunk(t, d):
        return struct.pack(">I", len(d)) + t + d + struct.pack(">I", zlib.crc32(t + d) & 0xFFFFFFFF)
    ihdr = struct.pack(">IIBBBBB", w, h, 8, 6 if alpha else 2, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))

def bmp24(path, w, h, rows):
    stride = (w * 3 + 3) & ~3
    data = b"".join(bytes(c for p in row for c in (p[2], p[1], p[0])) + b"\0" * (stride - 3 * w) for row in reversed(rows))
    hdr = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 3780, 3780, 0, 0)
    open(path, "wb").write(hdr + info + data)

def bmp8(path, w, h):
    pal = b"".join(bytes((i, 255 - i, (i * 3) % 256, 0)) for i in range(256))
    stride = (w + 3) & ~3
    data = b"".join(bytes(((x // 8) * 16 + (y // 8)) % 256 for x in range(w)) + b"\0" * (stride - w) for y in reversed(range(h)))
    hdr = struct.pack("<2sIHHI", b"BM", 54 + 1024 + len(data), 0, 0, 54 + 1024)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 8, 0, len(data), 3780, 3780, 256, 0)
    open(path, "wb").write(hdr + info + pal + data)

def tga(path, w, h, rows):
    hdr = struct.pack("<BBBHHBHHHHBB", 0, 0, 2, 0, 0, 0, 0, 0, w, h, 24, 0x20)
    data = b"".join(bytes(c for p in row for c in (p[2], p[1], p[0])) for row in rows)
    open(path, "wb").write(hdr + data)

def ppm(path, w, h, rows):
    open(path, "wb").write(b"P6\n# Brevane sample\n%d %d\n255\n" % (w, h) + b"".join(bytes(c for p in row for c in p) for row in rows))

w, h = 320, 240
s = scene(w, h)
png(os.path.join(out, "landscape.png"), w, h, s, False)
bmp24(os.path.join(out, "landscape.bmp"), w, h, s)
tga(os.path.join(out, "landscape-small.tga"), 160, 120, [row[::2] for row in s[::2]])
ppm(os.path.join(out, "stripes.ppm"), 64, 48, [[((x * 4) % 256, (y * 5) % 256, 128) for x in range(64)] for y in range(48)])
bmp8(os.path.join(out, "palette.bmp"), 96, 64)
lw, lh = 200, 100
logo = []
for y in range(lh):
    row = []
    for x in range(lw):
        dx, dy = max(0, abs(x - lw / 2) - (lw / 2 - 20)), max(0, abs(y - lh / 2) - (lh / 2 - 20))
        d = math.hypot(dx, dy)
        a = 255 if d < 19 else (0 if d > 20 else int(255 * (20 - d)))
        ring = 30 < x < 170 and 35 < y < 65
        row.append((20, 90, 200, a) if not ring else (255, 255, 255, a))
    logo.append(row)
png(os.path.join(out, "logo.png"), lw, lh, logo, True)
