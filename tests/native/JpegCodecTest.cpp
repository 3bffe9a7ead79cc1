#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

#include "framework/base/Classes.h"
#include "framework/imaging/JpegCodec.h"

using namespace kaptor;

namespace {

struct Rgb {
    int R, G, B;
};

// The colour of 16x16 block number i for direct-colour Dibs; distinct, saturated and mixed.
Rgb BlockColour(int i) {
    static const Rgb base[] = {{255, 0, 0},   {0, 255, 0},     {0, 0, 255},     {255, 255, 255},
                               {0, 0, 0},     {128, 128, 128}, {255, 255, 0},   {0, 255, 255},
                               {200, 80, 40}, {30, 60, 190},   {240, 200, 160}, {90, 30, 120}};
    return base[i % 12];
}

// A picture of solid 16x16 blocks (one chroma sample per block after 2x2 subsampling), so
// the JPEG round trip can be judged strictly away from the block edges.
Dib MakeBlocks(int bitCount, int width, int height) {
    Dib dib = Dib::Make(width, height, static_cast<std::uint16_t>(bitCount));
    const int colours = bitCount <= 8 ? 1 << bitCount : 12;
    if (bitCount <= 8) {
        for (int i = 0; i < colours; ++i) {
            const Rgb c = bitCount == 1 ? (i ? Rgb{255, 255, 255} : Rgb{0, 0, 0})
                                        : Rgb{(i * 37) & 255, (i * 91 + 40) & 255, (i * 53 + 200) & 255};
            dib.Palette.push_back({static_cast<std::uint8_t>(c.B), static_cast<std::uint8_t>(c.G),
                                   static_cast<std::uint8_t>(c.R), 0});
        }
    }
    if (bitCount == 32) {  // exercise the bit-field path of the writer's row conversion
        dib.RedMask = 0x00FF0000;
        dib.GreenMask = 0x0000FF00;
        dib.BlueMask = 0x000000FF;
    }
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = dib.Row(y);
        for (int x = 0; x < width; ++x) {
            const int i = (x / 16 + 5 * (y / 16)) % colours;
            const Rgb c = BlockColour(i);
            switch (bitCount) {
                case 1: row[x >> 3] |= static_cast<std::uint8_t>((i & 1) << (7 - (x & 7))); break;
                case 4: row[x >> 1] |= static_cast<std::uint8_t>(i << ((x & 1) ? 0 : 4)); break;
                case 8: row[x] = static_cast<std::uint8_t>(i); break;
                case 16: {
                    const unsigned p = ((c.R >> 3) << 10) | ((c.G >> 3) << 5) | (c.B >> 3);
                    row[2 * x] = static_cast<std::uint8_t>(p);
                    row[2 * x + 1] = static_cast<std::uint8_t>(p >> 8);
                    break;
                }
                case 24:
                    row[3 * x] = static_cast<std::uint8_t>(c.B);
                    row[3 * x + 1] = static_cast<std::uint8_t>(c.G);
                    row[3 * x + 2] = static_cast<std::uint8_t>(c.R);
                    break;
                case 32:
                    row[4 * x] = static_cast<std::uint8_t>(c.B);
                    row[4 * x + 1] = static_cast<std::uint8_t>(c.G);
                    row[4 * x + 2] = static_cast<std::uint8_t>(c.R);
                    row[4 * x + 3] = 0xEE;
                    break;
            }
        }
    }
    return dib;
}

std::vector<std::uint8_t> Encode(const Dib& dib) {
    TMemoryStream out;
    EncodeJpeg(dib, out);
    return out.Memory();
}

Dib Decode(const std::vector<std::uint8_t>& bytes) {
    TMemoryStream in(bytes);
    return DecodeJpeg(in);
}

Rgb PixelOf(const Dib& dib, int x, int y) {
    const std::uint8_t* p = dib.Row(y) + 3 * x;
    return {p[2], p[1], p[0]};
}

std::vector<std::uint8_t> ReadFile(const char* name) {
    TMemoryStream s;
    s.LoadFromFile(std::string(KAPTOR_TEST_DATA) + "/jpeg/" + name);
    return s.Memory();
}

