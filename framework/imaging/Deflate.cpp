// libdeflate makes a whole stream in one call and always ends it with a final block, so pieces
// deflated apart do not simply join. Reading the piece's blocks (DeflateBlocks.h) tells where
// its final block starts; its "final" bit is cleared and an empty stored block brings the
// piece to a byte boundary, where the next piece's blocks follow. The technique of zlib's
// gzjoin example, which finds the blocks by inflating.
#include "Deflate.h"

#include <algorithm>
#include <cstring>
#include <new>

#include <libdeflate.h>
#include <zlib.h>

#include "framework/base/SysUtils.h"
#include "framework/imaging/DeflateBlocks.h"
#include "framework/imaging/MatchFinder.h"

namespace kaptor {

namespace {

struct CompressorDeleter {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

// Room for what MakeNotFinal adds: at most a byte of padding and the empty stored block.
constexpr std::size_t kTail = 8;

// Turns the complete raw stream in s[0, size) into one that goes on: its final block made not
// final, then an empty stored block up to a byte boundary. Returns the new size, or 0 when
// the stream's blocks cannot be followed.
std::size_t MakeNotFinal(std::uint8_t* s, std::size_t size) {
    DeflateBlockEnds ends;
    if (!FindDeflateBlockEnds(s, size, ends)) return 0;
    const std::uint64_t lastHeader = ends.LastHeader, endBit = ends.End;
    s[lastHeader / 8] &= static_cast<std::uint8_t>(~(1u << (lastHeader % 8)));
    std::size_t n = static_cast<std::size_t>((endBit + 7) / 8);
    if (endBit % 8) s[n - 1] &= static_cast<std::uint8_t>((1u << (endBit % 8)) - 1);  // the padding bits
    // The stored block's three header bits (all zero) fit in the last byte's padding, or need
    // another byte; then its length 0 and the length's complement.
    if (endBit % 8 == 0 || endBit % 8 > 5) s[n++] = 0;
    static const std::uint8_t empty[4] = {0x00, 0x00, 0xFF, 0xFF};
    std::memcpy(s + n, empty, 4);
    return n + 4;
}

// data as stored blocks, none final: what a piece falls back on if its blocks cannot be
// followed.
std::size_t Stored(const std::uint8_t* data, std::size_t size, std::uint8_t* out) {
    std::uint8_t* o = out;
    for (std::size_t at = 0; at < size;) {
        const std::size_t n = std::min<std::size_t>(size - at, 0xFFFF);
        const std::uint8_t header[5] = {0, static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8),
                                        static_cast<std::uint8_t>(~n), static_cast<std::uint8_t>(~n >> 8)};
        std::memcpy(o, header, 5);
        std::memcpy(o + 5, data + at, n);
        o += 5 + n;
        at += n;
    }
    return static_cast<std::size_t>(o - out);
}

}  // namespace

DeflatedPiece DeflatePiece(const std::uint8_t* data, std::size_t size, int level, bool last) {
    std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor(libdeflate_alloc_compressor(level));
    if (!compressor) throw EOutOfMemory();
    const std::size_t bound = std::max(libdeflate_deflate_compress_bound(compressor.get(), size),
                                       size + 5 * (size / 0xFFFF + 1)) + kTail;
    DeflatedPiece piece;
    // Not zeroed: libdeflate writes what is used, and the pages it does not reach stay untouched.
    piece.Bytes.reset(new (std::nothrow) std::uint8_t[bound]);
    if (!piece.Bytes) throw EOutOfMemory();
    piece.DataSize = size;
    piece.Size = libdeflate_deflate_compress(compressor.get(), data, size, piece.Bytes.get(), bound - kTail);
    if (piece.Size == 0) throw EOutOfMemory();  // the bound is libdeflate's own: never short
    if (!last) {
        const std::size_t joined = MakeNotFinal(piece.Bytes.get(), piece.Size);
        piece.Size = joined ? joined : Stored(data, size, piece.Bytes.get());
    }
    piece.Adler = libdeflate_adler32(1, data, size);
    return piece;
}

DeflatedPiece DeflateScreenPiece(const std::uint8_t* data, std::size_t size, bool last) {
    // The match finder counts positions in 32 bits; no piece a 32-bit process holds is longer.
    if (size > 0x7FFFFFFFu) return DeflatePiece(data, size, 8, last);
    DeflatedPiece piece;
    piece.Bytes.reset(new (std::nothrow) std::uint8_t[MatchDeflateBound(size)]);
    if (!piece.Bytes) throw EOutOfMemory();
    piece.DataSize = size;
    piece.Size = MatchDeflate(data, size, piece.Bytes.get(), last);
    piece.Adler = libdeflate_adler32(1, data, size);
    return piece;
}

void ZlibTrailer(const std::vector<DeflatedPiece>& pieces, std::uint8_t (&trailer)[4]) {
    uLong adler = 1;
    for (const DeflatedPiece& p : pieces) adler = adler32_combine(adler, p.Adler, static_cast<z_off_t>(p.DataSize));
    for (int i = 0; i < 4; ++i) trailer[i] = static_cast<std::uint8_t>(adler >> (24 - 8 * i));
}

}  // namespace kaptor
