#!/usr/bin/env python3
"""Draws the configuration utility's pictures and icon at build time.

    make_pictures.py OUT_DIR [--png]

Writes into OUT_DIR (the resource script names them):
  logo.gif      (130, 100 x 110)  the Talvex mark and name, top of the status panel
  help.gif      (131,  90 x  90)  a life ring on the white Help page
  strip.gif     (132, 200 x   1)  the status panel's background, one row
  warning.gif   (133,  90 x  90)  status pictures: amber "!",
  critical.gif  (134)                             red cross,
  disabled.gif  (135)                             grey pause,
  good.gif      (136)                             green tick,
  welcome.gif   (137)                             blue person (no account yet)
  config.ico    (107, 16 to 256 pixels)     the Talvex mark of the tray icon

The mark is the one of tray/art/talvex_mark.svg, read with the tray icon's
own reader; GIF writing and the small capitals come from upgrade/art. The
panel pictures are drawn on the strip's own colours at the column where the
window paints them, so they sit on the panel without a seam. With --png
every picture is also written as an enlarged PNG, for review. Python's
standard library only.
"""
import math
import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
sys.dont_write_bytecode = True  # nothing written into the source folders
sys.path.insert(0, os.path.join(ROOT, "tray", "art"))
sys.path.insert(0, os.path.join(ROOT, "upgrade", "art"))
import make_art  # noqa: E402  (write_gif, FONT)
import make_icon  # noqa: E402  (load_shapes)

MARK_SVG = os.path.join(ROOT, "tray", "art", "talvex_mark.svg")
SAMPLES = 4  # sub-samples per pixel along each axis

# ---- Colours -----------------------------------------------------------------
PANEL_LEFT = (9, 45, 107)      # the mark's dark blue, deepened
PANEL_RIGHT = (21, 77, 158)
PANEL_EDGE = (6, 32, 78)       # the last column, against the white pages
WHITE = (255, 255, 255)
PALE = (196, 218, 246)
HALO = (214, 228, 248)
INK = (58, 40, 0)              # the warning's exclamation mark

BADGES = {
    # name: (fill top, fill bottom, glyph colour)
    "good": ((67, 190, 96), (28, 140, 62), WHITE),
    "warning": ((255, 206, 64), (236, 160, 0), INK),
    "critical": ((240, 84, 76), (190, 32, 32), WHITE),
    "disabled": ((160, 166, 174), (112, 118, 128), WHITE),
    "welcome": ((86, 170, 255), (30, 111, 217), WHITE),
}

# Where the window paints each panel picture (x of its left edge).
LOGO_X = 45
STATUS_X = 49


def strip_colour(x):
    if x >= 199:
        return PANEL_EDGE
    t = x / 198
    return tuple(round(a + (b - a) * t) for a, b in zip(PANEL_LEFT, PANEL_RIGHT))


def mix(under, over, alpha):
    return tuple(round(u + (o - u) * alpha) for u, o in zip(under, over))


# ---- Shapes: each a test (x, y) -> bool in picture pixels ---------------------
def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, r_out, r_in):
    return lambda x, y: r_in * r_in < (x - cx) ** 2 + (y - cy) ** 2 <= r_out * r_out


def rounded_rect(x0, y0, x1, y1, r):
    return lambda x, y: make_icon.inside_rounded_rect(x, y, x0, y0, x1 - x0, y1 - y0, r)


def thick_line(points, width):
    """Inside a polyline of the given width with round joints and ends."""
    half2 = (width / 2) ** 2

    def test(x, y):
        for (ax, ay), (bx, by) in zip(points, points[1:]):
            dx, dy = bx - ax, by - ay
            t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
            if (x - ax - t * dx) ** 2 + (y - ay - t * dy) ** 2 <= half2:
                return True
        return False
    return test


def union(*tests):
    return lambda x, y: any(t(x, y) for t in tests)


