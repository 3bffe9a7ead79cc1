// One zlib stream (RFC 1950) made with libdeflate or our match finder, in pieces deflated
// apart (on two cores).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace kaptor {

// Raw deflate blocks of one piece of a zlib stream's data, deflated apart from the others:
// no piece refers back into the one before, which costs a few bytes at each seam.
struct DeflatedPiece {
    std::unique_ptr<std::uint8_t[]> Bytes;
    std::size_t Size = 0;      // of Bytes
    std::size_t DataSize = 0;  // of the data deflated
    std::uint32_t Adler = 1;   // Adler-32 of the data
};

// data[0, size) deflated at libdeflate's level (0-12). last: the piece that ends the stream;
// the others end where the next one's blocks follow. EOutOfMemory when the memory cannot be had.
DeflatedPiece DeflatePiece(const std::uint8_t* data, std::size_t size, int level, bool last);

// The same by our match finder (MatchFinder.h), made for filtered screen content; its
// pieces end on a byte boundary themselves, so nothing needs to be read to join them.
DeflatedPiece DeflateScreenPiece(const std::uint8_t* data, std::size_t size, bool last);

// What goes before the pieces in a zlib stream, and what after them.
constexpr std::uint8_t kZlibHeader[2] = {0x78, 0x9C};  // deflate, 32 KB window
// pieces: all the stream's, in order.
void ZlibTrailer(const std::vector<DeflatedPiece>& pieces, std::uint8_t (&trailer)[4]);

}  // namespace kaptor
