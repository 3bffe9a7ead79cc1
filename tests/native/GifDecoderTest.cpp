// The LZW decoder and the way decoded rows reach the pixel matrix.
#include <gtest/gtest.h>

#include <random>
#include <tuple>

#include "GifTestSupport.h"

using namespace kaptor;
using namespace giftest;

namespace {

Bytes Picture(int width, int height, int colors, unsigned seed) {
    std::mt19937 rng(seed);
    Bytes p(static_cast<std::size_t>(width) * height);
    for (auto& b : p) b = static_cast<std::uint8_t>(1 + rng() % (colors - 1));  // never 0
    return p;
}

// One image with a 16-colour global table.
Bytes OneImage(int width, int height, int codeSize, const Bytes& lzw, bool interlaced = false) {
    return GifBuilder().Screen(width, height, 4, true).Image(width, height, interlaced, 0, codeSize, lzw).Trailer().bytes();
}

Bytes Row(const Bytes& pixels, int width, int y) {
    return Bytes(pixels.begin() + static_cast<std::ptrdiff_t>(y) * width,
                 pixels.begin() + static_cast<std::ptrdiff_t>(y + 1) * width);
}

}  // namespace

TEST(GifDecode, TenByTenWithOrWithoutLeadingClearCode) {
    const Bytes pic = Picture(10, 10, 4, 1);
    for (bool leadingClear : {true, false}) {
        auto gif = Load(OneImage(10, 10, 2, LzwEncode(pic, 2, leadingClear)));
        ASSERT_EQ(gif->Images.Count(), 1);
        EXPECT_EQ(gif->Image(1).Pixels->Columns(), 10);
        EXPECT_EQ(gif->Image(1).Pixels->Rows(), 10);
        EXPECT_EQ(PixelsOf(gif->Image(1)), pic) << "leading clear " << leadingClear;
    }
}

TEST(GifDecode, CodeEqualToNextFreeRepeatsPreviousStringAndItsFirstByte) {
    CodeWriter w(2);
    // 2, 1 -> entry 6 = "21"; 6 -> "21", entry 7 = "12"; 8 is the next free code: "21" + "2".
    w.Put(w.Clear()).Put(2).Put(1).Put(6).Put(8).Put(w.End());
    const Bytes file = OneImage(7, 1, 2, w.Finish());
    auto gif = Load(file);
    EXPECT_EQ(PixelsOf(gif->Image(1)), (Bytes{2, 1, 2, 1, 2, 1, 2}));
    const GiflibFile ref = GiflibDecode(file);
    ASSERT_TRUE(ref.Ok);
    EXPECT_EQ(ref.Images.at(0).Pixels, PixelsOf(gif->Image(1)));
}

