#!/usr/bin/env python3
"""Draws the 16 x 10 language flags of data/lang.ini and prints each as a "Flag=" line.

English: a red cross on white. Russian: white, blue and red bars.
Usage: tools/make-flags.py            (prints both)
       tools/make-flags.py --update   (rewrites the Flag lines of data/lang.ini in place)
"""
import base64
import pathlib
import struct
import sys
import zlib

W, H = 16, 10
WHITE, RED, BLUE = (255, 255, 255), (206, 17, 38), (0, 57, 166)


def english(x, y):
    return RED if y in (4, 5) or x in (7, 8) else WHITE


def russian(x, y):
    return (WHITE, WHITE, WHITE, BLUE, BLUE, BLUE, BLUE, RED, RED, RED)[y]


def png(pixel):
    raw = b"".join(b"\0" + b"".join(bytes(pixel(x, y)) for x in range(W)) for y in range(H))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", W, H, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


FLAGS = {"English": english, "Russian": russian}


def flag_line(name):
    return "Flag=" + base64.b64encode(png(FLAGS[name])).decode("ascii")


def update(path):
    lines = path.read_text(encoding="utf-8-sig").splitlines()
    section = None
    for i, line in enumerate(lines):
        s = line.strip()
        if s.startswith("[") and s.endswith("]"):
            section = s[1:-1].strip()
        elif section in FLAGS and s.lower().startswith("flag="):
            lines[i] = flag_line(section)
    path.write_text("\n".join(lines) + "\n", encoding="utf-8-sig")


if __name__ == "__main__":
    if "--update" in sys.argv:
        update(pathlib.Path(__file__).resolve().parent.parent / "data" / "lang.ini")
    else:
        for name in FLAGS:
            print(f"[{name}] {flag_line(name)}")
