// The quick PNG reader: the plain kinds (8-bit RGB and RGBA, grey and grey with alpha, grey
// and palette at 1 to 8 bits, with or without tRNS; not interlaced) inflated in one call by
// libdeflate and unfiltered straight into the caller's rows, with the same pixels as the
// libpng path (alpha over white). It takes only a file it can read whole: one that is clean
// (every CRC right, chunks in their order, the rows exactly what the stream holds). For
// anything else it touches nothing and says so, and the libpng path reads the file, with its
// causes for whatever is wrong.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/imaging/PngCodec.h"

namespace kaptor {

// True when the picture was read into target; false, with target not called, when the file
// is left to the libpng path. Allocates nothing before the file has passed the same limits.
bool ReadPlainPng(const std::uint8_t* data, std::size_t size, const PngTarget& target, std::uint64_t maxDibBytes);

}  // namespace kaptor