// The JPEG segments up to the first SOS: marker code and payload (without the length).
struct Segment {
    int Marker;
    std::vector<std::uint8_t> Data;
    std::size_t Offset;  // of the marker's 0xFF
};
std::vector<Segment> Segments(const std::vector<std::uint8_t>& f) {
    std::vector<Segment> out;
    if (f.size() < 2 || f[0] != 0xFF || f[1] != 0xD8) return out;
    std::size_t p = 2;
    while (p + 4 <= f.size() && f[p] == 0xFF) {
        const int marker = f[p + 1];
        const std::size_t len = (f[p + 2] << 8) | f[p + 3];
        if (len < 2 || p + 2 + len > f.size()) break;
        out.push_back({marker, {f.begin() + p + 4, f.begin() + p + 2 + len}, p});
        if (marker == 0xDA) break;
        p += 2 + len;
    }
    return out;
}
const Segment* Find(const std::vector<Segment>& segs, int marker) {
    for (const auto& s : segs)
        if (s.Marker == marker) return &s;
    return nullptr;
}

// Zig-zag position -> natural (row-major) index, as DQT stores coefficients.
const int kZigZag[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                         12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                         35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                         58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// libjpeg's own tables for a quality, from a scratch compressor.
std::vector<std::vector<int>> ReferenceTables(int quality) {
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    c.in_color_space = JCS_RGB;
    c.input_components = 3;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    std::vector<std::vector<int>> tables;
    for (int t = 0; t < 2; ++t) {
        std::vector<int> natural(64);
        for (int k = 0; k < 64; ++k) natural[k] = c.quant_tbl_ptrs[t]->quantval[k];
        tables.push_back(natural);
    }
    jpeg_destroy_compress(&c);
    return tables;
}

// Encodes CMYK inks (0 = none) straight through libjpeg, stored inverted as Photoshop does,
// in the given JPEG colour space (JCS_CMYK or JCS_YCCK).
std::vector<std::uint8_t> EncodeInks(const std::vector<std::array<int, 4>>& quadInks, J_COLOR_SPACE space) {
    const int w = 16 * static_cast<int>(quadInks.size()), h = 16;
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* buf = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buf, &size);
    c.image_width = w;
    c.image_height = h;
    c.input_components = 4;
    c.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&c);
    jpeg_set_colorspace(&c, space);
    jpeg_set_quality(&c, 98, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::vector<JSAMPLE> row(static_cast<std::size_t>(w) * 4);
    for (int x = 0; x < w; ++x)
        for (int k = 0; k < 4; ++k) row[4 * x + k] = static_cast<JSAMPLE>(255 - quadInks[x / 16][k]);
    for (int y = 0; y < h; ++y) {
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    std::vector<std::uint8_t> out(buf, buf + size);
    jpeg_destroy_compress(&c);
    std::free(buf);
    return out;
}

void ExpectNear(const Rgb& got, const Rgb& want, int tolerance, const char* what) {
    EXPECT_NEAR(got.R, want.R, tolerance) << what;
    EXPECT_NEAR(got.G, want.G, tolerance) << what;
    EXPECT_NEAR(got.B, want.B, tolerance) << what;
}

}  // namespace

// ---- writing and reading back ----

class JpegRoundTrip : public ::testing::TestWithParam<int> {};

TEST_P(JpegRoundTrip, EveryBitCountComesBackWithinJpegTolerance) {
    const int bitCount = GetParam();
    // Odd sizes: partial MCUs on the right and at the bottom.
    const Dib src = MakeBlocks(bitCount, 85, 45);
    const Dib back = Decode(Encode(src));
    ASSERT_EQ(back.Width, 85);
    ASSERT_EQ(back.Height, 45);
    ASSERT_EQ(back.BitCount, 24);
    ASSERT_EQ(back.Bits.size(), back.Stride() * 45);

    std::vector<std::uint8_t> want(3 * 85);
    int worstInside = 0;
    double squares = 0;
    for (int y = 0; y < 45; ++y) {
        src.RowToRgb(y, want.data());
        for (int x = 0; x < 85; ++x) {
            const Rgb got = PixelOf(back, x, y);
            const int d[3] = {std::abs(got.R - want[3 * x]), std::abs(got.G - want[3 * x + 1]),
                              std::abs(got.B - want[3 * x + 2])};
            // Luma is kept at full resolution, so it must be close everywhere, edges included.
            const double luma = 0.299 * (got.R - want[3 * x]) + 0.587 * (got.G - want[3 * x + 1]) +
                                0.114 * (got.B - want[3 * x + 2]);
            squares += luma * luma;
            // Chroma is upsampled smoothly across block edges; judge strictly inside only.
            const bool inside = x % 16 >= 2 && x % 16 <= 13 && y % 16 >= 2 && y % 16 <= 13;
            if (inside) worstInside = std::max({worstInside, d[0], d[1], d[2]});
        }
    }
    const double psnr = 10 * std::log10(255.0 * 255.0 / (squares / (85 * 45)));
    EXPECT_LE(worstInside, 6) << bitCount << "-bit";
    EXPECT_GT(psnr, 35.0) << bitCount << "-bit";
}

