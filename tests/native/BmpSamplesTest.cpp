// Real files from tests/data/bmp (written by ImageMagick, or made from its files by make.sh
// there): each reads pixel for pixel as ImageMagick decodes it (NAME.rgb beside it). Then the
// same files cut short and scrambled: a clean refusal or a picture, never anything else.
#include <gtest/gtest.h>

#include <bit>
#include <random>
#include <string>

#include "framework/base/Classes.h"
#include "framework/imaging/BmpCodec.h"

using namespace kaptor;

namespace {

struct Sample {
    const char* name;
    int bits;
    int width, height;
    std::size_t colours;  // entries in the colour table read, for 1 to 8 bits
};

// Kept in step with make.sh: a sample that goes missing fails here.
const Sample kSamples[] = {
    {"pal1", 1, 23, 13, 2},          {"pal4", 4, 23, 13, 16},        {"pal8", 8, 23, 13, 256},
    {"pal8_short", 8, 23, 13, 0},    {"rle8", 8, 23, 13, 256},       {"rle8_delta", 8, 31, 14, 40},
    {"rle4", 4, 29, 15, 16},         {"rgb16", 16, 23, 13, 0},       {"rgb24", 24, 23, 13, 0},
    {"rgb32", 32, 23, 13, 0},        {"v5_24", 24, 23, 13, 0},       {"v5_565", 16, 23, 13, 0},
    {"v5_555", 16, 23, 13, 0},       {"v5_1555", 16, 23, 13, 0},     {"v5_4444", 16, 23, 13, 0},
    {"v5_32", 32, 23, 13, 0},        {"v4_565", 16, 23, 13, 0},      {"v4_32", 32, 23, 13, 0},
    {"info40_565", 16, 23, 13, 0},   {"info40_32", 32, 23, 13, 0},   {"os2_1", 1, 23, 13, 2},
    {"os2_4", 4, 23, 13, 16},        {"os2_8", 8, 23, 13, 256},      {"os2_24", 24, 23, 13, 0},
    {"topdown1", 1, 23, 13, 2},      {"topdown8", 8, 23, 13, 256},   {"topdown24", 24, 23, 13, 0},
    {"topdown565", 16, 23, 13, 0},
};

std::string DataPath(const std::string& name) { return std::string(KAPTOR_TEST_DATA) + "/bmp/" + name; }

std::vector<std::uint8_t> Load(const std::string& name) {
    TMemoryStream s;
    s.LoadFromFile(DataPath(name));
    return s.Memory();
}

Dib ReadFile(const std::string& name) {
    TFileStream f(DataPath(name + ".bmp"), TFileMode::fmOpenRead);
    return ReadBmp(f);
}

std::uint32_t PixelAt(const Dib& d, int x, int y) {
    const std::uint8_t* p = d.Row(y) + x * (d.BitCount / 8);
    std::uint32_t v = 0;
    for (int i = d.BitCount / 8 - 1; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

// Channel value at the file's own precision against ImageMagick's 8-bit one. ImageMagick
// widens 5-bit channels by repeating bits and 4-bit ones by shifting only, so their 8-bit
// values differ from ours by rounding; the stored value is what must agree.
bool SameChannel(std::uint32_t pixel, std::uint32_t mask, std::uint8_t expected) {
    const int width = std::popcount(mask);  // 1 to 32
    const std::uint32_t v = (pixel & mask) >> std::countr_zero(mask);
    if (width <= 8) return static_cast<std::uint32_t>(expected >> (8 - width)) == v;
    return expected == (v >> (width - 8));
}

void ExpectAsImageMagickDecodes(const Sample& s, const Dib& d) {
    const std::vector<std::uint8_t> expected = Load(std::string(s.name) + ".rgb");
    ASSERT_EQ(expected.size(), static_cast<std::size_t>(3 * d.Width * d.Height)) << s.name;
    const bool masked = d.BitCount == 16 || (d.BitCount == 32 && d.HasBitFields());
    std::uint32_t masks[3] = {d.RedMask, d.GreenMask, d.BlueMask};
    if (d.BitCount == 16 && !d.HasBitFields()) {
        masks[0] = 0x7C00;
        masks[1] = 0x03E0;
        masks[2] = 0x001F;
    }
    int wrong = 0;
    std::vector<std::uint8_t> rgb(3 * static_cast<std::size_t>(d.Width));
    for (int y = 0; y < d.Height; ++y) {
        d.RowToRgb(y, rgb.data());
        for (int x = 0; x < d.Width; ++x) {
            for (int c = 0; c < 3; ++c) {
                const std::uint8_t e = expected[3 * (static_cast<std::size_t>(y) * d.Width + x) + c];
                const bool same = masked ? SameChannel(PixelAt(d, x, y), masks[c], e) : rgb[3 * x + c] == e;
                if (!same && ++wrong <= 5) {
                    ADD_FAILURE() << s.name << " pixel " << x << "," << y << " channel " << c << ": ours "
                                  << int(rgb[3 * x + c]) << ", ImageMagick " << int(e);
                }
            }
        }
    }
    EXPECT_EQ(wrong, 0) << s.name;
}

}  // namespace

TEST(BmpSamples, ReadAsImageMagickDecodesThem) {
    for (const Sample& s : kSamples) {
        SCOPED_TRACE(s.name);
        Dib d;
        ASSERT_NO_THROW(d = ReadFile(s.name));
        EXPECT_EQ(d.BitCount, s.bits);
        EXPECT_EQ(d.Width, s.width);
        EXPECT_EQ(d.Height, s.height);
        if (s.colours) {
            EXPECT_EQ(d.Palette.size(), s.colours);
        }
        ExpectAsImageMagickDecodes(s, d);
    }
}

TEST(BmpSamples, ShortColourTableKeepsItsLength) {
    // make.sh counts the colours pal8 uses and stores only those.
    const Dib d = ReadFile("pal8_short");
    const Dib full = ReadFile("pal8");
    EXPECT_LT(d.Palette.size(), 256u);
    EXPECT_EQ(d.Bits, full.Bits);
    EXPECT_TRUE(std::equal(d.Palette.begin(), d.Palette.end(), full.Palette.begin()));
}

TEST(BmpSamples, SamePictureInEveryHeaderAndRowOrderIsTheSameDib) {
    const std::pair<const char*, const char*> same[] = {
        {"topdown1", "pal1"},       {"topdown8", "pal8"},     {"topdown24", "rgb24"},
        {"topdown565", "v5_565"},   {"v4_565", "v5_565"},     {"info40_565", "v5_565"},
        {"v4_32", "v5_32"},         {"info40_32", "v5_32"},
    };
    for (const auto& [a, b] : same) EXPECT_TRUE(ReadFile(a) == ReadFile(b)) << a << " and " << b;
    // 16-bit BI_RGB is 5-5-5: the same bits as the V5 file that spells its masks out.
    const Dib plain = ReadFile("rgb16");
    const Dib masked = ReadFile("v5_555");
    EXPECT_FALSE(plain.HasBitFields());
    EXPECT_EQ(plain.Bits, masked.Bits);
}

TEST(BmpSamples, WriterRoundTripsEverySample) {
    for (const Sample& s : kSamples) {
        const Dib d = ReadFile(s.name);
        TMemoryStream out;
        WriteBmp(d, out);
        EXPECT_TRUE(ReadBmp(out.Memory()) == d) << s.name;
    }
}

namespace {

// Pixels the header claims. A scrambled size byte can make a valid RLE picture of hundreds
// of megabytes; those cost seconds here and have their own tests, so the scrambles skip them.
std::uint64_t ClaimedPixels(const std::vector<std::uint8_t>& f) {
    if (f.size() < 26) return 0;
    auto u32 = [&](std::size_t at) {
        return f[at] | (f[at + 1] << 8) | (f[at + 2] << 16) | (static_cast<std::uint32_t>(f[at + 3]) << 24);
    };
    if (u32(14) == 12) return static_cast<std::uint64_t>(f[18] | (f[19] << 8)) * (f[20] | (f[21] << 8));
    const std::int64_t w = static_cast<std::int32_t>(u32(18)), h = static_cast<std::int32_t>(u32(22));
    return static_cast<std::uint64_t>(w < 0 ? -w : w) * static_cast<std::uint64_t>(h < 0 ? -h : h);
}

// Reads a damaged copy: a picture (which must survive writing and reading back) or one of
// the two refusals. Anything else is a fault.
void ReadDamaged(const std::vector<std::uint8_t>& file, const std::string& what, int& pictures, int& refusals) {
    try {
        const Dib d = ReadBmp(file);
        TMemoryStream out;
        WriteBmp(d, out);
        EXPECT_TRUE(ReadBmp(out.Memory()) == d) << what;
        ++pictures;
    } catch (const EInvalidGraphic&) {
        ++refusals;
    } catch (const EOutOfMemory&) {
        ++refusals;
    } catch (const std::exception& e) {
        ADD_FAILURE() << what << ": " << e.what();
    }
}

}  // namespace

TEST(BmpSamples, EveryTruncationFailsCleanlyOrReads) {
    int pictures = 0, refusals = 0;
    for (const Sample& s : kSamples) {
        const std::vector<std::uint8_t> file = Load(std::string(s.name) + ".bmp");
        for (std::size_t n = 0; n < file.size(); ++n) {
            ReadDamaged(std::vector<std::uint8_t>(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(n)),
                        std::string(s.name) + " cut to " + std::to_string(n), pictures, refusals);
        }
    }
    // RLE files read at every cut past their table; uncompressed ones only within their
    // last row. Both outcomes must occur, or the reader is not telling them apart.
    EXPECT_GT(pictures, 0);
    EXPECT_GT(refusals, 0);
}

TEST(BmpSamples, ScrambledHeadersFailCleanlyOrRead) {
    std::mt19937 rng(2024);
    int pictures = 0, refusals = 0;
    for (const Sample& s : kSamples) {
        const std::vector<std::uint8_t> file = Load(std::string(s.name) + ".bmp");
        for (int round = 0; round < 300; ++round) {
            std::vector<std::uint8_t> bad = file;
            const int changes = 1 + static_cast<int>(rng() % 4);
            for (int i = 0; i < changes; ++i) {
                // Mostly the headers and tables, where the sizes live; sometimes the pixels.
                const std::size_t span = rng() % 4 == 0 ? bad.size() : std::min<std::size_t>(bad.size(), 160);
                const std::size_t at = rng() % span;
                switch (rng() % 3) {
                    case 0: bad[at] = static_cast<std::uint8_t>(rng()); break;
                    case 1: bad[at] ^= static_cast<std::uint8_t>(1u << (rng() % 8)); break;
                    default: bad[at] = (rng() % 2) ? 0xFF : 0x00; break;
                }
            }
            if (ClaimedPixels(bad) > (1u << 22)) continue;
            ReadDamaged(bad, std::string(s.name) + " scrambled, round " + std::to_string(round), pictures, refusals);
        }
    }
    EXPECT_GT(pictures, 0);
    EXPECT_GT(refusals, 0);
}
