// TBitmap over DIB sections: formats kept, copies independent, sizes refused before they
// are allocated, clipboard forms, and no handle left behind.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <vector>

#include "GraphicsTestSupport.h"
#include "framework/base/Classes.h"
#include "framework/imaging/BmpCodec.h"
#include "framework/imaging/PngCodec.h"
#include "framework/win/Bitmap.h"
#include "framework/win/Picture.h"
#include "framework/win/PngImage.h"

using namespace kaptor;
using namespace kaptor::testing;

namespace {

Dib RandomDib(int w, int h, int bits, unsigned seed) {
    Dib d = Dib::Make(w, h, static_cast<std::uint16_t>(bits));
    std::mt19937 rng(seed);
    for (auto& byte : d.Bits) byte = static_cast<std::uint8_t>(rng());
    if (bits <= 8) {
        d.Palette.resize(std::size_t{1} << bits);
        for (auto& q : d.Palette) q = RgbQuad{static_cast<std::uint8_t>(rng()), static_cast<std::uint8_t>(rng()),
                                              static_cast<std::uint8_t>(rng()), 0};
    }
    return d;
}

TEST(Bitmap, NewBitmapIs32BitsAndEmptyUntilSized) {
    TBitmap b;
    EXPECT_TRUE(b.Empty());
    EXPECT_EQ(b.Handle(), nullptr);
    b.SetSize(30, 20);
    EXPECT_FALSE(b.Empty());
    EXPECT_EQ(b.BitCount(), 32);
    EXPECT_EQ(b.PixelFormat(), pf32bit);
    EXPECT_EQ(b.Palette(), nullptr);
    BITMAP bm{};
    ASSERT_NE(GetObject(b.Handle(), sizeof bm, &bm), 0);
    EXPECT_EQ(bm.bmWidth, 30);
    EXPECT_EQ(bm.bmHeight, 20);
    EXPECT_EQ(bm.bmBitsPixel, 32);
}

TEST(Bitmap, DibRoundTripKeepsEveryFormat) {
    for (int bits : {1, 4, 8, 16, 24, 32}) {
        SCOPED_TRACE(bits);
        Dib d = RandomDib(37, 11, bits, static_cast<unsigned>(bits));
        if (bits == 16) {
            d.RedMask = 0xF800;
            d.GreenMask = 0x07E0;
            d.BlueMask = 0x001F;
        }
        d.XPelsPerMeter = 3780;
        TBitmap b;
        b.LoadFromDib(d);
        EXPECT_EQ(b.BitCount(), bits);
        EXPECT_EQ(b.ToDib(), d);
    }
}

TEST(Bitmap, DamagedDibIsRefusedAndNothingChanges) {
    TBitmap b(5, 5);
    FillRandom(b, 1);
    const Dib before = b.ToDib();
    Dib d = RandomDib(8, 8, 24, 2);
    d.Bits.pop_back();
    EXPECT_THROW(b.LoadFromDib(d), EInvalidGraphic);
    d = RandomDib(8, 8, 8, 3);
    d.Palette.resize(257);
    EXPECT_THROW(b.LoadFromDib(d), EInvalidGraphic);
    EXPECT_EQ(b.ToDib(), before);
}

TEST(Bitmap, AssignMakesAnIndependentCopy) {
    for (TPixelFormat pf : {pf8bit, pf24bit, pf32bit}) {
        TBitmap a(50, 40, pf);
        FillRandom(a, 5);
        TBitmap b;
        b.Assign(a);
        EXPECT_EQ(b.ToDib(), a.ToDib());
        EXPECT_NE(b.Handle(), a.Handle());
        const Dib copy = b.ToDib();
        a.Canvas().Brush.Color = clWhite;
        a.Canvas().FillRect(RECT{0, 0, 50, 40});
        a.SetSize(10, 10);
        EXPECT_EQ(b.ToDib(), copy);
        // And the other way round.
        const Dib small = a.ToDib();
        b.Canvas().Pen.Color = clRed;
        b.Canvas().MoveTo(0, 0);
        b.Canvas().LineTo(40, 30);
        EXPECT_EQ(a.ToDib(), small);
        EXPECT_NE(b.ToDib(), copy);
    }
    TBitmap empty, target(5, 5);
    target.Assign(empty);
    EXPECT_TRUE(target.Empty());
    target.Assign(static_cast<const TGraphic*>(nullptr));
    EXPECT_TRUE(target.Empty());
}

TEST(Bitmap, SetSizeKeepsWhatFitsAndFillsTheRestWithTheBrush) {
    TBitmap b(20, 10);
    FillRandom(b, 9);
    const COLORREF corner = Px(b, 19, 9), origin = Px(b, 0, 0);
    b.SetSize(30, 15);
    EXPECT_EQ(Px(b, 0, 0), origin);
    EXPECT_EQ(Px(b, 19, 9), corner);
    EXPECT_EQ(Px(b, 20, 9), clWhite);
    EXPECT_EQ(Px(b, 29, 14), clWhite);
    b.SetWidth(5);
    EXPECT_EQ(b.Width(), 5);
    EXPECT_EQ(b.Height(), 15);
    EXPECT_EQ(Px(b, 0, 0), origin);
    b.SetSize(0, 0);
    EXPECT_TRUE(b.Empty());
}

TEST(Bitmap, SetSizeKeepsAnEightBitFormatAndItsColours) {
    Dib d = RandomDib(16, 16, 8, 4);
    TBitmap b;
    b.LoadFromDib(d);
    b.SetSize(20, 20);
    EXPECT_EQ(b.BitCount(), 8);
    EXPECT_EQ(b.Colors(), d.Palette);
    const Dib now = b.ToDib();
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) ASSERT_EQ(now.Row(y)[x], d.Row(y)[x]);
}

