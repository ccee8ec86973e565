#!/usr/bin/env python3
"""Converts an uncompressed 24- or 32-bit BMP (as the Windows tests write
their screenshots) into a PNG, with the standard library only.
    bmp2png.py in.bmp out.png [scale]"""
import struct
import sys
import zlib


def read_bmp(path):
    data = open(path, "rb").read()
    off = struct.unpack_from("<I", data, 10)[0]
    w, h, _, bpp = struct.unpack_from("<iiHH", data, 18)
    top_down = h < 0
    h = abs(h)
    step = bpp // 8
    stride = (w * step + 3) // 4 * 4
    rows = []
    for y in range(h):
        src = y if top_down else h - 1 - y
        base = off + src * stride
        row = bytearray()
        for x in range(w):
            b, g, r = data[base + x * step: base + x * step + 3]
            row += bytes((r, g, b))
        rows.append(bytes(row))
    return w, h, rows


def write_png(path, w, h, rows):
    raw = b"".join(b"\0" + r for r in rows)

    def chunk(tag, body):
        c = struct.pack(">I", len(body)) + tag + body
        return c + struct.pack(">I", zlib.crc32(tag + body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    open(path, "wb").write(png)


w, h, rows = read_bmp(sys.argv[1])
scale = int(sys.argv[3]) if len(sys.argv) > 3 else 1
if scale > 1:
    rows = [bytes(b for x in range(w) for _ in range(scale) for b in r[x * 3:x * 3 + 3]) for r in rows for _ in range(scale)]
    w, h = w * scale, h * scale
write_png(sys.argv[2], w, h, rows)
