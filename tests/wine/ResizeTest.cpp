// Resize at zoom in process: the new size and its rounding, nearest-neighbour resampling,
// the install steps, zoom 0, and a bitmap too large to make.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "RangeTestSupport.h"
#include "framework/win/Handles.h"

using namespace kaptor;
using namespace kaptor::testing;

namespace {

// 0x00RRGGBB of pixel (x, y) of a 32-bit picture.
std::uint32_t At(const Dib& d, int x, int y) { return reinterpret_cast<const std::uint32_t*>(d.Row(y))[x] & 0xFFFFFF; }

std::uint32_t PatternRgb(int x, int y) {
    const COLORREF c = PatternColor(x, y);
    return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
}

Dib Current(TMainWindow& form) { return form.View().Shown().Picture().Bitmap().ToDib(); }

std::string Panel(TMainWindow& form, int i) { return form.StatusText(i); }

// Installs a pattern and sets the zoom box, as the user would before resizing.
TMainWindow& PatternAtZoom(int w, int h, int zoom) {
    TMainWindow& form = WithPattern(w, h);
    form.View().ChooseZoom(zoom);
    return form;
}

}  // namespace

TEST(Resize, HalfOfAScreenPictureKeepsOneOfEveryFourPixelsUnblended) {
    TMainWindow& form = PatternAtZoom(1280, 1024, 50);
    form.ShowStatus(2, "範囲 : 1 x 1");
    form.Execute(TCommandId::Resize);
    EXPECT_TRUE(TakeMessages().empty());
    EXPECT_EQ(form.View().NaturalSize().cx, 640);
    EXPECT_EQ(form.View().NaturalSize().cy, 512);
    EXPECT_EQ(form.View().Shown().Width(), 640);
    EXPECT_EQ(form.View().Shown().Height(), 512);
    EXPECT_EQ(form.View().ZoomBoxValue(), 100);
    EXPECT_EQ(Panel(form, 0), "ｻｲｽﾞ : 640 x 512");
    EXPECT_EQ(Panel(form, 2), "");
    EXPECT_TRUE(form.Enabled(TCommandId::EnterRange, TPlace::MenuBar));
    EXPECT_TRUE(form.View().ZoomBoxEnabled());
    EXPECT_TRUE(form.Enabled(TCommandId::Resize, TPlace::ToolBar));
    EXPECT_NE(form.View().Shown().PopupMenu(), nullptr);

    const Dib d = Current(form);
    ASSERT_EQ(d.Width, 640);
    ASSERT_EQ(d.Height, 512);
    // Nearest neighbour: every pixel is one of the four it stands for, never a mixture.
    int mixed = 0;
    for (int y = 0; y < 512; ++y)
        for (int x = 0; x < 640; ++x) {
            const std::uint32_t p = At(d, x, y);
            bool found = false;
            for (int dy = 0; dy < 2 && !found; ++dy)
                for (int dx = 0; dx < 2 && !found; ++dx) found = p == PatternRgb(2 * x + dx, 2 * y + dy);
            if (!found) ++mixed;
        }
    EXPECT_EQ(mixed, 0);
    // The clean copy is the new picture, independent of it.
    ASSERT_NE(form.View().CleanCopy().Picture().Graphic(), form.View().Shown().Picture().Graphic());
    EXPECT_EQ(form.View().CleanCopy().Picture().Bitmap().ToDib().Bits, d.Bits);
}

TEST(Resize, SidesRoundHalvesUp) {
    struct Case {
        int w, h, zoom, ew, eh;
    };
    for (Case c : {Case{333, 333, 50, 167, 167}, Case{101, 3, 50, 51, 2}, Case{640, 480, 33, 211, 158},
                   Case{100, 150, 1, 1, 2}, Case{300, 200, 299, 897, 598}}) {
        SCOPED_TRACE(::testing::Message() << c.w << "x" << c.h << " at " << c.zoom);
        TMainWindow& form = PatternAtZoom(c.w, c.h, c.zoom);
        form.Execute(TCommandId::Resize);
        EXPECT_EQ(form.View().NaturalSize().cx, c.ew);
        EXPECT_EQ(form.View().NaturalSize().cy, c.eh);
        EXPECT_EQ(form.View().Shown().Picture().Width(), c.ew);
        EXPECT_EQ(form.View().Shown().Picture().Height(), c.eh);
        EXPECT_EQ(form.View().Shown().Width(), c.ew);
        EXPECT_EQ(form.View().Shown().Height(), c.eh);
        EXPECT_EQ(Panel(form, 0), "ｻｲｽﾞ : " + std::to_string(c.ew) + " x " + std::to_string(c.eh));
    }
}

