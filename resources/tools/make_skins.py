#!/usr/bin/env python3
"""Draws Panelwright's sample skins and the documentation pictures.

Writes, relative to the project root:
  resources/samples/NAME.bmp   160x80, 24 bits per pixel, bottom-up, 40-byte info header
  resources/samples/NAME.png   the same pixels (RGB, or an 8-bit palette where noted)
  docs/gaizi01.png             the glyph sheet from resources/gaizi01.txt, enlarged x8 with a grid
  docs/skins.png               each skin enlarged x3 beside a window assembled from it

Python 3 standard library only. Run from anywhere:  python3 resources/tools/make_skins.py
The build never runs this script; its outputs are committed.
"""
import math
import os
import struct
import zlib

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..'))
SKIN_W, SKIN_H = 160, 80
CELL, COLS, ROWS = 12, 13, 4


# ---------------------------------------------------------------------------------------------
# Files

def png_chunk(kind, data):
    body = kind + data
    return struct.pack('>I', len(data)) + body + struct.pack('>I', zlib.crc32(body) & 0xFFFFFFFF)


def write_png(path, pixels, palette=None):
    """pixels: rows of (r, g, b) or (r, g, b, a) tuples, top row first. With a palette (a list
    of colours), writes an 8-bit indexed image, otherwise 8-bit RGB or RGBA as the tuples are;
    never interlaced."""
    height, width = len(pixels), len(pixels[0])
    raw = bytearray()
    if palette is None:
        colour_type = 6 if len(pixels[0][0]) == 4 else 2
        ihdr = struct.pack('>IIBBBBB', width, height, 8, colour_type, 0, 0, 0)
        for row in pixels:
            raw.append(0)
            for pixel in row:
                raw += bytes(pixel)
    else:
        index = {c: i for i, c in enumerate(palette)}
        ihdr = struct.pack('>IIBBBBB', width, height, 8, 3, 0, 0, 0)
        for row in pixels:
            raw.append(0)
            raw += bytes(index[c] for c in row)
    out = b'\x89PNG\r\n\x1a\n' + png_chunk(b'IHDR', ihdr)
    if palette is not None:
        out += png_chunk(b'PLTE', b''.join(bytes(c) for c in palette))
    out += png_chunk(b'IDAT', zlib.compress(bytes(raw), 9)) + png_chunk(b'IEND', b'')
    with open(path, 'wb') as f:
        f.write(out)


def write_bmp24(path, pixels):
    height, width = len(pixels), len(pixels[0])
    stride = (width * 3 + 3) & ~3
    image = bytearray()
    for row in reversed(pixels):  # bottom-up
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        image += line + bytes(stride - len(line))
    file_header = struct.pack('<2sIHHI', b'BM', 14 + 40 + len(image), 0, 0, 14 + 40)
    info_header = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0, len(image), 2835, 2835, 0, 0)
    with open(path, 'wb') as f:
        f.write(file_header + info_header + image)


def read_art(path):
    """Returns 52 glyphs, each 12 rows of 12 booleans (True = ink). Mirrors the build's parser
    loosely; the build tool is the strict one."""
    glyphs = []
    rows = None
    with open(path, encoding='ascii') as f:
        for line in f:
            line = line.rstrip('\n')
            if not line or line.startswith(';'):
                continue
            if line.startswith('# '):
                rows = []
                glyphs.append(rows)
            else:
                rows.append([c == '#' for c in line])
    assert len(glyphs) == COLS * ROWS and all(len(g) == CELL for g in glyphs)
    return glyphs


