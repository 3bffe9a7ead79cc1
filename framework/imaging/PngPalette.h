// A flat 24- or 32-bit picture of few colours written as a palette PNG: a third of the bytes
// to deflate and the same pixels for every reader. Flat windows and text without smoothing
// often have no more than 256 colours.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "framework/imaging/Dib.h"

namespace kaptor {

// Whether rows in format's layout can be indexed here: 24 bits, or 32 with the default masks.
bool CanIndexColours(const Dib& format);

// The colours of rows[0, rows.size()) (blue, green, red as stored; 3 or 4 bytes a pixel), in
// the order they first appear, and each pixel's index into them: row y's width indices go to
// out + y * outStride. False, as soon as it is seen, when there are more than 256 colours, or
// when fewer than half of the pixels have the colour of the one before them, in the first
// eighth of the rows or in all: dithered pictures deflate smaller as filtered RGB.
bool IndexColours(const std::vector<const std::uint8_t*>& rows, std::size_t width, int bitCount,
                  std::uint8_t* out, std::size_t outStride, std::vector<RgbQuad>& colours);

}  // namespace kaptor
