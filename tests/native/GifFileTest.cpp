// The container: header, screen descriptor, colour tables, extension blocks and the block
// loop, including how it ends on short or odd input.
#include <gtest/gtest.h>

#include "GifTestSupport.h"

using namespace kaptor;
using namespace giftest;

namespace {

Bytes TinyImageData() {
    CodeWriter w(2);
    w.Put(w.Clear()).Put(1).Put(2).Put(w.End());
    return w.Finish();
}

const char* const VersionText = "Gif Version must be 87a or 89a";

}  // namespace

TEST(GifFile, OnlyTheVersionOfTheHeaderIsChecked) {
    for (const char* header : {"GIF89a", "XYZ87a", "GIF87A", "GIF89A"}) {
        auto gif = Load(GifBuilder(header).Screen(2, 1, 1, true).Image(2, 1, false, 0, 2, TinyImageData()).Trailer().bytes());
        EXPECT_EQ(gif->Images.Count(), 1) << header;
    }
    for (const char* header : {"GIF88a", "GIF8 9a", "BM6\x10\0\0"}) {
        const Bytes file = GifBuilder(std::string_view(header, 6)).Screen(2, 1, 1, true).Trailer().bytes();
        EXPECT_EQ(MessageOf<EGifException>([&] { Load(file); }), VersionText) << header;
    }
}

TEST(GifFile, AFileTooShortForAHeaderHasNoVersion) {
    EXPECT_EQ(MessageOf<EGifException>([] { Load({}); }), VersionText);
    EXPECT_EQ(MessageOf<EGifException>([] { Load({'G', 'I', 'F', '8', '9'}); }), VersionText);
}

TEST(GifFile, BusyHooksFramePassingAndFailingLoads) {
    for (bool good : {true, false}) {
        int begins = 0, ends = 0;
        TGifFile gif;
        gif.Hooks.BeginBusy = [&] { ++begins; };
        gif.Hooks.EndBusy = [&] {
            EXPECT_EQ(begins, 1);
            ++ends;
        };
        TMemoryStream s(GifBuilder(good ? "GIF89a" : "GIF88a").Screen(1, 1, 1, true).Trailer().bytes());
        if (good)
            gif.LoadFromStream(s);
        else
            EXPECT_THROW(gif.LoadFromStream(s), EGifException);
        EXPECT_EQ(begins, 1);
        EXPECT_EQ(ends, 1);
    }
}

TEST(GifFile, NewFilesTakeTheProcessWideHooks) {
    int rows = 0;
    GifLoadHooks().RowDecoded = [&](int, int) { ++rows; };
    auto gif = Load(GifBuilder().Screen(2, 1, 1, true).Image(2, 1, false, 0, 2, TinyImageData()).Trailer().bytes());
    GifLoadHooks().RowDecoded = nullptr;
    EXPECT_EQ(rows, 1);
}

TEST(GifFile, GlobalTableOfFourColoursLeavesTheOtherEntriesBlack) {
    auto gif = Load(GifBuilder().Screen(2, 1, 2, true).Image(2, 1, false, 0, 2, TinyImageData()).Trailer().bytes());
    EXPECT_TRUE(gif->HasGlobalColorTable);
    EXPECT_EQ(gif->BitsPerPixel, 2);
    EXPECT_EQ(gif->GlobalColorTable.Count, 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(gif->GlobalColorTable.Colors[static_cast<std::size_t>(i)],
                  (TGifColor{static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i), static_cast<std::uint8_t>(3 * i)}));
    for (int i = 4; i < 256; ++i) EXPECT_EQ(gif->GlobalColorTable.Colors[static_cast<std::size_t>(i)], TGifColor{}) << i;
    // The image has no table of its own; made with four colours, it has no preset either.
    const TGifSubImage& img = gif->Image(1);
    EXPECT_FALSE(img.HasLocalColorTable);
    for (const TGifColor& c : img.ColorTable.Colors) EXPECT_EQ(c, TGifColor{});
}

