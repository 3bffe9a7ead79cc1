// Windows bitmap (.bmp) files to and from Dib. The reader takes the files people actually
// have: 1, 4, 8, 16, 24 and 32 bits, RLE4 and RLE8, BI_BITFIELDS, top-down rows, the OS/2
// core header and the V4/V5 headers. Files come from strangers, so every header field is
// checked against the file before anything is allocated; the few deviations tolerated are
// listed by name at the top of BmpCodec.cpp.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "Dib.h"
#include "framework/base/Classes.h"

namespace kaptor {

// Reads a bitmap file starting at the stream's position (the file's offsets count from
// there) and leaves the stream after the last byte that belonged to the picture. The Dib
// keeps the file's pixel format: RLE8 gives 8 bits, RLE4 4 bits, the rest as stored.
// Damaged file: EInvalidGraphic with texts::InvalidBitmap. Picture too large for a 32-bit
// process: EOutOfMemory. The stream's own failures pass through.
Dib ReadBmp(TStream& stream);
Dib ReadBmp(std::span<const std::uint8_t> file);

// The same into pixels kept elsewhere (a bitmap's own section, so the picture is not copied
// again): once the headers are checked, pixels(format) is called with the picture's size,
// bit count, masks, colour table and resolution (its Bits empty) and gives Stride * Height
// bytes in Dib's layout, which the rows are then read into. They must be zeroed unless
// everyRowRead: then the file holds every row whole, and each is read over what was there.
using BmpPixels = std::function<std::uint8_t*(const Dib& format, bool everyRowRead)>;
void ReadBmp(TStream& stream, const BmpPixels& pixels);

// Writes a complete BMP file (file header, 40-byte info header, masks for BI_BITFIELDS,
// colour table for 1 to 8 bits) in the Dib's own pixel format, so ReadBmp gives the same
// Dib back. A Dib that is not self-consistent (size of Bits, palette, masks) raises
// EInvalidGraphic before anything is written.
void WriteBmp(const Dib& dib, TStream& stream);

// True when the masks are usable for BI_BITFIELDS at this bit count (16 or 32): none zero,
// each a single run of bits inside the pixel, no two overlapping.
bool ValidBitFields(std::uint32_t red, std::uint32_t green, std::uint32_t blue, int bitCount);

}  // namespace kaptor