INSTANTIATE_TEST_SUITE_P(BitCounts, JpegRoundTrip, ::testing::Values(1, 4, 8, 16, 24, 32));

TEST(JpegEncode, WritesBaselineThreeComponentsAtQuality90) {
    const auto file = Encode(MakeBlocks(24, 100, 60));
    ASSERT_GE(file.size(), 4u);
    EXPECT_EQ(file[file.size() - 2], 0xFF);
    EXPECT_EQ(file[file.size() - 1], 0xD9);
    const auto segs = Segments(file);
    ASSERT_FALSE(segs.empty());
    ASSERT_NE(Find(segs, 0xE0), nullptr);  // JFIF
    EXPECT_EQ(std::memcmp(Find(segs, 0xE0)->Data.data(), "JFIF", 5), 0);

    // Baseline: SOF0 and no other frame type.
    for (int sof : {0xC1, 0xC2, 0xC3, 0xC5, 0xC6, 0xC7, 0xC9, 0xCA, 0xCB, 0xCD, 0xCE, 0xCF})
        EXPECT_EQ(Find(segs, sof), nullptr) << std::hex << sof;
    const Segment* sof = Find(segs, 0xC0);
    ASSERT_NE(sof, nullptr);
    ASSERT_EQ(sof->Data.size(), 6u + 3 * 3);
    EXPECT_EQ(sof->Data[0], 8);                                // precision
    EXPECT_EQ((sof->Data[1] << 8) | sof->Data[2], 60);         // height
    EXPECT_EQ((sof->Data[3] << 8) | sof->Data[4], 100);        // width
    EXPECT_EQ(sof->Data[5], 3);                                // components
    // Default subsampling: Y 2x2 with table 0, Cb and Cr 1x1 with table 1.
    EXPECT_EQ(sof->Data[7], 0x22);
    EXPECT_EQ(sof->Data[8], 0);
    EXPECT_EQ(sof->Data[10], 0x11);
    EXPECT_EQ(sof->Data[11], 1);
    EXPECT_EQ(sof->Data[13], 0x11);
    EXPECT_EQ(sof->Data[14], 1);

    // The quantisation tables are libjpeg's own for quality 90 (and not its default 75).
    const auto q90 = ReferenceTables(90), q75 = ReferenceTables(75);
    ASSERT_NE(q90, q75);
    std::vector<std::vector<int>> written(2);
    for (const auto& s : segs) {
        if (s.Marker != 0xDB) continue;
        for (std::size_t p = 0; p + 65 <= s.Data.size(); p += 65) {
            ASSERT_EQ(s.Data[p] >> 4, 0) << "8-bit table entries";
            const int id = s.Data[p] & 15;
            ASSERT_LT(id, 2);
            written[id].assign(64, 0);
            for (int k = 0; k < 64; ++k) written[id][kZigZag[k]] = s.Data[p + 1 + k];
        }
    }
    EXPECT_EQ(written[0], q90[0]);
    EXPECT_EQ(written[1], q90[1]);
}

TEST(JpegEncode, StoredRowsAndConvertedRowsGiveTheSameFile) {
    // 24-bit and plain 32-bit rows are handed to libjpeg as stored; bit-field rows go
    // through the RGB conversion. The same pixels must make the same file either way.
    const Dib d24 = MakeBlocks(24, 70, 33);
    Dib plain32 = Dib::Make(70, 33, 32);
    for (int y = 0; y < 33; ++y)
        for (int x = 0; x < 70; ++x) std::memcpy(plain32.Row(y) + 4 * x, d24.Row(y) + 3 * x, 3);
    Dib fields32 = plain32;
    fields32.RedMask = 0x00FF0000;
    fields32.GreenMask = 0x0000FF00;
    fields32.BlueMask = 0x000000FF;
    const auto reference = Encode(d24);
    EXPECT_EQ(Encode(plain32), reference);
    EXPECT_EQ(Encode(fields32), reference);
}

