// Hand-made bitmap files: the variants and tolerated deviations the reader must take, and
// one damaged field at a time, which must raise EInvalidGraphic (or EOutOfMemory for
// pictures too large) on both the byte and the stream path.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <typeinfo>

#include "framework/base/Classes.h"
#include "framework/imaging/BmpCodec.h"

using namespace kaptor;

namespace {

void Put16(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
    if (at + 2 > out.size()) return;  // fields of a header cut short are left out
    out[at] = static_cast<std::uint8_t>(v);
    out[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
    if (at + 4 > out.size()) return;
    Put16(out, at, v & 0xFFFF);
    Put16(out, at + 2, v >> 16);
}

// A bitmap file described field by field; every field can be set to something wrong.
struct Recipe {
    std::uint32_t HeaderSize = 40;
    std::optional<std::uint32_t> HeaderSizeField;  // what the file claims, if not HeaderSize
    std::int32_t Width = 4, Height = 2;
    std::uint16_t Planes = 1, BitCount = 8;
    std::uint32_t Compression = 0;
    std::uint32_t ClrUsed = 0;
    std::int32_t XPels = 0, YPels = 0;
    std::vector<std::uint32_t> Masks;  // inside a header of 52 bytes or more, else after it
    std::vector<RgbQuad> Palette;      // as many entries as given; 3 bytes each in a core header
    std::vector<std::uint8_t> Gap;     // between the colour table and the pixels
    std::optional<std::uint32_t> OffBits;
    std::vector<std::uint8_t> Pixels;

    std::vector<std::uint8_t> Build() const {
        std::vector<std::uint8_t> header(HeaderSize, 0);
        Put32(header, 0, HeaderSizeField.value_or(HeaderSize));
        if (HeaderSize == 12) {
            Put16(header, 4, static_cast<std::uint32_t>(Width));
            Put16(header, 6, static_cast<std::uint32_t>(Height));
            Put16(header, 8, Planes);
            Put16(header, 10, BitCount);
        } else {
            Put32(header, 4, static_cast<std::uint32_t>(Width));
            Put32(header, 8, static_cast<std::uint32_t>(Height));
            Put16(header, 12, Planes);
            Put16(header, 14, BitCount);
            Put32(header, 16, Compression);
            Put32(header, 20, static_cast<std::uint32_t>(Pixels.size()));
            Put32(header, 24, static_cast<std::uint32_t>(XPels));
            Put32(header, 28, static_cast<std::uint32_t>(YPels));
            Put32(header, 32, ClrUsed);
        }
        std::vector<std::uint8_t> body = header;
        for (std::size_t i = 0; i < Masks.size(); ++i) {
            if (HeaderSize >= 52) {
                Put32(body, 40 + 4 * i, Masks[i]);
            } else {
                body.resize(body.size() + 4);
                Put32(body, body.size() - 4, Masks[i]);
            }
        }
        for (const RgbQuad& q : Palette) {
            body.insert(body.end(), {q.Blue, q.Green, q.Red});
            if (HeaderSize != 12) body.push_back(q.Reserved);
        }
        body.insert(body.end(), Gap.begin(), Gap.end());
        std::vector<std::uint8_t> file(14, 0);
        file[0] = 'B';
        file[1] = 'M';
        Put32(file, 10, OffBits.value_or(static_cast<std::uint32_t>(14 + body.size())));
        file.insert(file.end(), body.begin(), body.end());
        file.insert(file.end(), Pixels.begin(), Pixels.end());
        Put32(file, 2, static_cast<std::uint32_t>(file.size()));
        return file;
    }
};

std::vector<RgbQuad> Greys(int count) {
    std::vector<RgbQuad> p;
    for (int i = 0; i < count; ++i) {
        const auto v = static_cast<std::uint8_t>(i);
        p.push_back({v, v, v, 0});
    }
    return p;
}

// Reads through both entry points; they must agree.
Dib Read(const std::vector<std::uint8_t>& file) {
    Dib fromBytes = ReadBmp(file);
    TMemoryStream stream(file);
    Dib fromStream = ReadBmp(stream);
    EXPECT_TRUE(fromBytes == fromStream) << "byte and stream readers disagree";
    return fromBytes;
}

template <class E>
void ExpectRefused(const std::vector<std::uint8_t>& file, const char* expectedText, const std::string& what) {
    auto check = [&](auto&& read, const char* path) {
        try {
            read();
            ADD_FAILURE() << what << " (" << path << "): read without complaint";
        } catch (const E& e) {
            EXPECT_STREQ(e.what(), expectedText) << what << " (" << path << ")";
        } catch (const std::exception& e) {
            ADD_FAILURE() << what << " (" << path << "): " << typeid(e).name() << " " << e.what();
        }
    };
    check([&] { ReadBmp(file); }, "bytes");
    check(
        [&] {
            TMemoryStream stream(file);
            ReadBmp(stream);
        },
        "stream");
}

void ExpectInvalid(const Recipe& r, const std::string& what) {
    ExpectRefused<EInvalidGraphic>(r.Build(), texts::InvalidBitmap, what);
}
void ExpectOutOfMemory(const Recipe& r, const std::string& what) {
    ExpectRefused<EOutOfMemory>(r.Build(), texts::OutOfMemory, what);
}

Recipe Rle8(std::int32_t width, std::int32_t height, std::vector<std::uint8_t> data) {
    Recipe r;
    r.Width = width;
    r.Height = height;
    r.Compression = 1;
    r.Palette = Greys(256);
    r.Pixels = std::move(data);
    return r;
}
Recipe Rle4(std::int32_t width, std::int32_t height, std::vector<std::uint8_t> data) {
    Recipe r = Rle8(width, height, std::move(data));
    r.BitCount = 4;
    r.Compression = 2;
    r.Palette = Greys(16);
    return r;
}
// 8 bits, 3 x 3, a 4-byte stride, every pixel its own value.
Recipe Plain8() {
    Recipe r;
    r.Width = 3;
    r.Height = 3;
    r.Palette = Greys(256);
    r.Pixels = {7, 8, 9, 0, 4, 5, 6, 0, 1, 2, 3, 0};  // bottom row first
    return r;
}

}  // namespace

// ---- variants that must read -------------------------------------------------------------

TEST(BmpRead, TopDownRowsAreStoredBottomUp) {
    Recipe bottomUp = Plain8();
    Recipe topDown = Plain8();
    topDown.Height = -3;
    topDown.Pixels = {1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0};
    const Dib a = Read(bottomUp.Build());
    const Dib b = Read(topDown.Build());
    EXPECT_EQ(b.Height, 3);
    EXPECT_EQ(b.Row(0)[0], 1);
    EXPECT_EQ(b.Row(2)[2], 9);
    EXPECT_TRUE(a == b);
}

TEST(BmpRead, Rle8EncodedAbsoluteDeltaEndOfLineAndEnd) {
    // 6 x 4: an encoded run, an odd absolute run with its pad byte, end of line, a delta
    // across a row boundary, an even absolute run without pad, a run, end of bitmap.
    const Dib d = Read(Rle8(6, 4,
                            {3, 0x11, 0, 3, 0x21, 0x22, 0x23, 0, 0, 0,  //
                             0, 2, 2, 1,                                 //
                             0, 4, 0x31, 0x32, 0x33, 0x34, 0, 0,         //
                             2, 0x41, 0, 1})
                           .Build());
    ASSERT_EQ(d.BitCount, 8);
    const std::vector<std::uint8_t> expected = {
        0x11, 0x11, 0x11, 0x21, 0x22, 0x23, 0, 0,  // row 0 (bottom)
        0,    0,    0,    0,    0,    0,    0, 0,  // skipped by the delta
        0,    0,    0x31, 0x32, 0x33, 0x34, 0, 0,  //
        0x41, 0x41, 0,    0,    0,    0,    0, 0};
    EXPECT_EQ(d.Bits, expected);
    EXPECT_EQ(d.Palette.size(), 256u);
}

TEST(BmpRead, Rle4AlternatesNibblesAndPadsAbsoluteRunsToWords) {
    // 5 x 3: an encoded run alternating two colours; five nibbles in three bytes plus a pad;
    // three nibbles in two bytes and no pad, then a run that must not be taken for the pad.
    const Dib d = Read(Rle4(5, 3,
                            {5, 0x12, 0, 0,                    //
                             0, 5, 0x34, 0x56, 0x70, 0, 0, 0,  //
                             0, 3, 0x89, 0xA0, 2, 0xBB, 0, 1})
                           .Build());
    ASSERT_EQ(d.BitCount, 4);
    const std::vector<std::uint8_t> expected = {0x12, 0x12, 0x10, 0,  //
                                                0x34, 0x56, 0x70, 0,  //
                                                0x89, 0xAB, 0xB0, 0};
    EXPECT_EQ(d.Bits, expected);
}

TEST(BmpRead, RleDataMayEndWithoutEndOfBitmap) {
    // RleDataEndsEarly: what is decoded stays, the rest is index 0.
    EXPECT_EQ(Read(Rle8(4, 3, {4, 7, 0, 1, 4, 9}).Build()).Bits,
              (std::vector<std::uint8_t>{7, 7, 7, 7, 0, 0, 0, 0, 0, 0, 0, 0}))
        << "data after the end of bitmap must be ignored";
    EXPECT_EQ(Read(Rle8(4, 3, {4, 7, 0, 0, 2, 8}).Build()).Bits,
              (std::vector<std::uint8_t>{7, 7, 7, 7, 8, 8, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Read(Rle8(4, 3, {0, 4, 9, 9}).Build()).Bits,
              (std::vector<std::uint8_t>{9, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}))
        << "absolute run cut short";
    EXPECT_EQ(Read(Rle8(4, 3, {4, 7, 0}).Build()).Bits,
              (std::vector<std::uint8_t>{7, 7, 7, 7, 0, 0, 0, 0, 0, 0, 0, 0}))
        << "lone last byte";
    EXPECT_EQ(Read(Rle8(4, 3, {4, 7, 0, 2, 1}).Build()).Bits,
              (std::vector<std::uint8_t>{7, 7, 7, 7, 0, 0, 0, 0, 0, 0, 0, 0}))
        << "delta cut short";
    EXPECT_EQ(Read(Rle4(5, 1, {0, 5, 0x12}).Build()).Bits, (std::vector<std::uint8_t>{0x12, 0, 0, 0}))
        << "4-bit absolute run cut short";
    EXPECT_EQ(Read(Rle8(2, 2, {}).Build()).Bits, (std::vector<std::uint8_t>(8, 0))) << "no data at all";
}

TEST(BmpRead, RleRunsIntoRowPaddingDropPixelsBeyondWidth) {
    // RleRunIntoRowPadding: ImageMagick encodes RLE8 rows at their padded width.
    EXPECT_EQ(Read(Rle8(3, 2, {4, 5, 0, 0, 0, 4, 1, 2, 3, 4, 0, 1}).Build()).Bits,
              (std::vector<std::uint8_t>{5, 5, 5, 0, 1, 2, 3, 0}));
    EXPECT_EQ(Read(Rle4(5, 1, {8, 0x12, 0, 1}).Build()).Bits, (std::vector<std::uint8_t>{0x12, 0x12, 0x10, 0}));
    EXPECT_EQ(Read(Rle8(3, 2, {0, 2, 4, 0, 0, 0, 3, 6}).Build()).Bits,
              (std::vector<std::uint8_t>{0, 0, 0, 0, 6, 6, 6, 0}))
        << "delta to the end of the padded row";
}

TEST(BmpRead, RleDeltaMayStopOnTheTopEdge) {
    // What ImageMagick writes for blank top rows: a delta onto the top edge, then the end.
    EXPECT_EQ(Read(Rle8(2, 3, {2, 1, 0, 2, 0, 3, 0, 1}).Build()).Bits,
              (std::vector<std::uint8_t>{1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(BmpRead, CoreHeaderHasTriplePaletteAndUnsignedSize) {
    Recipe r;
    r.HeaderSize = 12;
    r.Width = 2;
    r.Height = 2;
    r.BitCount = 1;
    r.Palette = {{1, 2, 3, 0}, {4, 5, 6, 0}};
    r.Pixels = {0x80, 0, 0, 0, 0x40, 0, 0, 0};
    const Dib d = Read(r.Build());
    EXPECT_EQ(d.BitCount, 1);
    EXPECT_EQ(d.Palette, r.Palette);
    EXPECT_EQ(d.Bits, r.Pixels);

    // OS/2 sizes are unsigned 16-bit: 40000 is a width, not a negative number.
    r.Width = 40000;
    r.Height = 1;
    r.Pixels.assign(Dib::StrideFor(40000, 1), 0xFF);
    EXPECT_EQ(Read(r.Build()).Width, 40000);
}

TEST(BmpRead, Os2InfoHeaderOf64BytesReadsLikeAnInfoHeader) {
    Recipe r = Plain8();
    const Dib expected = Read(r.Build());
    r.HeaderSize = 64;
    EXPECT_TRUE(Read(r.Build()) == expected);
}

TEST(BmpRead, BitFieldsComeFromEveryPlaceMasksAreKept) {
    Recipe r;
    r.Width = 1;
    r.Height = 1;
    r.BitCount = 16;
    r.Compression = 3;
    r.Masks = {0xF800, 0x07E0, 0x001F};
    r.Pixels = {0x1F, 0xF8, 0, 0};  // red and blue full, green zero
    for (std::uint32_t size : {40u, 52u, 56u, 108u, 124u}) {
        r.HeaderSize = size;
        const Dib d = Read(r.Build());
        EXPECT_EQ(d.RedMask, 0xF800u) << size;
        EXPECT_EQ(d.GreenMask, 0x07E0u) << size;
        EXPECT_EQ(d.BlueMask, 0x001Fu) << size;
        std::uint8_t rgb[3];
        d.RowToRgb(0, rgb);
        EXPECT_EQ(rgb[0], 255) << size;
        EXPECT_EQ(rgb[1], 0) << size;
        EXPECT_EQ(rgb[2], 255) << size;
    }
}

TEST(BmpRead, MasksOfPlainRgbHeadersAreIgnored) {
    // 16-bit BI_RGB is always 5-5-5, whatever a V5 header's mask fields hold.
    Recipe r;
    r.HeaderSize = 124;
    r.Width = 1;
    r.Height = 1;
    r.BitCount = 16;
    r.Masks = {0xF800, 0x07E0, 0x001F};
    r.Pixels = {0x00, 0x7C, 0, 0};
    const Dib d = Read(r.Build());
    EXPECT_FALSE(d.HasBitFields());
    std::uint8_t rgb[3];
    d.RowToRgb(0, rgb);
    EXPECT_EQ(rgb[0], 255);
    EXPECT_EQ(rgb[1], 0);
}

TEST(BmpRead, ChannelWiderThan24BitsScalesWithoutOverflow) {
    Recipe r;
    r.Width = 1;
    r.Height = 1;
    r.BitCount = 32;
    r.Compression = 3;
    r.Masks = {0xFFFFFF80, 0x70, 0x0F};
    r.Pixels = {0xFF, 0xFF, 0xFF, 0xFF};
    const Dib d = Read(r.Build());
    std::uint8_t rgb[3];
    d.RowToRgb(0, rgb);
    EXPECT_EQ(rgb[0], 255);
    EXPECT_EQ(rgb[1], 255);
    EXPECT_EQ(rgb[2], 255);
}

TEST(BmpRead, ColourTableLengths) {
    Recipe r = Plain8();
    r.ClrUsed = 3;
    r.Palette = {{1, 1, 1, 0}, {2, 2, 2, 0}, {3, 3, 3, 7}};
    EXPECT_EQ(Read(r.Build()).Palette, r.Palette) << "biClrUsed below the full count";

    // ImplicitPaletteCut: biClrUsed = 0, two entries stored, bfOffBits right after them.
    r.ClrUsed = 0;
    r.Palette = {{1, 1, 1, 0}, {2, 2, 2, 0}};
    EXPECT_EQ(Read(r.Build()).Palette, r.Palette);

    // ExcessPaletteEntries: entries past 2^bits are skipped, the pixels still found.
    Recipe mono;
    mono.Width = 2;
    mono.Height = 1;
    mono.BitCount = 1;
    mono.ClrUsed = 5;
    mono.Palette = Greys(5);
    mono.Pixels = {0x40, 0, 0, 0};
    const Dib d = Read(mono.Build());
    EXPECT_EQ(d.Palette, Greys(2));
    EXPECT_EQ(d.Bits, mono.Pixels);
}

TEST(BmpRead, PixelOffsetIsHonoured) {
    Recipe r = Plain8();
    const Dib expected = Read(r.Build());
    r.Gap = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    EXPECT_TRUE(Read(r.Build()) == expected) << "bytes between table and pixels";

    // ZeroPixelOffset: the pixels follow the table.
    r.Gap.clear();
    r.OffBits = 0;
    EXPECT_TRUE(Read(r.Build()) == expected);

    // ... after the optional table of a true-colour picture too.
    Recipe rgb;
    rgb.Width = 1;
    rgb.Height = 1;
    rgb.BitCount = 24;
    rgb.ClrUsed = 2;
    rgb.Gap.assign(8, 0xEE);  // the two table entries
    rgb.OffBits = 0;
    rgb.Pixels = {1, 2, 3, 0};
    EXPECT_EQ(Read(rgb.Build()).Bits, rgb.Pixels);
}

TEST(BmpRead, ShortLastRowReadsAsZero) {
    // ShortLastRow: 24 bits, 2 x 3, stride 8; the last stored row lacks 3 bytes, its 2 bytes of
    // padding and one pixel byte (up to 3 missing bytes are tolerated, whatever they were).
    Recipe r;
    r.Width = 2;
    r.Height = 3;
    r.BitCount = 24;
    std::vector<std::uint8_t> full(24);
    for (std::size_t i = 0; i < full.size(); ++i) full[i] = static_cast<std::uint8_t>(i + 1);
    r.Pixels.assign(full.begin(), full.end() - 3);
    std::vector<std::uint8_t> expected = full;
    expected[21] = expected[22] = expected[23] = 0;
    EXPECT_EQ(Read(r.Build()).Bits, expected);

    r.Height = -3;  // top-down: the bottom row is the short one
    const Dib d = Read(r.Build());
    EXPECT_EQ(std::vector<std::uint8_t>(d.Row(2), d.Row(2) + 8),
              (std::vector<std::uint8_t>{17, 18, 19, 20, 21, 0, 0, 0}));
    EXPECT_EQ(std::vector<std::uint8_t>(d.Row(0), d.Row(0) + 8),
              (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST(BmpRead, ResolutionAndLargeValidSizesAreKept) {
    Recipe r = Plain8();
    r.XPels = 3780;
    r.YPels = -1;
    const Dib d = Read(r.Build());
    EXPECT_EQ(d.XPelsPerMeter, 3780);
    EXPECT_EQ(d.YPelsPerMeter, -1);

    // A big RLE picture that fits: 8000 x 8000 at 8 bits, drawn from four bytes.
    const Dib big = Read(Rle8(8000, 8000, {255, 3, 0, 1}).Build());
    EXPECT_EQ(big.Bits.size(), 64000000u);
    EXPECT_EQ(big.Bits[254], 3);
    EXPECT_EQ(big.Bits[255], 0);
}

TEST(BmpRead, StreamReadingStartsAtPositionAndStopsAfterThePicture) {
    Recipe r = Plain8();
    const std::vector<std::uint8_t> file = r.Build();
    TMemoryStream stream;
    stream.WriteBuffer("junk", 4);
    stream.WriteBuffer(file.data(), file.size());
    stream.WriteBuffer("tail", 4);
    stream.SetPosition(4);
    const Dib d = ReadBmp(stream);
    EXPECT_TRUE(d == ReadBmp(file));
    EXPECT_EQ(stream.Position(), static_cast<std::int64_t>(4 + file.size()));
}

// ---- damaged files -------------------------------------------------------------------------

TEST(BmpDamaged, SignatureAndTinyFiles) {
    std::vector<std::uint8_t> file = Plain8().Build();
    file[0] = 'B';
    file[1] = 'A';  // an OS/2 bitmap array
    ExpectRefused<EInvalidGraphic>(file, texts::InvalidBitmap, "signature BA");
    file[0] = 'M';
    file[1] = 'B';
    ExpectRefused<EInvalidGraphic>(file, texts::InvalidBitmap, "signature swapped");
    ExpectRefused<EInvalidGraphic>({}, texts::InvalidBitmap, "empty file");
    ExpectRefused<EInvalidGraphic>({'B', 'M'}, texts::InvalidBitmap, "signature only");
    file = Plain8().Build();
    file.resize(14 + 20);
    ExpectRefused<EInvalidGraphic>(file, texts::InvalidBitmap, "info header cut short");
}

TEST(BmpDamaged, HeaderSizeUnknownOrPastTheEnd) {
    for (std::uint32_t size : {0u, 4u, 16u, 39u, 41u, 100u, 125u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
        Recipe r = Plain8();
        r.HeaderSizeField = size;
        ExpectInvalid(r, "header size " + std::to_string(size));
    }
    Recipe r = Plain8();
    r.HeaderSize = 124;
    std::vector<std::uint8_t> file = r.Build();
    file.resize(14 + 100);
    ExpectRefused<EInvalidGraphic>(file, texts::InvalidBitmap, "V5 header past the end");
}

TEST(BmpDamaged, DimensionsPlanesAndBitCount) {
    auto with = [](auto change) {
        Recipe r = Plain8();
        change(r);
        return r;
    };
    ExpectInvalid(with([](Recipe& r) { r.Width = 0; }), "zero width");
    ExpectInvalid(with([](Recipe& r) { r.Width = -3; }), "negative width");
    ExpectInvalid(with([](Recipe& r) { r.Width = INT32_MIN; }), "most negative width");
    ExpectInvalid(with([](Recipe& r) { r.Height = 0; }), "zero height");
    ExpectInvalid(with([](Recipe& r) { r.Height = INT32_MIN; }), "most negative height, no pixels for it");
    ExpectInvalid(with([](Recipe& r) { r.Planes = 0; }), "no planes");
    ExpectInvalid(with([](Recipe& r) { r.Planes = 2; }), "two planes");
    for (std::uint16_t bits : {0, 2, 3, 7, 9, 15, 48, 64, 0xFFFF})
        ExpectInvalid(with([&](Recipe& r) { r.BitCount = bits; }), "bit count " + std::to_string(bits));
    for (std::uint16_t bits : {16, 32}) {
        ExpectInvalid(with([&](Recipe& r) {
                          r.HeaderSize = 12;
                          r.BitCount = bits;
                          r.Palette.clear();
                      }),
                      "core header at " + std::to_string(bits) + " bits");
    }
    Recipe core = with([](Recipe& r) { r.HeaderSize = 12; });
    core.Width = 0;
    ExpectInvalid(core, "core header, zero width");
}

TEST(BmpDamaged, CompressionThatDoesNotFitTheBitCount) {
    auto with = [](std::uint16_t bits, std::uint32_t compression) {
        Recipe r = Plain8();
        r.BitCount = bits;
        r.Compression = compression;
        r.Palette = bits <= 8 ? Greys(1 << bits) : std::vector<RgbQuad>{};
        r.Pixels.assign(64, 0);
        return r;
    };
    for (std::uint32_t c : {4u, 5u, 6u, 7u, 11u, 0xFFFFFFFFu})
        ExpectInvalid(with(8, c), "compression " + std::to_string(c));
    ExpectInvalid(with(4, 1), "RLE8 at 4 bits");
    ExpectInvalid(with(24, 1), "RLE8 at 24 bits");
    ExpectInvalid(with(8, 2), "RLE4 at 8 bits");
    ExpectInvalid(with(8, 3), "bit fields at 8 bits");
    ExpectInvalid(with(24, 3), "bit fields at 24 bits");
    Recipe topDown = Rle8(4, -2, {4, 1, 0, 0, 4, 2, 0, 1});
    ExpectInvalid(topDown, "top-down RLE8");
    Recipe huffman = with(16, 3);
    huffman.HeaderSize = 64;
    huffman.Masks = {0x7C00, 0x3E0, 0x1F};
    ExpectInvalid(huffman, "OS/2 2.x compression 3 (Huffman)");
}

TEST(BmpDamaged, BitFieldMasks) {
    auto masks = [](std::uint16_t bits, std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
        Recipe r;
        r.Width = 1;
        r.Height = 1;
        r.BitCount = bits;
        r.Compression = 3;
        r.Masks = {red, green, blue};
        r.Pixels.assign(4, 0);
        return r;
    };
    ExpectInvalid(masks(16, 0, 0, 0), "all masks zero");
    ExpectInvalid(masks(16, 0xF800, 0, 0x1F), "green mask zero");
    ExpectInvalid(masks(16, 0xF800, 0x0FE0, 0x1F), "red and green overlap");
    ExpectInvalid(masks(32, 0xFF0000, 0xFF00, 0xFF00FF), "blue overlaps red");
    ExpectInvalid(masks(16, 0xF00F, 0x0F0, 0xF00), "red in two pieces");
    ExpectInvalid(masks(16, 0x1F0000, 0x7E0, 0x1F), "16-bit mask above bit 15");
    ExpectInvalid(masks(32, 0xFF0000, 0x5500, 0xFF), "green not contiguous");

    Recipe missing = masks(16, 0x7C00, 0x3E0, 0x1F);
    std::vector<std::uint8_t> file = missing.Build();
    file.resize(14 + 40 + 8);  // masks after a 40-byte header, cut off
    ExpectRefused<EInvalidGraphic>(file, texts::InvalidBitmap, "masks past the end");

    // A 40-byte header with BI_BITFIELDS but bfOffBits pointing where the masks should be:
    // the masks would be pixels.
    Recipe overlap = masks(16, 0x7C00, 0x3E0, 0x1F);
    overlap.OffBits = 54;
    ExpectInvalid(overlap, "masks overlap the pixels");
}

TEST(BmpDamaged, ColourTable) {
    auto with = [](auto change) {
        Recipe r = Plain8();
        change(r);
        return r;
    };
    ExpectInvalid(with([](Recipe& r) { r.ClrUsed = 257; }), "257 colours");
    ExpectInvalid(with([](Recipe& r) { r.ClrUsed = 0x40000000; }), "2^30 colours");
    ExpectInvalid(with([](Recipe& r) { r.ClrUsed = 0xFFFFFFFF; }), "2^32 - 1 colours");
    ExpectInvalid(with([](Recipe& r) {
                      r.Palette = Greys(3);
                      r.ClrUsed = 5;
                  }),
                  "explicit count runs into the pixels");
    ExpectInvalid(with([](Recipe& r) {
                      r.Palette = Greys(3);
                      r.ClrUsed = 0;
                      r.OffBits = 14 + 40 + 3;  // inside the first entry
                  }),
                  "implicit table cut to nothing");
    Recipe r = Plain8();
    r.OffBits = 0;
    r.Palette = Greys(100);  // 256 expected, 100 present, nothing to say where the pixels are
    r.Pixels.clear();
    ExpectInvalid(r, "table past the end");
}

TEST(BmpDamaged, PixelOffsetAndPixelData) {
    auto with = [](auto change) {
        Recipe r = Plain8();
        change(r);
        return r;
    };
    ExpectInvalid(with([](Recipe& r) { r.OffBits = 10; }), "offset inside the file header");
    ExpectInvalid(with([](Recipe& r) {
                      r.Palette = Greys(2);
                      r.ClrUsed = 2;
                      r.OffBits = 14 + 30;
                  }),
                  "offset inside the info header");
    ExpectInvalid(with([](Recipe& r) { r.OffBits = 0x7FFFFFFF; }), "offset past the end");
    ExpectInvalid(with([](Recipe& r) { r.OffBits = 0xFFFFFFFF; }), "offset 2^32 - 1");
    ExpectInvalid(with([](Recipe& r) { r.Pixels.resize(8); }), "whole last row missing");
    Recipe rgb;  // 24 bits, 3 x 2: 9 bytes of pixels and 3 of padding a row
    rgb.Width = 3;
    rgb.Height = 2;
    rgb.BitCount = 24;
    rgb.Pixels.assign(21, 1);
    EXPECT_EQ(Read(rgb.Build()).Bits.size(), 24u) << "the last row's padding may be missing";
    rgb.Pixels.resize(20);
    ExpectInvalid(rgb, "the last row's padding and a pixel byte missing");
    ExpectInvalid(with([](Recipe& r) { r.Pixels.resize(3); }), "two rows missing");
    ExpectInvalid(with([](Recipe& r) { r.Pixels.clear(); }), "no pixels");
    ExpectInvalid(with([](Recipe& r) { r.Height = -4; }), "top-down, a row missing");
}

TEST(BmpDamaged, RleRunsAndDeltasLeavingThePicture) {
    // Width 6 pads to 8 pixels at 8 bits and 8 pixels at 4 bits.
    ExpectInvalid(Rle8(6, 2, {9, 1}), "encoded run past the padded row");
    ExpectInvalid(Rle8(6, 2, {4, 1, 5, 1}), "second run past the padded row");
    ExpectInvalid(Rle8(6, 2, {0, 9, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0}), "absolute run past the row");
    ExpectInvalid(Rle8(6, 2, {0, 2, 9, 0}), "delta past the row");
    ExpectInvalid(Rle8(6, 2, {4, 1, 0, 2, 5, 0}), "delta from inside past the row");
    ExpectInvalid(Rle8(6, 2, {0, 2, 0, 3}), "delta past the top");
    ExpectInvalid(Rle8(6, 2, {0, 2, 0, 2, 1, 1}), "run on the top edge, outside the picture");
    ExpectInvalid(Rle8(6, 2, {0, 0, 0, 0, 0, 3, 1, 2, 3, 0}), "absolute run above the picture");
    ExpectInvalid(Rle8(6, 2, {0, 0, 0, 0, 0, 0}), "line end past the top");
    ExpectInvalid(Rle8(6, 1, {255, 1}), "255-pixel run in a short row");
    ExpectInvalid(Rle4(6, 2, {9, 0x11}), "4-bit run past the padded row");
    ExpectInvalid(Rle4(6, 2, {0, 9, 0x12, 0x34, 0x56, 0x78, 0x90, 0}), "4-bit absolute run past the row");
    ExpectInvalid(Rle4(6, 2, {0, 2, 0, 3}), "4-bit delta past the top");
}

TEST(BmpTooLarge, RefusedWithOutOfMemoryBeforeAllocating) {
    ExpectOutOfMemory(Rle8(65535, 65535, {0, 1}), "4 GB of 8-bit pixels");
    ExpectOutOfMemory(Rle8(0x7FFFFFFF, 0x7FFFFFFF, {0, 1}), "width * height overflows 32 and 64-bit naive sums");
    ExpectOutOfMemory(Rle4(0x7FFFFFFF, 1, {0, 1}), "one row wider than a 32-bit process");
    ExpectOutOfMemory(Rle8(40000, 20000, {0, 1}), "fits as 8 bits, not as the 32-bit screen bitmap");
    Recipe core;
    core.HeaderSize = 12;
    core.Width = 65535;
    core.Height = 65535;
    core.BitCount = 24;
    core.Pixels.assign(16, 0);
    ExpectInvalid(core, "huge uncompressed picture whose pixels are not in the file");
    // Found by fuzzing: a one-row picture 16 million pixels wide from a 73-byte file passed
    // as a short last row.
    Recipe wide;
    wide.Width = 0x00F60041;
    wide.Height = 1;
    wide.BitCount = 32;
    wide.Pixels.assign(7, 0);
    ExpectInvalid(wide, "one row, huge width, a few bytes of pixels");
}

namespace {

// A stream that claims to be a huge file: the given head, then zeros. It counts what is read.
class HugeStream : public TStream {
public:
    HugeStream(std::vector<std::uint8_t> head, std::int64_t size) : head_(std::move(head)), size_(size) {}
    std::size_t Read(void* buffer, std::size_t count) override {
        const std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(count, size_ - pos_));
        for (std::size_t i = 0; i < n; ++i) {
            const auto at = static_cast<std::size_t>(pos_) + i;
            static_cast<std::uint8_t*>(buffer)[i] = at < head_.size() ? head_[at] : 0;
        }
        pos_ += static_cast<std::int64_t>(n);
        bytesRead += n;
        return n;
    }
    std::size_t Write(const void*, std::size_t) override { return 0; }
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override {
        std::int64_t base = 0;
        if (origin == TSeekOrigin::soCurrent) base = pos_;
        if (origin == TSeekOrigin::soEnd) base = size_;
        pos_ = base + offset;
        return pos_;
    }
    std::uint64_t bytesRead = 0;

private:
    std::vector<std::uint8_t> head_;
    std::int64_t size_;
    std::int64_t pos_ = 0;
};

}  // namespace

TEST(BmpTooLarge, CompleteHugeFileRefusedBeforeItsPixelsAreRead) {
    Recipe r;
    r.Width = 30000;
    r.Height = 30000;
    r.BitCount = 24;
    const std::vector<std::uint8_t> head = r.Build();
    HugeStream stream(head, static_cast<std::int64_t>(head.size()) + 90000LL * 30000);
    EXPECT_THROW(ReadBmp(stream), EOutOfMemory);
    EXPECT_LT(stream.bytesRead, 2000u);
}
