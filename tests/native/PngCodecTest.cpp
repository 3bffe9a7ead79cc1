// The PNG codec: every standard kind in tests/data/png reads as ImageMagick reads it over
// white; what we write reads back to the same pixels, through libpng's reader and ours;
// damaged files fail with their cause.
#include <gtest/gtest.h>

#include <libdeflate.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "framework/base/Classes.h"
#include "framework/imaging/Deflate.h"
#include "framework/imaging/DeflateBlocks.h"
#include "framework/imaging/PngCodec.h"
#include "framework/imaging/PngFilters.h"
#include "framework/imaging/PngReader.h"

using namespace kaptor;

namespace {

std::vector<std::uint8_t> Load(const std::string& name) {
    TMemoryStream s;
    s.LoadFromFile(std::string(KAPTOR_TEST_DATA) + "/png/" + name);
    return s.Memory();
}

std::vector<std::uint8_t> Rgb(const Dib& dib) {
    std::vector<std::uint8_t> out(static_cast<std::size_t>(dib.Width) * dib.Height * 3);
    for (int y = 0; y < dib.Height; ++y) dib.RowToRgb(y, out.data() + static_cast<std::size_t>(y) * dib.Width * 3);
    return out;
}

// A picture whose every pixel differs, in the layout asked for.
Dib Pattern(int w, int h, std::uint16_t bits) {
    Dib d = Dib::Make(w, h, bits);
    for (std::size_t i = 0; i < d.Bits.size(); ++i) d.Bits[i] = static_cast<std::uint8_t>(i * 37 + (i >> 7));
    if (bits <= 8)
        for (int i = 0; i < (1 << bits); ++i)
            d.Palette.push_back(RgbQuad{std::uint8_t(i * 3), std::uint8_t(255 - i), std::uint8_t(i * 7), 0});
    if (bits == 16) d.RedMask = 0xF800, d.GreenMask = 0x07E0, d.BlueMask = 0x001F;
    return d;
}

// RGB by libpng's own reader, not ours.
std::vector<std::uint8_t> LibpngRgb(const std::vector<std::uint8_t>& file, int& w, int& h) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    std::vector<std::uint8_t> out;
    if (png_image_begin_read_from_memory(&image, file.data(), file.size())) {
        image.format = PNG_FORMAT_RGB;
        out.resize(PNG_IMAGE_SIZE(image));
        if (!png_image_finish_read(&image, nullptr, out.data(), 0, nullptr)) out.clear();
    }
    w = static_cast<int>(image.width), h = static_cast<int>(image.height);
    png_image_free(&image);
    return out;
}

EPngError::TCause CauseOf(const std::vector<std::uint8_t>& file) {
    try {
        DecodePng(file.data(), file.size());
    } catch (const EPngError& e) {
        return e.Cause;
    }
    ADD_FAILURE() << "decoded";
    return EPngError::TCause::Write;
}

// Puts the right CRC on the chunk whose type starts at `type`.
void FixCrc(std::vector<std::uint8_t>& f, std::size_t type, std::uint32_t length) {
    const auto crc = static_cast<std::uint32_t>(crc32(0, f.data() + type, length + 4));
    for (int i = 0; i < 4; ++i) f[type + 4 + length + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
}

PngTarget Into(Dib& dib) {
    return {[&dib](std::int32_t w, std::int32_t h) { dib = Dib::Make(w, h, 24); }, [&dib](int y) { return dib.Row(y); }};
}

// The quick reader takes the file when it is a plain kind, and reads it as libpng's path does.
void ExpectQuickAsLibpng(const std::vector<std::uint8_t>& file, bool plain, const std::string& what) {
    Dib quick, slow;
    EXPECT_EQ(ReadPlainPng(file.data(), file.size(), Into(quick), MaxDibBytes), plain) << what;
    DecodePngWithLibpng(file.data(), file.size(), Into(slow));
    if (plain) {
        EXPECT_TRUE(quick.Width == slow.Width && quick.Height == slow.Height && quick.Bits == slow.Bits) << what;
    }
}

// The file's chunks before its data, then one IDAT deflating `rows`, then IEND.
std::vector<std::uint8_t> WithRows(const std::vector<std::uint8_t>& file, const std::vector<std::uint8_t>& rows) {
    std::vector<std::uint8_t> z(compressBound(static_cast<uLong>(rows.size())));
    uLongf n = static_cast<uLongf>(z.size());
    compress(z.data(), &n, rows.data(), static_cast<uLong>(rows.size()));
    const std::size_t idat = std::string(file.begin(), file.end()).find("IDAT") - 4;
    std::vector<std::uint8_t> f(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(idat));
    for (int i = 0; i < 4; ++i) f.push_back(static_cast<std::uint8_t>(n >> (24 - 8 * i)));
    f.insert(f.end(), {'I', 'D', 'A', 'T'});
    f.insert(f.end(), z.begin(), z.begin() + static_cast<std::ptrdiff_t>(n));
    f.resize(f.size() + 4);
    FixCrc(f, idat + 4, static_cast<std::uint32_t>(n));
    f.insert(f.end(), file.end() - 12, file.end());  // IEND
    return f;
}

}  // namespace

