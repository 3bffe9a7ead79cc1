#!/usr/bin/env bash
# Makes the small JPEG files the codec tests read: colour spaces our own encoder never
# writes. Each picture is four 16x16 quadrants (red, green, blue, white on top of black,
# grey, yellow, cyan), so a decoder's result can be checked quadrant by quadrant.
# Run again only to remake them; the results are committed.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
convert=/usr/bin/convert

quads() {
  $convert -size 16x16 xc:'#FF0000' xc:'#00FF00' xc:'#0000FF' xc:'#FFFFFF' +append \
    \( -size 16x16 xc:'#000000' xc:'#808080' xc:'#FFFF00' xc:'#00FFFF' +append \) -append \
    -strip "$@"
}

# 64x32, one component.
quads -colorspace Gray -quality 95 gray.jpg
# 64x32, four components, Adobe marker: ImageMagick stores CMYK as YCCK (transform 2)
# with the inks inverted, as Photoshop does.
quads -colorspace CMYK -quality 95 cmyk.jpg
# 64x32, colour, progressive.
quads -quality 95 -interlace JPEG progressive.jpg