TEST(GifDecode, InterlacedHeightTenFillsRowsInPassOrder) {
    // Data row k holds the value k, so each picture row shows when it was filled.
    Bytes data;
    for (int k = 0; k < 10; ++k) data.insert(data.end(), 3, static_cast<std::uint8_t>(k));
    std::vector<int> rowsSeen;
    auto gif = std::make_unique<TGifFile>();
    gif->Hooks.RowDecoded = [&](int done, int count) {
        EXPECT_EQ(count, 10);
        rowsSeen.push_back(done);
    };
    TMemoryStream s(OneImage(3, 10, 4, LzwEncode(data, 4), true));
    gif->LoadFromStream(s);
    const int order[10] = {0, 8, 4, 2, 6, 1, 3, 5, 7, 9};
    for (int k = 0; k < 10; ++k)
        EXPECT_EQ(Row(PixelsOf(gif->Image(1)), 3, order[k]), Bytes(3, static_cast<std::uint8_t>(k))) << "row " << order[k];
    EXPECT_EQ(rowsSeen, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
}

TEST(GifDecode, InterlacedHeightThreeSkipsTheEmptyPass) {
    const Bytes data{0, 0, 1, 1, 2, 2};
    auto gif = Load(OneImage(2, 3, 2, LzwEncode(data, 2), true));
    EXPECT_EQ(PixelsOf(gif->Image(1)), (Bytes{0, 0, 2, 2, 1, 1}));
}

TEST(GifDecode, NextInterlacedRowWalksTheFourPasses) {
    auto walk = [](int height) {
        std::vector<int> rows;
        int pass = 1;
        for (int row = 0; row < height; row = TGifSubImage::NextInterlacedRow(row, height, pass)) rows.push_back(row);
        EXPECT_EQ(pass, 5);
        return rows;
    };
    EXPECT_EQ(walk(10), (std::vector<int>{0, 8, 4, 2, 6, 1, 3, 5, 7, 9}));
    EXPECT_EQ(walk(3), (std::vector<int>{0, 2, 1}));
    EXPECT_EQ(walk(5), (std::vector<int>{0, 4, 2, 1, 3}));
    EXPECT_EQ(walk(1), (std::vector<int>{0}));
}

namespace {

// Fills the table at 12 bits with root codes (4091 pixels of 0) and then writes tail.
Bytes FullTableThen(const std::vector<unsigned>& tail, int* pixels) {
    CodeWriter w(2);
    w.Put(w.Clear()).Put(0);
    int n = 1;
    while (w.NextFree() < 4096) {
        w.Put(0);
        ++n;
    }
    EXPECT_EQ(w.Width(), 12u);
    for (unsigned c : tail) {
        w.Put(c);
        if (c < 4) ++n;
    }
    *pixels = n;
    return w.Finish();
}

}  // namespace

TEST(GifDecode, TableFullAtTwelveBitsThenClearCodeGoesOn) {
    int n = 0;
    const Bytes lzw = FullTableThen({4, 1, 2, 3, 5}, &n);
    ASSERT_EQ(n, 4094);
    const Bytes file = OneImage(n, 1, 2, lzw);
    auto gif = Load(file);
    Bytes want(4091, 0);
    want.insert(want.end(), {1, 2, 3});
    EXPECT_EQ(PixelsOf(gif->Image(1)), want);
    const GiflibFile ref = GiflibDecode(file);
    ASSERT_TRUE(ref.Ok);
    EXPECT_EQ(ref.Images.at(0).Pixels, want);
}

TEST(GifDecode, TableFullAtTwelveBitsThenAnyOtherCodeIsAnOverflow) {
    for (unsigned next : {1u, 5u, 300u}) {  // a root, the end code, a table code
        int n = 0;
        const Bytes lzw = FullTableThen({next}, &n);
        EXPECT_EQ(MessageOf<EGifException>([&] { Load(OneImage(4096, 1, 2, lzw)); }), "Code size overflow") << next;
    }
}

namespace {

// Decodes the first cutBytes of the picture's LZW data; the rows completed before the cut
// must be right and every other row zero. Returns the number of completed rows.
int CheckCut(const Bytes& pic, int w, int h, int codeSize, bool interlaced, std::size_t cutBytes) {
    const Bytes full = LzwEncode(interlaced ? Interlace(pic, w, h) : pic, codeSize);
    const Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(std::min(cutBytes, full.size())));
    int rows = 0;
    auto gif = std::make_unique<TGifFile>();
    gif->Hooks.RowDecoded = [&](int done, int) { rows = done; };
    TMemoryStream s(OneImage(w, h, codeSize, cut, interlaced));
    gif->LoadFromStream(s);
    // The picture rows in the order they are filled.
    std::vector<int> order;
    int pass = 1;
    for (int y = 0; y < h; y = interlaced ? TGifSubImage::NextInterlacedRow(y, h, pass) : y + 1) order.push_back(y);
    const Bytes got = PixelsOf(gif->Image(1));
    int wrong = 0;
    for (int k = 0; k < h; ++k) {
        const int y = order[static_cast<std::size_t>(k)];
        if (Row(got, w, y) != (k < rows ? Row(pic, w, y) : Bytes(static_cast<std::size_t>(w), 0))) ++wrong;
    }
    EXPECT_EQ(wrong, 0) << w << "x" << h << " interlaced " << interlaced << " cut after " << cutBytes << " bytes";
    return rows;
}

}  // namespace

TEST(GifDecode, DataCutOffKeepsCompleteRowsAndLeavesTheRestAtZero) {
    // Small and large pictures (large ones are written straight into the matrix until the
    // last rows), cut early, midway and late.
    for (auto [w, h, colors] : {std::tuple{16, 12, 4}, std::tuple{300, 100, 4}, std::tuple{90, 200, 64}})
        for (bool interlaced : {false, true})
            for (int percent : {20, 50, 97}) {
                const Bytes pic = Picture(w, h, colors, 7);
                const int codeSize = colors == 4 ? 2 : 6;
                const std::size_t size = LzwEncode(interlaced ? Interlace(pic, w, h) : pic, codeSize).size();
                const int rows = CheckCut(pic, w, h, codeSize, interlaced, size * static_cast<std::size_t>(percent) / 100);
                EXPECT_GT(rows, 0);
                EXPECT_LT(rows, h);
            }
}

TEST(GifDecode, DataCutAnywhereInALargeImageLeavesNoPartRow) {
    // Short runs make strings that end inside rows and cross row ends.
    for (unsigned seed : {11u, 12u, 13u}) {
        const Bytes noise = Picture(300, 100, 4, seed);
        Bytes pic(noise.size());
        for (std::size_t i = 0; i < pic.size(); ++i) pic[i] = noise[i / 5];
        const std::size_t size = LzwEncode(pic, 2).size();
        for (std::size_t cut = 1; cut < size; cut += 11) CheckCut(pic, 300, 100, 2, false, cut);
    }
}

TEST(GifDecode, MinimumCodeSizeOutsideTwoToNineIsRefused) {
    for (int size : {0, 1, 10, 11, 255}) {
        CodeWriter w(2);
        w.Put(w.Clear()).Put(1).Put(w.End());
        EXPECT_EQ(MessageOf<EGifException>([&] { Load(OneImage(1, 1, size, w.Finish())); }), "Bad code Size") << size;
    }
}

