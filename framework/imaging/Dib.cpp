#include "Dib.h"

#include <cstring>
#include <new>

#include "framework/base/SysUtils.h"

namespace kaptor {

Dib Dib::Make(std::int32_t width, std::int32_t height, std::uint16_t bitCount) {
    if (width < 0 || height < 0) throw EInvalidGraphic(texts::InvalidBitmap);
    const std::uint64_t bytes = StrideFor(width, bitCount) * static_cast<std::uint64_t>(height);
    // A 32-bit process cannot hold more than this in one block anyway.
    if (bytes > 0x7FFFFFFFull) throw EOutOfMemory();
    Dib d;
    d.Width = width;
    d.Height = height;
    d.BitCount = bitCount;
    try {
        d.Bits.assign(static_cast<std::size_t>(bytes), 0);
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory();
    }
    return d;
}

std::vector<std::uint8_t> AllocBuffer(std::size_t size) {
    try {
        return std::vector<std::uint8_t>(size);
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory();
    }
}

namespace {

// Scales a masked channel value to 8 bits.
std::uint8_t Channel(std::uint32_t pixel, std::uint32_t mask) {
    if (mask == 0) return 0;
    int shift = 0;
    while (!((mask >> shift) & 1u)) ++shift;
    // 64 bits: a channel wider than 24 bits would overflow v * 255 in 32.
    const std::uint64_t max = mask >> shift;
    const std::uint64_t v = (pixel & mask) >> shift;
    return static_cast<std::uint8_t>((v * 255u + max / 2) / max);
}

}  // namespace

void Dib::RowToRgb(int y, std::uint8_t* out) const {
    const std::uint8_t* row = Row(y);
    auto fromPalette = [&](unsigned index, std::uint8_t* px) {
        const RgbQuad q = index < Palette.size() ? Palette[index] : RgbQuad{};
        px[0] = q.Red;
        px[1] = q.Green;
        px[2] = q.Blue;
    };
    for (int x = 0; x < Width; ++x) {
        std::uint8_t* px = out + 3 * x;
        switch (BitCount) {
            case 1: fromPalette((row[x >> 3] >> (7 - (x & 7))) & 1u, px); break;
            case 4: fromPalette((row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xFu, px); break;
            case 8: fromPalette(row[x], px); break;
            case 16: {
                const std::uint32_t p = row[2 * x] | (row[2 * x + 1] << 8);
                const bool fields = HasBitFields();
                px[0] = Channel(p, fields ? RedMask : 0x7C00u);
                px[1] = Channel(p, fields ? GreenMask : 0x03E0u);
                px[2] = Channel(p, fields ? BlueMask : 0x001Fu);
                break;
            }
            case 24:
                px[0] = row[3 * x + 2];
                px[1] = row[3 * x + 1];
                px[2] = row[3 * x];
                break;
            case 32: {
                if (!HasBitFields()) {
                    px[0] = row[4 * x + 2];
                    px[1] = row[4 * x + 1];
                    px[2] = row[4 * x];
                } else {
                    const std::uint32_t p = row[4 * x] | (row[4 * x + 1] << 8) | (row[4 * x + 2] << 16) |
                                            (static_cast<std::uint32_t>(row[4 * x + 3]) << 24);
                    px[0] = Channel(p, RedMask);
                    px[1] = Channel(p, GreenMask);
                    px[2] = Channel(p, BlueMask);
                }
                break;
            }
            default: px[0] = px[1] = px[2] = 0; break;
        }
    }
}

RgbRowConverter::RgbRowConverter(const Dib& layout) {
    one_.Width = layout.Width;
    one_.Height = 1;
    one_.BitCount = layout.BitCount;
    one_.RedMask = layout.RedMask;
    one_.GreenMask = layout.GreenMask;
    one_.BlueMask = layout.BlueMask;
    one_.Palette = layout.Palette;
    one_.Bits = AllocBuffer(static_cast<std::size_t>(layout.Stride()));
    rgb_ = AllocBuffer(static_cast<std::size_t>(layout.Width) * 3);
}

const std::uint8_t* RgbRowConverter::Convert(const std::uint8_t* stored) {
    std::memcpy(one_.Bits.data(), stored, one_.Bits.size());
    one_.RowToRgb(0, rgb_.data());
    return rgb_.data();
}

}  // namespace kaptor