TEST(Bitmap, PaletteComesFromTheColourTable) {
    Dib d = RandomDib(4, 4, 8, 6);
    TBitmap b;
    b.LoadFromDib(d);
    HPALETTE pal = b.Palette();
    ASSERT_NE(pal, nullptr);
    PALETTEENTRY entries[256];
    ASSERT_EQ(GetPaletteEntries(pal, 0, 256, entries), 256u);
    EXPECT_EQ(entries[200].peRed, d.Palette[200].Red);
    EXPECT_EQ(entries[200].peBlue, d.Palette[200].Blue);
    EXPECT_EQ(b.Palette(), pal);  // kept, not made again
    b.SetPixelFormat(pf24bit);
    EXPECT_EQ(b.Palette(), nullptr);
}

TEST(Bitmap, PixelFormatConversionKeepsPureColours) {
    TBitmap b(8, 1);
    const TColor colours[] = {clBlack, clWhite, clRed, clLime, clBlue, clYellow, clAqua, clFuchsia};
    for (int x = 0; x < 8; ++x) b.Canvas().SetPixels(x, 0, colours[x]);
    b.SetPixelFormat(pf8bit);
    EXPECT_EQ(b.BitCount(), 8);
    for (int x = 0; x < 8; ++x) EXPECT_EQ(Px(b, x, 0), colours[x]) << x;
    b.SetPixelFormat(pf24bit);
    for (int x = 0; x < 8; ++x) EXPECT_EQ(Px(b, x, 0), colours[x]) << x;
    b.SetPixelFormat(pf1bit);
    EXPECT_EQ(Px(b, 0, 0), clBlack);
    EXPECT_EQ(Px(b, 1, 0), clWhite);
}

class BmpRoundTrip : public ::testing::TestWithParam<int> {};

TEST_P(BmpRoundTrip, ThroughStreamAndThroughPictureFile) {
    const Dib d = RandomDib(33, 17, GetParam(), 8);
    TBitmap b;
    b.LoadFromDib(d);
    TMemoryStream stream;
    b.SaveToStream(stream);
    EXPECT_EQ(ReadBmp(stream.Memory()), d);  // a real BMP file in the picture's own format
    stream.SetPosition(0);
    TBitmap back;
    back.LoadFromStream(stream);
    EXPECT_EQ(back.ToDib(), d);

    TempDir dir;
    const std::string file = dir / "shot.BMP";
    b.SaveToFile(file);
    TPicture picture;
    picture.LoadFromFile(file);
    ASSERT_NE(picture.Graphic(), nullptr);
    EXPECT_STREQ(picture.Graphic()->ClassName(), "TBitmap");
    EXPECT_EQ(picture.Bitmap().ToDib(), d);
    TBitmap converted;
    converted.Assign(picture.Graphic());
    EXPECT_EQ(converted.ToDib(), d);
}

