#!/usr/bin/env python3
"""Draws Quorvane's icons and writes them as .ico files into ui/icons/.

The icons are 16-colour pixel art in the standard VGA palette (as Windows has it), which
every Windows version shows as drawn. The build uses the checked-in .ico files; run this
again only after changing the drawings:

    python3 tools/make_icons.py [--preview FOLDER]

--preview also writes each image as an enlarged PNG, to look at the drawings.
Standard library only.
"""

import argparse
import os
import struct
import zlib

# The 16 colours in the order Windows' 4-bit bitmaps use.
PALETTE = [
    (0x00, 0x00, 0x00),  # 0 black
    (0x80, 0x00, 0x00),  # 1 maroon
    (0x00, 0x80, 0x00),  # 2 green
    (0x80, 0x80, 0x00),  # 3 olive
    (0x00, 0x00, 0x80),  # 4 navy
    (0x80, 0x00, 0x80),  # 5 purple
    (0x00, 0x80, 0x80),  # 6 teal
    (0xC0, 0xC0, 0xC0),  # 7 silver
    (0x80, 0x80, 0x80),  # 8 grey
    (0xFF, 0x00, 0x00),  # 9 red
    (0x00, 0xFF, 0x00),  # 10 lime
    (0xFF, 0xFF, 0x00),  # 11 yellow
    (0x00, 0x00, 0xFF),  # 12 blue
    (0xFF, 0x00, 0xFF),  # 13 fuchsia
    (0x00, 0xFF, 0xFF),  # 14 aqua
    (0xFF, 0xFF, 0xFF),  # 15 white
]
BLACK, NAVY, SILVER, GREY, YELLOW, BLUE, WHITE = 0, 4, 7, 8, 11, 12, 15


class Canvas:
    """A square of palette indices; None is transparent."""

    def __init__(self, size):
        self.size = size
        self.pixels = [[None] * size for _ in range(size)]

    def set(self, x, y, colour):
        if 0 <= x < self.size and 0 <= y < self.size:
            self.pixels[y][x] = colour

    def get(self, x, y):
        if 0 <= x < self.size and 0 <= y < self.size:
            return self.pixels[y][x]
        return None

    def stamp(self, rows, left, top, colour):
        """Draws the 'X's of a small drawing given as text rows."""
        for dy, row in enumerate(rows):
            for dx, ch in enumerate(row):
                if ch == 'X':
                    self.set(left + dx, top + dy, colour)

    def outline(self, colour):
        """Turns every drawn pixel next to a transparent one into the outline colour, so that
        the picture stands out on light and dark backgrounds alike."""
        edge = [(x, y) for y in range(self.size) for x in range(self.size)
                if self.pixels[y][x] is not None and
                any(self.get(x + dx, y + dy) is None for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))]
        for x, y in edge:
            self.pixels[y][x] = colour


def shield():
    """The program's icon: a heater shield, blue with a silver rim, bearing a yellow Q."""
    c = Canvas(32)
    top, bottom, straight_to = 2, 30, 15
    for y in range(top, bottom):
        if y <= straight_to:
            half = 13.5
        else:  # the lower part narrows along a circle to the point
            t = (y - straight_to) / (bottom - 1 - straight_to)
            half = 13.5 * (1 - t * t) ** 0.5
        for x in range(32):
            d = abs(x + 0.5 - 16)
            if d <= half:
                inner = d <= half - 2.2 and top + 2 <= y <= bottom - 4
                if not inner:
                    colour = SILVER
                elif x >= 16 and y >= 16:
                    colour = NAVY  # the shaded quarter
                else:
                    colour = BLUE
                c.set(x, y, colour)
    c.outline(BLACK)
    q = [
        "..XXXXXX..",
        ".XXXXXXXX.",
        "XXX....XXX",
        "XX......XX",
        "XX......XX",
        "XX......XX",
        "XX..XX..XX",
        "XXX..XXXXX",
        ".XXXXXXXX.",
        "..XXXXXXXX",
        ".......XX.",
    ]
    c.stamp(q, 11, 7, YELLOW)
    # A dark shadow to the lower right of the letter keeps it readable on the light quarter.
    for y in range(31, -1, -1):
        for x in range(31, -1, -1):
            if c.get(x, y) == YELLOW and c.get(x + 1, y + 1) in (BLUE, NAVY):
                c.set(x + 1, y + 1, BLACK)
    return c


