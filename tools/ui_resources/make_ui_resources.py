#!/usr/bin/env python3
"""Draws the tray and About page pictures of Quillvane.dll: the program's
icon (resource 225, 32x32 and 16x16, 32-bit with alpha) and the About page's
banner (resource 604, a 24-bit bitmap).  Run from the repository root:
    python3 tools/ui_resources/make_ui_resources.py
writes src/res/quillvane.ico and src/res/about_banner.bmp."""
import math
import struct
import sys

OUT = sys.argv[1] if len(sys.argv) > 1 else "src/res"

# 5x7 letters for the banner's name.
FONT = {
    "Q": ["01110", "10001", "10001", "10001", "10101", "10010", "01101"],
    "U": ["10001", "10001", "10001", "10001", "10001", "10001", "01110"],
    "I": ["11111", "00100", "00100", "00100", "00100", "00100", "11111"],
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    "V": ["10001", "10001", "10001", "10001", "10001", "01010", "00100"],
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "N": ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    " ": ["00000"] * 7,
}


def icon_pixels(size):
    """RGBA rows, top first: a deep blue disc with a white quill across it."""
    px = []
    c = (size - 1) / 2.0
    r = size / 2.0 - 0.5
    for y in range(size):
        row = []
        for x in range(size):
            d = math.hypot(x - c, y - c)
            if d > r:
                row.append((0, 0, 0, 0))
                continue
            t = y / (size - 1)
            base = (int(30 + 40 * t), int(90 + 50 * t), int(200 - 40 * t), 255)
            # the quill: a band from lower left to upper right, thinner at the tip
            u = (x + (size - 1 - y)) / (2.0 * (size - 1))  # 0 lower left .. 1 upper right
            dist = abs((x - c) - (c - y)) / math.sqrt(2)
            width = size * (0.05 + 0.10 * math.sin(math.pi * min(max(u, 0), 1)))
            if 0.15 < u < 0.92 and dist < width:
                row.append((250, 250, 245, 255))
            elif d > r - max(1.0, size / 16):
                row.append((15, 40, 110, 255))
            else:
                row.append(base)
        px.append(row)
    return px


def ico_image(size):
    px = icon_pixels(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = b"".join(bytes((b, g, r, a)) for row in reversed(px) for (r, g, b, a) in row)
    mask_row = (size + 31) // 32 * 4
    mask = b""
    for row in reversed(px):
        bits = 0
        out = bytearray(mask_row)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                out[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(out)
    return header + xor + mask


def write_ico(path):
    sizes = [32, 16]
    images = [ico_image(s) for s in sizes]
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, img in zip(sizes, images):
        data += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    data += b"".join(images)
    with open(path, "wb") as f:
        f.write(data)


def write_banner(path, w=420, h=52):
    img = [[(0, 0, 0)] * w for _ in range(h)]
    for y in range(h):
        for x in range(w):
            t = x / (w - 1)
            wave = 0.5 + 0.5 * math.sin(x / 23.0 + y / 11.0)
            img[y][x] = (int(20 + 30 * t + 10 * wave), int(70 + 90 * t + 10 * wave), int(170 + 40 * (1 - t)))
    # the name, 3 pixels to a dot, with a soft shadow
    text, scale = "QUILLVANE", 3
    tw = len(text) * 6 * scale
    x0, y0 = 70, (h - 7 * scale) // 2
    for dx, dy, col in ((2, 2, (10, 30, 80)), (0, 0, (255, 255, 255))):
        for i, ch in enumerate(text):
            for ry, line in enumerate(FONT[ch]):
                for rx, bit in enumerate(line):
                    if bit != "1":
                        continue
                    for sy in range(scale):
                        for sx in range(scale):
                            X = x0 + dx + (i * 6 + rx) * scale + sx
                            Y = y0 + dy + ry * scale + sy
                            if 0 <= X < w and 0 <= Y < h:
                                img[Y][X] = col
    # the icon at the left
    icon = icon_pixels(32)
    ix, iy = 22, (h - 32) // 2
    for y in range(32):
        for x in range(32):
            r, g, b, a = icon[y][x]
            if a:
                img[iy + y][ix + x] = (r, g, b)
    # a thin light line under the banner's text area
    for x in range(x0, min(w, x0 + tw)):
        img[y0 + 7 * scale + 4][x] = (200, 225, 255)
    stride = (w * 3 + 3) // 4 * 4
    rows = b""
    for y in reversed(range(h)):
        row = b"".join(bytes((b, g, r)) for (r, g, b) in img[y])
        rows += row + b"\0" * (stride - len(row))
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(rows), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + rows)


write_ico(f"{OUT}/quillvane.ico")
write_banner(f"{OUT}/about_banner.bmp")