TEST(Resize, AtOneHundredEveryPixelStays) {
    TMainWindow& form = PatternAtZoom(301, 207, 100);
    const Dib before = Current(form);
    form.Execute(TCommandId::Resize);
    const Dib after = Current(form);
    EXPECT_EQ(after.Width, 301);
    EXPECT_EQ(after.Height, 207);
    int changed = 0;
    for (int y = 0; y < 207; ++y)
        for (int x = 0; x < 301; ++x) changed += At(after, x, y) != At(before, x, y);
    EXPECT_EQ(changed, 0);
}

TEST(Resize, EnlargingRepeatsPixels) {
    TMainWindow& form = PatternAtZoom(40, 30, 300);
    form.Execute(TCommandId::Resize);
    const Dib d = Current(form);
    ASSERT_EQ(d.Width, 120);
    ASSERT_EQ(d.Height, 90);
    int wrong = 0;
    for (int y = 0; y < 90; ++y)
        for (int x = 0; x < 120; ++x) wrong += At(d, x, y) != PatternRgb(x / 3, y / 3);
    EXPECT_EQ(wrong, 0);
}

TEST(Resize, HalfThenDoubleDoesNotGiveTheFirstPictureBack) {
    TMainWindow& form = PatternAtZoom(64, 48, 50);
    const Dib first = Current(form);
    form.Execute(TCommandId::Resize);
    const Dib half = Current(form);
    form.View().ChooseZoom(200);
    form.Execute(TCommandId::Resize);
    const Dib twice = Current(form);
    ASSERT_EQ(twice.Width, 64);
    ASSERT_EQ(twice.Height, 48);
    EXPECT_NE(twice.Bits, first.Bits);
    // The second resize worked from the halved picture: each of its pixels now fills 2 x 2.
    int wrong = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) wrong += At(twice, x, y) != At(half, x / 2, y / 2);
    EXPECT_EQ(wrong, 0);
}

TEST(Resize, AtZeroTheCaptureIsKept) {
    for (int zoom : {0, 1}) {  // 1 % of 40 x 30 would be 0 x 0 as well
        SCOPED_TRACE(zoom);
        TMainWindow& form = PatternAtZoom(40, 30, 100);
        form.View().ChooseZoom(zoom);
        const Dib before = Current(form);
        const std::string size = Panel(form, 0);
        form.Execute(TCommandId::Resize);
        EXPECT_TRUE(TakeMessages().empty());
        EXPECT_EQ(Current(form).Bits, before.Bits);
        EXPECT_EQ(form.View().Shown().Picture().Width(), 40);
        EXPECT_EQ(form.View().CleanCopy().Picture().Width(), 40);
        EXPECT_EQ(form.View().NaturalSize().cx, 40);
        EXPECT_EQ(form.View().NaturalSize().cy, 30);
        EXPECT_EQ(form.View().ZoomBoxValue(), zoom);
        EXPECT_EQ(Panel(form, 0), size);
    }
}

