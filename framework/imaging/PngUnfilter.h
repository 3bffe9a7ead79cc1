// Undoing a PNG row filter in place, the row above already undone.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kaptor {

// filter 0 to 4 (none, sub, up, average, Paeth) over n bytes of row, bpp bytes a pixel (1 for
// pixels under a byte); up is the row above (zeros for the first).
void Unfilter(std::uint8_t filter, std::uint8_t* row, const std::uint8_t* up, std::size_t n, std::size_t bpp);

}  // namespace kaptor
