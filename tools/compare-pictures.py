#!/usr/bin/env python3
"""Compares two folders of window pictures (the PNG files bmp2png.py
writes, standard library only) and prints, for each picture in both, whether
it is identical and otherwise how many pixels differ and where, so that a
change meant to show nothing can be checked; a difference that is only a
clock shows as one small box.
  compare-pictures.py BEFORE_DIR AFTER_DIR
Exits with 1 when a picture differs or is missing on one side."""
import os
import struct
import sys
import zlib


def read_png(path):
    """(width, height, rows of RGB bytes) of an 8-bit RGB PNG without
    interlacing, as bmp2png.py writes them."""
    data = open(path, "rb").read()
    pos, idat, width, height = 8, b"", 0, 0
    while pos < len(data):
        length, kind = struct.unpack_from(">I4s", data, pos)
        body = data[pos + 8: pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack_from(">IIBB", body)
            if depth != 8 or colour != 2:
                raise SystemExit(f"{path}: only 8-bit RGB pictures are compared")
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw = zlib.decompress(idat)
    stride = width * 3
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1: (y + 1) * (stride + 1)])
        for x in range(stride):
            left = line[x - 3] if x >= 3 else 0
            up = previous[x]
            corner = previous[x - 3] if x >= 3 else 0
            if kind == 1:
                line[x] = (line[x] + left) & 0xFF
            elif kind == 2:
                line[x] = (line[x] + up) & 0xFF
            elif kind == 3:
                line[x] = (line[x] + (left + up) // 2) & 0xFF
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                pred = left if pa <= pb and pa <= pc else up if pb <= pc else corner
                line[x] = (line[x] + pred) & 0xFF
        rows.append(bytes(line))
        previous = line
    return width, height, rows


def compare(before, after):
    wb, hb, rb = read_png(before)
    wa, ha, ra = read_png(after)
    if (wb, hb) != (wa, ha):
        return f"size {wb}x{hb} -> {wa}x{ha}"
    count, box = 0, None
    for y in range(hb):
        if rb[y] == ra[y]:
            continue
        for x in range(wb):
            if rb[y][x * 3: x * 3 + 3] != ra[y][x * 3: x * 3 + 3]:
                count += 1
                box = (x, y, x, y) if box is None else (
                    min(box[0], x), min(box[1], y), max(box[2], x), max(box[3], y))
    if not count:
        return None
    return f"{count} pixels differ in x {box[0]}-{box[2]}, y {box[1]}-{box[3]}"


def main():
    if len(sys.argv) != 3:
        raise SystemExit(__doc__)
    before_dir, after_dir = sys.argv[1], sys.argv[2]
    names = sorted(set(os.listdir(before_dir)) | set(os.listdir(after_dir)))
    failed = False
    for name in (n for n in names if n.endswith(".png")):
        b, a = os.path.join(before_dir, name), os.path.join(after_dir, name)
        if not os.path.exists(b) or not os.path.exists(a):
            print(f"{name}: only {'after' if os.path.exists(a) else 'before'}")
            failed = True
            continue
        difference = compare(b, a)
        print(f"{name}: {difference or 'identical'}")
        failed = failed or difference is not None
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
