// Range mode in process: corners, the frame, the band's inverting pen, the edge nudge and
// the range bitmap.
#include <gtest/gtest.h>

#include <memory>

#include "RangeTestSupport.h"
#include "view/PictureView.h"

using namespace kaptor;
using namespace kaptor::testing;

namespace {

struct LeaveRange {
    ~LeaveRange() {
        TMainWindow& form = MainWindow();
        if (form.Down(TCommandId::EnterRange)) form.Execute(TCommandId::LeaveRange);
    }
};

TEST(Range, CornersAreOrderedWhicheverWayTheBandWasDrawn) {
    LeaveRange leave;
    struct Case {
        int x1, y1, x2, y2;
    };
    // Down-right, up-left (both swapped), up-right (Y swapped), down-left (X swapped).
    for (Case c : {Case{100, 50, 300, 150}, Case{300, 150, 100, 50}, Case{100, 150, 300, 50}, Case{300, 50, 100, 150}}) {
        SCOPED_TRACE(::testing::Message() << c.x1 << "," << c.y1 << " -> " << c.x2 << "," << c.y2);
        TMainWindow& form = WithPattern(400, 300);
        Frame(form, c.x1, c.y1, c.x2, c.y2);
        EXPECT_TRUE(form.View().Marking().Fixed);
        EXPECT_FALSE(form.View().Marking().Dragging);
        EXPECT_EQ(form.View().Marking().Rect.left, 100);
        EXPECT_EQ(form.View().Marking().Rect.top, 50);
        EXPECT_EQ(form.View().Marking().Rect.right, 300);
        EXPECT_EQ(form.View().Marking().Rect.bottom, 150);
        EXPECT_EQ(form.StatusText(2), "範囲 : 200 x 100");
        // The frame covers columns 100..299 and rows 50..149 in the frame colour; nothing
        // else of the picture changed (the band was erased).
        const COLORREF frame = ColorToRGB(static_cast<COLORREF>(Settings.FrameColour));
        EXPECT_EQ(Pixel(form, 100, 50), frame);
        EXPECT_EQ(Pixel(form, 299, 149), frame);
        EXPECT_EQ(Pixel(form, 200, 50), frame);
        EXPECT_EQ(Pixel(form, 100, 100), frame);
        EXPECT_EQ(Pixel(form, 300, 150), PatternColor(300, 150));
        EXPECT_EQ(Pixel(form, 300, 100), PatternColor(300, 100));
        EXPECT_EQ(Pixel(form, 101, 51), PatternColor(101, 51));
        EXPECT_EQ(Pixel(form, 200, 151), PatternColor(200, 151));
        EXPECT_EQ(Pixel(form, 302, 150), PatternColor(302, 150));

        std::unique_ptr<TBitmap> cut(form.View().CutRange());
        ASSERT_EQ(cut->Width(), 200);
        ASSERT_EQ(cut->Height(), 100);
        for (int y = 0; y < 100; y += 9)
            for (int x = 0; x < 200; x += 7) ASSERT_EQ(cut->Canvas().Pixels(x, y), PatternColor(100 + x, 50 + y));
        EXPECT_EQ(cut->Canvas().Pixels(0, 0), PatternColor(100, 50));      // no frame pixel
        EXPECT_EQ(cut->Canvas().Pixels(199, 99), PatternColor(299, 149));  // in the cut
        form.View().DrawRangeFrame();
        EXPECT_EQ(Pixel(form, 100, 50), frame);
        form.Execute(TCommandId::LeaveRange);
        EXPECT_EQ(Pixel(form, 100, 50), PatternColor(100, 50));
    }
}

TEST(Range, SecondClickWithoutAMoveGivesTwoByZero) {
    LeaveRange leave;
    TMainWindow& form = WithPattern(200, 100);
    form.Execute(TCommandId::EnterRange);
    LeftDown(form, 10, 20);
    EXPECT_TRUE(form.View().Marking().Dragging);
    EXPECT_EQ(form.View().Marking().End.x, 12);
    EXPECT_EQ(form.View().Marking().End.y, 20);
    LeftDown(form, 50, 60);
    EXPECT_TRUE(form.View().Marking().Fixed);
    EXPECT_EQ(form.View().Marking().Rect.left, 10);
    EXPECT_EQ(form.View().Marking().Rect.right, 12);
    EXPECT_EQ(form.View().Marking().Rect.top, 20);
    EXPECT_EQ(form.View().Marking().Rect.bottom, 20);
    EXPECT_EQ(form.StatusText(2), "範囲 : 2 x 0");
    EXPECT_TRUE(form.View().RangeEmpty());
}

TEST(Range, BandDrawnTwiceRestoresEveryPixel) {
    LeaveRange leave;
    TMainWindow& form = WithPattern(320, 240);
    const Dib before = form.View().Shown().Picture().Bitmap().ToDib();
    struct Corners {
        POINT a, b;
    };
    for (Corners c : {Corners{{20, 30}, {300, 200}}, Corners{{300, 200}, {20, 30}}, Corners{{5, 100}, {250, 100}},
                      Corners{{40, 10}, {40, 230}}, Corners{{0, 0}, {319, 239}}, Corners{{-50, -20}, {400, 300}}}) {
        form.View().DrawBand(c.a, c.b);
        const Dib drawn = form.View().Shown().Picture().Bitmap().ToDib();
        // A band with area shows: its edges are inverted.
        if (c.a.x != c.b.x && c.a.y != c.b.y && c.a.x >= 0) {
            const COLORREF p = Pixel(form, c.a.x, (c.a.y + c.b.y) / 2);
            EXPECT_EQ(p, PatternColor(c.a.x, (c.a.y + c.b.y) / 2) ^ 0xFFFFFF);
            EXPECT_NE(drawn.Bits, before.Bits);
        }
        form.View().DrawBand(c.a, c.b);
        ASSERT_EQ(form.View().Shown().Picture().Bitmap().ToDib().Bits, before.Bits)
            << c.a.x << "," << c.a.y << " " << c.b.x << "," << c.b.y;
    }
}

TEST(Range, BandFollowsThePointerAndRightButtonLeavesItOpen) {
    LeaveRange leave;
    TMainWindow& form = WithPattern(300, 200);
    const Dib clean = form.View().Shown().Picture().Bitmap().ToDib();
    form.Execute(TCommandId::EnterRange);
    EXPECT_FALSE(form.View().ZoomBoxEnabled());
    EXPECT_FALSE(form.Enabled(TCommandId::Resize, TPlace::ToolBar));
    EXPECT_EQ(form.View().Shown().Cursor(), 1);
    LeftDown(form, 50, 40);
    Move(form, 120, 90);
    Move(form, 150, 110);
    EXPECT_EQ(form.StatusText(1), "X= 150,Y= 110");
    // Only the last band is on the picture: erasing the earlier ones left nothing behind.
    EXPECT_EQ(Pixel(form, 50, 100), PatternColor(50, 100) ^ 0xFFFFFF);
    EXPECT_EQ(Pixel(form, 120, 60), PatternColor(120, 60));
    form.View().MouseDown(TMouseButton::mbRight, 7, 8);
    EXPECT_TRUE(form.View().Marking().Dragging);
    EXPECT_EQ(form.StatusText(1), "X=   7,Y=   8");
    form.Execute(TCommandId::LeaveRange);
    EXPECT_FALSE(form.View().Marking().Dragging);
    EXPECT_TRUE(form.View().ZoomBoxEnabled());
    EXPECT_EQ(form.View().Shown().Cursor(), crDefault);
    EXPECT_EQ(form.View().Shown().Picture().Bitmap().ToDib().Bits, clean.Bits);
}

TEST(Range, FirstClickNearTheRightEdgeScrollsTheViewOnce) {
    LeaveRange leave;
    TMainWindow& form = WithPattern(2400, 1600);
    form.Execute(TCommandId::EnterRange);
    Pump();
    const int width = form.View().Area().ClientWidth();
    const int startH = form.View().Area().HorzPosition(), startV = form.View().Area().VertPosition();
    LeftDown(form, width - 3, 40);
    EXPECT_EQ(form.View().Marking().ViewSize.cx, width);
    Move(form, width - 1, 45);
    EXPECT_EQ(form.View().Area().HorzPosition(), startH + 8);
    EXPECT_EQ(form.View().Area().VertPosition(), startV);
    EXPECT_EQ(form.View().Marking().ScrollRef.x, 8);
    Move(form, width + 20, 50);
    EXPECT_EQ(form.View().Area().HorzPosition(), startH + 8);
    form.Execute(TCommandId::LeaveRange);
    form.View().Area().ScrollTo(0, 0);
}

}  // namespace
