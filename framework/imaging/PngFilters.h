// PNG's row filters for the writer: one row at a time, each filtered against the row before,
// with the filter type given or chosen as libpng chooses it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "PngCodec.h"

namespace kaptor {

// Whether this processor runs the 16-bytes-a-step filters (SSE2).
bool PngFiltersWide();

class PngRowFilter {
public:
    // Rows of n bytes, bpp bytes a pixel (1 or 3); wide: the 16-bytes-a-step code, which gives
    // the same bytes as the plain one. EOutOfMemory when the two rows cannot be had.
    PngRowFilter(std::size_t n, std::size_t bpp, bool wide = PngFiltersWide());

    // Where the next row's n bytes go; the row given before becomes the one above it (zeros
    // before the first).
    std::uint8_t* Next();

    // The row last given, filtered into out: the type byte, then n bytes. Adaptive: libpng's
    // choice, the type whose bytes taken as signed sum least.
    void Filter(TPngFilter type, std::uint8_t* out) const;

private:
    std::size_t n_, bpp_;
    bool wide_;
    // Both rows with a margin of zeros before them (what the first pixel's filters see to its
    // left) and after them (what the last 16-byte step reads past the row).
    std::vector<std::uint8_t> rows_;
    std::uint8_t* row_;
    std::uint8_t* prior_;
};

}  // namespace kaptor
