#!/bin/sh
# Regenerates the small GIF files written by ImageMagick that the GIF reader's tests decode
# and compare, index for index, with giflib. Seeds are fixed so the pictures stay the same.
set -eu
cd "$(dirname "$0")"
IM=${CONVERT:-/usr/bin/convert}

# Two colours: minimum code size 2.
$IM -size 33x17 pattern:checkerboard -monochrome mono.gif
# A global table of four colours, a width that is no multiple of 4.
$IM -size 37x21 gradient:red-blue -colors 4 four.gif
$IM -size 40x30 gradient:yellow-navy -colors 16 gradient16.gif
# Noise fills the string table at 12 bits several times over.
$IM -seed 1 -size 160x120 xc: +noise Random -colors 256 noise256.gif
# Photo-like, interlaced, and two small interlaced heights that leave passes empty.
$IM -seed 3 -size 97x61 plasma: -colors 200 -interlace GIF plasma_interlaced.gif
$IM -seed 4 -size 9x10 plasma: -colors 8 -interlace GIF interlaced_h10.gif
$IM -seed 5 -size 11x3 plasma: -colors 8 -interlace GIF interlaced_h3.gif
# Several images with palettes of their own (local colour tables) and smaller frames.
$IM -seed 6 -delay 10 -size 48x32 gradient:red-yellow \( -size 48x32 plasma: -colors 64 \) \
    \( -size 48x32 xc:white -fill blue -draw "rectangle 10,8 30,20" \) -loop 0 anim.gif
$IM -seed 7 -delay 10 -size 48x32 xc:white \( -size 48x32 xc:white -fill red -draw "circle 24,16 30,16" \) \
    -layers optimize anim_optimized.gif
$IM -size 1x1 xc:green single_pixel.gif
