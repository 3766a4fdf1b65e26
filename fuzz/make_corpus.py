#!/usr/bin/env python3
"""Writes the hand-made part of the seed corpus into corpus/.

Small PNG files built chunk by chunk, so that each one shows one shape of
input the reader must handle: palette and greyscale maps of several bit
depths and sizes, interlaced ones, and broken ones (truncated data, bad
checksums, missing chunks, declared sizes beyond the limit).
Run from this directory: python3 make_corpus.py
"""
import os
import struct
import zlib

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
SIGNATURE = b"\x89PNG\r\n\x1a\n"


def chunk(kind, body, crc=None):
    if crc is None:
        crc = zlib.crc32(kind + body) & 0xFFFFFFFF
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", crc)


def ihdr(width, height, depth=8, colour=3, interlace=0):
    return chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, depth, colour, 0, 0, interlace))


def grey_palette(entries=256):
    return chunk(b"PLTE", b"".join(bytes((i, i, i)) for i in range(entries)))


def rows_8bit(width, height, value):
    """Filter byte 0 then one byte per pixel."""
    return b"".join(b"\x00" + bytes(value(x, y) & 0xFF for x in range(width)) for y in range(height))


def png(width, height, raw, depth=8, colour=3, interlace=0, palette=True, extra=b""):
    data = SIGNATURE + ihdr(width, height, depth, colour, interlace)
    if palette:
        data += grey_palette(min(256, 1 << depth))
    data += extra
    data += chunk(b"IDAT", zlib.compress(raw, 9))
    return data + chunk(b"IEND", b"")


def write(name, data):
    with open(os.path.join(OUT, name), "wb") as out:
        out.write(data)


def main():
    os.makedirs(OUT, exist_ok=True)
    counts = lambda x, y: (x * 7 + y * 13) % 256

    # Accepted maps.
    write("palette_1x1.png", png(1, 1, rows_8bit(1, 1, lambda x, y: 0)))
    write("palette_8x8_counts.png", png(8, 8, rows_8bit(8, 8, counts)))
    write("palette_33x17_counts.png", png(33, 17, rows_8bit(33, 17, counts)))
    write("grey8_9x9.png", png(9, 9, rows_8bit(9, 9, counts), colour=0, palette=False))
    # 4-bit palette: two pixels per byte, 5 pixels -> 3 bytes per row.
    write("palette4_5x4.png", png(5, 4, b"".join(b"\x00\x12\x34\x50" for _ in range(4)), depth=4))
    write("palette_interlaced_16x16.png",
          png(16, 16, adam7_rows(16, 16, counts), interlace=1))
    # A map whose palette is short: indexes beyond it are still counts.
    short = SIGNATURE + ihdr(4, 4) + grey_palette(2) + chunk(b"IDAT", zlib.compress(rows_8bit(4, 4, counts))) + \
        chunk(b"IEND", b"")
    write("palette_short_plte.png", short)
    # A map with a transparency chunk.
    write("palette_trns.png", png(4, 4, rows_8bit(4, 4, counts), extra=chunk(b"tRNS", b"\x00\x80")))

    # Refused: true colour.
    write("rgb_3x3.png", png(3, 3, b"".join(b"\x00" + bytes(9) for _ in range(3)), colour=2, palette=False))
    write("grey_alpha_2x2.png", png(2, 2, b"".join(b"\x00" + bytes(4) for _ in range(2)), colour=4, palette=False))

    # Refused: broken files.
    good = png(8, 8, rows_8bit(8, 8, counts))
    write("truncated_idat.png", good[: len(good) - 20])
    write("signature_only.png", SIGNATURE)
    write("header_only.png", SIGNATURE + ihdr(8, 8))
    bad_crc = SIGNATURE + ihdr(8, 8) + grey_palette() + chunk(b"IDAT", zlib.compress(rows_8bit(8, 8, counts)), crc=0)
    write("bad_idat_crc.png", bad_crc + chunk(b"IEND", b""))
    write("no_palette.png", png(4, 4, rows_8bit(4, 4, counts), palette=False))
    write("short_rows.png", png(8, 8, rows_8bit(8, 4, counts)))
    write("bad_filter.png", png(4, 4, b"".join(b"\x07" + bytes(4) for _ in range(4))))
    write("text.png", b"this is not an image\n")
    write("empty.png", b"")

    # Refused: declared sizes beyond the limit, or no size at all.
    write("huge_100000x100000.png", SIGNATURE + ihdr(100000, 100000) + grey_palette() +
          chunk(b"IDAT", zlib.compress(b"\x00" * 64)))
    write("wide_16385x1.png", png(16385, 1, rows_8bit(16385, 1, lambda x, y: 0)))
    write("largest_truncated_16384x16384.png", SIGNATURE + ihdr(16384, 16384) + grey_palette() +
          chunk(b"IDAT", zlib.compress(b"\x00" * 4096)))
    write("zero_width.png", SIGNATURE + ihdr(0, 4) + grey_palette() + chunk(b"IEND", b""))
    # A chunk claiming far more bytes than the file holds (1.5 GiB here).
    write("chunk_claims_1_5_gib.png", SIGNATURE + ihdr(32, 32, depth=1) + struct.pack(">I", 0x5F000000) +
          b"zTXt" + b"x" * 40)

    # Accepted: ancillary chunks of every kind around a small map, some broken.
    ancillary = (chunk(b"gAMA", struct.pack(">I", 45455)) + chunk(b"iCCP", b"icc\0\0not deflate data") +
                 chunk(b"zTXt", b"Title\0\0" + zlib.compress(b"seed map" * 20)) +
                 chunk(b"tEXt", b"Comment\0bad checksum", crc=1) + chunk(b"sBIT", b"\x08"))
    write("palette_ancillary_chunks.png", SIGNATURE + ihdr(6, 5) + ancillary + grey_palette() +
          chunk(b"tRNS", b"\x00" * 256) + chunk(b"bKGD", b"\x05") +
          chunk(b"IDAT", zlib.compress(rows_8bit(6, 5, counts))) + chunk(b"tIME", b"\x07\xea\x01\x01\x00\x00\x00") +
          chunk(b"IEND", b""))


def adam7_rows(width, height, value):
    """Raw data of an 8-bit interlaced image: the seven passes in turn."""
    passes = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]
    raw = b""
    for x0, y0, dx, dy in passes:
        xs = range(x0, width, dx)
        ys = range(y0, height, dy)
        if not xs or not ys:
            continue
        for y in ys:
            raw += b"\x00" + bytes(value(x, y) & 0xFF for x in xs)
    return raw


if __name__ == "__main__":
    main()