TEST(PngCodec, EveryStandardKindReadsAsImageMagickReadsItOverWhite) {
    const char* kinds[] = {"gray1", "gray2", "gray4", "gray8", "gray16", "gray8_trns", "gray_alpha8",
                           "gray_alpha16", "pal1", "pal2", "pal4", "pal8", "pal8_trns", "rgb8", "rgb16",
                           "rgb8_trns", "rgba8", "rgba16", "rgb8_interlaced", "rgba8_interlaced",
                           "pal4_interlaced", "gray1_interlaced"};
    for (const char* kind : kinds) {
        const std::vector<std::uint8_t> file = Load(std::string(kind) + ".png");
        const Dib dib = DecodePng(file.data(), file.size());
        ASSERT_EQ(dib.BitCount, 24) << kind;
        ASSERT_EQ(dib.Width, 13) << kind;
        ASSERT_EQ(dib.Height, 11) << kind;
        // ImageMagick cuts 16-bit values to 8 bits and blends alpha at 16 bits; we round
        // both, so those kinds may differ by one step. The others must agree exactly.
        const std::string name = kind;
        const int slack = name.find("16") != std::string::npos || name.find("alpha") != std::string::npos ||
                          name.find("rgba") != std::string::npos;
        const std::vector<std::uint8_t> got = Rgb(dib), want = Load(name + ".rgb");
        ASSERT_EQ(got.size(), want.size()) << kind;
        int worst = 0;
        for (std::size_t i = 0; i < got.size(); ++i) worst = std::max(worst, std::abs(got[i] - want[i]));
        EXPECT_LE(worst, slack) << kind;
        const bool plain = name.find("16") == std::string::npos && name.find("interlaced") == std::string::npos;
        ExpectQuickAsLibpng(file, plain, name);
        if (!plain) continue;
        // Rows of any bytes under every filter in turn (13 pixels: the last byte part filled),
        // then a Paeth row whose first neighbours tie (left 3, above 0, above-left 2: it must
        // take the one above), then zeros.
        const int channels[] = {1, 0, 3, 1, 2, 0, 4};
        const std::size_t rowBytes = (13u * channels[file[25]] * file[24] + 7) / 8;
        std::vector<std::uint8_t> rows(11 * (rowBytes + 1));
        for (std::size_t i = 0; i < 6 * (rowBytes + 1); ++i) rows[i] = static_cast<std::uint8_t>(i * 151 + (i >> 3));
        for (std::size_t y = 0; y < 11; ++y)
            rows[y * (rowBytes + 1)] = static_cast<std::uint8_t>(y < 6 ? y % 5 : y == 6 ? 0 : 4);
        rows[6 * (rowBytes + 1) + 1] = 2, rows[7 * (rowBytes + 1) + 1] = 1;
        ExpectQuickAsLibpng(WithRows(file, rows), true, name + " every filter");
    }
}

