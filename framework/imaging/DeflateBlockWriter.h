// Deflate blocks (RFC 1951) written from a block's literals and matches: each block as the
// least of a dynamic Huffman block, the fixed codes and stored bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kaptor {

// One literal (Distance 0, Value the byte) or match (Value its length 3-258, Distance 1-32768).
struct DeflateSymbol {
    std::uint16_t Value;
    std::uint16_t Distance;  // 32768 fits: 0 means a literal
};

// Bits into a buffer the caller made large enough (DeflateOutputBound), first bit lowest.
class DeflateBits {
public:
    explicit DeflateBits(std::uint8_t* out) : out_(out), at_(out) {}
    // n <= 32 bits of v (the bits above n zero).
    void Put(std::uint32_t v, unsigned n) {
        buffer_ |= static_cast<std::uint64_t>(v) << count_;
        count_ += n;
        if (count_ >= 32) {
            const std::uint32_t word = static_cast<std::uint32_t>(buffer_);
            const std::uint8_t b[4] = {static_cast<std::uint8_t>(word), static_cast<std::uint8_t>(word >> 8),
                                       static_cast<std::uint8_t>(word >> 16), static_cast<std::uint8_t>(word >> 24)};
            std::memcpy(at_, b, 4);
            at_ += 4;
            buffer_ >>= 32;
            count_ -= 32;
        }
    }
    // Up to the next byte boundary with zero bits.
    void ToByte() { Put(0, (8 - count_ % 8) % 8); }
    // Whole bytes, at a byte boundary.
    void PutBytes(const std::uint8_t* p, std::size_t n) {
        while (count_) {
            *at_++ = static_cast<std::uint8_t>(buffer_);
            buffer_ >>= 8;
            count_ -= 8;
        }
        if (n) std::memcpy(at_, p, n);
        at_ += n;
    }
    // Bytes written once the last byte is filled up: call after ToByte.
    std::size_t Finish() {
        PutBytes(nullptr, 0);
        return static_cast<std::size_t>(at_ - out_);
    }

private:
    std::uint8_t* out_;
    std::uint8_t* at_;
    std::uint64_t buffer_ = 0;
    unsigned count_ = 0;
};

// Room enough for any size bytes' blocks of at least minBlock bytes each (the last may be
// shorter), with the end: no block is written larger than stored bytes.
constexpr std::size_t DeflateOutputBound(std::size_t size, std::size_t minBlock) {
    return size + 6 * (size / 0xFFFF + size / minBlock + 2) + 16;
}

// symbols[0, n) as one or more blocks: raw[0, rawSize) is what they stand for (stored if that
// is shorter). final: the stream's last block.
void WriteDeflateBlock(DeflateBits& bits, const DeflateSymbol* symbols, std::size_t n, const std::uint8_t* raw,
                       std::size_t rawSize, bool final);

// An empty stored block, not final: brings the stream to a byte boundary, so another piece's
// blocks may follow.
void WriteDeflateSync(DeflateBits& bits);

}  // namespace kaptor
