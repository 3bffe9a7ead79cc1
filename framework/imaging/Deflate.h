// One zlib stream (RFC 1950) of a whole buffer, made with libdeflate.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kaptor {

// Appends the zlib stream of data[0, size) at libdeflate's level (0-12) to out. A buffer of
// a megabyte or more is deflated in two halves on two cores, joined into one stream: the
// second half then cannot refer back into the first, which costs a few bytes at the seam.
// EOutOfMemory when the memory cannot be had.
void AppendZlibStream(std::vector<std::uint8_t>& out, const std::uint8_t* data, std::size_t size, int level);

}  // namespace kaptor