INSTANTIATE_TEST_SUITE_P(Depths, BmpRoundTrip, ::testing::Values(8, 24));

TEST(Bitmap, APictureOfTheSameSizeShowsNothingOfTheOneBefore) {
    // Large enough for the section let go of to be kept and taken again; 333 pixels of 24
    // bits leave one byte of padding in each row, 332 none.
    for (const int width : {333, 332}) {
        SCOPED_TRACE(width);
        const Dib before = RandomDib(width, 300, 24, 5);
        Dib next = RandomDib(width, 300, 24, 6);
        const std::size_t used = static_cast<std::size_t>(width) * 3, stride = next.Stride();
        for (int y = 0; y < next.Height; ++y) std::fill(next.Row(y) + used, next.Row(y) + stride, 0);
        auto overwritten = [&] { TBitmap(before.Width, before.Height).LoadFromDib(before); };

        overwritten();
        TMemoryStream png;
        EncodePng(next, png);
        png.SetPosition(0);
        TPNGImage decoded;
        decoded.LoadFromStream(png);
        EXPECT_EQ(decoded.Bitmap().ToDib(), next);  // the padding too: it reaches BMP files

        // A file without the last row's last three bytes: they read as zero, not as what the
        // section held.
        overwritten();
        TMemoryStream bmp;
        WriteBmp(next, bmp);
        bmp.Memory().resize(bmp.Memory().size() - 3);
        bmp.SetPosition(0);
        TBitmap read;
        read.LoadFromStream(bmp);
        Dib shortened = next;
        std::fill_n(shortened.Row(0) + stride - 3, 3, 0);
        EXPECT_EQ(read.ToDib(), shortened);

        // A capture's new section, which it may not fill everywhere: all zero.
        overwritten();
        TBitmap fresh;
        fresh.SetPixelFormat(pf24bit);
        fresh.Reallocate(width, 300);
        const Dib zeroed = fresh.ToDib();
        EXPECT_EQ(std::count(zeroed.Bits.begin(), zeroed.Bits.end(), 0), static_cast<long>(zeroed.Bits.size()));
    }
}

TEST(Bitmap, ThirtyTwoBitFilesHaveNoStrayAlpha) {
    // A capture with the cursor drawn in: GDI writes alpha only where the icon went.
    TBitmap b(40, 40);
    FillColor(b, clGray);
    TIcon icon;
    icon.SetHandle(CopyIcon(LoadIcon(nullptr, IDI_WARNING)));
    b.Canvas().Draw(4, 4, icon);
    TMemoryStream s;
    b.SaveToStream(s);
    const Dib d = ReadBmp(s.Memory());
    ASSERT_EQ(d.BitCount, 32);
    for (std::size_t i = 3; i < d.Bits.size(); i += 4) ASSERT_EQ(d.Bits[i], 0) << i;
    EXPECT_EQ(d.Row(0)[0], GetBValue(clGray));
}

TEST(Bitmap, EmptyBitmapCannotBeWrittenAsAFile) {
    TBitmap b;
    TMemoryStream stream;
    try {
        b.SaveToStream(stream);
        FAIL() << "no error";
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message, "ﾋﾞｯﾄﾏｯﾌﾟｲﾒｰｼﾞが不正です");
    }
}

TEST(Bitmap, TooLargeRaisesOutOfMemoryAndKeepsThePicture) {
    TBitmap b(30, 20);
    FillRandom(b, 12);
    const Dib before = b.ToDib();
    // Representable, but no 32-bit process has 1.9 GB in one piece: CreateDIBSection fails (a
    // 64-bit build, made where the machine runs no 32-bit code, gets it).
    constexpr bool narrow = sizeof(void*) == 4;
    // A failed allocation first lets go of the section kept for the next picture, if any.
    if (narrow) {
        EXPECT_THROW(b.SetSize(22000, 22000), EOutOfMemory);
    }
    const long owned = OwnedGdiHandles();
    // Past what a 32-bit process can address: refused by arithmetic, before any allocation.
    EXPECT_THROW(b.SetSize(100000, 100000), EOutOfMemory);
    EXPECT_THROW(b.SetSize(0x7FFFFFFF, 2), EOutOfMemory);
    if (narrow) {
        EXPECT_THROW(b.SetSize(22000, 22000), EOutOfMemory);
    }
    EXPECT_EQ(b.Width(), 30);
    EXPECT_EQ(b.ToDib(), before);
    EXPECT_EQ(OwnedGdiHandles(), owned);
    try {
        TBitmap huge(60000, 60000);
        FAIL() << "no error";
    } catch (const EOutOfMemory& e) {
        EXPECT_EQ(e.Message, "メモリが不足しています");
    }
}

