#!/usr/bin/env python3
"""Writes quillet.ico: the program icon (32x32 and 16x16, 32-bit colour with
alpha), a dark-green tile with a white quill-like ring and tail. Run it again
only to change the picture; the .ico it writes is checked in."""
import math
import struct
import sys


def pixel(x, y, size):
    """BGRA of one pixel, y counted from the top."""
    c = (size - 1) / 2.0
    r_out, r_in = size * 0.30, size * 0.18
    corner = size * 0.18
    # Rounded tile.
    dx = max(abs(x - c) - (c - corner), 0)
    dy = max(abs(y - c) - (c - corner), 0)
    if math.hypot(dx, dy) > corner + 0.5:
        return (0, 0, 0, 0)
    d = math.hypot(x - c, y - c)
    ring = r_in <= d <= r_out
    # The tail of the "Q": a stroke from the centre towards the lower right.
    t = ((x - c) + (y - c)) / 2.0
    off = abs((x - c) - (y - c)) / math.sqrt(2)
    tail = r_in * 0.4 <= t <= size * 0.42 and off <= size * 0.06
    if ring or tail:
        return (255, 255, 255, 255)
    return (0x30, 0x80, 0x10, 255)  # BGR: dark green


def image(size):
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = []
    for y in range(size - 1, -1, -1):  # bottom-up
        rows.append(b"".join(struct.pack("<BBBB", *pixel(x, y, size)) for x in range(size)))
    mask_row = ((size + 31) // 32) * 4
    mask = b"\0" * (mask_row * size)  # alpha decides; the AND mask is all zero
    return header + b"".join(rows) + mask


def main(path):
    sizes = [32, 16]
    images = [image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "quillet.ico")
