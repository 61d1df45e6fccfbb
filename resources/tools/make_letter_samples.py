#!/usr/bin/env python3
"""Writes docs/letters.png: one window line in each of several languages, composed by
panelwright-cli with international letters and shown at 4x, one window under another.
Usage: python3 resources/tools/make_letter_samples.py build/bin/panelwright-cli docs/letters.png"""
import os
import struct
import subprocess
import sys
import tempfile
import zlib

LINES = [
    ('Spanish', '¿Qué pasó? ¡El niño señaló la montaña!'),
    ('French', 'Ça alors ! À l\'été, Éloïse ouvrit la fenêtre.'),
    ('German', 'Öffne die Tür! Übermäßig große Straßen.'),
    ('Polish', 'Źródło: zażółć gęślą jaźń, Łukasz.'),
    ('Czech', 'Příliš žluťoučký kůň úpěl ďábelské ódy.'),
    ('Turkish', 'Şu çığ, İstanbul\'a ılık öğütler getirdi.'),
    ('Russian', 'Съешь же ещё этих мягких булок, 2024!'),
    ('Greek', 'Ξεσκεπάζω την ψυχοφθόρα βδελυγμία, 10.'),
    ('Vietnamese', 'Tiếng Việt: những người ở đây uống nước.'),
]
SCALE = 4
GAP = 2  # pixels between windows before scaling
PAPER = (255, 255, 255)


def read_bmp(path):
    """Rows of (r, g, b) of an uncompressed 24-bit bottom-up BMP."""
    data = open(path, 'rb').read()
    offset = struct.unpack_from('<I', data, 10)[0]
    width, height = struct.unpack_from('<ii', data, 18)
    if struct.unpack_from('<H', data, 28)[0] != 24 or height <= 0:
        raise SystemExit('%s: not a bottom-up 24-bit BMP' % path)
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(height):
        start = offset + (height - 1 - y) * stride
        rows.append([(data[start + 3 * x + 2], data[start + 3 * x + 1], data[start + 3 * x]) for x in range(width)])
    return rows


def write_png(path, rows):
    width = len(rows[0])
    raw = b''.join(b'\0' + bytes(c for pixel in row for c in pixel) for row in rows)

    def chunk(kind, body):
        return struct.pack('>I', len(body)) + kind + body + struct.pack('>I', zlib.crc32(kind + body))

    header = struct.pack('>IIBBBBB', width, len(rows), 8, 2, 0, 0, 0)
    with open(path, 'wb') as out:
        out.write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) + chunk(b'IDAT', zlib.compress(raw, 9)) +
                  chunk(b'IEND', b''))


def main():
    if len(sys.argv) != 3:
        raise SystemExit(__doc__)
    cli, output = sys.argv[1:]
    windows = []
    with tempfile.TemporaryDirectory() as folder:
        for name, text in LINES:
            bmp = os.path.join(folder, name + '.bmp')
            subprocess.run([cli, 'compose', '--text', text, '--letters', 'international', '-o', bmp], check=True)
            windows.append(read_bmp(bmp))
    width = max(len(w[0]) for w in windows)
    rows = []
    for window in windows:
        rows += [row + [PAPER] * (width - len(row)) for row in window]
        rows += [[PAPER] * width for _ in range(GAP)]
    rows = rows[:-GAP]
    scaled = []
    for row in rows:
        wide = [pixel for pixel in row for _ in range(SCALE)]
        scaled += [wide] * SCALE
    write_png(output, scaled)


if __name__ == '__main__':
    main()