TEST(GifFile, LocalTableIsReadIntoTheImage) {
    const Bytes file = GifBuilder()
                           .Screen(2, 1, 2, true)
                           .Image(2, 1, false, 1, 2, TinyImageData())
                           .Image(2, 1, true, 3, 2, TinyImageData())
                           .Trailer()
                           .bytes();
    auto gif = Load(file);
    ASSERT_EQ(gif->Images.Count(), 2);
    const TGifSubImage& a = gif->Image(1);
    EXPECT_TRUE(a.HasLocalColorTable);
    EXPECT_FALSE(a.Interlaced);
    EXPECT_EQ(a.BitsPerPixel, 1);
    EXPECT_EQ(a.ColorTable.Count, 2);
    EXPECT_EQ(a.ColorTable.Colors[1], (TGifColor{3, 1, 200}));
    EXPECT_EQ(a.ColorTable.Colors[2], TGifColor{});
    const TGifSubImage& b = gif->Image(2);
    EXPECT_TRUE(b.Interlaced);
    EXPECT_EQ(b.ColorTable.Count, 8);
    EXPECT_EQ(b.ColorTable.Colors[7], (TGifColor{21, 7, 200}));
    EXPECT_EQ(b.Descriptor.PackedFields, 0xC2);
    // The global table is untouched by either.
    EXPECT_EQ(gif->GlobalColorTable.Colors[1], (TGifColor{1, 254, 3}));
    EXPECT_EQ(PixelsOf(b), (Bytes{1, 2}));
}

TEST(GifFile, WithoutTheGlobalFlagTheSizeBitsStillSetTheCount) {
    // No table bytes follow the screen descriptor; the image separator comes next.
    auto gif = Load(GifBuilder().Screen(2, 1, 3, false).Image(2, 1, false, 0, 2, TinyImageData()).Trailer().bytes());
    EXPECT_FALSE(gif->HasGlobalColorTable);
    EXPECT_EQ(gif->GlobalColorTable.Count, 8);
    EXPECT_EQ(gif->GlobalColorTable.Colors[1], (TGifColor{255, 255, 255}));  // the preset stays
    ASSERT_EQ(gif->Images.Count(), 1);
    EXPECT_EQ(PixelsOf(gif->Image(1)), (Bytes{1, 2}));
}

TEST(GifFile, ExtensionsBelongToTheImageThatFollows) {
    const Bytes file = GifBuilder()
                           .Screen(2, 1, 1, true)
                           .GraphicControl(10, 3)
                           .Image(2, 1, false, 0, 2, TinyImageData())
                           .GraphicControl(20, 4)
                           .Image(2, 1, false, 0, 2, TinyImageData())
                           .Comment({"dropped"})
                           .Trailer()
                           .bytes();
    auto gif = Load(file);
    ASSERT_EQ(gif->Images.Count(), 2);
    for (int i = 1; i <= 2; ++i) {
        const TExtensionList& ext = *gif->Image(i).Extensions;
        ASSERT_EQ(ext.Count(), 1);
        EXPECT_EQ(ext[0]->Kind, TExtensionKind::GraphicControl);
        EXPECT_EQ(ext[0]->GraphicControl.BlockSize, 4);
        EXPECT_EQ(ext[0]->GraphicControl.DelayTime, 10 * i);
        EXPECT_EQ(ext[0]->GraphicControl.TransparentColorIndex, 2 + i);
        EXPECT_EQ(ext[0]->Chunks, nullptr);
    }
}

TEST(GifFile, CommentApplicationAndPlainTextKeepTheirSubBlocks) {
    const Bytes file = GifBuilder()
                           .Screen(2, 1, 1, true)
                           .Comment({"one", std::string("t\0o", 3), "three"})
                           .Raw({0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 0, 0, 0})
                           .Raw({0x21, 0x01, 12, 1, 0, 2, 0, 30, 0, 40, 0, 8, 16, 1, 0, 2, 'h', 'i', 0})
                           .Image(2, 1, false, 0, 2, TinyImageData())
                           .Trailer()
                           .bytes();
    auto gif = Load(file);
    const TExtensionList& ext = *gif->Image(1).Extensions;
    ASSERT_EQ(ext.Count(), 3);
    EXPECT_EQ(ext[0]->Kind, TExtensionKind::Comment);
    ASSERT_EQ(ext[0]->Chunks->Count(), 3);
    EXPECT_EQ((*ext[0]->Chunks)[1], std::string("t\0o", 3));
    EXPECT_EQ((*ext[0]->Chunks)[2], "three");
    EXPECT_EQ(ext[1]->Kind, TExtensionKind::ApplicationBlock);
    EXPECT_EQ(std::string(ext[1]->Application.Identifier.data(), 8), "NETSCAPE");
    EXPECT_EQ(std::string(ext[1]->Application.AuthenticationCode.data(), 3), "2.0");
    ASSERT_EQ(ext[1]->Chunks->Count(), 1);
    EXPECT_EQ((*ext[1]->Chunks)[0], std::string("\1\0\0", 3));
    EXPECT_EQ(ext[2]->Kind, TExtensionKind::PlainText);
    EXPECT_EQ(ext[2]->PlainText.TextGridTop, 2);
    EXPECT_EQ(ext[2]->PlainText.TextGridHeight, 40);
    EXPECT_EQ(ext[2]->PlainText.TextBackgroundColorIndex, 0);
    EXPECT_EQ(ext[2]->PlainText.CellHeight, 16);
    ASSERT_EQ(ext[2]->Chunks->Count(), 1);
    EXPECT_EQ((*ext[2]->Chunks)[0], "hi");
    EXPECT_EQ(PixelsOf(gif->Image(1)), (Bytes{1, 2}));
}

