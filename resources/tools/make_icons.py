#!/usr/bin/env python3
"""Draws Panelwright's application icon: a small message window with a frame, lines of text in
two colours and the pause arrow under them.

Writes, relative to the project root:
  resources/icons/panelwright-N.png   N x N pixels (N = 16, 32, 48, 64, 128, 256), RGBA
  resources/icons/panelwright.svg     the same drawing as a scalable picture

The drawing is a list of shapes on a 256 x 256 canvas; each PNG is rendered from it with 8 x 8
samples per pixel. Sizes of 32 and less drop the third text line, which would only blur there,
and the 16-pixel icon is laid out on whole pixels so that its frame and lines stay crisp.

Python 3 standard library only. Run from anywhere:  python3 resources/tools/make_icons.py
The build never runs this script; its outputs are committed.
"""
import os

from make_skins import ROOT, write_png

OUT = os.path.join(ROOT, 'resources', 'icons')
SIZES = (16, 32, 48, 64, 128, 256)
CANVAS = 256.0

FRAME_DARK = (0x6b, 0x4a, 0x1c)
FRAME_LIGHT = (0xf2, 0xd4, 0x7a)
PANEL_TOP = (0x3a, 0x5c, 0xc8)
PANEL_BOTTOM = (0x14, 0x1f, 0x5c)
TEXT_WHITE = (0xf8, 0xf8, 0xf0)
TEXT_GOLD = (0xff, 0xc8, 0x3c)
SHADOW = (0x08, 0x0c, 0x24)


# ---------------------------------------------------------------------------------------------
# Shapes: ('rect', x0, y0, x1, y1, radius, fill) and ('tri', [(x, y) * 3], fill). A fill is a
# colour or ('vgrad', y0, colour0, y1, colour1).

def rounded(x0, y0, x1, y1, r, fill):
    return ('rect', x0, y0, x1, y1, r, fill)


def shapes_16():
    """The 16-pixel icon on whole pixels (16 canvas units each), without the arrow."""
    px = 16
    return [
        rounded(0, 2 * px, 16 * px, 14 * px, 24, FRAME_DARK),
        rounded(1 * px, 3 * px, 15 * px, 13 * px, 16, FRAME_LIGHT),
        rounded(2 * px, 4 * px, 14 * px, 12 * px, 4, ('vgrad', 4 * px, PANEL_TOP, 12 * px, PANEL_BOTTOM)),
        rounded(4 * px, 6 * px, 13 * px, 8 * px, 0, SHADOW),
        rounded(3 * px, 5 * px, 12 * px, 7 * px, 0, TEXT_WHITE),
        rounded(4 * px, 9 * px, 10 * px, 11 * px, 0, SHADOW),
        rounded(3 * px, 8 * px, 9 * px, 10 * px, 0, TEXT_GOLD),
    ]


def shapes(size):
    if size <= 16:
        return shapes_16()
    small = size <= 32
    out = [
        rounded(8, 36, 248, 220, 30, FRAME_DARK),                                   # outer rim
        rounded(14, 42, 242, 214, 25, ('vgrad', 42, FRAME_LIGHT, 214, (0xc0, 0x94, 0x3c))),
        rounded(26, 54, 230, 202, 14, ('vgrad', 54, PANEL_TOP, 202, PANEL_BOTTOM)),  # wallpaper
    ]
    lines = [(78, 176, TEXT_WHITE), (118, 148, TEXT_GOLD)] if small else \
            [(74, 190, TEXT_WHITE), (106, 150, TEXT_GOLD), (138, 170, TEXT_WHITE)]
    height = 26 if small else 18
    for y, x1, colour in lines:
        out.append(rounded(48, y + 4, x1 + 4, y + height + 4, 4, SHADOW))           # drop shadow
        out.append(rounded(44, y, x1, y + height, 4, colour))
    arrow_y = 168 if small else 172
    out.append(('tri', [(112, arrow_y), (144, arrow_y), (128, arrow_y + 20)], TEXT_GOLD))
    return out


def colour_at(fill, y):
    if fill[0] != 'vgrad':
        return fill
    _, y0, c0, y1, c1 = fill
    t = min(1.0, max(0.0, (y - y0) / (y1 - y0)))
    return tuple(round(a + (b - a) * t) for a, b in zip(c0, c1))


def inside(shape, x, y):
    if shape[0] == 'rect':
        _, x0, y0, x1, y1, r, _ = shape
        if x < x0 or x >= x1 or y < y0 or y >= y1:
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    (ax, ay), (bx, by), (cx, cy) = shape[1]
    d1 = (x - bx) * (ay - by) - (ax - bx) * (y - by)
    d2 = (x - cx) * (by - cy) - (bx - cx) * (y - cy)
    d3 = (x - ax) * (cy - ay) - (cx - ax) * (y - ay)
    return not ((d1 < 0 or d2 < 0 or d3 < 0) and (d1 > 0 or d2 > 0 or d3 > 0))


def render(size, samples=8):
    """Rows of (r, g, b, a); colours are averaged over the covered samples of each pixel."""
    drawing = shapes(size)
    step = CANVAS / size / samples
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            total, covered = [0, 0, 0], 0
            for sy in range(samples):
                y = (py * samples + sy + 0.5) * step
                for sx in range(samples):
                    x = (px * samples + sx + 0.5) * step
                    colour = None
                    for shape in drawing:
                        if inside(shape, x, y):
                            colour = colour_at(shape[-1], y)
                    if colour is not None:
                        covered += 1
                        for i in range(3):
                            total[i] += colour[i]
            if covered == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append(tuple(round(t / covered) for t in total) +
                           (round(255 * covered / (samples * samples)),))
        rows.append(row)
    return rows


# ---------------------------------------------------------------------------------------------
# Files

def hex_colour(c):
    return '#%02x%02x%02x' % c


def write_svg(path):
    defs, body = [], []
    for i, shape in enumerate(shapes(256)):
        fill = shape[-1]
        if fill[0] == 'vgrad':
            _, y0, c0, y1, c1 = fill
            defs.append('<linearGradient id="g%d" gradientUnits="userSpaceOnUse" x1="0" y1="%g" x2="0" y2="%g">'
                        '<stop offset="0" stop-color="%s"/><stop offset="1" stop-color="%s"/></linearGradient>'
                        % (i, y0, y1, hex_colour(c0), hex_colour(c1)))
            paint = 'url(#g%d)' % i
        else:
            paint = hex_colour(fill)
        if shape[0] == 'rect':
            _, x0, y0, x1, y1, r, _ = shape
            body.append('<rect x="%g" y="%g" width="%g" height="%g" rx="%g" fill="%s"/>'
                        % (x0, y0, x1 - x0, y1 - y0, r, paint))
        else:
            points = ' '.join('%g,%g' % p for p in shape[1])
            body.append('<polygon points="%s" fill="%s"/>' % (points, paint))
    text = ('<?xml version="1.0" encoding="UTF-8"?>\n'
            '<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">\n'
            '<defs>' + ''.join(defs) + '</defs>\n' + '\n'.join(body) + '\n</svg>\n')
    with open(path, 'w') as f:
        f.write(text)


def main():
    os.makedirs(OUT, exist_ok=True)
    for size in SIZES:
        write_png(os.path.join(OUT, 'panelwright-%d.png' % size), render(size))
    write_svg(os.path.join(OUT, 'panelwright.svg'))


if __name__ == '__main__':
    main()
