// Deflate's matches (RFC 1951, LZ77 over a 32 KB window) in filtered screen content: long runs
// of zeros, short stretches between them, repeats of glyphs and edges some rows back.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kaptor {

// data[0, size) deflated into out as raw blocks, none final unless last; a piece that is not
// last ends on a byte boundary (an empty stored block), so another piece's blocks may follow.
// out has room for MatchDeflateBound(size) bytes. Returns the bytes written. EOutOfMemory when
// the tables cannot be had.
std::size_t MatchDeflate(const std::uint8_t* data, std::size_t size, std::uint8_t* out, bool last);
std::size_t MatchDeflateBound(std::size_t size);

}  // namespace kaptor
