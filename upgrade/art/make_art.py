#!/usr/bin/env python3
"""Draws the upgrade assistant's header pictures and icon.

Writes, next to this script:
  header_band.gif   (resource 109,   1 x 77)  the band repeated across the header
  header_logo.gif   (resource 110, 180 x 54)  the round update mark and the name
  header_title.gif  (resource 108, 190 x 14)  the assistant's title line
  upgrade.ico       (resource 107, 32 x 32 and 16 x 16)

Python's standard library only; the pictures are committed, so a build never
needs to run this. Run it again after changing the drawing.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
BAND_HEIGHT = 77
TOP = (16, 52, 96)
BOTTOM = (44, 108, 170)
WHITE = (255, 255, 255)
PALE = (196, 222, 246)
EDGE = (230, 236, 244)

# 5 x 7 capitals, one string of five bits per row.
FONT = {
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "D": ["11110", "10001", "10001", "10001", "10001", "10001", "11110"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    "G": ["01110", "10001", "10000", "10111", "10001", "10001", "01111"],
    "I": ["01110", "00100", "00100", "00100", "00100", "00100", "01110"],
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    "N": ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    "P": ["11110", "10001", "10001", "11110", "10000", "10000", "10000"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "S": ["01111", "10000", "10000", "01110", "00001", "00001", "11110"],
    "T": ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
    "U": ["10001", "10001", "10001", "10001", "10001", "10001", "01110"],
    "V": ["10001", "10001", "10001", "10001", "10001", "01010", "00100"],
    "X": ["10001", "10001", "01010", "00100", "01010", "10001", "10001"],
    " ": ["00000"] * 7,
}


def band(row):
    """Colour of the header band at a row: a gradient with a pale last line."""
    if row >= BAND_HEIGHT - 1:
        return EDGE
    t = row / (BAND_HEIGHT - 2)
    return tuple(round(a + (b - a) * t) for a, b in zip(TOP, BOTTOM))


def canvas(width, height, top):
    """Pixels of a picture drawn at row `top` of the band, band-coloured."""
    return [[band(top + y) for _ in range(width)] for y in range(height)]


def text(pixels, x, y, word, colour, scale=1, bold=False):
    for ch in word:
        for r, bits in enumerate(FONT[ch]):
            for c, bit in enumerate(bits):
                if bit != "1":
                    continue
                for dy in range(scale):
                    for dx in range(scale + (1 if bold else 0)):
                        pixels[y + r * scale + dy][x + c * scale + dx] = colour
        x += (5 + 1) * scale + (1 if bold else 0) + 1
    return x


def update_mark(pixels, cx, cy, radius, ring, colour):
    """A ring with an upward arrow inside: the product's update mark."""
    for y in range(len(pixels)):
        for x in range(len(pixels[0])):
            d2 = (x - cx) ** 2 + (y - cy) ** 2
            if (radius - ring) ** 2 <= d2 <= radius ** 2:
                pixels[y][x] = colour
    head = radius * 5 // 10
    shaft = max(2, radius // 4)
    tip = cy - radius * 6 // 10
    for y in range(tip, tip + head):
        half = y - tip
        for x in range(cx - half, cx + half + 1):
            pixels[y][x] = colour
    for y in range(tip + head, cy + radius * 6 // 10):
        for x in range(cx - shaft // 2, cx - shaft // 2 + shaft):
            pixels[y][x] = colour


def write_gif(path, pixels):
    height, width = len(pixels), len(pixels[0])
    colours = sorted({p for row in pixels for p in row})
    assert len(colours) <= 256
    bits = max(1, (len(colours) - 1).bit_length())
    table = colours + [(0, 0, 0)] * ((1 << bits) - len(colours))
    index = {c: i for i, c in enumerate(colours)}
    data = [index[p] for row in pixels for p in row]
    min_code = max(2, bits)
    out = bytearray(b"GIF89a")
    out += struct.pack("<HHBBB", width, height, 0x80 | 0x70 | (bits - 1), 0, 0)
    for c in table:
        out += bytes(c)
    out += b"," + struct.pack("<HHHHB", 0, 0, width, height, 0)
    out.append(min_code)
    lzw = lzw_encode(data, min_code)
    for i in range(0, len(lzw), 255):
        chunk = lzw[i:i + 255]
        out.append(len(chunk))
        out += chunk
    out += b"\x00;"
    with open(path, "wb") as f:
        f.write(out)


def lzw_encode(data, min_code):
    clear, end = 1 << min_code, (1 << min_code) + 1
    size = min_code + 1
    codes = {}
    next_code = end + 1
    acc = nbits = 0
    out = bytearray()

    def emit(code):
        nonlocal acc, nbits
        acc |= code << nbits
        nbits += size
        while nbits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            nbits -= 8

    emit(clear)
    prefix = None
    for symbol in data:
        key = (prefix, symbol)
        if prefix is None:
            prefix = symbol
        elif key in codes:
            prefix = codes[key]
        else:
            emit(prefix)
            if next_code < 4096:
                codes[key] = next_code
                next_code += 1
                if next_code > (1 << size) and size < 12:
                    size += 1
            else:
                emit(clear)
                codes.clear()
                next_code = end + 1
                size = min_code + 1
            prefix = symbol
    if prefix is not None:
        emit(prefix)
    emit(end)
    if nbits:
        out.append(acc & 0xFF)
    return bytes(out)


def icon_image(size):
    """A rounded blue square with the white update mark, as BGRA rows."""
    pixels = [[None] * size for _ in range(size)]
    corner = size // 5
    for y in range(size):
        for x in range(size):
            cx = min(max(x, corner), size - 1 - corner)
            cy = min(max(y, corner), size - 1 - corner)
            if (x - cx) ** 2 + (y - cy) ** 2 <= corner ** 2:
                pixels[y][x] = band(y * (BAND_HEIGHT - 2) // size)
    update_mark(pixels, size // 2, size // 2, size * 4 // 10, max(2, size // 10), WHITE)
    return pixels


def write_ico(path, sizes):
    entries, images = [], []
    for size in sizes:
        pixels = icon_image(size)
        xor = bytearray()
        for row in reversed(pixels):   # bottom-up
            for p in row:
                xor += bytes((0, 0, 0, 0)) if p is None else bytes((p[2], p[1], p[0], 255))
        mask_stride = ((size + 31) // 32) * 4
        mask = bytearray()
        for row in reversed(pixels):
            line = bytearray(mask_stride)
            for x, p in enumerate(row):
                if p is None:
                    line[x // 8] |= 0x80 >> (x % 8)
            mask += line
        header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
        images.append(header + xor + mask)
        entries.append(size)
    out = bytearray(struct.pack("<HHH", 0, 1, len(sizes)))
    offset = 6 + 16 * len(sizes)
    for size, image in zip(entries, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    for image in images:
        out += image
    with open(path, "wb") as f:
        f.write(out)


def main():
    write_gif(os.path.join(HERE, "header_band.gif"), canvas(1, BAND_HEIGHT, 0))

    logo = canvas(180, 54, 10)
    # The mark fills nearly the picture's height.
    mark = [[None] * 54 for _ in range(54)]
    update_mark(mark, 26, 26, 24, 4, WHITE)
    for y in range(54):
        for x in range(54):
            if mark[y][x] is not None:
                logo[y][x + 2] = mark[y][x]
    text(logo, 66, 16, "TALVEX", WHITE, scale=3)
    write_gif(os.path.join(HERE, "header_logo.gif"), logo)

    title = canvas(190, 14, 47)
    text(title, 2, 3, "UPGRADE ASSISTANT", PALE, bold=True)
    write_gif(os.path.join(HERE, "header_title.gif"), title)

    write_ico(os.path.join(HERE, "upgrade.ico"), (32, 16))


if __name__ == "__main__":
    main()
