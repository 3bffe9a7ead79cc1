// JPEG writing from rows kept outside a Dib (how the save command encodes a picture without
// copying it): the same file as from the Dib itself, rows asked for once each, top first.
#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <vector>

#include "framework/base/Classes.h"
#include "framework/imaging/JpegCodec.h"

using namespace kaptor;

namespace {

// Pseudo-random bytes in every row (padding included), with a colour table where needed.
Dib Noise(int bitCount, int width, int height, std::uint32_t r = 0, std::uint32_t g = 0, std::uint32_t b = 0) {
    Dib dib = Dib::Make(width, height, static_cast<std::uint16_t>(bitCount));
    dib.RedMask = r;
    dib.GreenMask = g;
    dib.BlueMask = b;
    std::uint32_t seed = 12345u + static_cast<std::uint32_t>(bitCount);
    for (std::uint8_t& v : dib.Bits) v = static_cast<std::uint8_t>((seed = seed * 1103515245u + 12345u) >> 23);
    if (bitCount <= 8)
        for (int i = 0; i < (1 << bitCount); ++i)
            dib.Palette.push_back(RgbQuad{static_cast<std::uint8_t>(i * 37), static_cast<std::uint8_t>(255 - i),
                                          static_cast<std::uint8_t>(i * 11), 0});
    return dib;
}

std::vector<std::uint8_t> FromDib(const Dib& dib) {
    TMemoryStream out;
    EncodeJpeg(dib, out);
    return out.Memory();
}

// The format only (no pixels), rows handed out from a separate copy of the Dib.
std::vector<std::uint8_t> FromRows(const Dib& dib, std::vector<int>* asked = nullptr) {
    Dib format = dib;
    format.Bits.clear();
    TMemoryStream out;
    EncodeJpeg(
        format,
        [&](int y) {
            if (asked) asked->push_back(y);
            return dib.Row(y);
        },
        out);
    return out.Memory();
}

}  // namespace

TEST(JpegRowSource, EveryLayoutGivesTheSameFileAsTheDib) {
    struct Layout {
        int bits;
        std::uint32_t r, g, b;
    };
    const Layout layouts[] = {{24, 0, 0, 0},      {32, 0, 0, 0},         {32, 0xFF0000, 0xFF00, 0xFF},
                              {16, 0, 0, 0},      {16, 0xF800, 0x7E0, 0x1F}, {8, 0, 0, 0},
                              {4, 0, 0, 0},       {1, 0, 0, 0}};
    for (const Layout& l : layouts) {
        // Odd sizes: rows carry padding, and the last MCU row and column are partial.
        const Dib dib = Noise(l.bits, 37, 23, l.r, l.g, l.b);
        const auto expected = FromDib(dib);
        ASSERT_GT(expected.size(), 100u) << l.bits;
        EXPECT_EQ(FromRows(dib), expected) << l.bits << " bits, masks " << l.r;
    }
}

TEST(JpegRowSource, RowsAreAskedForOnceEachFromTheTop) {
    const Dib dib = Noise(32, 20, 17);
    std::vector<int> asked;
    FromRows(dib, &asked);
    ASSERT_EQ(asked.size(), 17u);
    for (int y = 0; y < 17; ++y) EXPECT_EQ(asked[static_cast<std::size_t>(y)], y);
}

TEST(JpegRowSource, BadFormatAndFailingRowsEndCleanly) {
    Dib bad = Noise(24, 8, 8);
    bad.BitCount = 7;
    bool asked = false;
    TMemoryStream out;
    EXPECT_THROW(EncodeJpeg(bad, [&](int) { asked = true; return bad.Bits.data(); }, out), EInvalidGraphic);
    EXPECT_FALSE(asked);

    // An empty picture is libjpeg's error, as from a Dib.
    Dib empty = Noise(24, 0, 0);
    EXPECT_THROW(EncodeJpeg(empty, [&](int) { return empty.Bits.data(); }, out), EJpegError);

    // A row that cannot be had ends the file with the caller's own error.
    const Dib dib = Noise(24, 16, 16);
    EXPECT_THROW(EncodeJpeg(
                     dib,
                     [&](int y) -> const std::uint8_t* {
                         if (y == 9) throw std::runtime_error("row lost");
                         return dib.Row(y);
                     },
                     out),
                 std::runtime_error);
    // Nothing was left broken: the next file is whole.
    EXPECT_EQ(FromRows(dib), FromDib(dib));
}