TEST(Resize, ThreeHundredPercentOfALargePictureWorksOrSaysWhy) {
    TMainWindow& form = PatternAtZoom(1600, 1200, 300);
    const Dib before = Current(form);
    form.Execute(TCommandId::Resize);
    const auto messages = TakeMessages();
    if (messages.empty()) {
        EXPECT_EQ(form.View().Shown().Picture().Width(), 4800);
        EXPECT_EQ(form.View().Shown().Picture().Height(), 3600);
        EXPECT_EQ(Panel(form, 0), "ｻｲｽﾞ : 4800 x 3600");
        EXPECT_EQ(form.View().ZoomBoxValue(), 100);
        const Dib d = Current(form);
        EXPECT_EQ(At(d, 4799, 3599), PatternRgb(1599, 1199));
        EXPECT_EQ(At(d, 3 * 700 + 2, 3 * 500 + 1), PatternRgb(700, 500));
    } else {
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].rfind("例外ｴﾗｰ！：［", 0), 0u) << messages[0];
        EXPECT_EQ(Current(form).Bits, before.Bits);
        EXPECT_EQ(form.View().NaturalSize().cx, 1600);
    }
    WithPattern(10, 10);  // give the memory back before the next test
}

TEST(Resize, ABitmapTooLargeToMakeShowsTheErrorAndChangesNothing) {
    TMainWindow& form = PatternAtZoom(50, 40, 300);
    // Stands for a picture whose resampled size the system cannot hold (about 58 GB).
    form.View().OverrideNaturalSize(SIZE{40000, 40000});
    const Dib before = Current(form);
    const std::string size = Panel(form, 0);
    const long gdi = OwnedGdiHandles();
    form.Execute(TCommandId::Resize);
    const auto messages = TakeMessages();
    ASSERT_EQ(messages.size(), 1u);
    const std::string& m = messages[0];
    EXPECT_EQ(m.rfind("例外ｴﾗｰ！：［", 0), 0u) << m;
    ASSERT_GE(m.size(), std::string("例外ｴﾗｰ！：［］").size() + 1) << "the error's own text is shown";
    EXPECT_EQ(m.substr(m.size() - std::string("］").size()), "］");
    EXPECT_EQ(Current(form).Bits, before.Bits);
    EXPECT_EQ(form.View().NaturalSize().cx, 40000);  // nothing after the failed step was done
    EXPECT_EQ(form.View().Shown().Width(), 150);
    EXPECT_EQ(form.View().ZoomBoxValue(), 300);
    EXPECT_EQ(Panel(form, 0), size);
    EXPECT_EQ(OwnedGdiHandles(), gdi);
    form.View().OverrideNaturalSize(SIZE{50, 40});
}

TEST(Resize, RepeatedResizesLeakNoHandles) {
    TMainWindow& form = PatternAtZoom(200, 100, 100);
    // The same round twice, each ending at 200 x 100: the second must end with the handles
    // the first ended with.
    auto round = [&] {
        for (int zoom : {50, 200, 0, 100, 200, 50}) {
            form.View().ChooseZoom(zoom);
            form.Execute(TCommandId::Resize);
            Pump(1);
        }
        Pump();
    };
    round();
    EXPECT_EQ(form.View().NaturalSize().cx, 200);
    const long gdi = OwnedGdiHandles(), user = OwnedUserHandles();
    round();
    EXPECT_EQ(form.View().NaturalSize().cx, 200);
    EXPECT_EQ(OwnedGdiHandles(), gdi);
    EXPECT_EQ(OwnedUserHandles(), user);
}

TEST(Resize, ReachedByButtonMenuAndCtrlR) {
    TMainWindow& form = PatternAtZoom(100, 80, 50);
    form.Click(TCommandId::Resize, TPlace::ToolBar);
    EXPECT_EQ(form.View().NaturalSize().cx, 50);
    form.View().ChooseZoom(50);
    form.Click(TCommandId::Resize, TPlace::MenuBar);
    EXPECT_EQ(form.View().NaturalSize().cx, 25);
    form.View().ChooseZoom(200);
    EXPECT_TRUE(form.Menu()->IsShortCut('R', ssCtrl));
    EXPECT_EQ(form.View().NaturalSize().cx, 50);
    // In range mode the command is off, so Ctrl+R does nothing.
    form.View().ChooseZoom(50);
    form.Execute(TCommandId::EnterRange);
    EXPECT_FALSE(form.Menu()->IsShortCut('R', ssCtrl));
    EXPECT_EQ(form.View().NaturalSize().cx, 50);
    form.Execute(TCommandId::LeaveRange);
}
