// The bitmap writer: every pixel format comes back from the reader unchanged, the headers
// it writes are the ones other programs expect, and a Dib that is not self-consistent is
// refused before a byte is written.
#include <gtest/gtest.h>

#include <random>

#include "framework/base/Classes.h"
#include "framework/imaging/BmpCodec.h"

using namespace kaptor;

namespace {

std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
std::uint16_t Le16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

// A Dib with random bits (padding included: the writer must copy rows as they are).
Dib RandomDib(std::int32_t width, std::int32_t height, std::uint16_t bits, std::size_t paletteSize,
              std::mt19937& rng) {
    Dib d = Dib::Make(width, height, bits);
    for (auto& b : d.Bits) b = static_cast<std::uint8_t>(rng());
    for (std::size_t i = 0; i < paletteSize; ++i) {
        const std::uint32_t v = rng();
        d.Palette.push_back({static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                             static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)});
    }
    d.XPelsPerMeter = static_cast<std::int32_t>(rng() % 10000);
    d.YPelsPerMeter = static_cast<std::int32_t>(rng() % 10000);
    return d;
}

std::vector<std::uint8_t> Write(const Dib& d) {
    TMemoryStream out;
    WriteBmp(d, out);
    return out.Memory();
}

struct PixelFormat {
    std::uint16_t bits;
    std::size_t palette;
    std::uint32_t red, green, blue;
};

}  // namespace

TEST(BmpWrite, EveryFormatRoundTrips) {
    const PixelFormat formats[] = {
        {1, 2, 0, 0, 0},        {1, 1, 0, 0, 0},         {4, 16, 0, 0, 0},
        {4, 5, 0, 0, 0},        {8, 256, 0, 0, 0},       {8, 37, 0, 0, 0},
        {16, 0, 0, 0, 0},       {16, 0, 0xF800, 0x7E0, 0x1F}, {16, 0, 0xF00, 0xF0, 0xF},
        {24, 0, 0, 0, 0},       {32, 0, 0, 0, 0},        {32, 0, 0xFF0000, 0xFF00, 0xFF},
        {32, 0, 0x3FF00000, 0xFFC00, 0x3FF},
    };
    std::mt19937 rng(7);
    for (const PixelFormat& f : formats) {
        for (std::int32_t width : {1, 2, 3, 5, 7, 8, 9, 31, 33}) {
            for (std::int32_t height : {1, 2, 5}) {
                Dib d = RandomDib(width, height, f.bits, f.palette, rng);
                d.RedMask = f.red;
                d.GreenMask = f.green;
                d.BlueMask = f.blue;
                const Dib back = ReadBmp(Write(d));
                EXPECT_TRUE(back == d) << f.bits << " bits, " << f.palette << " colours, masks " << f.red << ", "
                                       << width << " x " << height;
            }
        }
    }
}

TEST(BmpWrite, HeadersAreCompleteAndConsistent) {
    std::mt19937 rng(3);
    {
        const Dib d = RandomDib(5, 3, 8, 256, rng);
        const std::vector<std::uint8_t> f = Write(d);
        EXPECT_EQ(f[0], 'B');
        EXPECT_EQ(f[1], 'M');
        EXPECT_EQ(Le32(f, 2), f.size()) << "bfSize";
        EXPECT_EQ(Le32(f, 10), 14u + 40 + 1024) << "bfOffBits";
        EXPECT_EQ(Le32(f, 14), 40u);
        EXPECT_EQ(static_cast<std::int32_t>(Le32(f, 18)), 5);
        EXPECT_EQ(static_cast<std::int32_t>(Le32(f, 22)), 3) << "bottom-up";
        EXPECT_EQ(Le16(f, 26), 1) << "planes";
        EXPECT_EQ(Le16(f, 28), 8);
        EXPECT_EQ(Le32(f, 30), 0u) << "BI_RGB";
        EXPECT_EQ(Le32(f, 34), 24u) << "biSizeImage";
        EXPECT_EQ(Le32(f, 46), 0u) << "a full table is counted as 0";
        EXPECT_EQ(f.size(), 14u + 40 + 1024 + 24);
    }
    {
        const Dib d = RandomDib(2, 2, 4, 3, rng);
        const std::vector<std::uint8_t> f = Write(d);
        EXPECT_EQ(Le32(f, 46), 3u) << "a short table is counted";
        EXPECT_EQ(Le32(f, 10), 14u + 40 + 12);
    }
    {
        Dib d = RandomDib(3, 1, 16, 0, rng);
        d.RedMask = 0xF800;
        d.GreenMask = 0x7E0;
        d.BlueMask = 0x1F;
        const std::vector<std::uint8_t> f = Write(d);
        EXPECT_EQ(Le32(f, 30), 3u) << "BI_BITFIELDS";
        EXPECT_EQ(Le32(f, 10), 14u + 40 + 12) << "masks follow the header";
        EXPECT_EQ(Le32(f, 54), 0xF800u);
        EXPECT_EQ(Le32(f, 58), 0x7E0u);
        EXPECT_EQ(Le32(f, 62), 0x1Fu);
    }
    {
        Dib d = RandomDib(3, 1, 24, 0, rng);
        d.RedMask = 0xFF0000;  // meaningless at 24 bits: not written
        const std::vector<std::uint8_t> f = Write(d);
        EXPECT_EQ(Le32(f, 30), 0u);
        EXPECT_EQ(Le32(f, 10), 54u);
    }
}

TEST(BmpWrite, WritesAtTheStreamPositionAndReadsBackFromThere) {
    std::mt19937 rng(5);
    const Dib d = RandomDib(9, 4, 24, 0, rng);
    TMemoryStream s;
    s.WriteBuffer("head", 4);
    WriteBmp(d, s);
    const std::int64_t end = s.Position();
    s.WriteBuffer("tail", 4);
    s.SetPosition(4);
    EXPECT_TRUE(ReadBmp(s) == d);
    EXPECT_EQ(s.Position(), end);
}

TEST(BmpWrite, InconsistentDibIsRefusedBeforeWriting) {
    std::mt19937 rng(11);
    auto refused = [](const Dib& d, const char* what) {
        TMemoryStream s;
        EXPECT_THROW(WriteBmp(d, s), EInvalidGraphic) << what;
        EXPECT_TRUE(s.Memory().empty()) << what << ": bytes written before refusing";
    };
    Dib d = RandomDib(4, 4, 8, 256, rng);
    d.Bits.pop_back();
    refused(d, "bits one byte short");
    d = RandomDib(4, 4, 8, 256, rng);
    d.Bits.resize(d.Bits.size() + 4);
    refused(d, "bits one row long");
    d = RandomDib(4, 4, 8, 0, rng);
    refused(d, "8 bits without a colour table");
    d = RandomDib(4, 4, 4, 17, rng);
    refused(d, "17 colours at 4 bits");
    d = RandomDib(4, 4, 16, 0, rng);
    d.RedMask = 0xF0F0;
    d.GreenMask = 0x0F00;
    refused(d, "red mask in two pieces");
    d = RandomDib(4, 4, 16, 0, rng);
    d.RedMask = 0x1F0000;
    refused(d, "16-bit mask above bit 15");
    d = RandomDib(4, 4, 24, 0, rng);
    d.BitCount = 2;
    refused(d, "2 bits");
    refused(Dib{}, "empty picture");
    d = Dib::Make(0, 3, 24);
    refused(d, "zero width");
}