TEST(JpegEncode, TreatsTheDibAsBottomUpAndLeftToRight) {
    // Top half white, bottom half black, left quarter blue: orientation mistakes show.
    Dib dib = Dib::Make(64, 64, 24);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            std::uint8_t* p = dib.Row(y) + 3 * x;
            const std::uint8_t v = y < 32 ? 255 : 0;
            p[0] = x < 16 ? 255 : v;
            p[1] = x < 16 ? 0 : v;
            p[2] = x < 16 ? 0 : v;
        }
    const Dib back = Decode(Encode(dib));
    ExpectNear(PixelOf(back, 40, 8), {255, 255, 255}, 4, "top right");
    ExpectNear(PixelOf(back, 40, 56), {0, 0, 0}, 4, "bottom right");
    ExpectNear(PixelOf(back, 4, 8), {0, 0, 255}, 6, "top left");
    ExpectNear(PixelOf(back, 4, 56), {0, 0, 255}, 6, "bottom left");
}

TEST(JpegEncode, RefusesMalformedDibsBeforeTouchingThem) {
    Dib shortBits = Dib::Make(20, 10, 24);
    shortBits.Bits.pop_back();
    Dib oddDepth = Dib::Make(20, 10, 24);
    oddDepth.BitCount = 7;
    for (const Dib* bad : {&shortBits, &oddDepth}) {
        TMemoryStream out;
        try {
            EncodeJpeg(*bad, out);
            ADD_FAILURE() << "no exception";
        } catch (const EInvalidGraphic& e) {
            EXPECT_EQ(e.Message, texts::InvalidBitmap);
        }
        EXPECT_EQ(out.Memory().size(), 0u);
    }
}

TEST(JpegEncode, SizesJpegCannotHoldAreLibjpegErrors) {
    const Dib empty = Dib::Make(0, 0, 24);
    const Dib tooWide = Dib::Make(JPEG_MAX_DIMENSION + 1, 1, 24);
    const std::pair<const Dib*, int> cases[] = {{&empty, JERR_EMPTY_IMAGE}, {&tooWide, JERR_IMAGE_TOO_BIG}};
    for (const auto& [dib, code] : cases) {
        TMemoryStream out;
        try {
            EncodeJpeg(*dib, out);
            ADD_FAILURE() << "no exception for code " << code;
        } catch (const EJpegError& e) {
            EXPECT_EQ(e.Code, code);
            EXPECT_EQ(e.Message, Format("JPEG ｴﾗｰ #%d", code));
        }
    }
}

namespace {
// A stream that accepts or delivers a fixed number of bytes and then fails the way a full
// disk or a broken file does: with the stream's own exception.
class FailingStream : public TStream {
public:
    explicit FailingStream(std::vector<std::uint8_t> data, std::size_t limit) : data_(std::move(data)), limit_(limit) {}
    std::size_t Read(void* buffer, std::size_t count) override {
        if (pos_ + count > limit_) throw EReadError(texts::ReadError);
        const std::size_t n = std::min(count, data_.size() - std::min(pos_, data_.size()));
        std::memcpy(buffer, data_.data() + pos_, n);
        pos_ += n;
        return n;
    }
    std::size_t Write(const void*, std::size_t count) override {
        if (pos_ + count > limit_) return limit_ - pos_;  // short write: WriteBuffer raises
        pos_ += count;
        return count;
    }
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override {
        if (origin == TSeekOrigin::soCurrent) pos_ = static_cast<std::size_t>(static_cast<std::int64_t>(pos_) + offset);
        else if (origin == TSeekOrigin::soBeginning) pos_ = static_cast<std::size_t>(offset);
        else pos_ = data_.size();
        return static_cast<std::int64_t>(pos_);
    }

private:
    std::vector<std::uint8_t> data_;
    std::size_t limit_;
    std::size_t pos_ = 0;
};
}  // namespace

TEST(JpegEncode, AStreamFailureSurfacesAsTheStreamsOwnError) {
    // Big enough to need several buffer flushes; fail in the first, a later one, and the last.
    Dib dib = Dib::Make(640, 480, 24);
    std::uint32_t seed = 12345;
    for (auto& b : dib.Bits) b = static_cast<std::uint8_t>((seed = seed * 1103515245u + 12345u) >> 24);
    const std::size_t full = Encode(dib).size();
    ASSERT_GT(full, 3 * 64 * 1024u);
    for (std::size_t limit : {std::size_t{0}, std::size_t{100000}, full - 1}) {
        FailingStream out({}, limit);
        try {
            EncodeJpeg(dib, out);
            ADD_FAILURE() << "no exception at " << limit;
        } catch (const EWriteError& e) {
            EXPECT_EQ(e.Message, texts::WriteError);
        }
    }
    FailingStream exact({}, full);
    EXPECT_NO_THROW(EncodeJpeg(dib, exact));
}

// ---- reading other writers' files ----