TEST(GifFile, UnknownExtensionLabelIsNamedInHex) {
    const Bytes file = GifBuilder().Screen(2, 1, 1, true).Raw({0x21, 0x2A, 0}).Trailer().bytes();
    EXPECT_EQ(MessageOf<EGifException>([&] { Load(file); }), "Unrecognized extension block.\r\nCode = $2A");
    const Bytes file2 = GifBuilder().Screen(2, 1, 1, true).Raw({0x21, 0xF8, 0}).Trailer().bytes();
    EXPECT_EQ(MessageOf<EGifException>([&] { Load(file2); }), "Unrecognized extension block.\r\nCode = $F8");
}

TEST(GifFile, JunkWhereABlockShouldStartEndsReadingQuietly) {
    const Bytes file = GifBuilder()
                           .Screen(2, 1, 1, true)
                           .Image(2, 1, false, 0, 2, TinyImageData())
                           .Raw({0x00, 0x2C, 0x00})
                           .Image(2, 1, false, 0, 2, TinyImageData())
                           .Trailer()
                           .bytes();
    auto gif = Load(file);
    EXPECT_EQ(gif->Images.Count(), 1);
}

TEST(GifFile, StreamEndingEarlyKeepsWhatWasRead) {
    // Right after the global table: no image, no error.
    auto none = Load(GifBuilder().Screen(2, 1, 2, true).bytes());
    EXPECT_EQ(none->Images.Count(), 0);
    EXPECT_EQ(MessageOf<EListError>([&] { none->Image(1); }), Format(texts::ListIndexError, 0));
    // Inside an extension after one image, and without a trailer.
    const Bytes one = GifBuilder().Screen(2, 1, 1, true).Image(2, 1, false, 0, 2, TinyImageData()).bytes();
    EXPECT_EQ(Load(one)->Images.Count(), 1);
    Bytes cut = one;
    cut.insert(cut.end(), {0x21, 0xFE, 10, 'a', 'b'});
    EXPECT_EQ(Load(cut)->Images.Count(), 1);
    cut = one;
    cut.insert(cut.end(), {0x21});
    EXPECT_EQ(Load(cut)->Images.Count(), 1);
    // Inside the image data: the rows that arrived.
    Bytes partial = GifBuilder().Screen(4, 2, 1, true).Image(4, 2, false, 0, 2, LzwEncode({1, 1, 0, 1, 0, 0, 1, 1}, 2)).bytes();
    partial.resize(partial.size() - 3);
    auto p = Load(partial);
    ASSERT_EQ(p->Images.Count(), 1);
    EXPECT_EQ(p->Image(1).Pixels->Rows(), 2);
}

TEST(GifFile, ReadsFromTheStartOfTheStreamWhereverItStands) {
    TMemoryStream s(GifBuilder().Screen(2, 1, 1, true).Image(2, 1, false, 0, 2, TinyImageData()).Trailer().bytes());
    s.SetPosition(9);
    TGifFile gif;
    gif.LoadFromStream(s);
    EXPECT_EQ(gif.Images.Count(), 1);
    EXPECT_EQ(gif.ScreenDescriptor.ScreenWidth, 2);
}

TEST(GifFile, SubImageRefusesAColourCountThatIsNoPowerOfTwo) {
    for (int n : {0, 1, 3, 100, 512}) {
        EXPECT_EQ(MessageOf<EGifException>([&] { TGifSubImage(n, nullptr); }),
                  "Number of colors (" + std::to_string(n) + ") wrong; must be a power of 2");
    }
    TGifSubImage two(2, nullptr);
    EXPECT_EQ(two.BitsPerPixel, 1);
    EXPECT_EQ(two.CodeSize, 2);
    TGifSubImage many(256, nullptr);
    EXPECT_EQ(many.CodeSize, 8);
    EXPECT_EQ(many.ColorTable.Colors[200], (TGifColor{200, 200, 200}));
}
