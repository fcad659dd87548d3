"""Writes a picture (rows of (r, g, b) tuples, top row first) as a 24-bit BMP."""
import struct


def write_bmp(path, px):
    height, width = len(px), len(px[0])
    pad = (4 - width * 3 % 4) % 4
    data = bytearray()
    for row in reversed(px):  # bottom row first
        for (r, g, b) in row:
            data += bytes((b, g, r))
        data += b"\0" * pad
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)