TEST(Bitmap, HandleCanBeSelectedElsewhereAfterDrawing) {
    TBitmap b(10, 10);
    FillColor(b, clWhite);
    b.Canvas().SetPixels(3, 4, clRed);
    UniqueMemDC dc(CreateCompatibleDC(nullptr));
    {
        ScopedSelect select(dc.get(), b.Handle());
        EXPECT_EQ(GetPixel(dc.get(), 3, 4), clRed);
        EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_BITMAP), b.Handle());
    }
    // The canvas takes it back for the next drawing.
    b.Canvas().SetPixels(5, 5, clBlue);
    EXPECT_EQ(Px(b, 5, 5), clBlue);
    EXPECT_EQ(Px(b, 3, 4), clRed);
}

TEST(Bitmap, ClipboardFormsCarryThePixelsAndThePalette) {
    TBitmap b(40, 30);
    FillRandom(b, 21);
    TClipboardBitmap out = b.SaveToClipboardFormat();
    ASSERT_TRUE(out.Bitmap);
    EXPECT_FALSE(out.Palette);  // 32 bits: no palette
    DIBSECTION ds{};
    EXPECT_NE(GetObject(out.Bitmap.get(), sizeof ds, &ds), static_cast<int>(sizeof ds));  // device-dependent

    TBitmap back;
    back.LoadFromClipboardFormat(out.Bitmap.get());
    EXPECT_EQ(back.Width(), 40);
    EXPECT_EQ(back.Height(), 30);
    for (int y = 0; y < 30; y += 3)
        for (int x = 0; x < 40; x += 3) ASSERT_EQ(Px(back, x, y), Px(b, x, y)) << x << "," << y;

    TBitmap indexed;
    indexed.LoadFromDib(RandomDib(8, 8, 8, 22));
    TClipboardBitmap withPalette = indexed.SaveToClipboardFormat();
    ASSERT_TRUE(withPalette.Palette);
    PALETTEENTRY e{};
    ASSERT_EQ(GetPaletteEntries(withPalette.Palette.get(), 7, 1, &e), 1u);
    EXPECT_EQ(e.peGreen, indexed.Colors()[7].Green);
    EXPECT_NE(withPalette.Palette.get(), indexed.Palette());  // a copy the clipboard may keep

    TBitmap none;
    EXPECT_FALSE(none.SaveToClipboardFormat().Bitmap);
}

// The real clipboard takes both forms and gives the bitmap back.
TEST(Bitmap, ClipboardFormsGoThroughTheSystemClipboard) {
    struct Window {
        HWND h = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        ~Window() { DestroyWindow(h); }
    } owner;
    ASSERT_NE(owner.h, nullptr);
    TBitmap picture;
    picture.LoadFromDib(RandomDib(30, 20, 8, 23));

    ASSERT_TRUE(OpenClipboard(owner.h));
    EmptyClipboard();
    TClipboardBitmap out = picture.SaveToClipboardFormat();
    if (SetClipboardData(CF_BITMAP, out.Bitmap.get())) out.Bitmap.release();
    if (SetClipboardData(CF_PALETTE, out.Palette.get())) out.Palette.release();
    CloseClipboard();
    EXPECT_FALSE(out.Bitmap);  // the clipboard took both
    EXPECT_FALSE(out.Palette);

    ASSERT_TRUE(OpenClipboard(owner.h));
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_PALETTE));
    HBITMAP onClipboard = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP));
    TBitmap pasted;
    if (onClipboard) pasted.LoadFromClipboardFormat(onClipboard);
    CloseClipboard();
    ASSERT_EQ(pasted.Width(), 30);
    ASSERT_EQ(pasted.Height(), 20);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x) ASSERT_EQ(Px(pasted, x, y), Px(picture, x, y)) << x << "," << y;
}

