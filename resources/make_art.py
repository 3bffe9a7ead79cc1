#!/usr/bin/env python3
"""Draws Kaptor32's pictures and writes them as .ico, .cur and .bmp files.

Run from anywhere:  python3 resources/make_art.py [--preview SHEET.png [SCALE]]
The files land in resources/art/ and are committed, so the build needs no Python.

Every picture is drawn pixel-exact from a few shapes (rectangles, lines, circles,
polygons), each pixel tested at its centre: no anti-aliasing, because the glyphs are
drawn over a colour key and the icons are 16-colour.

- Kaptor32.ico: program, task-bar and tray icon, 32 x 32 and 16 x 16, 16 colours.
- AboutA.ico, AboutB.ico: the About box's two animation frames, 32 x 32, 16 colours.
- Cut.cur: range-mode cursor, 32 x 32 monochrome, hot spot (0, 0).
- *.bmp: tool-button glyphs, 24-bit; magenta (255, 0, 255) marks transparent pixels.
  24 x 24 for the 52 x 40 tool-bar buttons, 16 x 16 for the 25 x 25 range buttons and
  the resize button.
"""

import math
import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "art")

KEY = (255, 0, 255)  # transparent colour of the glyph bitmaps

# The Windows 16-colour palette, in the order icons store it.
VGA = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER = VGA[0:8]
GREY, RED, LIME, YELLOW, BLUE, FUCHSIA, AQUA, WHITE = VGA[8:16]

# Extra shades for the 24-bit glyphs.
INK = (40, 40, 48)         # outlines
DARK = (96, 96, 104)
MID = (160, 160, 168)
PALE = (224, 224, 228)
PAPER = (252, 252, 252)
SKY = (96, 160, 232)
DEEP = (24, 72, 160)
TITLE = (16, 64, 176)      # active title bar
DIMTITLE = (136, 136, 144)  # inactive title bar
FOLDER = (248, 208, 88)
FOLDER_DARK = (176, 128, 24)
FOLDER_LIGHT = (255, 236, 160)
CROP = (220, 32, 32)       # capture-frame red
GO = (32, 152, 48)         # arrow green
WOOD = (168, 104, 48)
WOOD_DARK = (104, 60, 24)


# --- drawing -------------------------------------------------------------------------

