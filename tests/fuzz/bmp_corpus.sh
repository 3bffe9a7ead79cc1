#!/usr/bin/env bash
# Writes the bitmap fuzzer's seed corpus (tests/fuzz/corpus/bmp): the samples of
# tests/data/bmp, and tiny hand-made files for the paths those do not reach (RLE escapes at
# the edges, tolerated deviations, unusual header sizes). Run by hand; the files are committed.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
out=$here/corpus/bmp
mkdir -p "$out"
rm -f "$out"/*.bmp
cp "$here"/../data/bmp/*.bmp "$out"/

python3 - "$out" <<'PY'
import struct, sys
out = sys.argv[1]

def bmp(name, width, height, bits, pixels, compression=0, header=40, palette=None,
        clr_used=0, masks=(), off_bits=None, gap=b''):
    if palette is None:
        palette = [(i * 37 % 256, i * 91 % 256, i * 53 % 256) for i in range(1 << bits)] if bits <= 8 else []
    if header == 12:
        info = struct.pack('<IHHHH', 12, width, height, 1, bits)
        table = b''.join(bytes([b, g, r]) for (r, g, b) in palette)
    else:
        info = struct.pack('<IiiHHIIiiII', header, width, height, 1, bits, compression, len(pixels),
                           2835, 2835, clr_used, 0)
        extra = b''.join(struct.pack('<I', m) for m in masks)
        if header >= 52:
            info += extra
            extra = b''
        info = info.ljust(header, b'\0') + extra
        table = b''.join(bytes([b, g, r, 0]) for (r, g, b) in palette)
    body = info + table + gap
    off = 14 + len(body) if off_bits is None else off_bits
    data = body + bytes(pixels)
    open(f'{out}/{name}.bmp', 'wb').write(b'BM' + struct.pack('<IHHI', 14 + len(data), 0, 0, off) + data)

# RLE8: runs, odd absolute run and pad, delta across rows, run into the padding, end.
bmp('tiny_rle8', 6, 4, 8, [3, 1, 0, 3, 2, 3, 4, 0, 0, 0, 0, 2, 2, 1, 0, 4, 5, 6, 7, 8, 0, 0, 8, 9, 0, 1], 1)
# RLE4: alternating run, absolute runs with and without pad, delta onto the top edge.
bmp('tiny_rle4', 5, 3, 4, [5, 0x12, 0, 0, 0, 5, 0x34, 0x56, 0x70, 0, 0, 0, 0, 3, 0x89, 0xA0, 0, 2, 0, 1, 0, 1], 2)
# RLE data that stops without an end of bitmap, and inside an absolute run.
bmp('tiny_rle8_open', 4, 3, 8, [4, 7, 0, 0, 2, 8], 1)
bmp('tiny_rle8_cut', 4, 3, 8, [0, 4, 9, 9], 1)
# OS/2 core, OS/2 2.x (64 bytes), V2 and V3 sizes with masks inside.
bmp('tiny_core1', 3, 2, 1, [0x80, 0, 0, 0, 0x40, 0, 0, 0], header=12)
bmp('tiny_os2v2', 3, 2, 8, [1, 2, 3, 0, 4, 5, 6, 0], header=64)
bmp('tiny_v2_565', 2, 2, 16, [0x1F, 0xF8, 0xE0, 0x07, 0, 0, 0xFF, 0xFF], 3, header=52,
    masks=(0xF800, 0x7E0, 0x1F))
bmp('tiny_v3_32', 1, 2, 32, [1, 2, 3, 4, 5, 6, 7, 8], 3, header=56, masks=(0xFF0000, 0xFF00, 0xFF, 0xFF000000))
bmp('tiny_40masks_32', 1, 1, 32, [0xFF, 0xFF, 0xFF, 0xFF], 3, masks=(0xFFFFFF80, 0x70, 0x0F))
# Short and excess colour tables, zero pixel offset, a gap, a short last row, top-down.
bmp('tiny_short_table', 3, 1, 8, [0, 1, 2, 0], palette=[(1, 2, 3), (4, 5, 6), (7, 8, 9)], clr_used=3)
bmp('tiny_cut_table', 3, 1, 8, [0, 1, 0, 0], palette=[(1, 2, 3), (4, 5, 6)])
bmp('tiny_excess_table', 2, 1, 1, [0x40, 0, 0, 0], palette=[(i, i, i) for i in range(5)], clr_used=5)
bmp('tiny_zero_offset', 1, 1, 24, [1, 2, 3, 0], clr_used=2, gap=bytes(8), off_bits=0)
bmp('tiny_gap', 3, 1, 8, [1, 2, 3, 0], gap=b'\xee' * 5)
bmp('tiny_short_row', 2, 3, 24, list(range(1, 22)))
bmp('tiny_topdown16', 2, -2, 16, [0, 0x7C, 0xE0, 0x03, 0x1F, 0, 0xFF, 0x7F])
PY
ls "$out" | wc -l
