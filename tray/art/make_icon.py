#!/usr/bin/env python3
"""Renders the Talvex mark (a small SVG of flat shapes, drawn on a 16-unit
square) into a Windows .ico: three 16 x 16 images, 32 bits per pixel with
smooth edges and alpha, 8 bits with a palette of the smooth colours, and 4
bits with crisp edges in the shapes' own colours; then 32-bit images of 20,
24, 32 and 48 pixels, which the system picks at 125 %, 150 % and larger
scaling instead of stretching a 16-pixel one. Python's standard library
only, so the build needs nothing beyond python3.

    make_icon.py MARK.svg OUT.ico [OUT.png]

The optional PNG is the 32-bit image, eight times enlarged, for review.
"""
import struct
import sys
import xml.etree.ElementTree as ET
import zlib

SIZE = 16  # the mark's own units, and the size of the three classic images
LARGER = (20, 24, 32, 48)
SAMPLES = 8  # sub-samples per pixel along each axis


def parse_colour(text):
    text = text.strip().lstrip("#")
    if len(text) == 3:
        text = "".join(c * 2 for c in text)
    return tuple(int(text[i:i + 2], 16) for i in (0, 2, 4))


def inside_rounded_rect(px, py, x, y, w, h, r):
    if px < x or py < y or px > x + w or py > y + h:
        return False
    r = min(r, w / 2, h / 2)
    cx = min(max(px, x + r), x + w - r)
    cy = min(max(py, y + r), y + h - r)
    return (px - cx) ** 2 + (py - cy) ** 2 <= r * r


def inside_polygon(px, py, points):
    hit = False
    for i in range(len(points)):
        x1, y1 = points[i]
        x2, y2 = points[i - 1]
        if (y1 > py) != (y2 > py) and px < (x2 - x1) * (py - y1) / (y2 - y1) + x1:
            hit = not hit
    return hit


def load_shapes(path):
    """Each shape as (test(px, py) -> bool, colour), in drawing order."""
    shapes = []
    for element in ET.parse(path).getroot().iter():
        tag = element.tag.rsplit("}", 1)[-1]
        a = element.attrib
        if tag not in ("rect", "circle", "polygon"):
            continue
        colour = parse_colour(a["fill"])
        f = lambda name, default=0.0: float(a.get(name, default))
        if tag == "rect":
            box = (f("x"), f("y"), f("width"), f("height"), f("rx"))
            test = lambda px, py, b=box: inside_rounded_rect(px, py, *b)
        elif tag == "circle":
            c = (f("cx"), f("cy"), f("r"))
            test = lambda px, py, c=c: (px - c[0]) ** 2 + (py - c[1]) ** 2 <= c[2] ** 2
        else:
            numbers = [float(n) for n in a["points"].replace(",", " ").split()]
            pts = list(zip(numbers[0::2], numbers[1::2]))
            test = lambda px, py, p=pts: inside_polygon(px, py, p)
        shapes.append((test, colour))
    if not shapes:
        raise SystemExit(f"{path}: no shapes")
    return shapes


def render(shapes, size=SIZE, samples=SAMPLES):
    """Per pixel: the smooth RGBA and the crisp colour (None: transparent)."""
    smooth, crisp = [], []
    n = samples * samples
    unit = SIZE / size
    for y in range(size):
        for x in range(size):
            votes = {}
            r = g = b = 0
            for sy in range(samples):
                for sx in range(samples):
                    px = (x + (sx + 0.5) / samples) * unit
                    py = (y + (sy + 0.5) / samples) * unit
                    top = None
                    for test, colour in shapes:
                        if test(px, py):
                            top = colour
                    votes[top] = votes.get(top, 0) + 1
                    if top:
                        r, g, b = r + top[0], g + top[1], b + top[2]
            covered = n - votes.get(None, 0)
            if covered:
                smooth.append((round(r / covered), round(g / covered), round(b / covered), round(255 * covered / n)))
            else:
                smooth.append((0, 0, 0, 0))
            crisp.append(max(votes, key=lambda k: (votes[k], k is not None)))
    return smooth, crisp


