#!/usr/bin/env python3
"""Draws Panelwright's sample face sheet.

Writes, relative to the project root:
  resources/samples/faces.png   192x96, 8-bit RGB: eight 48x48 faces, four to a row
  resources/samples/faces.bmp   the same pixels as a 24-bit BMP

Faces 0..3 are a young traveller (smiling, surprised, sad, determined) and faces 4..7 an old
sage (smiling, stern, laughing, worried). Each cell has a soft background of its own, so the
faces read on any skin; none uses pure black, the program's default transparent colour.

Python 3 standard library only. Run from anywhere:  python3 resources/tools/make_faces.py
The build never runs this script; its outputs are committed.
"""
import os

from make_skins import ROOT, blank, lerp, write_bmp24, write_png

FACE = 48
PER_ROW = 4

OUTLINE = (40, 28, 24)
EYE = (36, 30, 44)
WHITE = (250, 250, 246)
MOUTH = (150, 48, 48)


def inside_ellipse(x, y, cx, cy, rx, ry):
    return ((x + 0.5 - cx) / rx) ** 2 + ((y + 0.5 - cy) / ry) ** 2 <= 1.0


def put(img, x, y, colour):
    if 0 <= x < FACE and 0 <= y < FACE:
        img[y][x] = colour


def ellipse(img, cx, cy, rx, ry, colour, clip=None):
    for y in range(FACE):
        for x in range(FACE):
            if inside_ellipse(x, y, cx, cy, rx, ry) and (clip is None or clip(x, y)):
                img[y][x] = colour


def outline(img, background):
    """Darkens every figure pixel that touches the background, so the figure stands out."""
    edge = []
    for y in range(FACE):
        for x in range(FACE):
            if img[y][x] == background:
                continue
            for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                nx, ny = x + dx, y + dy
                if 0 <= nx < FACE and 0 <= ny < FACE and img[ny][nx] == background:
                    edge.append((x, y))
                    break
    for x, y in edge:
        img[y][x] = OUTLINE


def eyes(img, mood):
    for ex in (19, 29):
        if mood in ('surprised', 'worried'):
            ellipse(img, ex + 0.5, 26, 2.4, 3.0, WHITE)
            put(img, ex, 26, EYE)
            put(img, ex, 25, EYE)
        elif mood in ('smile', 'laugh'):
            for dx in (-1, 0, 1):  # closed, curved eyes
                put(img, ex + dx, 25 if dx == 0 else 26, EYE)
        else:
            for dy in (0, 1, 2):
                put(img, ex, 24 + dy, EYE)
                put(img, ex + 1, 24 + dy, EYE)
            put(img, ex + 1, 24, WHITE)
    brows = {'sad': ((17, 22), (21, 21)), 'worried': ((17, 21), (21, 20)),
             'determined': ((17, 20), (21, 22)), 'stern': ((17, 20), (21, 22))}
    if mood in brows:
        (x0, y0), (x1, y1) = brows[mood]
        for i in range(5):
            y = round(y0 + (y1 - y0) * i / 4)
            put(img, x0 + i, y, OUTLINE)
            put(img, 47 - (x0 + i) + 1, y, OUTLINE)  # mirrored for the other eye


def mouth(img, mood):
    if mood in ('smile', 'laugh'):
        for x in range(20, 29):
            put(img, x, 33 if 21 < x < 27 else 32, MOUTH)
        if mood == 'laugh':
            ellipse(img, 24, 34, 3.5, 2.2, MOUTH)
    elif mood == 'surprised':
        ellipse(img, 24, 34, 2.0, 2.5, MOUTH)
    elif mood in ('sad', 'worried'):
        for x in range(21, 28):
            put(img, x, 33 if 22 < x < 26 else 34, MOUTH)
    else:
        for x in range(21, 28):
            put(img, x, 33, MOUTH)


KEY = (1, 2, 3)  # stands for the background while a face is drawn


def finish(img, background):
    """Outlines the figure, then paints the background: a soft gradient to near white."""
    outline(img, KEY)
    for y in range(FACE):
        shade = lerp(background, lerp(background, WHITE, 0.6), y / (FACE - 1))
        img[y] = [shade if c == KEY else c for c in img[y]]
    return img


def traveller(mood, background):
    img = blank(FACE, FACE, KEY)
    ellipse(img, 24, 52, 20, 12, (60, 110, 170))   # coat
    ellipse(img, 24, 42, 6, 5, (238, 196, 160))    # neck
    ellipse(img, 24, 25, 12, 14, (246, 208, 172))  # face
    ellipse(img, 24, 18, 15, 11, (150, 82, 40), clip=lambda x, y: y < 21)  # hair
    ellipse(img, 13, 24, 3, 8, (150, 82, 40))      # side locks
    ellipse(img, 35, 24, 3, 8, (150, 82, 40))
    eyes(img, mood)
    mouth(img, mood)
    if mood == 'smile':
        put(img, 16, 30, (240, 150, 140))
        put(img, 32, 30, (240, 150, 140))
    return finish(img, background)


def sage(mood, background):
    img = blank(FACE, FACE, KEY)
    ellipse(img, 24, 52, 21, 13, (110, 60, 130))            # robe
    ellipse(img, 24, 25, 17, 20, (120, 66, 140))            # hood around the face
    ellipse(img, 24, 9, 4, 6, (120, 66, 140))               # its peak
    ellipse(img, 24, 26, 12, 14, (232, 190, 160))           # face
    ellipse(img, 24, 37, 10, 9, (226, 226, 232), clip=lambda x, y: y > 31)  # beard
    ellipse(img, 24, 15, 12, 5, (214, 214, 222), clip=lambda x, y: y > 13)  # white fringe
    eyes(img, mood)
    mouth(img, mood)
    for x in range(18, 31):  # moustache beside the mouth
        if x < 22 or x > 26:
            put(img, x, 31, (210, 210, 218))
    return finish(img, background)


def main():
    backgrounds = [(200, 226, 250), (250, 226, 200), (214, 240, 214), (244, 214, 236)]
    faces = [traveller(m, backgrounds[i]) for i, m in enumerate(('smile', 'surprised', 'sad', 'determined'))]
    faces += [sage(m, backgrounds[i]) for i, m in enumerate(('smile', 'stern', 'laugh', 'worried'))]
    sheet = blank(FACE * PER_ROW, FACE * (len(faces) // PER_ROW), (0, 0, 0))
    for n, face in enumerate(faces):
        x0, y0 = FACE * (n % PER_ROW), FACE * (n // PER_ROW)
        for y in range(FACE):
            sheet[y0 + y][x0:x0 + FACE] = face[y]
    samples = os.path.join(ROOT, 'resources', 'samples')
    write_png(os.path.join(samples, 'faces.png'), sheet)
    write_bmp24(os.path.join(samples, 'faces.bmp'), sheet)


if __name__ == '__main__':
    main()