TEST(Bitmap, StretchDibScalesEveryPixelFormatOntoADc) {
    for (int bits : {8, 24, 32}) {
        SCOPED_TRACE(bits);
        const Dib d = RandomDib(20, 10, bits, 40u + static_cast<unsigned>(bits));
        TBitmap source;
        source.LoadFromDib(d);
        TBitmap page(40, 20);
        StretchDib(page.Canvas().Handle(), RECT{0, 0, 40, 20}, d);
        page.Modified();
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 20; ++x) {
                const COLORREF want = Px(source, x, y);
                ASSERT_EQ(Px(page, 2 * x, 2 * y), want) << x << "," << y;
                ASSERT_EQ(Px(page, 2 * x + 1, 2 * y + 1), want) << x << "," << y;
            }
    }
    TBitmap page(4, 4);
    Dib broken = RandomDib(4, 4, 24, 1);
    broken.Bits.resize(3);
    EXPECT_THROW(StretchDib(page.Canvas().Handle(), RECT{0, 0, 4, 4}, broken), EInvalidGraphic);
}

TEST(Bitmap, ReleaseHandleGivesTheSectionAway) {
    TBitmap b(12, 12);
    FillColor(b, clRed);
    (void)b.Handle();  // lets go of the canvas and its DC: only the section is left
    const long owned = OwnedGdiHandles();
    UniqueBitmap taken(b.ReleaseHandle());  // the new owner
    ASSERT_TRUE(taken);
    EXPECT_TRUE(b.Empty());
    EXPECT_EQ(b.Handle(), nullptr);
    BITMAP bm{};
    EXPECT_NE(GetObject(taken.get(), sizeof bm, &bm), 0);
    EXPECT_EQ(bm.bmWidth, 12);
    EXPECT_EQ(OwnedGdiHandles(), owned);  // counted once, now by the new owner
}

TEST(Bitmap, ScanLineRefusesRowsOutside) {
    TBitmap b(3, 3);
    EXPECT_NO_THROW(b.ScanLine(2));
    EXPECT_THROW(b.ScanLine(3), EInvalidGraphicOperation);
    EXPECT_THROW(b.ScanLine(-1), EInvalidGraphicOperation);
}

// One round of what the program does to pictures, over and over: nothing may pile up.
TEST(Bitmap, NoHandleGrowthOverRepeatedUse) {
    auto round = [](int i) {
        TBitmap a(64, 48, i % 2 ? pf8bit : pf32bit);
        a.Canvas().Pen.Mode = pmXor;
        a.Canvas().Pen.Color = clWhite;
        a.Canvas().MoveTo(1, 1);
        a.Canvas().LineTo(60, 40);
        a.Canvas().Brush.Color = clRed;
        a.Canvas().FrameRect(RECT{2, 2, 30, 30});
        (void)a.Palette();
        TBitmap b;
        b.Assign(a);
        b.SetSize(80, 60);
        b.Canvas().StretchDraw(RECT{0, 0, 80, 60}, a);
        TPicture p;
        p.SetGraphic(&b);
        p.Bitmap().Canvas().Draw(3, 3, a);
        (void)b.Handle();
        TClipboardBitmap clip = b.SaveToClipboardFormat();
        TBitmap c;
        c.LoadFromClipboardFormat(clip.Bitmap.get(), clip.Palette.get());
        TIcon icon;
        icon.SetHandle(CopyIcon(LoadIcon(nullptr, IDI_APPLICATION)));
        c.Canvas().Draw(0, 0, icon);
        TMemoryStream s;
        c.SaveToStream(s);
    };
    // Windows and Wine make some things once, on first use (stock objects, colour caches):
    // one round of each pixel format first.
    round(0);
    round(1);
    const long gdi = OwnedGdiHandles(), user = OwnedUserHandles();
    const long gdiSlots = GdiSlotsReached(), userSlots = UserSlotsReached();
    for (int i = 2; i < 102; ++i) round(i);
    EXPECT_EQ(OwnedGdiHandles(), gdi);
    EXPECT_EQ(OwnedUserHandles(), user);
    const long gdiAfter = GdiSlotsReached();
    EXPECT_LE(gdiAfter, gdiSlots + 8);
    EXPECT_LE(UserSlotsReached(), userSlots + 8);
    // The measure does see handles that no guard counts.
    std::vector<UniqueRgn> held;
    for (int i = 0; i < 50; ++i) held.emplace_back(CreateRectRgn(0, 0, 1, 1));
    EXPECT_GE(GdiSlotsReached(), gdiAfter + 50);
}

}  // namespace
