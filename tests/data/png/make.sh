#!/usr/bin/env bash
# Writes the sample PNG files of this folder, one for every standard kind (colour type, bit
# depth, transparency, interlacing), and for each what ImageMagick decodes from it laid over
# white (NAME.rgb: 8-bit R, G, B triples, top row first). Run by hand when samples change; the
# files it writes are committed, so the tests need no ImageMagick.
set -euo pipefail

convert=/usr/bin/convert  # ImageMagick 6 itself
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$here"
rm -f ./*.png ./*.rgb

# A small source with smooth colours, flat areas and an alpha ramp; odd sizes, so packed rows
# end inside a byte and every interlace pass has a partial block.
"$convert" -size 13x11 gradient:'#2040a0-#f0c020' -rotate 90 -resize 13x11! \
  -fill '#30b050' -draw 'rectangle 2,2 6,5' \
  \( -size 13x11 gradient:white-black -rotate 90 -resize 13x11! \) -alpha off -compose CopyOpacity -composite \
  "$work/alpha.png"
"$convert" "$work/alpha.png" -alpha off "$work/opaque.png"

out() { "$convert" "$1" +set date:create +set date:modify -define png:exclude-chunks=date,time,bKGD "${@:2}"; }
# Greyscale at every depth, with and without alpha or a transparent grey.
for d in 1 2 4 8 16; do
  out "$work/opaque.png" -colorspace Gray -define png:color-type=0 -define png:bit-depth=$d "gray$d.png"
done
out "$work/alpha.png" -colorspace Gray -define png:color-type=4 -define png:bit-depth=8 gray_alpha8.png
out "$work/alpha.png" -colorspace Gray -define png:color-type=4 -define png:bit-depth=16 gray_alpha16.png
# ImageMagick writes no tRNS for grey: the chunk is put into a copy of gray8.png, naming the
# grey of its top-left pixel transparent.
python3 - <<'PY'
import struct, zlib
d = open("gray8.png", "rb").read()
ihdr_end = 8 + 12 + 13
idat = d.index(b"IDAT") - 4
raw = zlib.decompress(d[idat + 8:idat + 8 + struct.unpack(">I", d[idat:idat + 4])[0]])
body = b"tRNS" + struct.pack(">H", raw[1])  # row 0 starts with its filter byte
chunk = struct.pack(">I", 2) + body + struct.pack(">I", zlib.crc32(body))
open("gray8_trns.png", "wb").write(d[:ihdr_end] + chunk + d[ihdr_end:])
PY
# Palettes of 1, 2, 4 and 8 bits, one with transparent entries (tRNS).
out "$work/opaque.png" -colors 2 -define png:color-type=3 -define png:bit-depth=1 pal1.png
out "$work/opaque.png" -colors 4 -define png:color-type=3 -define png:bit-depth=2 pal2.png
out "$work/opaque.png" -colors 16 -define png:color-type=3 -define png:bit-depth=4 pal4.png
out "$work/opaque.png" -colors 200 -define png:color-type=3 -define png:bit-depth=8 pal8.png
out "$work/alpha.png" -channel A -threshold 50% +channel -colors 30 PNG8:pal8_trns.png
# Colour, 8 and 16 bits, with alpha or a transparent colour.
out "$work/opaque.png" -define png:color-type=2 -define png:bit-depth=8 rgb8.png
out "$work/opaque.png" -define png:color-type=2 -define png:bit-depth=16 rgb16.png
out "$work/opaque.png" -fill '#30b050' -opaque '#30b050' -transparent '#30b050' -define png:color-type=2 \
  -define png:bit-depth=8 rgb8_trns.png
out "$work/alpha.png" -define png:color-type=6 -define png:bit-depth=8 rgba8.png
out "$work/alpha.png" -define png:color-type=6 -define png:bit-depth=16 rgba16.png
# Interlaced (Adam7).
out "$work/opaque.png" -interlace PNG -define png:color-type=2 -define png:bit-depth=8 rgb8_interlaced.png
out "$work/alpha.png" -interlace PNG -define png:color-type=6 -define png:bit-depth=8 rgba8_interlaced.png
out "$work/opaque.png" -interlace PNG -colors 16 -define png:color-type=3 -define png:bit-depth=4 pal4_interlaced.png
out "$work/opaque.png" -interlace PNG -colorspace Gray -define png:color-type=0 -define png:bit-depth=1 gray1_interlaced.png

for f in *.png; do
  "$convert" "$f" -background white -flatten -depth 8 "rgb:${f%.png}.rgb"
done
