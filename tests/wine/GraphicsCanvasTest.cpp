// The canvas on real GDI: the inverting rubber band, the one-pixel frame, copies and
// stretches, and what it reports as changed.
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "GraphicsTestSupport.h"
#include "TestApp.h"
#include "framework/win/Bitmap.h"
#include "framework/win/ExtCtrls.h"
#include "framework/win/Forms.h"
#include "framework/win/Graphics.h"
#include "framework/win/Picture.h"
#include "framework/win/Spin.h"
#include "view/PictureView.h"

using namespace kaptor;
using namespace kaptor::testing;

namespace {

// The picture view's own range band, drawn on b: a view on controls of its own shows b,
// draws the band and b takes the result back.
struct NoListener final : TPictureViewListener {
    void ShowStatus(int, const std::string&) override {}
    void RangeModeSwitched(bool) override {}
    void EnablePictureCommands() override {}
    void MarkupChanged() override {}
};
void DrawBand(TBitmap& b, POINT s, POINT e) {
    TestApp();
    TForm form(nullptr);
    auto* area = new TScrollBox(&form);
    auto* shown = new TImage(&form);
    auto* clean = new TImage(&form);
    auto* zoom = new TSpinEdit(&form);
    NoListener listener;
    TPictureView view(*shown, *clean, *zoom, *area, listener);
    shown->Picture().Bitmap().Assign(b);
    view.DrawBand(s, e);
    b.Assign(shown->Picture().Bitmap());
}

class XorBand : public ::testing::TestWithParam<TPixelFormat> {};

TEST_P(XorBand, DrawnTwiceRestoresEveryPixel) {
    TBitmap b(64, 48, GetParam());
    FillRandom(b, 7);
    const Dib before = b.ToDib();
    const COLORREF inside = Px(b, 30, 20), onEdge = Px(b, 5, 20);

    DrawBand(b, POINT{5, 7}, POINT{50, 40});
    const Dib banded = b.ToDib();
    EXPECT_NE(banded, before);
    EXPECT_NE(Px(b, 5, 20), onEdge);   // the left edge is inverted
    EXPECT_EQ(Px(b, 30, 20), inside);  // the inside is not touched
    if (GetParam() == pf32bit) {
        EXPECT_EQ(Px(b, 5, 20), (~onEdge) & 0xFFFFFF);
    }

    DrawBand(b, POINT{5, 7}, POINT{50, 40});
    EXPECT_EQ(b.ToDib(), before);
}

INSTANTIATE_TEST_SUITE_P(Formats, XorBand, ::testing::Values(pf8bit, pf24bit, pf32bit));

TEST(Canvas, BandOnOneRowIsInvisibleAndStartCornerIsKept) {
    TBitmap b(40, 30);
    FillRandom(b, 3);
    const Dib before = b.ToDib();
    // Both corners on one row: every pixel is covered twice.
    DrawBand(b, POINT{4, 10}, POINT{30, 10});
    EXPECT_EQ(b.ToDib(), before);
    // A real band: its start corner is covered twice and keeps its colour.
    const COLORREF corner = Px(b, 4, 10);
    DrawBand(b, POINT{4, 10}, POINT{30, 25});
    EXPECT_EQ(Px(b, 4, 10), corner);
}

TEST(Canvas, LineToLeavesOutItsEndPoint) {
    TBitmap b(20, 20);
    FillColor(b, clWhite);
    b.Canvas().Pen.Color = clBlack;
    b.Canvas().MoveTo(2, 5);
    b.Canvas().LineTo(12, 5);
    EXPECT_EQ(Px(b, 2, 5), clBlack);
    EXPECT_EQ(Px(b, 11, 5), clBlack);
    EXPECT_EQ(Px(b, 12, 5), clWhite);
    EXPECT_EQ(b.Canvas().PenPos().x, 12);
}

TEST(Canvas, FrameRectIsOnePixelInTheBrushColourRightAndBottomExclusive) {
    TBitmap b(60, 40);
    FillColor(b, clWhite);
    TCanvas& c = b.Canvas();
    c.Brush.Color = clRed;
    c.Brush.Style = bsSolid;
    const RECT r{10, 5, 50, 30};
    c.FrameRect(r);
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x) {
            const bool inX = x >= r.left && x < r.right, inY = y >= r.top && y < r.bottom;
            const bool edge = inX && inY && (x == r.left || x == r.right - 1 || y == r.top || y == r.bottom - 1);
            ASSERT_EQ(Px(b, x, y), edge ? clRed : clWhite) << x << "," << y;
        }
}

TEST(Canvas, FrameWithClearBrushDrawsNothing) {
    TBitmap b(20, 20);
    FillColor(b, clWhite);
    b.Canvas().Brush.Style = bsClear;
    b.Canvas().FrameRect(RECT{2, 2, 10, 10});
    EXPECT_EQ(Px(b, 2, 2), clWhite);
}