def info(size):
    """The About window's icon: a blue disc with a white 'i'."""
    c = Canvas(size)
    centre = size / 2
    radius = size / 2 - 0.5
    for y in range(size):
        for x in range(size):
            d = ((x + 0.5 - centre) ** 2 + (y + 0.5 - centre) ** 2) ** 0.5
            if d <= radius:
                c.set(x, y, BLUE if d <= radius * 0.78 else NAVY)
    c.outline(BLACK)
    if size >= 32:
        dot = ["XXXX"] * 4
        stem = ["XXXXX."] + [".XXXX."] * 10 + ["XXXXXX"] * 2
        c.stamp(dot, 15, 6, WHITE)
        c.stamp(stem, 13, 12, WHITE)
    else:
        c.stamp(["XX"] * 2, 7, 3, WHITE)
        c.stamp(["XXX", ".XX", ".XX", ".XX", ".XX", "XXXX"], 6, 6, WHITE)
    return c


def dib(canvas):
    """One icon image: BITMAPINFOHEADER (twice the height: colours, then mask), palette,
    4-bit colour rows and 1-bit mask rows, both bottom-up and padded to 32 bits."""
    n = canvas.size
    xor_stride = (n * 4 + 31) // 32 * 4
    and_stride = (n + 31) // 32 * 4
    header = struct.pack('<IiiHHIIiiII', 40, n, 2 * n, 1, 4, 0, (xor_stride + and_stride) * n, 0, 0, 0, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)
    colours = bytearray()
    mask = bytearray()
    for y in range(n - 1, -1, -1):
        row = canvas.pixels[y]
        line = bytearray(xor_stride)
        bits = bytearray(and_stride)
        for x, p in enumerate(row):
            # A transparent pixel is black in the colours and set in the mask.
            index = 0 if p is None else p
            line[x // 2] |= index << (4 if x % 2 == 0 else 0)
            if p is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        colours += line
        mask += bits
    return header + palette + bytes(colours) + bytes(mask)


def ico(canvases):
    images = [dib(c) for c in canvases]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for c, image in zip(canvases, images):
        out += struct.pack('<BBBBHHII', c.size % 256, c.size % 256, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
    return out + b''.join(images)


def png(canvas, scale=8):
    rows = b''
    for y in range(canvas.size):
        line = bytearray()
        for x in range(canvas.size):
            p = canvas.pixels[y][x]
            rgba = (0xE0, 0xE0, 0xE0, 0xFF) if p is None else PALETTE[p] + (0xFF,)
            line += bytes(rgba) * scale
        rows += (b'\x00' + bytes(line)) * scale

    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))

    side = canvas.size * scale
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', side, side, 8, 6, 0, 0, 0)) +
            chunk(b'IDAT', zlib.compress(rows)) + chunk(b'IEND', b''))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument('--preview', metavar='FOLDER', help='also write enlarged PNGs there')
    args = parser.parse_args()
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out = os.path.join(root, 'ui', 'icons')
    os.makedirs(out, exist_ok=True)
    icons = {'quorvane': [shield()], 'about': [info(32), info(16)]}
    for name, canvases in icons.items():
        with open(os.path.join(out, name + '.ico'), 'wb') as f:
            f.write(ico(canvases))
        if args.preview:
            os.makedirs(args.preview, exist_ok=True)
            for c in canvases:
                with open(os.path.join(args.preview, '%s-%d.png' % (name, c.size)), 'wb') as f:
                    f.write(png(c))
    print('wrote', ', '.join(os.path.join('ui', 'icons', n + '.ico') for n in icons))


if __name__ == '__main__':
    main()
