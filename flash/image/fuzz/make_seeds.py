#!/usr/bin/env python3
"""Writes small seed inputs for the image fuzz harnesses into DIR/{locate,package,checksum}."""
import os
import struct
import sys


def image(n, fill=0xFF):
    return bytearray([fill]) * n


def put(b, at, data):
    for i, c in enumerate(data):
        if at + i < len(b):
            b[at + i] = c


def main(out):
    for d in ("locate", "package", "checksum"):
        os.makedirs(os.path.join(out, d), exist_ok=True)
    t = image(0x12000)
    put(t, 0x10008, b"A!F0")
    put(t, 0x10200, b"A!MI\0\0\0" + struct.pack("<H", 24) + b"DMA!" + struct.pack("<II", 0x100, 0x800)
        + b"BUA!" + struct.pack("<II", 0x1000, 0x100))
    put(t, 0x10034, struct.pack("<H", 0x40))
    put(t, 0x10041, struct.pack("<H", 0x100))
    put(t, 0x10100, b"S1\0TX" + b"\0" * 8 + b"070628")
    for p, tag in [(0x2000, b"A!PS"), (0x3000, b"A!42"), (0x4000, b"_SM_"), (0x5000, b"A!FR"),
                   (0x6000, b"A!B0"), (0x7000, b"A!KA"), (0x8000, b"A!43"), (0x9000, b"A!SC")]:
        put(t, p, tag + struct.pack("<H", 0x80) + b"\0\0\0" + struct.pack("<H", 0x90))
    open(os.path.join(out, "locate", "tarvex"), "wb").write(bytes([0, 0]) + t)

    l = image(0x11000)
    put(l, 0x100, b"A!ID" + b"\0" * 12 + b"LN1AB\0X\0P\0" + b"03\0062807\0")
    put(l, 0x200, b"W!DA" + struct.pack("<HH", 8 + 36, 1) + b"A!DM" + struct.pack("<II", 0xFFF00400, 0x100)
        + b"A!NV" + struct.pack("<II", 0xFFF00800, 0x200) + b"A!B0" + b"\0" * 8)
    put(l, 0x1000, b"-lh5-")
    put(l, 0x1100, b"*BS1\0\x06\x01")
    put(l, 0x1200, b"*BBSS*")
    put(l, 0x3000, b"A!FR")
    open(os.path.join(out, "locate", "lindar"), "wb").write(bytes([1, 0]) + l)
    open(os.path.join(out, "checksum", "lindar"), "wb").write(bytes(l))

    q = image(0x11000)
    put(q, 0x500, b"DEVELQVL")
    put(q, 0x600, b"BCPSYS" + b"\0" * 9 + b"06/28/07\0" + b"11:50:05\0")
    put(q, 0x700, b"A!ID\0\0\0\0\x01" + b"\0" * 7 + b"Q1\0\0\0QVL" + b"\0" * 8 + b"R1.07\0")
    put(q, 0x800, b"W!DA" + struct.pack("<HH", 8 + 48, 1)
        + b"A!ES" + struct.pack("<II", 0xFFF01000, 0x200) + b"A!PS" + struct.pack("<II", 0xFFF02000, 0x100)
        + b"A!KA" + struct.pack("<II", 0xFFF03000, 0x100) + b"A!KN" + struct.pack("<II", 0xFFF03000, 0x100))
    put(q, 0x9000, b"A!KA")
    put(q, 0x10000, b"A!FR")
    open(os.path.join(out, "locate", "quorvel"), "wb").write(bytes([2, 9]) + q)
    open(os.path.join(out, "locate", "quorvel_notloaded"), "wb").write(bytes([6, 0]) + q)

    open(os.path.join(out, "package", "pkg"), "wb").write(
        b"junkHOLBRIKE\r\nW!SH" + b"0100001000001000011011101001000000" + bytes(100)
        + b"HOLBRIKE\r\nxx" + b"HOLBHOLBRIKE\r\nW!SH01")


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: make_seeds.py DIR")
    main(sys.argv[1])
