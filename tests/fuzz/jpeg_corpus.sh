#!/usr/bin/env bash
# Makes the seed corpus of the JPEG fuzzer: tiny files covering the coding variants the
# reader meets (sampling, restart intervals, progressive, arithmetic, greyscale, CMYK).
# The results are committed; run again only to remake them.
set -euo pipefail
out=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/corpus/jpeg
mkdir -p "$out"
convert=/usr/bin/convert
# jpegtran (libjpeg-turbo-progs) for what ImageMagick cannot ask libjpeg for.
jpegtran=$(command -v jpegtran) || { echo "jpeg_corpus: needs jpegtran (apt-get install libjpeg-turbo-progs)" >&2; exit 1; }
pic() { $convert -size 24x17 gradient:'#E04010-#1040E0' -strip "$@"; }

pic -quality 90 -sampling-factor 2x2 "$out/baseline-420.jpg"
pic -quality 90 -sampling-factor 1x1 "$out/baseline-444.jpg"
pic -quality 90 -sampling-factor 2x1 "$out/baseline-422.jpg"
pic -quality 80 -interlace JPEG "$out/progressive.jpg"
pic -quality 80 -define jpeg:optimize-coding=true "$out/optimized.jpg"
pic -quality 80 -colorspace Gray "$out/gray.jpg"
pic -quality 80 -colorspace Gray -interlace JPEG "$out/gray-progressive.jpg"
pic -quality 80 -colorspace CMYK "$out/cmyk.jpg"
"$jpegtran" -restart 1B "$out/baseline-420.jpg" >"$out/restart.jpg"
"$jpegtran" -arithmetic "$out/baseline-420.jpg" >"$out/arithmetic.jpg"
"$jpegtran" -arithmetic -progressive "$out/baseline-444.jpg" >"$out/arithmetic-progressive.jpg"
$convert -size 1x1 xc:white -strip -quality 50 "$out/one-pixel.jpg"