namespace {
const Rgb kQuads[8] = {{255, 0, 0}, {0, 255, 0},     {0, 0, 255},   {255, 255, 255},
                       {0, 0, 0},   {128, 128, 128}, {255, 255, 0}, {0, 255, 255}};
Rgb QuadCentre(const Dib& dib, int i) { return PixelOf(dib, 8 + 16 * (i % 4), 8 + 16 * (i / 4)); }
}  // namespace

TEST(JpegDecode, GreyscaleBecomesGreyRgb) {
    const Dib dib = Decode(ReadFile("gray.jpg"));
    ASSERT_EQ(dib.Width, 64);
    ASSERT_EQ(dib.Height, 32);
    ASSERT_EQ(dib.BitCount, 24);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x) {
            const Rgb p = PixelOf(dib, x, y);
            ASSERT_TRUE(p.R == p.G && p.G == p.B) << x << "," << y;
        }
    // The grey levels ImageMagick wrote (Rec. 709 luma of the quadrant colours).
    const int levels[8] = {54, 182, 18, 255, 0, 128, 237, 201};
    for (int i = 0; i < 8; ++i) ExpectNear(QuadCentre(dib, i), {levels[i], levels[i], levels[i]}, 3, "grey");
}

TEST(JpegDecode, ImageMagicksCmykFileBecomesItsRgbAgain) {
    const auto file = ReadFile("cmyk.jpg");
    const auto segs = Segments(file);
    const Segment* sof = Find(segs, 0xC0);
    ASSERT_NE(sof, nullptr);
    ASSERT_EQ(sof->Data[5], 4);  // really four components
    const Dib dib = Decode(file);
    ASSERT_EQ(dib.Width, 64);
    ASSERT_EQ(dib.Height, 32);
    for (int i = 0; i < 8; ++i) ExpectNear(QuadCentre(dib, i), kQuads[i], 4, "cmyk quadrant");
}

TEST(JpegDecode, CmykAndYcckInksConvertToRgb) {
    // Inks C, M, Y, K; expected colour (255 - ink) * (255 - K) / 255 per channel.
    const std::vector<std::array<int, 4>> inks = {
        {0, 0, 0, 0}, {255, 0, 0, 0}, {0, 255, 255, 0}, {0, 0, 0, 128}, {0, 0, 0, 255}, {100, 50, 0, 60}};
    for (J_COLOR_SPACE space : {JCS_CMYK, JCS_YCCK}) {
        const Dib dib = Decode(EncodeInks(inks, space));
        ASSERT_EQ(dib.Width, 16 * 6);
        for (std::size_t i = 0; i < inks.size(); ++i) {
            const auto& k = inks[i];
            auto ch = [&](int ink) { return (255 - ink) * (255 - k[3]) / 255; };
            ExpectNear(PixelOf(dib, 8 + 16 * static_cast<int>(i), 8), {ch(k[0]), ch(k[1]), ch(k[2])}, 4,
                       space == JCS_CMYK ? "cmyk" : "ycck");
        }
    }
}

TEST(JpegDecode, ProgressiveFilesDecode) {
    const auto file = ReadFile("progressive.jpg");
    const auto segs = Segments(file);
    ASSERT_NE(Find(segs, 0xC2), nullptr);
    const Dib dib = Decode(file);
    ASSERT_EQ(dib.Width, 64);
    for (int i = 0; i < 8; ++i) ExpectNear(QuadCentre(dib, i), kQuads[i], 4, "progressive quadrant");
}

TEST(JpegDecode, StreamAndBytesAgreeAndTheStreamStopsAfterThePicture) {
    // Two pictures back to back in one stream: each read takes exactly its own.
    const auto a = Encode(MakeBlocks(24, 40, 30));
    const auto b = Encode(MakeBlocks(8, 17, 50));
    std::vector<std::uint8_t> both = a;
    both.insert(both.end(), b.begin(), b.end());
    TMemoryStream s(both);
    const Dib first = DecodeJpeg(s);
    EXPECT_EQ(s.Position(), static_cast<std::int64_t>(a.size()));
    const Dib second = DecodeJpeg(s);
    EXPECT_EQ(s.Position(), static_cast<std::int64_t>(both.size()));
    EXPECT_EQ(first.Width, 40);
    EXPECT_EQ(second.Width, 17);
    EXPECT_EQ(second.Height, 50);
    EXPECT_EQ(DecodeJpeg(a.data(), a.size()).Bits, first.Bits);
    EXPECT_EQ(DecodeJpeg(b.data(), b.size()).Bits, second.Bits);
}
