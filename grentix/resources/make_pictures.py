#!/usr/bin/env python3
"""Draws Grentix's pictures: the sprite sheet "GRENTIX" (64 x 416), the digits
"SCORE" (160 x 16) and the program icon (32 x 32).

Everything is drawn here, shape by shape, in the game's own palette (index
bits rrrgggbb), so that every colour lands on the palette entry it was drawn
with. The background of every sprite is pure blue (0, 0, 255), the palette's
index 3, which the game never copies. The digits are drawn as text art below.

    make_pictures.py OUT_DIR [--png]

writes grentix.bmp, score.bmp and grentix.ico into OUT_DIR; with --png also
grentix.png and score.png (four times the size) and icon.png, to look at.
"""
import math
import struct
import sys
import zlib
from pathlib import Path


def P(r, g, b):
    """Palette index of red and green level 0..7 and blue level 0..3."""
    return r << 5 | g << 2 | b


def rgb(index):
    return ((index >> 5) * 255 // 7, (index >> 2 & 7) * 255 // 7, (index & 3) * 255 // 3)


KEY = P(0, 0, 3)  # pure blue: transparent
BLACK = P(0, 0, 0)
WHITE = P(7, 7, 3)
GREY1, GREY2, GREY3, GREY4, GREY5 = P(2, 2, 1), P(3, 3, 1), P(4, 4, 2), P(5, 5, 2), P(6, 6, 2)
SKIN, SKIN_SHADE, SKIN_DARK, SKIN_LIGHT = P(7, 5, 1), P(6, 4, 1), P(4, 2, 0), P(7, 6, 2)
CAP, CAP_LIGHT, CAP_DARK = P(6, 0, 0), P(7, 2, 1), P(4, 0, 0)
NAVY, NAVY_LIGHT = P(0, 1, 2), P(1, 2, 2)
STRIPE = P(7, 7, 2)
BOMB, BOMB_SHADE, BOMB_LIGHT, BOMB_SHINE = P(1, 1, 1), P(0, 0, 1), P(3, 3, 2), P(6, 6, 3)
FUSE, FUSE_DARK = P(5, 4, 1), P(3, 2, 0)
YELLOW, GOLD, ORANGE, RED, DARK_RED = P(7, 7, 1), P(7, 6, 0), P(7, 4, 0), P(6, 1, 0), P(3, 0, 0)
WATER, WATER_DARK, WATER_LIGHT, FOAM = P(0, 4, 3), P(0, 2, 2), P(3, 6, 3), P(6, 7, 3)
TIN, TIN_LIGHT, TIN_DARK, TIN_RIM = P(5, 5, 2), P(7, 7, 3), P(3, 3, 2), P(2, 2, 1)


class Canvas:
    def __init__(self, width, height):
        self.width, self.height = width, height
        self.pixels = [[KEY] * width for _ in range(height)]

    def put(self, x, y, color):
        x, y = int(x), int(y)
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = color

    def get(self, x, y):
        return self.pixels[y][x]

    def fill(self, inside, color, box=None):
        """Sets every pixel whose centre satisfies inside(x, y)."""
        x0, y0, x1, y1 = box or (0, 0, self.width, self.height)
        for y in range(max(0, y0), min(self.height, y1)):
            for x in range(max(0, x0), min(self.width, x1)):
                if inside(x + 0.5, y + 0.5):
                    self.pixels[y][x] = color

    def ellipse(self, cx, cy, rx, ry, color):
        self.fill(lambda x, y: ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1, color,
                  (int(cx - rx) - 1, int(cy - ry) - 1, int(cx + rx) + 2, int(cy + ry) + 2))

    def rect(self, x0, y0, x1, y1, color):
        for y in range(y0, y1):
            for x in range(x0, x1):
                self.put(x, y, color)

    def polygon(self, points, color):
        def inside(x, y):
            hit = False
            for (ax, ay), (bx, by) in zip(points, points[1:] + points[:1]):
                if (ay > y) != (by > y) and x < ax + (y - ay) * (bx - ax) / (by - ay):
                    hit = not hit
            return hit
        self.fill(inside, color)

    def line(self, x0, y0, x1, y1, color, width=1.0):
        def inside(x, y):
            dx, dy = x1 - x0, y1 - y0
            length = dx * dx + dy * dy
            t = 0 if length == 0 else max(0, min(1, ((x - x0) * dx + (y - y0) * dy) / length))
            return math.hypot(x - (x0 + t * dx), y - (y0 + t * dy)) <= width / 2
        self.fill(inside, color)

    def outline(self, color, inner=None):
        """Draws color on every background pixel next to a drawn one."""
        drawn = [[c != KEY for c in row] for row in self.pixels]
        for y in range(self.height):
            for x in range(self.width):
                if drawn[y][x]:
                    continue
                for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                    nx, ny = x + dx, y + dy
                    if 0 <= nx < self.width and 0 <= ny < self.height and drawn[ny][nx]:
                        if inner is None or self.pixels[ny][nx] in inner:
                            self.pixels[y][x] = color
                        break

    def paste(self, other, x, y):
        for row in range(other.height):
            for col in range(other.width):
                c = other.pixels[row][col]
                if c != KEY:
                    self.put(x + col, y + row, c)


def shaded_ball(c, cx, cy, r, dark, mid, light, shine):
    """A ball lit from the upper left."""
    c.ellipse(cx, cy, r, r, dark)
    c.ellipse(cx - r * 0.12, cy - r * 0.12, r * 0.85, r * 0.85, mid)
    c.ellipse(cx - r * 0.35, cy - r * 0.35, r * 0.38, r * 0.32, light)
    c.ellipse(cx - r * 0.42, cy - r * 0.45, r * 0.14, r * 0.12, shine)


# The bomber: a round-faced rascal in a red knitted cap, a black eye mask and a
# striped jersey, arms held out to the sides to catch the bomb he hands out.
def bomber(grin):
    c = Canvas(64, 64)
    # jersey with stripes
    c.polygon([(14, 63), (18, 42), (24, 38), (40, 38), (46, 42), (50, 63)], NAVY)
    for y in range(38, 64):
        for x in range(64):
            if c.get(x, y) == NAVY and (y - 44) % 6 < 3 and y >= 44:
                c.pixels[y][x] = STRIPE
    # arms out to the sides, hands lower down
    for side in (-1, 1):
        sx = 32 + side * 15
        c.line(sx, 43, 32 + side * 22, 52, NAVY, 6.5)
        c.line(32 + side * 22, 52, 32 + side * 18, 58, NAVY, 6)
        c.ellipse(32 + side * 17, 58, 4.2, 3.8, SKIN)
        c.ellipse(32 + side * 17.5, 59, 2.2, 1.8, SKIN_SHADE)
    # neck and head
    c.rect(27, 34, 37, 40, SKIN_SHADE)
    c.ellipse(32, 24, 15, 14, SKIN_DARK)
    c.ellipse(32, 24, 14, 13, SKIN)
    c.ellipse(35, 27, 11, 10, SKIN_SHADE)
    c.ellipse(31, 23, 11, 10.5, SKIN)
    c.ellipse(26, 19, 4, 3, SKIN_LIGHT)
    # ears
    for side in (-1, 1):
        c.ellipse(32 + side * 14.5, 25, 2.5, 3.5, SKIN_SHADE)
    # stubble on the chin
    for x, y in ((24, 33), (27, 35), (31, 36), (35, 35), (38, 33), (29, 34), (33, 34), (26, 32), (37, 31)):
        c.put(x, y, SKIN_DARK)
    # knitted cap with a turned-up brim and a bobble
    c.fill(lambda x, y: ((x - 32) / 14) ** 2 + ((y - 14) / 10) ** 2 <= 1 and y < 16, CAP, (16, 0, 49, 17))
    c.ellipse(28, 9, 6, 4, CAP_LIGHT)
    c.rect(17, 13, 47, 17, CAP_DARK)
    for x in range(18, 47, 3):
        c.put(x, 14, CAP)
        c.put(x + 1, 15, CAP)
    c.ellipse(32, 3.5, 3.5, 3.2, WHITE)
    c.ellipse(31, 2.8, 1.5, 1.2, GREY5)
    # eye mask with two holes
    c.polygon([(17, 19), (47, 19), (47, 25), (40, 27), (32, 25), (24, 27), (17, 25)], BLACK)
    c.line(45, 21, 50, 19, BLACK, 2)
    c.line(45, 23, 51, 24, BLACK, 2)
    for ex in (25, 39):
        c.ellipse(ex, 22.5, 3.6, 2.4, WHITE)
        c.rect(ex - 1 + (1 if grin else 0), 21, ex + 1 + (1 if grin else 0), 24, BLACK)
    # brows: angry when frowning, raised when grinning
    if grin:
        c.line(21, 16.5, 28, 15.5, CAP_DARK, 1.6)
        c.line(36, 15.5, 43, 16.5, CAP_DARK, 1.6)
    else:
        c.line(20, 15, 28, 18, BLACK, 2)
        c.line(36, 18, 44, 15, BLACK, 2)
    # nose
    c.ellipse(32, 28, 3, 2.5, SKIN_SHADE)
    c.ellipse(31, 27.5, 1.5, 1, SKIN_LIGHT)
    if grin:
        # wide open grin with teeth
        c.fill(lambda x, y: y >= 30 and ((x - 32) / 9) ** 2 + ((y - 30) / 5) ** 2 <= 1, BLACK,
               (20, 28, 44, 38))
        c.rect(25, 30, 40, 32, WHITE)
        for x in (28, 32, 36):
            c.put(x, 31, GREY4)
        c.ellipse(32, 34, 4, 1.4, RED)
        c.put(22, 29, SKIN_DARK)
        c.put(42, 29, SKIN_DARK)
    else:
        # a downturned mouth
        for x in range(25, 40):
            t = (x - 32) / 7
            c.put(x, round(33 - 2.2 * (1 - t * t)), BLACK)
        c.put(24, 34, BLACK)
        c.put(40, 34, BLACK)
    c.outline(BLACK)
    return c


def fuse_bomb(spark, lit=True):
    c = Canvas(32, 32)
    shaded_ball(c, 15, 19, 10.5, BOMB_SHADE, BOMB, BOMB_LIGHT, BOMB_SHINE)
    # the neck the fuse comes out of
    c.rect(17, 7, 23, 10, GREY2)
    c.rect(17, 7, 19, 10, GREY3)
    c.line(20, 7, 23, 3.5, FUSE_DARK, 2.4)
    c.line(20, 7, 22.5, 4, FUSE, 1.2)
    c.outline(BLACK)
    if not lit:
        c.put(23, 3, FUSE_DARK)
        return c
    sx, sy = 24, 3
    if spark == 0:
        for dx, dy in ((0, -3), (3, 0), (0, 3), (-3, 0)):
            c.line(sx, sy, sx + dx, sy + dy, ORANGE, 1.2)
        for dx, dy in ((2, -2), (-2, 2), (2, 2), (-2, -2)):
            c.put(sx + dx, sy + dy, YELLOW)
    else:
        for dx, dy in ((2, -2), (-2, 2), (2, 2), (-2, -2)):
            c.line(sx, sy, sx + dx * 1.5, sy + dy * 1.5, ORANGE, 1.2)
        for dx, dy in ((0, -3), (3, 0), (0, 3)):
            c.put(sx + dx, sy + dy, YELLOW)
        c.put(sx + 4, sy - 1, RED)
    c.ellipse(sx, sy, 1.6, 1.6, YELLOW)
    c.put(sx, sy, WHITE)
    return c


def bucket():
    c = Canvas(64, 32)
    # handle behind the pail
    c.fill(lambda x, y: 24.5 ** 2 <= (x - 32) ** 2 + ((y - 12) * 1.8) ** 2 <= 26.5 ** 2 and y < 12,
           TIN_RIM)
    # the pail: a tapering body with ribs
    c.polygon([(6, 9), (58, 9), (52, 31), (12, 31)], TIN)
    c.polygon([(6, 9), (16, 9), (19, 31), (12, 31)], TIN_LIGHT)
    c.polygon([(46, 9), (58, 9), (52, 31), (43, 31)], TIN_DARK)
    for y in (17, 25):
        c.fill(lambda x, yy: yy == y + 0.5 and c.get(int(x), y) != KEY, GREY3, (0, y, 64, y + 1))
    # rim and the water inside
    c.ellipse(32, 9, 27, 5, TIN_RIM)
    c.ellipse(32, 9, 25, 3.6, WATER_DARK)
    c.ellipse(32, 9.6, 24, 3, WATER)
    c.ellipse(26, 8.6, 8, 1, WATER_LIGHT)
    c.put(41, 9, FOAM)
    c.put(42, 9, FOAM)
    # rivets where the handle meets the pail
    c.ellipse(7.5, 11, 1.6, 1.6, GREY1)
    c.ellipse(56.5, 11, 1.6, 1.6, GREY1)
    c.outline(BLACK)
    return c


def splash(stage):
    """Stage 2 is the first frame (the burst), 1 the middle, 0 the last."""
    c = Canvas(64, 32)
    if stage == 2:
        # a crown of water jumping out of the pail
        for i, x in enumerate(range(14, 52, 5)):
            h = 10 + (i % 3) * 4
            c.ellipse(x, 30 - h / 2, 2.2, h / 2, WATER)
            c.ellipse(x - 0.7, 30 - h * 0.7, 1, h * 0.2, FOAM)
        c.ellipse(32, 28, 20, 4, WATER)
        c.ellipse(30, 27, 12, 2, WATER_LIGHT)
    elif stage == 1:
        # spray at its highest, drops flying outwards
        for x, y, r in ((10, 12, 2.5), (18, 6, 2.5), (27, 3, 2.2), (37, 3, 2.2), (46, 6, 2.5),
                        (54, 12, 2.5), (14, 20, 2.2), (50, 20, 2.2), (32, 9, 3)):
            c.ellipse(x, y, r, r * 1.2, WATER)
            c.put(x - 1, y - 1, FOAM)
        for x0, x1 in ((20, 14), (26, 22), (38, 42), (44, 50)):
            c.line(x0, 29, x1, 16, WATER, 2.6)
        c.ellipse(32, 28, 18, 4, WATER)
        c.ellipse(32, 27, 10, 2, FOAM)
    else:
        # the last drops falling back
        for x, y, r in ((6, 24, 2), (15, 18, 2), (25, 15, 1.8), (40, 15, 1.8), (50, 18, 2), (58, 24, 2),
                        (32, 20, 2)):
            c.ellipse(x, y, r * 0.9, r * 1.3, WATER)
            c.put(x, y - 1, WATER_LIGHT)
        c.ellipse(32, 29, 14, 2.5, WATER_LIGHT)
    c.outline(WATER_DARK)
    return c


def impact():
    c = Canvas(32, 32)
    points = []
    for k in range(16):
        a = k * math.pi / 8
        r = 15 if k % 2 == 0 else 6
        points.append((16 + r * math.cos(a), 16 + r * math.sin(a)))
    c.polygon(points, YELLOW)
    inner = [(16 + (x - 16) * 0.55, 16 + (y - 16) * 0.55) for x, y in points]
    c.polygon(inner, WHITE)
    c.outline(ORANGE)
    return c


def blast(size, seed):
    """A fireball of radius size: yellow heart, orange and red rim, a few flames."""
    c = Canvas(32, 32)
    rnd = seed
    def rand():
        nonlocal rnd
        rnd = (rnd * 1103515245 + 12345) & 0x7FFFFFFF
        return rnd / 0x7FFFFFFF
    for k in range(9):
        a = k * 2 * math.pi / 9 + rand()
        d = size * (0.55 + 0.35 * rand())
        c.ellipse(16 + d * math.cos(a), 16 + d * math.sin(a), size * 0.45, size * 0.45, DARK_RED)
    c.ellipse(16, 16, size, size, RED)
    for k in range(7):
        a = k * 2 * math.pi / 7 + rand()
        d = size * 0.4 * rand()
        c.ellipse(16 + d * math.cos(a), 16 + d * math.sin(a), size * 0.55, size * 0.5, ORANGE)
    c.ellipse(16 - size * 0.1, 16 - size * 0.1, size * 0.45, size * 0.45, YELLOW)
    c.ellipse(16 - size * 0.15, 16 - size * 0.18, size * 0.2, size * 0.2, WHITE)
    return c


def smoke():
    """What is left: a grey cloud with a last glow."""
    c = Canvas(32, 32)
    for x, y, r in ((11, 19, 7), (21, 18, 7.5), (16, 11, 7), (16, 22, 6)):
        c.ellipse(x, y, r, r * 0.9, GREY2)
    for x, y, r in ((10, 17, 4), (19, 15, 4.5), (15, 9, 3.5)):
        c.ellipse(x, y, r, r * 0.8, GREY3)
    c.ellipse(14, 8, 1.8, 1.4, GREY5)
    c.ellipse(17, 23, 3, 1.8, DARK_RED)
    c.ellipse(17, 23, 1.5, 0.9, ORANGE)
    c.outline(GREY1)
    return c


# Digits 0..9, 16 x 16 each: '#' ink, '+' its shading, 'o' outline, '.' clear.
DIGITS = """
................ ................ ................ ................ ................ ................ ................ ................ ................ ................
....oooooooo.... .....oooooo..... ...ooooooooo.... ...oooooooooo... ........oooooo.. ..ooooooooooo... ....oooooooo.... ..oooooooooooo.. ....oooooooo.... ....oooooooo....
...o########o... ....o######o.... ..o#########o... ..o##########o.. .......o####o... ..o##########o.. ...o########o... ..o############o ...o########o... ...o########o...
..o###++++###o.. ...o#######o.... .o###+++++###o.. ..o+++++++###o.. ......o#####o... ..o###+++++++o.. ..o###++++++o... ..o+++++++###o.. ..o###++++###o.. ..o###++++###o..
..o##+oooo+##o.. ...o+++###o..... .o##+ooooo+##o.. ..oooooooo##+o.. .....o###+##o... ..o##+ooooooo... ..o##+oooooo.... ..ooooooo###+o.. ..o##+oooo+##o.. ..o##+oooo+##o..
..o##o....o##o.. ....ooo###o..... ..oo.....o###o.. ........o###+o.. ....o###+o##o... ..o##o.......... ..o##o.......... .......o###+o... ..o##o....o##o.. ..o##o....o##o..
..o##o....o##o.. ......o###o..... ........o###+o.. ....oooo###+o... ...o###+oo##o... ..o##oooooo..... ..o##ooooooo.... ......o###+o.... ...o##oooo##o... ..o##+oooo+##o..
..o##o....o##o.. ......o###o..... .......o###+o... ...o######+o.... ..o###+o.o##o... ..o#########o... ..o##########o.. ......o##+o..... ....o######o.... ...o#########o..
..o##o....o##o.. ......o###o..... ......o###+o.... ...o+++++###o... .o###+oooo##oo.. ..o+++++++###o.. ..o###+++++###o. .....o###o...... ...o##++++##o... ....o+++++##o...
..o##o....o##o.. ......o###o..... .....o###+o..... ....ooooo+##o... .o############o. ..ooooooooo+##o. ..o##+ooooo+##o. .....o##+o...... ..o##+oooo+##o.. ..ooooooo+##+o..
..o##o....o##o.. ......o###o..... ....o###+o...... .ooo.....o##o... .o++++++++##++o. ..ooo......o##o. ..o##o.....o##o. ....o###o....... ..o##o....o##o.. ........o###o...
..o##+oooo+##o.. ......o###o..... ...o###+oooooo.. .o##ooooo+##o... ..oooooooo##oo.. ..o##ooooo+##o.. ..o##+ooooo+##o. ....o##+o....... ..o##+oooo+##o.. ..oooooo+###o...
..o###++++###o.. ....oo####+oo... ..o###########o. .o+###++++##+o.. .........o##o... ..o+###+++##+o.. ..o+###+++###+o. ...o###o........ ..o+###++###+o.. ..o####+++##o...
...o+######+o... ...o########o... ..o###########o. ..o+#######+o... .........o##o... ...o+######+o... ...o+#######+o.. ...o##+o........ ...o+######+o... ...o+#####+o....
....oooooooo.... ...oooooooooo... ..ooooooooooooo. ...ooooooooo.... .........oooo... ....oooooooo.... ....ooooooooo... ...oooo......... ....oooooooo.... ....ooooooo.....
................ ................ ................ ................ ................ ................ ................ ................ ................ ................
"""
DIGIT_COLORS = {'#': GOLD, '+': ORANGE, 'o': BLACK}


def digits():
    rows = [line.split(' ') for line in DIGITS.strip('\n').splitlines()]
    if len(rows) != 16 or any(len(r) != 10 or any(len(d) != 16 for d in r) for r in rows):
        sys.exit('make_pictures.py: each digit must be 16 rows of 16 characters')
    c = Canvas(160, 16)
    for y, row in enumerate(rows):
        for d, cells in enumerate(row):
            for x, ch in enumerate(cells):
                if ch != '.':
                    c.put(d * 16 + x, y, DIGIT_COLORS[ch])
    return c


def sheet():
    c = Canvas(64, 416)
    c.paste(bomber(grin=False), 0, 0)
    c.paste(bucket(), 0, 64)
    c.paste(splash(0), 0, 96)
    c.paste(fuse_bomb(0), 0, 128)
    c.paste(impact(), 32, 128)
    c.paste(fuse_bomb(1), 0, 160)
    c.paste(fuse_bomb(0, lit=False), 32, 160)
    c.paste(bomber(grin=True), 0, 192)
    c.paste(blast(9, 7), 0, 256)     # Blast3
    c.paste(blast(11, 3), 32, 256)   # Blast2
    c.paste(blast(13, 5), 0, 288)    # Blast1
    c.paste(blast(15, 1), 32, 288)   # Blast0
    c.paste(splash(1), 0, 320)
    c.paste(splash(2), 0, 352)
    c.paste(blast(7, 11), 0, 384)    # Blast4
    c.paste(smoke(), 32, 384)        # Blast5
    return c


def bmp(canvas):
    """An 8-bit bitmap with the whole game palette as its colour table."""
    stride = (canvas.width + 3) // 4 * 4
    table = b''.join(bytes((b, g, r, 0)) for r, g, b in (rgb(i) for i in range(256)))
    rows = b''.join(bytes(row) + bytes(stride - canvas.width) for row in reversed(canvas.pixels))
    offset = 14 + 40 + len(table)
    header = struct.pack('<2sIHHI', b'BM', offset + len(rows), 0, 0, offset)
    info = struct.pack('<IiiHHIIiiII', 40, canvas.width, canvas.height, 1, 8, 0, len(rows), 2835, 2835, 256, 0)
    return header + info + table + rows


def ico(canvas):
    """One 32 x 32 image, 32 bits with alpha, and its AND mask."""
    size = canvas.width
    pixels = bytearray()
    mask = bytearray()
    for row in reversed(canvas.pixels):
        bits = bytearray(size // 8)
        for x, index in enumerate(row):
            if index == KEY:
                pixels += b'\0\0\0\0'
                bits[x // 8] |= 0x80 >> (x % 8)
            else:
                r, g, b = rgb(index)
                pixels += bytes((b, g, r, 255))
        mask += bits
    image = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0) + pixels + mask
    return struct.pack('<HHH', 0, 1, 1) + struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(image), 22) + image


def png(canvas, scale, background=None):
    raw = bytearray()
    for row in canvas.pixels:
        line = bytearray()
        for index in row:
            line += bytes(rgb(background if index == KEY and background is not None else index))
        for _ in range(scale):
            raw.append(0)
            raw += b''.join(line[3 * x:3 * x + 3] * scale for x in range(canvas.width))
    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
    head = struct.pack('>IIBBBBB', canvas.width * scale, canvas.height * scale, 8, 2, 0, 0, 0)
    return b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', head) + chunk(b'IDAT', zlib.compress(bytes(raw), 9)) + \
        chunk(b'IEND', b'')


def icon():
    c = Canvas(32, 32)
    c.paste(fuse_bomb(0), 0, 0)
    return c


def main():
    args = [a for a in sys.argv[1:] if not a.startswith('--')]
    if len(args) != 1:
        sys.exit(__doc__)
    out = Path(args[0])
    out.mkdir(parents=True, exist_ok=True)
    pictures = {'grentix': sheet(), 'score': digits()}
    for name, canvas in pictures.items():
        (out / f'{name}.bmp').write_bytes(bmp(canvas))
    (out / 'grentix.ico').write_bytes(ico(icon()))
    if '--png' in sys.argv:
        for name, canvas in pictures.items():
            (out / f'{name}.png').write_bytes(png(canvas, 4, P(5, 5, 2)))
        (out / 'icon.png').write_bytes(png(icon(), 4, P(5, 5, 2)))


if __name__ == '__main__':
    main()