def and_mask(opaque, size):
    """1 bit per pixel, bottom-up rows padded to 32 bits; 1 is transparent."""
    stride = (size + 31) // 32 * 4
    rows = []
    for y in reversed(range(size)):
        line = bytearray(stride)
        for x in range(size):
            if not opaque[y * size + x]:
                line[x // 8] |= 0x80 >> (x % 8)
        rows.append(bytes(line))
    return b"".join(rows)


def dib(bpp, palette, pixels, opaque, size=SIZE):
    """An icon image: header, palette, bottom-up XOR bits, AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bpp, 0, 0, 0, 0, len(palette), 0)
    body = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    for y in reversed(range(size)):
        row = pixels[y * size:(y + 1) * size]
        if bpp == 32:
            body += b"".join(struct.pack("<BBBB", b, g, r, a) for r, g, b, a in row)
        elif bpp == 8:
            body += bytes(row)  # the classic 16-pixel rows are multiples of 4
        else:
            # Two pixels a byte; 16 pixels make 8 bytes, already a
            # multiple of 4.
            body += bytes((row[i] << 4) | row[i + 1] for i in range(0, size, 2))
    return header + body + and_mask(opaque, size)


def paletted(colours, opaque, count):
    palette = sorted(set(c for c, o in zip(colours, opaque) if o))
    if len(palette) > count:
        raise SystemExit(f"{len(palette)} colours do not fit a palette of {count}")
    palette += [(0, 0, 0)] * (count - len(palette))
    index = {c: i for i, c in reversed(list(enumerate(palette)))}
    return palette, [index[c] if o else 0 for c, o in zip(colours, opaque)]


def write_ico(path, images):
    """images: list of (size, bpp, colour count or 0, dib bytes)."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, bpp, colours, data in images:
        out += struct.pack("<BBBBHHII", size, size, colours % 256, 0, 1, bpp, len(data), offset)
        offset += len(data)
    out += b"".join(data for _, _, _, data in images)
    with open(path, "wb") as f:
        f.write(out)


def png_bytes(smooth, size, scale=1):
    """A square RGBA picture as PNG data, each pixel `scale` times enlarged."""
    rows = b""
    for y in range(size * scale):
        line = b"".join(bytes(smooth[(y // scale) * size + x // scale]) for x in range(size * scale))
        rows += b"\0" + line
    chunk = lambda kind, data: struct.pack(">I", len(data)) + kind + data + struct.pack(
        ">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    ihdr = struct.pack(">IIBBBBB", size * scale, size * scale, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b"")


def write_png(path, smooth, scale=8):
    with open(path, "wb") as f:
        f.write(png_bytes(smooth, SIZE, scale))


def main(argv):
    if len(argv) not in (3, 4):
        raise SystemExit(__doc__)
    shapes = load_shapes(argv[1])
    smooth, crisp = render(shapes)
    opaque32 = [p[3] >= 128 for p in smooth]
    straight = [p[:3] for p in smooth]
    pal8, idx8 = paletted(straight, opaque32, 256)
    opaque4 = [c is not None for c in crisp]
    pal4, idx4 = paletted([c or (0, 0, 0) for c in crisp], opaque4, 16)
    images = [
        (SIZE, 4, 16, dib(4, pal4, idx4, opaque4)),
        (SIZE, 8, 0, dib(8, pal8, idx8, opaque32)),
        (SIZE, 32, 0, dib(32, [], smooth, opaque32)),
    ]
    for size in LARGER:
        pixels, _ = render(shapes, size)
        images.append((size, 32, 0, dib(32, [], pixels, [p[3] >= 128 for p in pixels], size)))
    write_ico(argv[2], images)
    if len(argv) == 4:
        write_png(argv[3], smooth)


if __name__ == "__main__":
    main(sys.argv)
