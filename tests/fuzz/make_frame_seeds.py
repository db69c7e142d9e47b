#!/usr/bin/env python3
"""Writes the frame fuzzer's seeds: small whole frames in the camera's
format (docs/frame-format.md), raw and compressed, each behind the fuzzer's
control byte. Run from tests/fuzz: python3 make_frame_seeds.py"""
import struct


def frame(width, height, encoding, flags, order, lines, number=7, status=0, col=0, row=0):
    data = b"".join(lines)
    h = bytearray(64)
    h[0] = status
    h[1] = 1
    h[2] = encoding
    h[3] = flags
    struct.pack_into("<I", h, 4, number)
    struct.pack_into("<HHHHHH", h, 8, col, col + width, row, row + height, width, height)
    struct.pack_into("<I", h, 20, len(data))
    h[24] = 1
    h[25] = order
    h[33] = 128
    struct.pack_into("<H", h, 34, 200)
    h[39] = 100
    struct.pack_into("<H", h, 60, sum(h[:60]) & 0xFFFF)
    h[62], h[63] = 0x7A, 0xF2
    end = bytes([0x0F, 0xE5, 0x7A, 0xF2]) + struct.pack("<II", number, sum(data) & 0xFFFFFFFF)
    return bytes(h) + data + end


def pairs(n, seed):
    return bytes((seed * 37 + i * 11) & 0xFF for i in range(4 * n))


def raw(width, height, order=0, flags=0, **kw):
    return frame(width, height, 0, flags, order, [pairs(width // 2, r) for r in range(height)], **kw)


def compressed(width, height, order=0, flags=0, **kw):
    sent = height // 2 if flags & 1 else height
    lines = []
    for r in range(sent):
        half = width // 4
        # a literal of half the pairs, then a repeat of the rest
        lines.append(bytes([half - 1]) + pairs(half, r) + bytes([0x80 + width // 2 - half - 1]))
    return frame(width, height, 1, flags, order, lines, **kw)


seeds = {
    "raw-8x4": b"\x00" + raw(8, 4),
    "raw-16x8-uyvy": b"\x00" + raw(16, 8, order=1, col=8, row=4),
    "raw-cif-window": b"\x00" + raw(32, 8, flags=2, order=2, col=320, row=280, status=1),
    "comp-16x4": b"\x00" + compressed(16, 4, order=3),
    "comp-decimated-24x8": b"\x00" + compressed(24, 8, flags=1),
    "comp-palette-16x4": b"\x02" + compressed(16, 4),
    "repair-8x4": b"\x01" + raw(8, 4)[:64] + bytes(64) + bytes(12),
}
for name, data in seeds.items():
    with open("corpus/frame/" + name, "wb") as out:
        out.write(data)