TEST(GifDecode, NineBitRootsKeepTheirLowByte) {
    CodeWriter w(9);
    w.Put(w.Clear()).Put(300).Put(45).Put(300).Put(w.End());
    auto gif = Load(OneImage(3, 1, 9, w.Finish()));
    EXPECT_EQ(PixelsOf(gif->Image(1)), (Bytes{44, 45, 44}));
}

TEST(GifDecode, EndCodeRightAfterClearIsABadCode) {
    CodeWriter w(2);
    w.Put(1).Put(w.Clear()).Put(w.Clear()).Put(w.End());
    EXPECT_EQ(MessageOf<EGifException>([&] { Load(OneImage(1, 1, 2, w.Finish())); }), "Bad code");
}

TEST(GifDecode, CodeBeyondTheNextFreeEntryIsABadCode) {
    CodeWriter w(2);
    w.Put(w.Clear()).Put(1).Put(7).Put(w.End());  // next free is 6
    EXPECT_EQ(MessageOf<EGifException>([&] { Load(OneImage(4, 1, 2, w.Finish())); }), "Bad code");
}

TEST(GifDecode, FirstCodeThatIsNoRootStandsForIndexZero) {
    CodeWriter w(2);
    w.Put(w.Clear()).Put(7).Put(1).Put(6).Put(w.End());  // 7 -> 0; 6 = "0" + "1"
    auto gif = Load(OneImage(4, 1, 2, w.Finish()));
    EXPECT_EQ(PixelsOf(gif->Image(1)), (Bytes{0, 1, 0, 1}));
}

TEST(GifDecode, MorePixelsThanTheImageHoldsIsAnIndexError) {
    const Bytes pic = Picture(4, 3, 4, 3);
    const std::string text = "Dynamic array index out of bounds";
    EXPECT_EQ(MessageOf<EIndexOutOfBounds>([&] { Load(OneImage(4, 2, 2, LzwEncode(pic, 2))); }), text);
    EXPECT_EQ(MessageOf<EIndexOutOfBounds>([&] { Load(OneImage(4, 2, 2, LzwEncode(pic, 2), true)); }), text);
    EXPECT_EQ(MessageOf<EIndexOutOfBounds>([&] { Load(OneImage(4, 0, 2, LzwEncode(pic, 2))); }), text);
    // A zero-width image may carry no pixel at all.
    EXPECT_EQ(MessageOf<EIndexOutOfBounds>([&] { Load(OneImage(0, 3, 2, LzwEncode({1}, 2))); }), text);
    auto empty = Load(OneImage(0, 3, 2, LzwEncode({}, 2, false)));  // the end code alone
    EXPECT_EQ(empty->Image(1).Pixels->Rows(), 3);
}

TEST(GifDecode, ImageWithoutAnySubBlockIsAListIndexError) {
    const Bytes file = GifBuilder().Screen(2, 2, 1, true).Descriptor(2, 2, 0).Raw({2, 0}).Trailer().bytes();
    EXPECT_EQ(MessageOf<EListError>([&] { Load(file); }), Format(texts::ListIndexError, 0));
}

TEST(GifDecode, SizesBeyondA32BitProcessAreRefusedBeforeAllocation) {
    CodeWriter w(2);
    w.Put(w.Clear()).Put(1).Put(w.End());
    EXPECT_EQ(MessageOf<ENotEnoughMemory>([&] { Load(OneImage(65535, 65535, 2, w.Finish())); }),
              "error in TBigByteArray.create: Not enough contiguous memory available\r\n"
              " requested memory block: 4294836225 bytes");
    EXPECT_EQ(MessageOf<ENotEnoughMemory>([&] { Load(OneImage(65535, 32769, 2, w.Finish())); }),
              "error in TBigByteArray.create: Not enough contiguous memory available\r\n"
              " requested memory block: 2147516415 bytes");
}

TEST(GifDecode, RowHookSeesEveryRowOnce) {
    const Bytes pic = Picture(5, 7, 16, 9);
    std::vector<std::pair<int, int>> calls;
    auto gif = std::make_unique<TGifFile>();
    gif->Hooks.RowDecoded = [&](int done, int count) { calls.emplace_back(done, count); };
    TMemoryStream s(OneImage(5, 7, 4, LzwEncode(pic, 4)));
    gif->LoadFromStream(s);
    ASSERT_EQ(calls.size(), 7u);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(calls[static_cast<std::size_t>(i)], std::make_pair(i + 1, 7));
}

TEST(GifDecode, WideImageWithLongStringsCrossingRows) {
    // Long runs make strings that span several rows of a narrow image and one row of a wide one.
    for (int width : {1, 3, 700}) {
        Bytes pic(static_cast<std::size_t>(width) * 40, 5);
        for (std::size_t i = 0; i < pic.size(); i += 97) pic[i] = 9;
        const Bytes file = OneImage(width, 40, 4, LzwEncode(pic, 4));
        EXPECT_EQ(PixelsOf(Load(file)->Image(1)), pic) << width;
    }
}
