// The capture sequence's copy step: a copy that fails keeps the previous picture and is
// reported as the command's rules say.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "TestApp.h"
#include "app/MainWindow.h"
#include "settings/Settings.h"
#include "capture/CapturePipeline.h"
#include "capture/Monitors.h"
#include "framework/win/Bitmap.h"

using namespace kaptor;
using namespace kaptor::testing;

TEST(CapturePipeline, AFailedCopyKeepsThePreviousPictureAndIsReportedAsTheRulesSay) {
    TMainWindow& m = MainWindow();
    const TSettings saved = Settings;
    Settings.ShowCursor = false;
    Settings.Wait = 0;
    Settings.HideForm = false;
    // The picture before it had its clean copy taken (as a range does); the one shown when
    // the capture fails never had: it is still what the failed capture goes back to.
    TBitmap older(40, 30);
    m.View().Install(older);
    ASSERT_EQ(m.View().CleanCopy().Picture().Width(), 40);
    TBitmap previous(40, 30);
    previous.Canvas().Brush.Color = clRed;
    previous.Canvas().FillRect(RECT{0, 0, 40, 30});
    m.View().Install(previous);
    HDC gone = CreateCompatibleDC(nullptr);
    ASSERT_TRUE(DeleteDC(gone));  // a source nothing can be copied from
    auto copyFromGone = [gone](TCapturePipeline& c) {
        c.CopyPicture(gone, SIZE{200, 100}, nullptr);
        return TCaptureOutcome::Taken();
    };
    auto previousShown = [&m] {
        TBitmap& b = m.View().Shown().Picture().Bitmap();
        return b.Width() == 40 && b.Height() == 30 && m.View().Shown().Width() == 40 && m.View().NaturalSize().cy == 30 &&
               GetPixel(b.Canvas().Handle(), 39, 29) == RGB(255, 0, 0) && m.View().CleanCopy().Picture().Width() == 40;
    };
    TakeMessages();

    TCapturePipeline wholeScreen(m.Captures(), WholeScreenRules);
    try {
        wholeScreen.Run(TCaptureStart::ByUser, copyFromGone);
        ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "画面をｺﾋﾟｰできません");
    }
    EXPECT_TRUE(previousShown());

    TCapturePipeline activeWindow(m.Captures(), ActiveWindowRules);
    EXPECT_NO_THROW(activeWindow.Run(TCaptureStart::ByUser, copyFromGone));
    EXPECT_EQ(TakeMessages(), std::vector<std::string>{"例外ｴﾗｰ！：［画面をｺﾋﾟｰできません］"});
    EXPECT_TRUE(previousShown());

    // The other outcomes: nothing copied, the message alone, the picture kept and the
    // capture commands free again.
    wholeScreen.Run(TCaptureStart::ByUser, [](TCapturePipeline&) { return TCaptureOutcome::Failed("ｳｨﾝﾄﾞｳが見つかりません"); });
    EXPECT_EQ(TakeMessages(), std::vector<std::string>{"ｳｨﾝﾄﾞｳが見つかりません"});
    int chosen = 0;
    wholeScreen.Run(TCaptureStart::ByUser, [&](TCapturePipeline&) {
        return TCaptureOutcome::ChooseAgain("ｳｨﾝﾄﾞｳの位置取得に失敗", [&] { return ++chosen > 0; });
    });
    EXPECT_EQ(TakeMessages(), std::vector<std::string>{"ｳｨﾝﾄﾞｳの位置取得に失敗"});
    EXPECT_EQ(chosen, 1);
    wholeScreen.Run(TCaptureStart::ByUser, [](TCapturePipeline&) { return TCaptureOutcome::Cancelled(); });
    EXPECT_TRUE(TakeMessages().empty());
    EXPECT_TRUE(previousShown());
    EXPECT_FALSE(m.Captures().Locked() || m.Captures().ActiveWindowLocked());

    // A quiet request (a script's): no message box, nobody asked to choose again; each
    // outcome and its message are told to the request, and no capture is under way after.
    using TEnd = TCaptureRequest::TEnd;
    TCaptureRequest quiet;
    quiet.quiet = true;
    const std::tuple<TCapturePipeline::TSource, TEnd, std::string> outcomes[] = {
        {[](TCapturePipeline&) { return TCaptureOutcome::NoWindow(); }, TEnd::NoWindow, "ｳｨﾝﾄﾞｳが見つかりません"},
        {[&](TCapturePipeline&) { return TCaptureOutcome::ChooseAgain("ｳｨﾝﾄﾞｳの位置取得に失敗", [&] { return ++chosen > 0; }); },
         TEnd::Failed, "ｳｨﾝﾄﾞｳの位置取得に失敗"},
        {[](TCapturePipeline&) { return TCaptureOutcome::Cancelled(); }, TEnd::Cancelled, ""},
        {copyFromGone, TEnd::Failed, "例外ｴﾗｰ！：［画面をｺﾋﾟｰできません］"}};
    for (const auto& [source, end, message] : outcomes) {
        quiet.end = TEnd::Running;
        quiet.message.clear();
        TCapturePipeline(m.Captures(), ActiveWindowRules, &quiet).Run(TCaptureStart::ByUser, source);
        EXPECT_EQ(quiet.end, end);
        EXPECT_EQ(quiet.message, message);
    }
    EXPECT_TRUE(TakeMessages().empty());
    EXPECT_EQ(chosen, 1);
    EXPECT_FALSE(m.Captures().Busy());
    EXPECT_TRUE(previousShown());
    Settings = saved;
}

// The primary monitor, a taller one left of it (negative coordinates), a small one above right.
TEST(MonitorLayout, BoundsNearestMonitorAndMaximisedSizeHoldForNegativeOrigins) {
    auto eq = [](RECT a, RECT b) { return EqualRect(&a, &b) != FALSE; };
    const RECT primary{0, 0, 800, 600}, left{-1024, -168, 0, 600}, above{800, -300, 1440, 180}, none{0, 0, 0, 0};
    const std::vector<RECT> layout{primary, left, above};
    EXPECT_TRUE(eq(BoundsOf(layout), RECT{-1024, -300, 1440, 600}) && eq(BoundsOf({}), none));
    EXPECT_TRUE(eq(MonitorAt(layout, {-1, 0}), left) && eq(MonitorAt(layout, {0, 0}), primary));
    EXPECT_TRUE(eq(MonitorAt(layout, {800, 599}), primary));  // right edge exclusive: the nearest
    EXPECT_TRUE(eq(MonitorAt(layout, {900, 179}), above) && eq(MonitorAt(layout, {-500, -200}), left));
    EXPECT_TRUE(eq(MonitorAt({}, {0, 0}), none));
    const SIZE onPrimary = MaximisedSize({-4, -4, 1028, 740}, {0, 0, 1024, 768});
    const SIZE onLeft = MaximisedSize({-1028, -172, 4, 604}, left);
    EXPECT_TRUE(onPrimary.cx == 1028 && onPrimary.cy == 740 && onLeft.cx == 1028 && onLeft.cy == 772);
}