TEST(PngCodec, WrittenFilesReadBackToTheSamePixelsAndPalettesStayPalettes) {
    // Odd widths, every filter, and a picture big enough to be filtered on two threads; also
    // all zeros but every eighth row, which filters to runs of zeros (our match finder's part).
    for (std::uint16_t bits : {1, 4, 8, 16, 24, 32})
        for (int width : {1, 37, 1023})
            for (bool flat : {false, true}) {
                Dib source = Pattern(width, width == 1023 ? 700 : 19, bits);
                for (int y = 0; flat && y < source.Height; ++y)
                    if (y % 8) std::fill(source.Row(y), source.Row(y) + source.Stride(), std::uint8_t{0});
                for (TPngFilter filter : {TPngFilter::None, TPngFilter::Sub, TPngFilter::Up, TPngFilter::Average,
                                          TPngFilter::Paeth, TPngFilter::Adaptive}) {
                    TMemoryStream out;
                    EncodePng(source, out, TPngSettings{bits == 24 && !flat ? 9 : TPngSettings::ByPicture, filter, !flat});
                    const std::vector<std::uint8_t>& f = out.Memory();
                    ASSERT_GT(f.size(), 26u);
                    EXPECT_EQ(f[24], bits <= 8 ? bits : 8) << bits;  // bit depth
                    EXPECT_EQ(f[25], bits <= 8 ? 3 : 2) << bits;     // palette or RGB
                    int w = 0, h = 0;
                    EXPECT_EQ(LibpngRgb(f, w, h), Rgb(source)) << bits << " " << width;
                    EXPECT_EQ(Rgb(DecodePng(f.data(), f.size())), Rgb(source)) << bits;
                    ExpectQuickAsLibpng(f, true, std::to_string(bits) + " " + std::to_string(width));
                }
            }
    // 24 and 32 bits of few colours in runs of three (the fourth byte of each pixel changing, as
    // it may), the last big enough for two threads: 256 colours or fewer become an 8-bit
    // palette of exactly those; 257, or no pixel beside one of its colour (run 1), stay RGB.
    for (std::uint16_t bits : {24, 32})
        for (int width : {1, 37, 1023})
            for (auto [colours, run] : {std::pair{1, 3}, {256, 3}, {257, 3}, {2, 1}}) {
                Dib source = Dib::Make(width, width == 1023 ? 1100 : 1000, bits);
                for (int y = 0; y < source.Height; ++y)
                    for (int x = 0, k; x < width; ++x) {
                        k = (y * width + x) / run % colours;
                        const std::uint8_t px[4] = {std::uint8_t(k), std::uint8_t(k >> 8), std::uint8_t(k * 3), std::uint8_t(x)};
                        std::copy(px, px + bits / 8, source.Row(y) + bits / 8 * x);
                    }
                const std::string what = std::to_string(bits) + " " + std::to_string(width) + " " + std::to_string(colours);
                for (bool index : {true, false}) {
                    TMemoryStream out;
                    EncodePng(source, out, TPngSettings{TPngSettings::ByPicture, TPngFilter::Adaptive, index});
                    const std::vector<std::uint8_t>& f = out.Memory();
                    // Colour type 3 and its PLTE's length, or type 2.
                    EXPECT_EQ(f[25] == 3 ? f[35] << 8 | f[36] : f[25], index && colours <= 256 && run > 1 ? 3 * colours : 2) << what;
                    int w = 0, h = 0;
                    EXPECT_EQ(LibpngRgb(f, w, h), Rgb(source)) << what;
                    EXPECT_EQ(Rgb(DecodePng(f.data(), f.size())), Rgb(source)) << what;
                    ExpectQuickAsLibpng(f, true, what);
                }
            }
}

TEST(PngCodec, WideFiltersGiveThePlainOnesBytes) {
    // Odd lengths around the 16-byte step, rows of noise and of small steps, a row repeated.
    if (!PngFiltersWide()) GTEST_SKIP() << "no SSE2 here";
    std::srand(7);
    for (std::size_t bpp : {1u, 3u})
        for (std::size_t n : {1u, 2u, 3u, 15u, 16u, 17u, 33u, 3069u}) {
            PngRowFilter wide(n, bpp, true), plain(n, bpp, false);
            std::vector<std::uint8_t> row(n), a(n + 1), b(n + 1);
            for (int y = 0; y < 6; ++y) {
                if (y != 3)
                    for (auto& v : row) v = static_cast<std::uint8_t>(std::rand() % (y % 2 ? 256 : 5) + 120);
                std::copy(row.begin(), row.end(), wide.Next());
                std::copy(row.begin(), row.end(), plain.Next());
                for (int type = 0; type < 6; ++type) {
                    wide.Filter(static_cast<TPngFilter>(type), a.data());
                    plain.Filter(static_cast<TPngFilter>(type), b.data());
                    ASSERT_EQ(a, b) << n << " " << bpp << " " << y << " " << type;
                }
            }
        }
}