def render(width, height, background, layers):
    """layers: (test, colour or colour(x, y), opacity), bottom first; each
    pixel is the mean of SAMPLES x SAMPLES samples."""
    pixels = []
    n = SAMPLES * SAMPLES
    for py in range(height):
        row = []
        for px in range(width):
            acc = [0, 0, 0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = px + (sx + 0.5) / SAMPLES
                    y = py + (sy + 0.5) / SAMPLES
                    colour = background(px, py)
                    for test, paint, opacity in layers:
                        if test(x, y):
                            c = paint(x, y) if callable(paint) else paint
                            colour = c if opacity >= 1 else mix(colour, c, opacity)
                    for i in range(3):
                        acc[i] += colour[i]
            row.append(tuple(round(a / n) for a in acc))
        pixels.append(row)
    return pixels


def panel_background(offset):
    return lambda px, py: strip_colour(offset + px)


# ---- The pictures ---------------------------------------------------------------
def mark_layers(x0, y0, size):
    """The tray icon's mark (a 16-unit drawing) at (x0, y0), `size` wide, on
    a pale halo so that its dark edge stands off the dark panel."""
    scale = size / 16
    layers = [(rounded_rect(x0 - 2.5, y0 - 2.5, x0 + size + 2.5, y0 + size + 2.5, 4.4 * scale + 2.5), HALO, 1)]
    for test, colour in make_icon.load_shapes(MARK_SVG):
        layers.append((lambda x, y, t=test: t((x - x0) / scale, (y - y0) / scale), colour, 1))
    return layers


def text_layer(word, x0, y0, scale, colour):
    """The upgrade assistant's 5 x 7 capitals as a shape, `scale` pixels a dot."""
    dots = set()
    x = x0
    for ch in word:
        for r, bits in enumerate(make_art.FONT[ch]):
            for c, bit in enumerate(bits):
                if bit == "1":
                    dots.add((x + c * scale, y0 + r * scale))
        x += 6 * scale
    def test(px, py):
        cx = int((px - x0) // scale) * scale + x0
        cy = int((py - y0) // scale) * scale + y0
        return (cx, cy) in dots
    return (test, colour, 1)


def text_width(word, scale):
    return len(word) * 6 * scale - scale


def logo():
    width, height = 100, 110
    layers = mark_layers(21, 6, 58)
    word = "TALVEX"
    layers.append(text_layer(word, (width - text_width(word, 2)) // 2, 76, 2, WHITE))
    sub = "UPDATER"
    layers.append(text_layer(sub, (width - text_width(sub, 1)) // 2 + 1, 96, 1, PALE))
    return render(width, height, panel_background(LOGO_X), layers)


def badge(name):
    top, bottom, glyph_colour = BADGES[name]
    cx = cy = 45
    fill = lambda x, y: mix(top, bottom, max(0.0, min(1.0, (y - 8) / 74)))
    layers = [
        (circle(cx + 1.5, cy + 2.5, 41), (0, 0, 0), 0.28),  # shadow on the panel
        (circle(cx, cy, 41), WHITE, 1),
        (circle(cx, cy, 37.5), fill, 1),
        # a soft light on the upper half
        (lambda x, y: (x - cx) ** 2 / 30.0 ** 2 + (y - 27) ** 2 / 17.0 ** 2 <= 1, WHITE, 0.14),
    ]
    if name == "good":
        glyph = thick_line([(26, 47), (39, 60), (64, 32)], 10)
    elif name == "warning":
        glyph = union(rounded_rect(40, 19, 50, 53, 5), circle(45, 65, 6))
    elif name == "critical":
        glyph = union(thick_line([(30, 30), (60, 60)], 10), thick_line([(60, 30), (30, 60)], 10))
    elif name == "disabled":
        glyph = union(rounded_rect(31, 26, 41, 64, 3), rounded_rect(49, 26, 59, 64, 3))
    else:  # welcome: a person, for the account still to be entered
        body = lambda x, y: ((x - 45) / 21.0) ** 2 + ((y - 72) / 18.0) ** 2 <= 1 and y <= 66
        glyph = union(circle(45, 36, 11.5), body)
    layers.append((glyph, glyph_colour, 1))
    return render(90, 90, panel_background(STATUS_X), layers)


def help_picture():
    cx = cy = 45
    red, white, edge = (214, 48, 49), (255, 255, 255), (150, 156, 166)

    def band(x, y):
        angle = math.degrees(math.atan2(y - cy, x - cx)) % 90
        return red if 22.5 <= angle < 67.5 else white
    layers = [
        (ring(cx + 1.5, cy + 2.5, 41, 19), (0, 0, 0), 0.12),  # not in the hole
        (ring(cx, cy, 41, 19), edge, 1),
        (ring(cx, cy, 39.5, 20.5), band, 1),
        (ring(cx, cy, 31, 29.8), (220, 220, 220), 0.7),  # the rope around it
    ]
    return render(90, 90, lambda px, py: WHITE, layers)


def strip():
    return [[strip_colour(x) for x in range(200)]]


# ---- Files ----------------------------------------------------------------------
def quantized(pixels):
    """At most 256 colours, as GIF needs: rounded more coarsely until they fit."""
    step = 1
    while True:
        q = [[tuple(min(255, round(c / step) * step) for c in p) for p in row] for row in pixels]
        if len({p for row in q for p in row}) <= 256:
            return q
        step += 1


def icon_image(size):
    """The mark at `size` pixels as rows of (r, g, b, a), drawn as the tray
    icon's images are."""
    smooth, _ = make_icon.render(make_icon.load_shapes(MARK_SVG), size)
    return [smooth[y * size:(y + 1) * size] for y in range(size)]


def write_ico(path, sizes):
    """32-bit images of the mark; the 256-pixel one, which Explorer's large
    views ask for, as PNG data, as Windows reads it since Vista."""
    images = []
    for size in sizes:
        if size == 256:
            smooth, _ = make_icon.render(make_icon.load_shapes(MARK_SVG), size, samples=2)
            images.append((0, make_icon.png_bytes(smooth, size)))
            continue
        pixels = icon_image(size)
        xor = b"".join(bytes((b, g, r, a)) for row in reversed(pixels) for r, g, b, a in row)
        stride = ((size + 31) // 32) * 4
        mask = bytearray()
        for row in reversed(pixels):
            line = bytearray(stride)
            for x, p in enumerate(row):
                if p[3] < 128:
                    line[x // 8] |= 0x80 >> (x % 8)
            mask += line
        header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
        images.append((size, header + xor + bytes(mask)))
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for _, data in images:
        out += data
    with open(path, "wb") as f:
        f.write(out)


def write_png(path, pixels, scale):
    height, width = len(pixels), len(pixels[0])
    rows = b""
    for y in range(height * scale):
        line = b"".join(bytes(pixels[y // scale][x // scale]) for x in range(width * scale))
        rows += b"\0" + line
    chunk = lambda kind, data: struct.pack(">I", len(data)) + kind + data + struct.pack(
        ">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    ihdr = struct.pack(">IIBBBBB", width * scale, height * scale, 8, 2, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def main(argv):
    if len(argv) not in (2, 3) or (len(argv) == 3 and argv[2] != "--png"):
        raise SystemExit(__doc__)
    out = argv[1]
    os.makedirs(out, exist_ok=True)
    pictures = {"logo": logo(), "help": help_picture(), "strip": strip()}
    for name in BADGES:
        pictures[name] = badge(name)
    for name, pixels in pictures.items():
        pixels = quantized(pixels)
        make_art.write_gif(os.path.join(out, name + ".gif"), pixels)
        if len(argv) == 3:
            write_png(os.path.join(out, name + ".png"), pixels, 1 if name == "strip" else 3)
    write_ico(os.path.join(out, "config.ico"), (256, 48, 32, 24, 20, 16))


if __name__ == "__main__":
    main(sys.argv)