TEST(Canvas, CopyRectWithSourceCopyIsPixelExact) {
    TBitmap src(320, 200);
    FillRandom(src, 11);
    TBitmap range(200, 100);
    range.Canvas().CopyMode = cmSrcCopy;
    range.Canvas().CopyRect(RECT{0, 0, 200, 100}, src.Canvas(), RECT{100, 50, 300, 150});
    for (int y = 0; y < 100; y += 7)
        for (int x = 0; x < 200; x += 3) ASSERT_EQ(Px(range, x, y), Px(src, x + 100, y + 50)) << x << "," << y;
    EXPECT_EQ(Px(range, 199, 99), Px(src, 299, 149));
}

TEST(Canvas, StretchDrawPicksWholePixelsWithoutSmoothing) {
    // Columns alternately red and blue; halved, every pixel must be one of the two.
    TBitmap src(64, 8);
    for (int x = 0; x < 64; ++x) {
        src.Canvas().Brush.Color = x % 2 ? clBlue : clRed;
        src.Canvas().FillRect(RECT{x, 0, x + 1, 8});
    }
    TBitmap half(32, 4);
    half.Canvas().StretchDraw(RECT{0, 0, 32, 4}, src);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 32; ++x) {
            const COLORREF c = Px(half, x, y);
            ASSERT_TRUE(c == clRed || c == clBlue) << std::hex << c << " at " << std::dec << x << "," << y;
        }
    // At the same size the picture stays pixel for pixel the same.
    TBitmap same(64, 8);
    same.Canvas().StretchDraw(RECT{0, 0, 64, 8}, src);
    EXPECT_EQ(same.ToDib(), src.ToDib());
}

TEST(Canvas, PixelsAndSystemColours) {
    TBitmap b(4, 4);
    b.Canvas().SetPixels(1, 2, clGray);
    EXPECT_EQ(Px(b, 1, 2), clGray);
    EXPECT_EQ(b.Canvas().Pixels(10, 10), CLR_INVALID);
    EXPECT_EQ(ColorToRGB(clBtnFace), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(ColorToRGB(clRed), RGB(255, 0, 0));
    b.Canvas().Brush.Color = clBtnFace;
    b.Canvas().FillRect(RECT{0, 0, 4, 4});
    EXPECT_EQ(Px(b, 3, 3), GetSysColor(COLOR_BTNFACE));
}

TEST(Canvas, BorrowedDcGetsItsOwnObjectsBack) {
    UniqueMemDC dc(CreateCompatibleDC(nullptr));
    ASSERT_TRUE(dc);
    TBitmap target(10, 10);
    ScopedSelect select(dc.get(), target.Handle());
    const HGDIOBJ pen = GetCurrentObject(dc.get(), OBJ_PEN), brush = GetCurrentObject(dc.get(), OBJ_BRUSH);
    const long owned = OwnedGdiHandles();
    {
        TCanvas c(dc.get());
        c.Pen.Color = clRed;
        c.Brush.Color = clBlue;
        c.Rectangle(1, 1, 8, 8);
        EXPECT_NE(GetCurrentObject(dc.get(), OBJ_PEN), pen);
        EXPECT_EQ(GetPixel(dc.get(), 1, 1), clRed);
        EXPECT_EQ(GetPixel(dc.get(), 4, 4), clBlue);
    }
    EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_PEN), pen);
    EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_BRUSH), brush);
    EXPECT_EQ(OwnedGdiHandles(), owned);
}

// What the image control hears: a line reports a strip around it, not the picture.
TEST(Canvas, ChangesReportTheRectangleTouched) {
    TPicture picture;
    TBitmap& b = picture.Bitmap();
    b.SetSize(400, 300);
    std::vector<RECT> changes;
    int wholes = 0;
    picture.OnChange = [&](const RECT* r) {
        if (r)
            changes.push_back(*r);
        else
            ++wholes;
    };
    TCanvas& c = b.Canvas();
    c.MoveTo(100, 50);
    c.LineTo(100, 150);
    ASSERT_EQ(changes.size(), 1u);
    const RECT r = changes[0];
    EXPECT_LE(r.left, 100);
    EXPECT_GT(r.right, 100);
    EXPECT_LE(r.top, 50);
    EXPECT_GE(r.bottom, 150);
    EXPECT_LE(r.right - r.left, 5);  // a strip, not the picture
    EXPECT_LE(r.bottom - r.top, 110);

    changes.clear();
    c.Brush.Color = clRed;
    c.FrameRect(RECT{100, 50, 300, 150});
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].left, 100);
    EXPECT_EQ(changes[0].top, 50);
    EXPECT_EQ(changes[0].right, 300);
    EXPECT_EQ(changes[0].bottom, 150);

    changes.clear();
    c.MoveTo(390, 290);
    c.LineTo(500, 400);  // clipped to the picture
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_LE(changes[0].right, 400);
    EXPECT_LE(changes[0].bottom, 300);

    EXPECT_EQ(wholes, 0);
    b.SetSize(10, 10);
    EXPECT_EQ(wholes, 1);
}

}  // namespace