TEST(PngCodec, DeflateStreamsOfLibdeflateAndOursAreWholeAndReadToTheirEnd) {
    // Stored, fixed and dynamic blocks, several of them: zeros, a pattern, noise.
    std::vector<std::uint8_t> data(900000);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = i < 300000 ? 0 : i < 600000 ? i * 37 % 251 : std::rand();
    for (int level : {0, 1, 6, 8, 12}) {
        libdeflate_compressor* c = libdeflate_alloc_compressor(level);
        std::vector<std::uint8_t> raw(libdeflate_deflate_compress_bound(c, data.size()));
        raw.resize(libdeflate_deflate_compress(c, data.data(), data.size(), raw.data(), raw.size()));
        libdeflate_free_compressor(c);
        DeflateBlockEnds ends;
        ASSERT_TRUE(FindDeflateBlockEnds(raw.data(), raw.size(), ends)) << level;
        EXPECT_EQ((ends.End + 7) / 8, raw.size()) << level;
        EXPECT_TRUE(raw[ends.LastHeader / 8] >> ends.LastHeader % 8 & 1) << level;  // the final bit
        EXPECT_GT(ends.LastHeader, 0u) << level;
        raw.pop_back();
        EXPECT_FALSE(FindDeflateBlockEnds(raw.data(), raw.size(), ends)) << level;
    }
    // Our match finder, in two pieces joined as the writer joins them, split inside a run, a
    // pattern and the noise; then all zeros; all distinct bytes (stored); noise repeated
    // 32767 bytes on (the window's far end) and 32769 on (past it: no match may reach it);
    // lines of a text-like pattern many blocks long.
    std::vector<std::vector<std::uint8_t>> sets = {data, std::vector<std::uint8_t>(200000), {}, {}, {}, {}};
    for (std::size_t i = 0; i < 70000; ++i) sets[2].push_back(static_cast<std::uint8_t>(std::rand()));
    for (std::size_t far : {32767u, 32769u}) {
        std::vector<std::uint8_t>& d = sets[far == 32767 ? 3 : 4];
        for (std::size_t i = 0; i < far; ++i) d.push_back(static_cast<std::uint8_t>(std::rand()));
        d.insert(d.end(), d.begin(), d.begin() + 5000);
    }
    for (std::size_t i = 0; i < 2000000; ++i) sets[5].push_back(i % 5761 % 90 < 60 && (i * 7 + i / 5761 * 3) % 11 < 4 ? 40 : 0);
    for (std::size_t set = 0; set < sets.size(); ++set)
        for (std::size_t split : {std::size_t{0}, sets[set].size() / 6, sets[set].size() / 2, sets[set].size()}) {
            const std::vector<std::uint8_t>& d = sets[set];
            const DeflatedPiece a = DeflateScreenPiece(d.data(), split, false), b = DeflateScreenPiece(d.data() + split, d.size() - split, true);
            std::vector<std::uint8_t> raw(a.Bytes.get(), a.Bytes.get() + a.Size), back(d.size() + 1);
            raw.insert(raw.end(), b.Bytes.get(), b.Bytes.get() + b.Size);
            z_stream z{};
            ASSERT_EQ(inflateInit2(&z, -15), Z_OK);
            z.next_in = raw.data(), z.avail_in = static_cast<uInt>(raw.size());
            z.next_out = back.data(), z.avail_out = static_cast<uInt>(back.size());
            EXPECT_EQ(inflate(&z, Z_FINISH), Z_STREAM_END) << set << " " << split;
            EXPECT_EQ(z.total_out, d.size()) << set << " " << split;
            EXPECT_EQ(z.avail_in, 0u) << set << " " << split;
            inflateEnd(&z);
            back.resize(d.size());
            EXPECT_TRUE(back == d) << set << " " << split;
            EXPECT_EQ(b.Adler, adler32(1, d.data() + split, static_cast<uInt>(d.size() - split))) << set;
            DeflateBlockEnds ends;
            EXPECT_TRUE(FindDeflateBlockEnds(b.Bytes.get(), b.Size, ends)) << set << " " << split;
            // In one piece no larger than zlib's level 6 makes it; the repeat within the window
            // found, the one past it left.
            if (split == 0) {
                const std::size_t whole = DeflateScreenPiece(d.data(), d.size(), true).Size;
                std::vector<std::uint8_t> zlib(d.size() + d.size() / 100 + 64);
                z_stream y{};
                ASSERT_EQ(deflateInit2(&y, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
                y.next_in = const_cast<std::uint8_t*>(d.data()), y.avail_in = static_cast<uInt>(d.size());
                y.next_out = zlib.data(), y.avail_out = static_cast<uInt>(zlib.size());
                EXPECT_EQ(deflate(&y, Z_FINISH), Z_STREAM_END);
                deflateEnd(&y);
                EXPECT_LE(whole, set == 3 ? 32767u + 1000 : y.total_out) << set;
                EXPECT_TRUE(set != 4 || whole > 32769u + 5000) << whole;
            }
        }
}

TEST(PngCodec, DamagedFilesFailWithTheirCause) {
    using C = EPngError::TCause;
    const std::vector<std::uint8_t> good = Load("rgb8.png");
    EXPECT_EQ(CauseOf({good.begin(), good.begin() + 7}), C::NotPng);
    EXPECT_EQ(CauseOf(Load("rgb8.rgb")), C::NotPng);
    for (std::size_t cut = 8; cut < good.size(); cut += 5) EXPECT_EQ(CauseOf({good.begin(), good.begin() + cut}), C::Truncated) << cut;
    // A chunk claiming 1.9 GB in a 213-byte file, and a header promising 100000 x 100000 that
    // so small a file cannot fill, are cut short (png_fuzzer_short checks nothing big was asked for).
    TMemoryStream oversized;
    oversized.LoadFromFile(std::string(KAPTOR_TEST_DATA) + "/../fuzz/corpus/png/png-oversized-chunk.png");
    EXPECT_EQ(CauseOf(oversized.Memory()), C::Truncated);

    std::vector<std::uint8_t> f = good;
    f[20] ^= 1;  // the width, under the old CRC
    EXPECT_EQ(CauseOf(f), C::Checksum);
    f = good;
    f[16] = f[17] = f[18] = f[19] = 0;  // no width
    FixCrc(f, 12, 13);
    EXPECT_EQ(CauseOf(f), C::Header);
    f[17] = f[21] = 1, f[18] = f[22] = 0x86, f[19] = f[23] = 0xA0;  // 100000 x 100000
    FixCrc(f, 12, 13);
    EXPECT_EQ(CauseOf(f), C::Truncated);

    f = Load("pal4.png");
    const std::string text(f.begin(), f.end());
    const std::size_t plte = text.find("PLTE");
    f[plte - 1] = 5;  // a length no palette has
    FixCrc(f, plte, 5);
    EXPECT_EQ(CauseOf(f), C::Palette);

    f = good;
    const std::size_t idat = std::string(f.begin(), f.end()).find("IDAT");
    const std::uint32_t length = (f[idat - 2] << 8) | f[idat - 1];
    for (std::uint32_t i = 6; i < length; ++i) f[idat + 4 + i] ^= 0x5A;  // deflate data scrambled
    FixCrc(f, idat, length);
    EXPECT_EQ(CauseOf(f), C::Data);

    // A stream of exactly the rows reads; one that inflates past them, or short of them, does not.
    std::vector<std::uint8_t> rows(11 * (1 + 13 * 3), 7);
    for (std::size_t y = 0; y < rows.size(); y += 1 + 13 * 3) rows[y] = 0;
    f = WithRows(good, rows);
    EXPECT_NO_THROW(DecodePng(f.data(), f.size()));
    rows.push_back(0);
    EXPECT_EQ(CauseOf(WithRows(good, rows)), C::Data);
    rows.resize(rows.size() - 2);
    EXPECT_EQ(CauseOf(WithRows(good, rows)), C::Data);
}

TEST(PngCodec, WriteFailureOfTheStreamPassesThrough) {
    struct Full : TMemoryStream {
        std::size_t Write(const void*, std::size_t) override { throw EWriteError("full"); }
    } full;
    EXPECT_THROW(EncodePng(Pattern(300, 300, 24), full), EWriteError);
}