def sheet_ink(glyphs):
    """The sheet as rows of booleans, 156x48."""
    ink = [[False] * (CELL * COLS) for _ in range(CELL * ROWS)]
    for n, g in enumerate(glyphs):
        cx, cy = CELL * (n % COLS), CELL * (n // COLS)
        for y in range(CELL):
            for x in range(CELL):
                ink[cy + y][cx + x] = g[y][x]
    return ink


# ---------------------------------------------------------------------------------------------
# Colour helpers

def lerp(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def blank(w, h, colour):
    return [[colour] * w for _ in range(h)]


def fill(img, x0, y0, w, h, colour):
    for y in range(y0, y0 + h):
        for x in range(x0, x0 + w):
            img[y][x] = colour


def scale(img, k):
    return [[c for c in row for _ in range(k)] for row in img for _ in range(k)]


def paste(dst, src, x0, y0):
    for y, row in enumerate(src):
        dst[y0 + y][x0:x0 + len(row)] = row


# Twenty text colours, each shading from its top colour to its bottom colour.
SWATCHES = [
    ((255, 255, 255), (196, 206, 226)),  # 0 white
    ((255, 168, 156), (214, 40, 40)),    # 1 red
    ((186, 255, 164), (38, 166, 48)),    # 2 green
    ((176, 214, 255), (44, 96, 232)),    # 3 blue
    ((255, 255, 176), (228, 178, 24)),   # 4 yellow
    ((255, 214, 156), (226, 112, 24)),   # 5 orange
    ((186, 255, 255), (24, 168, 200)),   # 6 cyan
    ((255, 196, 236), (218, 72, 168)),   # 7 pink
    ((224, 196, 255), (132, 74, 220)),   # 8 violet
    ((226, 226, 226), (132, 132, 136)),  # 9 grey
    ((255, 242, 176), (190, 140, 44)),   # 10 gold
    ((244, 118, 126), (150, 22, 44)),    # 11 crimson
    ((224, 255, 128), (118, 188, 22)),   # 12 lime
    ((156, 242, 222), (22, 128, 118)),   # 13 teal
    ((214, 242, 255), (104, 170, 230)),  # 14 sky
    ((232, 194, 154), (140, 90, 52)),    # 15 brown
    ((255, 255, 255), (150, 160, 182)),  # 16 silver
    ((255, 224, 224), (228, 140, 152)),  # 17 rose
    ((222, 255, 232), (120, 208, 160)),  # 18 mint
    ((156, 156, 166), (62, 62, 72)),     # 19 dark grey
]


# ---------------------------------------------------------------------------------------------
# Skin layout

def paint_swatches(img, steps):
    """Twenty 16x16 swatches in two rows of ten from y 48; steps = number of shades per swatch."""
    for n, (top, bottom) in enumerate(SWATCHES):
        x0, y0 = 16 * (n % 10), 48 + 16 * (n // 10)
        for y in range(16):
            level = y * steps // 16
            fill(img, x0, y0 + y, 16, 1, lerp(top, bottom, level / (steps - 1)))


def paint_frame(img, edge, corner):
    """Frame block at (32..63, 0..31). edge(d, t) gives the colour at distance d (0 = outer side,
    7 = inner side) and position t (0..15) along an edge piece; corner(cx, cy) the colour of a
    corner pixel, in coordinates of the top-left corner (0 = outer side), mirrored for the
    others."""
    for by in range(32):
        for bx in range(32):
            dx = bx if bx < 8 else (31 - bx if bx >= 24 else None)
            dy = by if by < 8 else (31 - by if by >= 24 else None)
            if dx is not None and dy is not None:
                c = corner(dx, dy)
            elif dy is not None:
                c = edge(dy, bx - 8)   # top and bottom edges: piece column
            elif dx is not None:
                c = edge(dx, by - 8)   # left and right edges: piece row
            else:
                continue               # centre of the block, filled by the caller
            img[by][32 + bx] = c


def paint_pause_arrow(img, inside, rim, background):
    """The down arrow, 16x8 at (40, 16) in the centre of the frame block, on the colour that the
    skin's windows are keyed with, so that only the arrow itself shows on the bottom edge."""
    fill(img, 40, 16, 16, 8, background)
    for r in range(5):
        for x in range(3 + r, 13 - r):
            img[17 + r][40 + x] = rim if r == 0 or x in (3 + r, 12 - r) else inside


def new_skin(wallpaper, filler, shadow, steps):
    img = blank(SKIN_W, SKIN_H, filler)
    paste(img, wallpaper, 0, 0)
    paste(img, [row[8:24] for row in wallpaper[8:24]], 40, 8)  # frame centre shows the wallpaper
    fill(img, 16, 32, 16, 16, shadow)
    paint_swatches(img, steps)
    return img


def blue_skin():
    deep, light = (22, 36, 112), (54, 84, 178)
    wall = []
    for y in range(32):
        row = []
        for x in range(32):
            v = 0.5 + 0.3 * math.cos(2 * math.pi * y / 32) + 0.2 * math.cos(2 * math.pi * (x + y) / 32)
            row.append(lerp(deep, light, round(v * 7) / 7))
        wall.append(row)
    img = new_skin(wall, (40, 44, 64), (12, 14, 40), 16)
    band = [(30, 36, 72), (150, 160, 190), (206, 214, 232), (246, 248, 255),
            (206, 214, 232), (150, 160, 190), (30, 36, 72), (16, 26, 84)]
    stud, stud_dark = (250, 214, 92), (176, 122, 30)

    def edge(d, t):
        if 2 <= d <= 4 and t in (3, 4):       # one gold stud per 16 pixels, off centre
            return stud if d < 4 else stud_dark
        if d == 3 and t in (10, 11, 12):      # and a short groove
            return band[5]
        return band[d]

    def corner(cx, cy):
        if cx == 0 or cy == 0 or cx == 7 or cy == 7:
            return band[0]
        if 3 <= cx <= 4 and 3 <= cy <= 4:
            return (220, 40, 56)               # red gem
        if cx == 1 or cy == 1:
            return (255, 240, 170)
        if cx == 6 or cy == 6:
            return stud_dark
        return stud

    paint_frame(img, edge, corner)
    paint_pause_arrow(img, stud, stud_dark, (0, 0, 0))
    return img


def forest_skin():
    dark, mid, light = (26, 64, 38), (36, 82, 48), (50, 104, 62)
    wall = []
    for y in range(32):
        row = []
        for x in range(32):
            block = ((x // 8) + (y // 8)) % 2     # basket weave of 8x8 blocks
            along = y % 8 if block else x % 8
            across = x % 8 if block else y % 8
            c = light if across in (1, 2) or across in (5, 6) else mid
            if across in (0, 4) or along == 7:
                c = dark
            row.append(c)
        wall.append(row)
    img = new_skin(wall, (44, 40, 32), (14, 28, 14), 16)
    wood = [(54, 30, 14), (196, 140, 80), (168, 112, 60), (150, 98, 50),
            (168, 112, 60), (132, 84, 42), (54, 30, 14), (20, 44, 26)]
    iron, iron_light, iron_dark = (142, 148, 156), (210, 214, 222), (70, 74, 84)

    def edge(d, t):
        if 3 <= d <= 4 and t in (5, 6):       # an iron rivet every 16 pixels
            return iron_light if d == 3 else iron_dark
        if 1 <= d <= 5 and t in (12, 13) and d % 2 == 0:
            return wood[5]                     # a knot in the grain
        return wood[d]

    def corner(cx, cy):
        if cx == 0 or cy == 0 or cx == 7 or cy == 7:
            return iron_dark
        if (cx, cy) in ((3, 3), (4, 4)):
            return iron_dark
        if (cx, cy) in ((3, 4), (4, 3)):
            return iron_light
        return iron_light if cx == 1 or cy == 1 else iron

    paint_frame(img, edge, corner)
    paint_pause_arrow(img, iron_light, iron_dark, (0, 0, 0))
    return img


KEY = (255, 0, 255)


def night_skin():
    top, bottom = (14, 10, 44), (46, 30, 92)
    stars = {(3, 5): 2, (21, 2): 1, (12, 13): 1, (27, 17): 2, (6, 24): 1, (17, 28): 1, (29, 29): 1}
    wall = []
    for y in range(32):
        row = []
        for x in range(32):
            v = 0.5 - 0.5 * math.cos(2 * math.pi * (y + 4) / 32)
            row.append(lerp(top, bottom, round(v * 5) / 5))
        wall.append(row)
    for (x, y), size in stars.items():
        wall[y][x] = (255, 250, 210)
        if size == 2:
            for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                wall[(y + dy) % 32][(x + dx) % 32] = (150, 140, 190)
    img = new_skin(wall, (30, 24, 48), (20, 6, 30), 8)
    line, inner = (214, 196, 255), (104, 72, 164)
    gem = (255, 232, 120)

    def edge(d, t):
        # A diamond every 16 pixels; elsewhere two thin lines with the wallpaper showing around them.
        diamond = abs(t - 4) + abs(d - 2) <= 2
        if diamond:
            return gem if abs(t - 4) + abs(d - 2) <= 1 else line
        if d == 1:
            return line
        if d == 3:
            return inner
        return KEY

    def corner(cx, cy):
        # Rounded: the key colour outside a quarter circle, so the wallpaper shows in the corner.
        r = math.hypot(7.5 - cx, 7.5 - cy)
        if 6.1 < r <= 7.2:
            return line
        if 4.1 < r <= 5.1:
            return inner
        return KEY

    paint_frame(img, edge, corner)
    paint_pause_arrow(img, gem, line, KEY)
    # A star on every corner makes it plain which corner went where.
    for ox, oy in ((32, 0), (56, 0), (32, 24), (56, 24)):
        sx = ox + (2 if ox == 32 else 5)
        sy = oy + (2 if oy == 0 else 5)
        img[sy][sx] = gem
    return img


SKINS = [('blue', blue_skin, False), ('forest', forest_skin, False), ('night', night_skin, True)]


# ---------------------------------------------------------------------------------------------
# Documentation pictures

DIGITS = ['111', '101', '101', '101', '111', '010', '110', '010', '010', '111',
          '111', '001', '111', '100', '111', '111', '001', '111', '001', '111',
          '101', '101', '111', '001', '001', '111', '100', '111', '001', '111',
          '111', '100', '111', '101', '111', '111', '001', '010', '010', '010',
          '111', '101', '111', '101', '111', '111', '101', '111', '001', '111']


def draw_number(img, x, y, n, colour, k):
    for ch in str(n):
        d = int(ch)
        for row in range(5):
            for col in range(3):
                if DIGITS[5 * d + row][col] == '1':
                    fill(img, x + col * k, y + row * k, k, k, colour)
        x += 4 * k


def sheet_picture(glyphs):
    k, label = 8, 16
    pitch_x, pitch_y = CELL * k + 2, CELL * k + 2 + label
    paper, margin, ink, grid = (255, 255, 255), (226, 232, 244), (24, 28, 48), (150, 160, 184)
    img = blank(COLS * pitch_x + 2, ROWS * pitch_y + 2, (244, 244, 248))
    for n, g in enumerate(glyphs):
        x0, y0 = 2 + pitch_x * (n % COLS), 2 + pitch_y * (n // COLS)
        draw_number(img, x0 + 2, y0 + 3, n, (90, 96, 120), 2)
        y0 += label
        fill(img, x0 - 1, y0 - 1, CELL * k + 2, CELL * k + 2, grid)
        for y in range(CELL):
            for x in range(CELL):
                c = ink if g[y][x] else (margin if x == 11 or y == 11 else paper)
                fill(img, x0 + x * k, y0 + y * k, k, k, c)
        for i in range(1, CELL):     # faint pixel grid
            for t in range(CELL * k):
                for px, py in ((x0 + i * k, y0 + t), (x0 + t, y0 + i * k)):
                    if img[py][px] == paper or img[py][px] == margin:
                        img[py][px] = (236, 238, 244)
    return img


def assemble_window(skin, glyphs, lines, pad=4):
    """A window from the skin in tile mode, with glyph 'text' lines: lists of (glyph, colour)."""
    n = len(lines)
    width = max(12 * len(l) for l in lines) + 2 * pad + 16
    height = 16 * (n + 1) + 2 * pad
    win = [[skin[y % 32][x % 32] for x in range(width)] for y in range(height)]
    key = KEY

    def put(x, y, sx, sy):
        c = skin[sy][sx]
        if c != key:
            win[y][x] = c

    for x in range(8, width - 8):
        for y in range(8):
            put(x, y, 40 + x % 16, y)
            put(x, height - 8 + y, 40 + x % 16, 24 + y)
    for y in range(8, height - 8):
        for x in range(8):
            put(x, y, 32 + x, 8 + y % 16)
            put(width - 8 + x, y, 56 + x, 8 + y % 16)
    for y in range(8):
        for x in range(8):
            put(x, y, 32 + x, y)
            put(width - 8 + x, y, 56 + x, y)
            put(width - 8 + x, height - 8 + y, 56 + x, 24 + y)
    for y in range(height - 9, height):
        for x in range(8):
            put(x, y, 32 + x, 24 + y - (height - 8))
    shadow = skin[32][16]
    for p, line in enumerate(lines):
        for i, (g, colour) in enumerate(line):
            x0, y0 = pad + 8 + 12 * i, pad + 10 + 16 * p
            for x in range(12):
                for y in range(12):
                    if glyphs[g][y][x]:
                        c = skin[48 + 16 * (colour // 10) + 4 + y][16 * (colour % 10) + 2 + x]
                        win[y0 + y + 1][x0 + x + 1] = shadow
                        win[y0 + y][x0 + x] = c
    return win


def skins_picture(skins, glyphs):
    lines = [[(g, 0) for g in range(13)],
             [(26 + i, i + 1) for i in range(13)],
             [(39 + i, 7 + i) for i in range(13)]]
    k, gap = 3, 12
    windows = [assemble_window(s, glyphs, lines) for s in skins]
    ww, wh = len(windows[0][0]), len(windows[0])
    row_h = max(SKIN_H, wh) * k
    img = blank(SKIN_W * k + ww * k + 3 * gap, len(skins) * (row_h + gap) + gap, (236, 236, 240))
    for i, (s, w) in enumerate(zip(skins, windows)):
        y = gap + i * (row_h + gap)
        paste(img, scale(s, k), gap, y)
        paste(img, scale(w, k), 2 * gap + SKIN_W * k, y)
    return img


def main():
    glyphs = read_art(os.path.join(ROOT, 'resources', 'gaizi01.txt'))
    os.makedirs(os.path.join(ROOT, 'docs'), exist_ok=True)
    write_png(os.path.join(ROOT, 'docs', 'gaizi01.png'), sheet_picture(glyphs))
    skins = []
    for name, make, indexed in SKINS:
        img = make()
        assert len(img) == SKIN_H and all(len(r) == SKIN_W for r in img)
        palette = None
        if indexed:
            palette = sorted({c for row in img for c in row})
            assert len(palette) <= 256, (name, len(palette))
        base = os.path.join(ROOT, 'resources', 'samples', name)
        write_bmp24(base + '.bmp', img)
        write_png(base + '.png', img, palette)
        skins.append(img)
    write_png(os.path.join(ROOT, 'docs', 'skins.png'), skins_picture(skins, glyphs))


if __name__ == '__main__':
    main()
