#!/usr/bin/env bash
# Writes the sample bitmaps of this folder and, for each, what ImageMagick decodes from it
# (NAME.rgb: 8-bit R, G, B triples, top row first). Run by hand when samples change; the
# files it writes are committed, so the tests need neither ImageMagick nor Python.
#
# ImageMagick writes the 40-byte, V5 and OS/2 core kinds itself. What it cannot write
# (top-down rows, RLE4, RLE8 with deltas, V4 headers, masks after a 40-byte header, 16-bit
# BI_RGB, short colour tables) is made here in Python, and ImageMagick still decodes every
# file for the expected pixels.
set -euo pipefail

convert=/usr/bin/convert  # ImageMagick 6 itself
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$here"
rm -f ./*.bmp ./*.rgb

# A small source with flat areas (runs for RLE), edges and a noisy band; odd width so every
# bit depth has row padding.
"$convert" -size 23x13 gradient:'#2040a0-#a04020' -rotate 90 -resize 23x13! \
  -fill '#e0c020' -draw 'rectangle 2,2 9,6' \
  -fill '#30b050' -draw 'circle 16,8 19,10' \
  \( -size 23x3 plasma:red-blue -seed 7 \) -geometry +0+10 -composite \
  "$work/src.png"

im() { "$convert" "$work/src.png" "$@"; }
im -type bilevel bmp3:pal1.bmp
im -colors 16 -type palette -compress none bmp3:pal4.bmp
im -colors 60 -type palette -compress none bmp3:pal8.bmp
im -colors 60 -type palette -compress RLE bmp3:rle8.bmp
im -type truecolor bmp3:rgb24.bmp
im -alpha set -channel A -fx 'i/w' +channel -define bmp3:alpha=true bmp3:rgb32.bmp
im -type truecolor bmp:v5_24.bmp
im -define bmp:subtype=RGB565 bmp:v5_565.bmp
im -define bmp:subtype=RGB555 bmp:v5_555.bmp
im -alpha set -define bmp:subtype=ARGB1555 bmp:v5_1555.bmp
im -alpha set -define bmp:subtype=ARGB4444 bmp:v5_4444.bmp
im -alpha set -channel A -fx 'j/h' +channel bmp:v5_32.bmp
im -type bilevel bmp2:os2_1.bmp
im -colors 16 -type palette bmp2:os2_4.bmp
im -colors 60 -type palette bmp2:os2_8.bmp
im -type truecolor bmp2:os2_24.bmp

python3 - <<'PY'
import struct

def load(name):
    return bytearray(open(name, 'rb').read())

def u32(d, at): return struct.unpack_from('<I', d, at)[0]
def i32(d, at): return struct.unpack_from('<i', d, at)[0]

def stride(w, bits): return (w * bits + 31) // 32 * 4

def top_down(src, dst):
    """The same picture with its rows stored top row first (negative height)."""
    d = load(src)
    off, w, h, bits = u32(d, 10), i32(d, 18), i32(d, 22), struct.unpack_from('<H', d, 28)[0]
    s = stride(w, bits)
    rows = [d[off + y * s: off + (y + 1) * s] for y in range(h)]
    d[off:off + s * h] = b''.join(reversed(rows))
    struct.pack_into('<i', d, 22, -h)
    open(dst, 'wb').write(d)

def shrink_header(src, dst, size):
    """Cuts a V5 header down to `size` bytes (108: V4); the pixels move along."""
    d = load(src)
    old = u32(d, 14)
    out = d[:14 + size] + d[14 + old:]
    struct.pack_into('<I', out, 14, size)
    struct.pack_into('<I', out, 10, u32(d, 10) - (old - size))
    struct.pack_into('<I', out, 2, len(out))
    open(dst, 'wb').write(out)

def masks_after_40(src, dst):
    """BI_BITFIELDS with a 40-byte header and the three masks after it."""
    d = load(src)
    old = u32(d, 14)
    masks = d[14 + 40:14 + 52]
    out = d[:14 + 40] + masks + d[14 + old:]
    struct.pack_into('<I', out, 14, 40)
    struct.pack_into('<I', out, 10, u32(d, 10) - (old - 52))
    struct.pack_into('<I', out, 2, len(out))
    open(dst, 'wb').write(out)

def rgb16(src, dst):
    """16-bit BI_RGB (implicit 5-5-5) from a V5 file with 5-5-5 masks."""
    d = load(src)
    old = u32(d, 14)
    out = d[:14 + 40] + d[14 + old:]
    struct.pack_into('<I', out, 14, 40)
    struct.pack_into('<I', out, 30, 0)
    struct.pack_into('<I', out, 10, u32(d, 10) - (old - 40))
    struct.pack_into('<I', out, 2, len(out))
    open(dst, 'wb').write(out)

def short_palette(src, dst):
    """8 bits with biClrUsed counting only the colours the pixels use."""
    d = load(src)
    off, w, h = u32(d, 10), i32(d, 18), i32(d, 22)
    s = stride(w, 8)
    pixels = d[off:off + s * h]
    used = max(pixels[y * s + x] for y in range(h) for x in range(w)) + 1
    pal = d[54:54 + 4 * used]
    out = d[:54] + pal + pixels
    struct.pack_into('<I', out, 46, used)
    struct.pack_into('<I', out, 10, 54 + 4 * used)
    struct.pack_into('<I', out, 2, len(out))
    open(dst, 'wb').write(out)

def write_rle(dst, w, h, bits, palette, rows):
    """An RLE file from rows of indices (bottom row first), using every command: encoded
    runs (two alternating colours at 4 bits), absolute runs with padding, end of line,
    deltas across and up, end of bitmap."""
    four = bits == 4
    out = bytearray()
    y = 0
    while y < h:
        row = rows[y]
        if not any(row):
            blank = 1
            while y + blank < h and not any(rows[y + blank]):
                blank += 1
            out += bytes([0, 2, 0, min(blank, 255)])  # delta straight up, at the end onto
            y += min(blank, 255)                       # the top edge: ImageMagick refuses an
            continue                                   # end of bitmap before it
        x = 0
        while x < w:
            if not any(row[x:]):
                break                      # end of line covers the rest
            run = 1
            while x + run < w and run < 255 and row[x + run] == row[x]:
                run += 1
            if row[x] == 0 and run >= 3 and x + run < w:
                out += bytes([0, 2, run, 0])  # delta across a background run
                x += run
                continue
            if four and run < 4 and x + 3 < w and row[x] != row[x + 1]:
                a, b = row[x], row[x + 1]
                alt = 0
                while x + alt < w and alt < 255 and row[x + alt] == (a if alt % 2 == 0 else b):
                    alt += 1
                if alt >= 4:
                    out += bytes([alt, a << 4 | b])
                    x += alt
                    continue
            if run >= 3:
                out += bytes([run, row[x] << 4 | row[x] if four else row[x]])
                x += run
                continue
            n = 0
            while x + n < w and n < 255:
                if x + n + 2 < w and row[x + n] == row[x + n + 1] == row[x + n + 2]:
                    break
                n += 1
            if n < 3:
                for i in range(n):
                    out += bytes([1, row[x + i] << 4 if four else row[x + i]])
            else:
                lit = row[x:x + n]
                if four:
                    lit = lit + [0] * (n % 2)
                    data = bytes(lit[i] << 4 | lit[i + 1] for i in range(0, len(lit), 2))
                else:
                    data = bytes(lit)
                out += bytes([0, n]) + data + (b'\0' if len(data) % 2 else b'')
            x += n
        out += bytes([0, 0])
        y += 1
    out += bytes([0, 1])
    pal = b''.join(bytes([b, g, r, 0]) for (r, g, b) in palette)
    off = 14 + 40 + len(pal)
    head = b'BM' + struct.pack('<IHHI', off + len(out), 0, 0, off)
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, bits, 2 if four else 1, len(out), 2835, 2835,
                       len(palette), 0)
    open(dst, 'wb').write(head + info + pal + out)

def pattern(w, h, colours):
    """Rows of indices, bottom row first: blank rows, stripes, alternation, noise."""
    rows = []
    seed = 12345
    for y in range(h):
        if y in (0, 1, 6, 7, 8, h - 2, h - 1):
            rows.append([0] * w)
            continue
        row = []
        for x in range(w):
            if y % 3 == 0 and 4 <= x < 12:
                row.append(0)
            elif y % 3 == 1 and x < 9:
                row.append(1 + (x % 2) * 2)
            elif x < w // 2:
                row.append(1 + (x // 5 + y) % (colours - 1))
            else:
                seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
                row.append(seed % colours)
        rows.append(row)
    return rows

top_down('rgb24.bmp', 'topdown24.bmp')
top_down('pal8.bmp', 'topdown8.bmp')
top_down('pal1.bmp', 'topdown1.bmp')
top_down('v5_565.bmp', 'topdown565.bmp')
shrink_header('v5_565.bmp', 'v4_565.bmp', 108)
shrink_header('v5_32.bmp', 'v4_32.bmp', 108)
masks_after_40('v5_565.bmp', 'info40_565.bmp')
masks_after_40('v5_32.bmp', 'info40_32.bmp')
rgb16('v5_555.bmp', 'rgb16.bmp')
short_palette('pal8.bmp', 'pal8_short.bmp')

pal16 = [(i * 17, 255 - i * 13, (i * 71) % 256) for i in range(16)]
write_rle('rle4.bmp', 29, 15, 4, pal16, pattern(29, 15, 16))
pal40 = [((i * 37) % 256, (i * 91) % 256, 255 - i * 6) for i in range(40)]
write_rle('rle8_delta.bmp', 31, 14, 8, pal40, pattern(31, 14, 40))
PY

for f in *.bmp; do
  "$convert" "$f" -depth 8 "rgb:${f%.bmp}.rgb"
done
ls -l
