// A device-independent bitmap held in memory exactly as Windows lays one out: the header
// fields that matter, the colour table, and bottom-up rows padded to four bytes. The bitmap
// reader and writer, the JPEG codec, the clipboard and the printer all meet here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kaptor {

struct RgbQuad {
    std::uint8_t Blue = 0, Green = 0, Red = 0, Reserved = 0;
    friend bool operator==(const RgbQuad&, const RgbQuad&) = default;
};

struct Dib {
    std::int32_t Width = 0;
    std::int32_t Height = 0;     // rows are stored bottom-up, as in a BI_RGB file
    std::uint16_t BitCount = 24; // 1, 4, 8, 16, 24 or 32
    // For 16 and 32 bits: non-zero masks mean BI_BITFIELDS; all zero means the defaults
    // (5-5-5 for 16 bits, 8-8-8 for 32 bits).
    std::uint32_t RedMask = 0, GreenMask = 0, BlueMask = 0;
    std::vector<RgbQuad> Palette;  // 2^BitCount entries at most, for 1, 4 and 8 bits
    std::vector<std::uint8_t> Bits;
    std::int32_t XPelsPerMeter = 0, YPelsPerMeter = 0;

    friend bool operator==(const Dib&, const Dib&) = default;

    // Bytes per stored row; computed in 64 bits so no header can make it wrap.
    static std::uint64_t StrideFor(std::int64_t width, int bitCount) {
        return ((static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(bitCount) + 31) / 32) * 4;
    }
    std::uint64_t Stride() const { return StrideFor(Width, BitCount); }
    bool HasBitFields() const { return RedMask | GreenMask | BlueMask; }

    // Row y counted from the top of the picture.
    std::uint8_t* Row(int y) { return Bits.data() + static_cast<std::size_t>(Height - 1 - y) * Stride(); }
    const std::uint8_t* Row(int y) const {
        return Bits.data() + static_cast<std::size_t>(Height - 1 - y) * Stride();
    }

    // Allocates zeroed bits for width x height at bitCount; raises EOutOfMemory when the
    // size cannot be held.
    static Dib Make(std::int32_t width, std::int32_t height, std::uint16_t bitCount);

    // Converts row y (from the top) to packed 8-bit R, G, B triples: out receives 3 * Width
    // bytes. Works for every bit count above.
    void RowToRgb(int y, std::uint8_t* out) const;
};

// size zeroed bytes for a codec's working buffers; EOutOfMemory when they cannot be had.
std::vector<std::uint8_t> AllocBuffer(std::size_t size);

// Stored rows of one layout as packed 8-bit R, G, B triples, one row at a time, for encoders
// that take only such rows. The buffers are made once, by the constructor (EOutOfMemory when
// they cannot be had).
class RgbRowConverter {
public:
    RgbRowConverter() = default;
    explicit RgbRowConverter(const Dib& layout);
    // stored: one row in the layout's format. The result holds 3 * Width bytes and stays
    // valid until the next call.
    const std::uint8_t* Convert(const std::uint8_t* stored);

private:
    Dib one_;  // a one-row copy of the layout, which RowToRgb reads
    std::vector<std::uint8_t> rgb_;
};

}  // namespace kaptor