class Canvas:
    """A width x height grid of RGB tuples; None is transparent."""

    def __init__(self, w, h):
        self.w, self.h = w, h
        self.px = [[None] * w for _ in range(h)]

    def set(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c

    def fill(self, inside, c, outline=None):
        """Paints every pixel whose centre is inside; with an outline colour, the pixels
        of the shape that touch the outside (4-neighbourhood) take it instead."""
        hit = [[inside(x + 0.5, y + 0.5) for x in range(self.w)] for y in range(self.h)]
        for y in range(self.h):
            for x in range(self.w):
                if not hit[y][x]:
                    continue
                edge = False
                if outline is not None:
                    for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                        nx, ny = x + dx, y + dy
                        if not (0 <= nx < self.w and 0 <= ny < self.h) or not hit[ny][nx]:
                            edge = True
                            break
                self.px[y][x] = outline if edge else c

    def rect(self, x0, y0, x1, y1, c, outline=None):
        """Inclusive pixel rectangle."""
        self.fill(lambda x, y: x0 <= x < x1 + 1 and y0 <= y < y1 + 1, c, outline)

    def frame(self, x0, y0, x1, y1, c):
        for x in range(x0, x1 + 1):
            self.set(x, y0, c)
            self.set(x, y1, c)
        for y in range(y0, y1 + 1):
            self.set(x0, y, c)
            self.set(x1, y, c)

    def line(self, x0, y0, x1, y1, c):
        """Bresenham line, both ends included."""
        dx, dy = abs(x1 - x0), -abs(y1 - y0)
        sx, sy = (1 if x0 < x1 else -1), (1 if y0 < y1 else -1)
        err = dx + dy
        while True:
            self.set(x0, y0, c)
            if x0 == x1 and y0 == y1:
                return
            e2 = 2 * err
            if e2 >= dy:
                err += dy
                x0 += sx
            if e2 <= dx:
                err += dx
                y0 += sy

    def dashed(self, x0, y0, x1, y1, a, b, period=2):
        """Rectangle border in two alternating colours (a selection's marching ants)."""
        pts = []
        pts += [(x, y0) for x in range(x0, x1 + 1)]
        pts += [(x1, y) for y in range(y0 + 1, y1 + 1)]
        pts += [(x, y1) for x in range(x1 - 1, x0 - 1, -1)]
        pts += [(x0, y) for y in range(y1 - 1, y0, -1)]
        for i, (x, y) in enumerate(pts):
            self.set(x, y, a if (i // period) % 2 == 0 else b)

    def disc(self, cx, cy, r, c, outline=None):
        self.fill(lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r, c, outline)

    def ring(self, cx, cy, r0, r1, c):
        self.fill(lambda x, y: r0 * r0 <= (x - cx) ** 2 + (y - cy) ** 2 <= r1 * r1, c)

    def poly(self, pts, c, outline=None):
        self.fill(lambda x, y: inside_polygon(pts, x, y), c, outline)


def inside_polygon(pts, x, y):
    inside = False
    n = len(pts)
    for i in range(n):
        x0, y0 = pts[i]
        x1, y1 = pts[(i + 1) % n]
        if (y0 > y) != (y1 > y):
            if x < x0 + (y - y0) * (x1 - x0) / (y1 - y0):
                inside = not inside
    return inside


# --- file writers -----------------------------------------------------------------

def row_bytes(bits_per_row):
    return ((bits_per_row + 31) // 32) * 4


def dib_4bit_with_mask(cv):
    """BITMAPINFOHEADER, 16-colour palette, XOR bits and AND mask of an icon image."""
    w, h = cv.w, cv.h
    header = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in VGA)
    xor, mask = b"", b""
    for y in reversed(range(h)):
        nib = []
        bits = []
        for x in range(w):
            c = cv.px[y][x]
            if c is None:
                nib.append(0)
                bits.append(1)
            else:
                if c not in VGA:
                    raise ValueError("icon colour %r is not one of the 16" % (c,))
                nib.append(VGA.index(c))
                bits.append(0)
        row = bytearray(row_bytes(4 * w))
        for x, v in enumerate(nib):
            row[x // 2] |= v << (4 if x % 2 == 0 else 0)
        xor += bytes(row)
        mask += pack_bits(bits, w)
    return header + palette + xor + mask


def pack_bits(bits, w):
    row = bytearray(row_bytes(w))
    for x, v in enumerate(bits):
        if v:
            row[x // 8] |= 0x80 >> (x % 8)
    return bytes(row)


def write_ico(path, canvases):
    images = [dib_4bit_with_mask(cv) for cv in canvases]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for cv, data in zip(canvases, images):
        out += struct.pack("<BBBBHHII", cv.w, cv.h, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    write(path, out + b"".join(images))


def write_cur(path, cv, hot_x, hot_y):
    """Monochrome cursor: None is transparent, BLACK and WHITE are drawn."""
    w, h = cv.w, cv.h
    header = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, 1, 0, 0, 0, 0, 2, 0)
    palette = struct.pack("<BBBBBBBB", 0, 0, 0, 0, 255, 255, 255, 0)
    xor, mask = b"", b""
    for y in reversed(range(h)):
        xbits, abits = [], []
        for x in range(w):
            c = cv.px[y][x]
            if c is None:
                xbits.append(0); abits.append(1)
            elif c == BLACK:
                xbits.append(0); abits.append(0)
            elif c == WHITE:
                xbits.append(1); abits.append(0)
            else:
                raise ValueError("cursor colour %r is not black or white" % (c,))
        xor += pack_bits(xbits, w)
        mask += pack_bits(abits, w)
    data = header + palette + xor + mask
    out = struct.pack("<HHH", 0, 2, 1)
    out += struct.pack("<BBBBHHII", w, h, 2, 0, hot_x, hot_y, len(data), 6 + 16)
    write(path, out + data)


def write_bmp24(path, cv):
    w, h = cv.w, cv.h
    stride = row_bytes(24 * w)
    pixels = bytearray()
    for y in reversed(range(h)):
        row = bytearray()
        for x in range(w):
            r, g, b = cv.px[y][x] if cv.px[y][x] is not None else KEY
            row += bytes((b, g, r))
        row += bytes(stride - len(row))
        pixels += row
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    write(path, head + info + bytes(pixels))


CHANGED = []


def write(path, data):
    # Only rewrite on change, so the build does not see new timestamps for nothing.
    if os.path.exists(path):
        with open(path, "rb") as f:
            if f.read() == data:
                return
    with open(path, "wb") as f:
        f.write(data)
    CHANGED.append(path)


def write_png(path, rows):
    """rows: list of lists of RGB tuples."""
    h, w = len(rows), len(rows[0])
    raw = b"".join(b"\0" + b"".join(bytes(p) for p in row) for row in rows)

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(
            ">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


# --- the program icon -------------------------------------------------------------

def crop_corners(cv, x0, y0, x1, y1, arm, c, thick=2):
    """Four L-shaped capture marks just inside the given box."""
    for (cx, sx) in ((x0, 1), (x1, -1)):
        for (cy, sy) in ((y0, 1), (y1, -1)):
            for t in range(thick):
                for i in range(arm):
                    cv.set(cx + sx * i, cy + sy * t, c)
                    cv.set(cx + sx * t, cy + sy * i, c)


def camera32(flash=0):
    """32 x 32, 16 colours: a camera inside red capture marks. flash 1 and 2 are the
    About box's animation frames (flash lit, flash burst)."""
    cv = Canvas(32, 32)
    crop_corners(cv, 0, 0, 31, 31, 8, RED)
    # Body with a lighter top plate and the viewfinder hump.
    cv.rect(11, 6, 20, 9, SILVER, outline=BLACK)
    cv.rect(4, 9, 27, 25, GREY, outline=BLACK)
    cv.rect(5, 10, 26, 12, SILVER)
    cv.rect(12, 7, 19, 9, SILVER)
    cv.rect(14, 7, 17, 8, GREY)     # viewfinder window
    cv.rect(5, 13, 26, 13, BLACK)   # edge of the top plate
    # Flash window and shutter button.
    cv.rect(5, 10, 10, 12, WHITE, outline=GREY)
    cv.rect(6, 11, 9, 11, YELLOW if flash else WHITE)
    cv.rect(22, 7, 25, 8, RED)
    cv.rect(22, 8, 25, 8, MAROON)
    # Lens: barrel, black rim, navy glass with blue and aqua rings, white glint.
    cv.disc(16, 18, 7.4, BLACK)
    cv.disc(16, 18, 6.3, SILVER)
    cv.disc(16, 18, 4.9, BLACK)
    cv.disc(16, 18, 4.0, NAVY)
    cv.ring(16, 18, 2.2, 3.2, BLUE)
    cv.set(14, 16, AQUA)
    cv.set(13, 17, AQUA)
    cv.set(15, 16, WHITE)
    cv.set(18, 20, TEAL)
    if flash == 2:
        # Rays around the flash window.
        for (ax, ay, bx, by) in ((7, 7, 7, 3), (8, 7, 8, 3), (4, 7, 2, 5), (10, 7, 11, 6),
                                 (3, 10, 1, 10), (3, 12, 1, 13)):
            cv.line(ax, ay, bx, by, YELLOW)
    return cv


def camera16():
    cv = Canvas(16, 16)
    crop_corners(cv, 0, 0, 15, 15, 4, RED, thick=1)
    cv.rect(6, 2, 10, 4, SILVER, outline=BLACK)
    cv.rect(2, 4, 13, 12, GREY, outline=BLACK)
    cv.rect(3, 5, 12, 5, SILVER)
    cv.rect(3, 5, 4, 5, WHITE)
    cv.rect(11, 3, 12, 3, RED)
    cv.disc(8, 9, 3.5, BLACK)
    cv.disc(8, 9, 2.6, NAVY)
    cv.rect(7, 8, 8, 9, BLUE)
    cv.set(7, 8, AQUA)
    return cv


# --- the cursor -------------------------------------------------------------------

def cut_cursor():
    """Open scissors pointing at the top-left pixel, which is the hot spot; a small crop
    corner there shows where the click lands. White body with a black rim, so the cursor
    reads on light and dark pictures alike."""
    cv = Canvas(32, 32)
    pivot = (13.5, 13.5)
    tips = [(10.5, 3.5), (3.5, 10.5)]
    rings = [(18.5, 26.0), (26.0, 18.5)]  # each straight on from its blade: the pair crosses

    def taper(a, b, wa, wb):
        # Quadrilateral from a (half-width wa) to b (half-width wb).
        dx, dy = b[0] - a[0], b[1] - a[1]
        n = math.hypot(dx, dy)
        nx, ny = -dy / n, dx / n
        return [(a[0] + nx * wa, a[1] + ny * wa), (b[0] + nx * wb, b[1] + ny * wb),
                (b[0] - nx * wb, b[1] - ny * wb), (a[0] - nx * wa, a[1] - ny * wa)]

    parts = []
    for tip, ring in zip(tips, rings):
        parts.append(taper(tip, pivot, 0.4, 1.3))      # blade
        parts.append(taper(pivot, ring, 0.9, 0.9))     # shank to the opposite ring

    def body(x, y):
        d = [(x - cx) ** 2 + (y - cy) ** 2 for cx, cy in rings]
        if any(v < 2.9 ** 2 for v in d):
            return False  # finger hole
        return any(v <= 4.7 ** 2 for v in d) or any(inside_polygon(p, x, y) for p in parts)

    hit = [[body(x + 0.5, y + 0.5) for x in range(32)] for y in range(32)]
    for y in range(32):
        for x in range(32):
            if hit[y][x]:
                cv.set(x, y, WHITE)
            elif any(0 <= x + dx < 32 and 0 <= y + dy < 32 and hit[y + dy][x + dx]
                     for dx in (-1, 0, 1) for dy in (-1, 0, 1)):
                cv.set(x, y, BLACK)
    cv.set(int(pivot[0]), int(pivot[1]), BLACK)   # the pivot screw

    # Crop corner: black on the outer edge, white on the inner side.
    for i in range(8):
        cv.set(i, 0, BLACK)
        cv.set(0, i, BLACK)
    for i in range(1, 8):
        cv.set(i, 1, WHITE)
        cv.set(1, i, WHITE)
    for (x, y) in ((8, 0), (8, 1), (0, 8), (1, 8), (2, 2)):
        cv.set(x, y, BLACK)
    return cv


# --- tool-bar glyphs, 24 x 24 -----------------------------------------------------

def glyph_exit():
    """終了: a door standing open with an arrow leaving through it."""
    cv = Canvas(24, 24)
    cv.rect(3, 2, 14, 21, PALE, outline=INK)            # door frame and the dark opening
    cv.rect(5, 4, 12, 21, (40, 40, 56))
    cv.poly([(5, 4), (11, 6), (11, 20), (5, 22)], WOOD, outline=WOOD_DARK)  # the door itself
    cv.set(9, 13, FOLDER)
    cv.set(9, 14, FOLDER)
    cv.rect(0, 21, 17, 21, INK)                          # floor line
    # Arrow pointing right, out of the room.
    cv.poly([(12, 10), (18, 10), (18, 6.5), (23.5, 12), (18, 17.5), (18, 14), (12, 14)],
            GO, outline=(16, 88, 24))
    return cv


def glyph_open():
    """開く: an opened folder."""
    cv = Canvas(24, 24)
    cv.poly([(2, 5), (8, 5), (10, 7), (20, 7), (20, 19), (2, 19)], FOLDER_DARK, outline=INK)
    cv.rect(3, 7, 8, 7, FOLDER)
    # A sheet of paper peeking out.
    cv.rect(6, 3, 17, 12, PAPER, outline=DARK)
    for y in (6, 8, 10):
        cv.line(8, y, 15, y, SKY)
    # The front flap, tilted open.
    cv.poly([(5, 11), (23, 11), (19.5, 20), (1.5, 20)], FOLDER, outline=INK)
    cv.line(6, 12, 21, 12, FOLDER_LIGHT)
    return cv


def monitor(cv, x0, y0, x1, y1, screen=SKY):
    """A monitor whose screen spans x0..x1, y0..y1 (inclusive, bezel included)."""
    cv.rect(x0, y0, x1, y1, PALE, outline=INK)
    cv.rect(x0 + 2, y0 + 2, x1 - 2, y1 - 2, screen)
    cv.frame(x0 + 1, y0 + 1, x1 - 1, y1 - 1, MID)
    mid = (x0 + x1) // 2
    cv.rect(mid - 2, y1 + 1, mid + 2, y1 + 2, DARK)
    cv.rect(mid - 5, y1 + 3, mid + 5, y1 + 3, INK)


def glyph_whole_screen():
    """全体: a monitor with the whole screen inside the red capture marks."""
    cv = Canvas(24, 24)
    monitor(cv, 3, 3, 20, 16)
    # Desktop content: a small window and the task bar.
    cv.rect(5, 14, 18, 14, SILVER)
    cv.rect(7, 6, 14, 11, PAPER, outline=DEEP)
    cv.rect(7, 6, 14, 7, TITLE)
    crop_corners(cv, 0, 0, 23, 19, 5, CROP)
    return cv


def small_window(cv, x0, y0, x1, y1, title, body=PAPER):
    cv.rect(x0, y0, x1, y1, body, outline=INK)
    cv.rect(x0 + 1, y0 + 1, x1 - 1, y0 + 3, title)
    cv.rect(x1 - 3, y0 + 1, x1 - 2, y0 + 2, PAPER)


def glyph_window_select():
    """選択: a list of window titles with one picked, the picked window framed red."""
    cv = Canvas(24, 24)
    # The list.
    cv.rect(1, 1, 13, 16, PAPER, outline=INK)
    for i, y in enumerate((3, 6, 9, 12)):
        if i == 1:
            cv.rect(2, y - 1, 12, y + 1, TITLE)
            cv.line(4, y, 10, y, PAPER)
        else:
            cv.line(4, y, 10, y, DARK)
    # The chosen window, in capture marks.
    small_window(cv, 9, 9, 21, 20, TITLE)
    for y in (15, 17):
        cv.line(11, y, 19, y, MID)
    crop_corners(cv, 7, 7, 23, 22, 4, CROP)
    return cv


def glyph_active_window():
    """ｱｸﾃｨﾌﾞ: an active window (blue title) in front of an inactive one."""
    cv = Canvas(24, 24)
    small_window(cv, 1, 2, 14, 13, DIMTITLE, body=PALE)
    small_window(cv, 6, 7, 22, 21, TITLE)
    cv.rect(8, 13, 13, 17, SKY, outline=DEEP)
    for y in (13, 15, 17):
        cv.line(15, y, 20, y, MID)
    return cv


def glyph_full_screen():
    """全画面: a monitor with four arrows pointing into its corners."""
    cv = Canvas(24, 24)
    monitor(cv, 1, 2, 22, 18, screen=(28, 40, 64))
    c = PAPER
    for (x, y, sx, sy) in ((4, 5, 1, 1), (19, 5, -1, 1), (4, 15, 1, -1), (19, 15, -1, -1)):
        for i in range(3):
            cv.set(x + sx * i, y, c)      # arrow head in the corner
            cv.set(x, y + sy * i, c)
        for i in range(1, 5):
            cv.set(x + sx * i, y + sy * i, c)  # shaft
    return cv


def document(cv, x0, y0, x1, y1, lines=SKY):
    """A sheet with a folded corner and a few lines of text."""
    cv.poly([(x0, y0), (x1 - 3, y0), (x1 + 1, y0 + 4), (x1 + 1, y1 + 1), (x0, y1 + 1)],
            PAPER, outline=INK)
    cv.line(x1 - 3, y0, x1 - 3, y0 + 3, INK)
    cv.line(x1 - 3, y0 + 3, x1, y0 + 3, INK)
    for y in range(y0 + 4, y1 - 1, 2):
        cv.line(x0 + 2, y, x1 - 5 if y == y0 + 4 else x1 - 2, y, lines)


def glyph_copy():
    """コピー: two sheets, one over the other."""
    cv = Canvas(24, 24)
    document(cv, 2, 1, 13, 15, lines=MID)
    document(cv, 9, 7, 20, 21)
    return cv


def glyph_paste():
    """貼付: a clipboard with a sheet being put on it."""
    cv = Canvas(24, 24)
    cv.rect(2, 3, 16, 21, WOOD, outline=WOOD_DARK)
    cv.rect(4, 5, 14, 19, (200, 150, 90))
    cv.rect(6, 1, 12, 5, SILVER, outline=INK)      # the clip
    cv.rect(8, 2, 10, 2, INK)
    document(cv, 10, 8, 21, 22)
    return cv


def glyph_save():
    """保存: a floppy disk."""
    cv = Canvas(24, 24)
    body = (48, 80, 160)
    cv.poly([(2, 2), (19, 2), (22, 5), (22, 22), (2, 22)], body, outline=INK)
    cv.rect(6, 3, 17, 9, SILVER, outline=DARK)     # metal shutter
    cv.rect(13, 4, 15, 8, body)
    cv.rect(5, 13, 19, 21, PAPER, outline=DARK)    # label
    for y in (15, 17, 19):
        cv.line(7, y, 17, y, (224, 96, 96) if y == 15 else MID)
    return cv


def gear(cv, cx, cy, r_out, r_in, teeth, hole, c, outline):
    """A cog wheel with a hole in the middle, filled c, rimmed in outline."""
    def inside(x, y):
        d = math.hypot(x - cx, y - cy)
        a = math.atan2(y - cy, x - cx)
        r = r_out if math.cos(teeth * a) > -0.1 else r_in
        return hole <= d <= r
    cv.fill(inside, c, outline=outline)


def glyph_options():
    """環境: a gear over a settings sheet with check boxes."""
    cv = Canvas(24, 24)
    cv.rect(1, 1, 15, 20, PAPER, outline=INK)
    for y in (3, 9, 15):
        cv.rect(3, y, 7, y + 4, PAPER, outline=DARK)
        cv.line(10, y + 2, 13, y + 2, MID)
    for y in (3, 9):  # ticks in the first two boxes
        for (x, dy) in ((4, 1), (4, 2), (5, 2), (5, 3), (6, 1), (6, 2), (7, 0), (7, 1), (8, -1)):
            cv.set(x, y + dy, GO)
    gear(cv, 16.5, 16.5, 7.2, 5.3, 8, 1.8, SILVER, INK)
    return cv


def printer(cv):
    cv.rect(5, 1, 18, 10, PAPER, outline=INK)          # paper going in
    for y in (4, 6, 8):
        cv.line(7, y, 16, y, MID)
    cv.rect(1, 9, 22, 18, SILVER, outline=INK)         # body
    cv.rect(2, 10, 21, 10, PAPER)
    cv.rect(4, 15, 19, 18, DARK, outline=INK)          # output slot
    cv.rect(18, 12, 19, 12, GO)                        # power lamp
    cv.rect(5, 17, 18, 22, PAPER, outline=INK)         # printed sheet
    cv.line(7, 19, 16, 19, SKY)


def glyph_print():
    """印刷: a printer with a printed sheet."""
    cv = Canvas(24, 24)
    printer(cv)
    return cv


def glyph_printer_setup():
    """ﾌﾟﾘﾝﾀ設定: the printer with a small gear."""
    cv = Canvas(24, 24)
    printer(cv)
    gear(cv, 18.0, 6.0, 5.6, 4.0, 6, 1.5, (255, 200, 64), INK)
    return cv


# --- panel glyphs, 16 x 16 --------------------------------------------------------

def glyph_range():
    """Range select: a marching-ants rectangle with a crop corner at its top left."""
    cv = Canvas(16, 16)
    cv.rect(3, 3, 14, 13, (216, 232, 252))
    cv.dashed(3, 3, 14, 13, INK, PAPER)
    for i in range(6):
        cv.set(1 + i, 1, CROP)
        cv.set(1, 1 + i, CROP)
        cv.set(1 + i, 2, CROP)
        cv.set(2, 1 + i, CROP)
    return cv


def glyph_no_range():
    """Range clear: the same rectangle, struck out by a red cross."""
    cv = Canvas(16, 16)
    cv.rect(1, 2, 12, 12, (216, 232, 252))
    cv.dashed(1, 2, 12, 12, INK, PAPER)
    for d in (0, 1):
        cv.line(7 + d, 7, 14 + d, 14, CROP)
        cv.line(14 + d, 7, 7 + d, 14, CROP)
    return cv


def glyph_resize():
    """Resize: a small picture and its larger outline, with a diagonal arrow."""
    cv = Canvas(16, 16)
    cv.frame(0, 0, 15, 15, MID)
    cv.rect(0, 0, 8, 8, SKY, outline=DEEP)
    cv.rect(1, 6, 7, 7, GO)                      # a bit of landscape in the picture
    cv.rect(5, 2, 6, 3, FOLDER)                  # and the sun
    # Arrow from the picture's corner to the big frame's corner.
    for i in range(9, 14):
        cv.set(i, i, INK)
    cv.rect(10, 13, 13, 13, INK)
    cv.rect(13, 10, 13, 13, INK)
    cv.rect(11, 12, 12, 12, INK)
    cv.rect(12, 11, 12, 12, INK)
    return cv


def glyph_markup():
    """描画, 16 x 16: a red box and a red arrow, and the pencil that drew them."""
    cv = Canvas(16, 16)
    cv.frame(1, 1, 9, 5, CROP)
    cv.line(1, 14, 4, 11, CROP)
    cv.poly([(7, 8), (3, 9), (6, 12)], CROP)
    cv.poly([(8, 11), (13, 6), (15, 8), (10, 13)], FOLDER, outline=WOOD_DARK)
    cv.poly([(8, 11), (10, 13), (7, 14)], (232, 196, 150), outline=WOOD_DARK)
    cv.set(7, 14, INK)
    return cv


# Glyph files and the drawings that make them; resource.h lists the same names.
GLYPHS = [
    ("Close", glyph_exit),
    ("Open", glyph_open),
    ("Capture", glyph_whole_screen),
    ("Capture2", glyph_window_select),
    ("Capture3", glyph_active_window),
    ("Max", glyph_full_screen),
    ("Copy", glyph_copy),
    ("Paste", glyph_paste),
    ("Save", glyph_save),
    ("Option", glyph_options),
    ("Print", glyph_print),
    ("PrtDialog", glyph_printer_setup),
    ("Range", glyph_range),
    ("NoRange", glyph_no_range),
    ("Resize", glyph_resize),
    ("Markup", glyph_markup),
]


def preview(path, items, scale=4, per_row=8):
    """Sheets of every picture scaled up, transparent pixels as a checkerboard."""
    pad = 8
    lines = [items[i:i + per_row] for i in range(0, len(items), per_row)]
    cell = max(max(cv.w, cv.h) for cv in items) * scale + pad
    width = per_row * cell + pad
    height = len(lines) * cell + pad
    rows = [[(200, 200, 210)] * width for _ in range(height)]
    for li, line in enumerate(lines):
        for ci, cv in enumerate(line):
            x, top = pad + ci * cell, pad + li * cell
            for y in range(cv.h * scale):
                for xx in range(cv.w * scale):
                    c = cv.px[y // scale][xx // scale]
                    if c is None:
                        c = (236, 236, 236) if ((xx // 4 + y // 4) % 2) else (255, 255, 255)
                    rows[top + y][x + xx] = c
    write_png(path, rows)


def main():
    os.makedirs(OUT, exist_ok=True)
    icons = [camera32(), camera16()]
    write_ico(os.path.join(OUT, "Kaptor32.ico"), icons)
    write_ico(os.path.join(OUT, "AboutA.ico"), [camera32(flash=1)])
    write_ico(os.path.join(OUT, "AboutB.ico"), [camera32(flash=2)])
    cursor = cut_cursor()
    write_cur(os.path.join(OUT, "Cut.cur"), cursor, 0, 0)
    glyphs = []
    for name, draw in GLYPHS:
        cv = draw()
        glyphs.append(cv)
        write_bmp24(os.path.join(OUT, name + ".bmp"), cv)
    if CHANGED:
        # The build tracks the .rc file, not the pictures it names: touch it so the
        # resources are compiled again.
        os.utime(os.path.join(HERE, "Kaptor32.rc"))
        print("\n".join("wrote " + os.path.relpath(p, HERE) for p in CHANGED))
    if len(sys.argv) >= 3 and sys.argv[1] == "--preview":
        scale = int(sys.argv[3]) if len(sys.argv) > 3 else 4
        preview(sys.argv[2], icons + [camera32(1), camera32(2), cursor] + glyphs, scale)


if __name__ == "__main__":
    main()
