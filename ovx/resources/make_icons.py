#!/usr/bin/env python3
"""Builds OVX's icons and cursor from the pixel art in art/.

Each picture is a text file: one line per pixel row, one character per pixel,
taken from the palette below ('.' is transparent). An icon NAME is made of
art/NAME16.txt and art/NAME32.txt; the cursor of art/splitter32.txt, whose
'X' marks the hot spot (drawn black).

    make_icons.py ART_DIR OUT_DIR [--png]

writes NAME.ico and splitter.cur into OUT_DIR; with --png also NAME16.png,
NAME32.png and splitter.png there, for looking at the pictures.
"""
import struct
import sys
import zlib
from pathlib import Path

PALETTE = {
    'K': (0x00, 0x00, 0x00),  # outline
    'D': (0x40, 0x40, 0x40),  # dark grey
    'G': (0x80, 0x80, 0x80),  # grey
    'L': (0xC0, 0xC0, 0xC0),  # light grey
    'W': (0xFF, 0xFF, 0xFF),  # white
    'Y': (0xFF, 0xD8, 0x60),  # folder
    'O': (0xC8, 0x98, 0x28),  # folder shade
    'B': (0x20, 0x50, 0xC0),  # floppy
    'b': (0x60, 0x90, 0xE0),  # floppy highlight
    'n': (0x10, 0x28, 0x70),  # floppy shade
    'g': (0x20, 0xA8, 0x20),  # arrow
    'h': (0x80, 0xE0, 0x80),  # arrow highlight
    'd': (0x10, 0x60, 0x10),  # arrow shade
    'E': (0x30, 0xE0, 0x30),  # drive light
    'X': (0x00, 0x00, 0x00),  # cursor hot spot
}
ICONS = ['application', 'folder', 'document', 'drive', 'up_arrow']


def read_art(path, size):
    rows = [line.rstrip('\n') for line in path.read_text().splitlines() if line.strip()]
    if len(rows) != size or any(len(r) != size for r in rows):
        sys.exit(f'{path}: must be {size} rows of {size} characters')
    for r in rows:
        for c in r:
            if c != '.' and c not in PALETTE:
                sys.exit(f'{path}: unknown colour {c!r}')
    return rows


def and_mask(rows):
    """1 bit a pixel, set where transparent; rows bottom-up, padded to 32 bits."""
    size = len(rows)
    stride = (size + 31) // 32 * 4
    out = bytearray()
    for r in reversed(rows):
        line = bytearray(stride)
        for x, c in enumerate(r):
            if c == '.':
                line[x // 8] |= 0x80 >> (x % 8)
        out += line
    return bytes(out)


def icon_image(rows):
    """A 32-bit image with alpha and the AND mask, as an icon directory entry holds it."""
    size = len(rows)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    for r in reversed(rows):
        for c in r:
            if c == '.':
                pixels += b'\0\0\0\0'
            else:
                red, green, blue = PALETTE[c]
                pixels += bytes((blue, green, red, 0xFF))
    return header + bytes(pixels) + and_mask(rows)


def cursor_image(rows):
    """A monochrome image: XOR bits (white set) then the AND mask."""
    size = len(rows)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 1, 0, 0, 0, 0, 2, 0)
    colours = b'\0\0\0\0' + b'\xff\xff\xff\0'
    stride = (size + 31) // 32 * 4
    xor = bytearray()
    for r in reversed(rows):
        line = bytearray(stride)
        for x, c in enumerate(r):
            if c == 'W':
                line[x // 8] |= 0x80 >> (x % 8)
        xor += line
    return header + colours + bytes(xor) + and_mask(rows)


def directory(kind, images, hotspots):
    """kind 1 is an icon file, 2 a cursor file; images are (size, bytes)."""
    out = struct.pack('<HHH', 0, kind, len(images))
    offset = 6 + 16 * len(images)
    for (size, data), (first, second) in zip(images, hotspots):
        out += struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, first, second, len(data), offset)
        offset += len(data)
    return out + b''.join(data for _, data in images)


def png(rows, scale):
    size = len(rows) * scale
    raw = bytearray()
    for r in rows:
        line = bytearray(b'\0')
        for c in r:
            pixel = bytes((*PALETTE[c], 255)) if c != '.' else b'\0\0\0\0'
            line += pixel * scale
        raw += bytes(line) * scale

    def chunk(tag, body):
        return struct.pack('>I', len(body)) + tag + body + struct.pack('>I', zlib.crc32(tag + body))
    ihdr = struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0)
    return b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', ihdr) + chunk(b'IDAT', zlib.compress(bytes(raw))) + chunk(b'IEND', b'')


def main():
    args = [a for a in sys.argv[1:] if a != '--png']
    if len(args) != 2:
        sys.exit(__doc__)
    art, out = Path(args[0]), Path(args[1])
    pngs = '--png' in sys.argv
    out.mkdir(parents=True, exist_ok=True)
    for name in ICONS:
        pictures = [(size, read_art(art / f'{name}{size}.txt', size)) for size in (16, 32)]
        images = [(size, icon_image(rows)) for size, rows in pictures]
        (out / f'{name}.ico').write_bytes(directory(1, images, [(1, 32)] * len(images)))
        if pngs:
            for size, rows in pictures:
                (out / f'{name}{size}.png').write_bytes(png(rows, 4))
    rows = read_art(art / 'splitter32.txt', 32)
    spots = [(x, y) for y, r in enumerate(rows) for x, c in enumerate(r) if c == 'X']
    if len(spots) != 1:
        sys.exit('splitter32.txt: mark the hot spot with exactly one X')
    (out / 'splitter.cur').write_bytes(directory(2, [(32, cursor_image(rows))], spots))
    if pngs:
        (out / 'splitter.png').write_bytes(png(rows, 4))


if __name__ == '__main__':
    main()
