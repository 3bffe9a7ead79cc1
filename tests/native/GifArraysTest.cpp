// The byte arrays, the colour table presets, the chunk buffer and the bitmap size limits.
#include <gtest/gtest.h>

#include "GifTestSupport.h"

using namespace kaptor;
using namespace giftest;

TEST(GifArrays, BigByteArrayIsZeroedAndCountsFromOne) {
    TBigByteArray a(5);
    EXPECT_EQ(a.Count(), 5);
    for (int i = 1; i <= 5; ++i) EXPECT_EQ(a.Get(i), 0);
    a.Put(1, 7);
    a.Put(5, 9);
    EXPECT_EQ(a.Data()[0], 7);
    EXPECT_EQ(a.Data()[4], 9);
    for (std::int64_t bad : {std::int64_t{0}, std::int64_t{6}, std::int64_t{-1}, std::int64_t{1} << 32})
        EXPECT_EQ(MessageOf<EIndexOutOfBounds>([&] { a.Put(bad, 1); }), "Dynamic array index out of bounds") << bad;
    TBigByteArray empty(0);
    EXPECT_EQ(empty.Count(), 0);
    EXPECT_THROW(empty.Put(1, 0), EIndexOutOfBounds);
}

TEST(GifArrays, BlocksBeyondA32BitProcessAreRefusedWithTheirFullSize) {
    EXPECT_EQ(MessageOf<ENotEnoughMemory>([] { TBigByteArray a(MaxBlockSize + 1); }),
              "error in TBigByteArray.create: Not enough contiguous memory available\r\n"
              " requested memory block: 2147483648 bytes");
    EXPECT_EQ(MessageOf<ENotEnoughMemory>([] { TByteArray2D m(65535, 65535); }),
              "error in TBigByteArray.create: Not enough contiguous memory available\r\n"
              " requested memory block: 4294836225 bytes");
}

TEST(GifArrays, MatrixRowsAreCheckedAndCopied) {
    TByteArray2D m(3, 2);
    TBigByteArray row(3);
    row.Put(1, 1);
    row.Put(3, 3);
    m.SetRow(2, row);
    row.Put(2, 5);  // the matrix holds a copy
    TBigByteArray back = m.GetRow(2);
    EXPECT_EQ(back.Count(), 3);
    EXPECT_EQ(back.Get(1), 1);
    EXPECT_EQ(back.Get(2), 0);
    EXPECT_EQ(back.Get(3), 3);
    EXPECT_EQ(m.GetRow(1).Get(3), 0);
    EXPECT_EQ(MessageOf<EIndexOutOfBounds>([&] { m.SetRow(3, row); }), "Dynamic array index out of bounds");
    EXPECT_EQ(MessageOf<EIndexOutOfBounds>([&] { m.SetRow(0, row); }), "Dynamic array index out of bounds");
    EXPECT_THROW(m.GetRow(0), EIndexOutOfBounds);
    TBigByteArray shortRow(2);
    EXPECT_EQ(MessageOf<Exception>([&] { m.SetRow(1, shortRow); }), "Row doesn't have equal number of elements as Matrix row");
}

TEST(GifArrays, ColourTablePresets) {
    const TColorTable none(0), two(2), sixteen(16), grey(256), four(4);
    EXPECT_EQ(none.Count, 0);
    EXPECT_EQ(none.Colors[1], (TGifColor{255, 255, 255}));
    EXPECT_EQ(two.Count, 2);
    EXPECT_EQ(two.Colors[0], (TGifColor{0, 0, 0}));
    EXPECT_EQ(two.Colors[1], (TGifColor{255, 255, 255}));
    EXPECT_EQ(two.Colors[2], TGifColor{});
    EXPECT_EQ(sixteen.Colors[1], (TGifColor{128, 0, 0}));
    EXPECT_EQ(sixteen.Colors[8], (TGifColor{192, 192, 192}));
    EXPECT_EQ(sixteen.Colors[11], (TGifColor{255, 255, 0}));
    EXPECT_EQ(sixteen.Colors[14], (TGifColor{0, 255, 255}));
    EXPECT_EQ(sixteen.Colors[16], TGifColor{});
    EXPECT_EQ(grey.Colors[0], (TGifColor{0, 0, 0}));
    EXPECT_EQ(grey.Colors[77], (TGifColor{77, 77, 77}));
    EXPECT_EQ(grey.Colors[255], (TGifColor{255, 255, 255}));
    EXPECT_EQ(four.Count, 4);
    for (const TGifColor& c : four.Colors) EXPECT_EQ(c, TGifColor{});
}

TEST(GifArrays, ByteBufferWalksItsChunksInOrder) {
    TByteBuffer b;
    EXPECT_EQ(MessageOf<EListError>([&] { b.Reset(); }), Format(texts::ListIndexError, 0));
    const std::uint8_t one[] = {1, 2}, two[] = {3}, three[] = {4, 5, 6};
    b.Add(one, 2);
    b.Add(two, 1);
    b.Add(three, 3);
    EXPECT_EQ(b.TotalSize(), 6);
    EXPECT_EQ(b.ChunkCount(), 3);
    EXPECT_EQ(b.Chunk(3), std::string_view("\4\5\6", 3));
    b.Reset();
    for (int v = 1; v <= 6; ++v) EXPECT_EQ(b.NextByte(), v);
    EXPECT_EQ(b.ChunkIndex(), 3);
    EXPECT_THROW(b.NextByte(), EListError);
}

TEST(GifArrays, BitmapStreamSizeIsComputedIn64Bits) {
    EXPECT_EQ(GifBitmapStride(3), 4u);
    EXPECT_EQ(GifBitmapStride(8), 8u);
    EXPECT_EQ(GifBitmapStreamSize(3, 2), 1086u);
    EXPECT_EQ(GifBitmapStride(65535), 65536u);
    EXPECT_EQ(GifBitmapStreamSize(65535, 32767), 1078u + 65536u * 32767u);
    EXPECT_EQ(MessageOf<ENotEnoughMemory>([] { GifBitmapStreamSize(65535, 32768); }),
              "error in TBigByteArray.create: Not enough contiguous memory available\r\n"
              " requested memory block: 2147484726 bytes");
    EXPECT_THROW(GifBitmapStreamSize(65535, 65535), ENotEnoughMemory);
}
