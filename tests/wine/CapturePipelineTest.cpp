// The capture sequence's copy step: a copy that fails keeps the previous picture and is
// reported as the command's rules say.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestApp.h"
#include "app/F_Kaptor.h"
#include "settings/Settings.h"
#include "capture/CapturePipeline.h"
#include "framework/win/Bitmap.h"

using namespace kaptor;
using namespace kaptor::testing;

TEST(CapturePipeline, AFailedCopyKeepsThePreviousPictureAndIsReportedAsTheRulesSay) {
    TKaptor32& m = MainWindow();
    const TSettings saved = Settings;
    Settings.ShowCursor = false;
    TBitmap previous(40, 30);
    previous.Canvas().Brush.Color = clRed;
    previous.Canvas().FillRect(RECT{0, 0, 40, 30});
    m.PictureView().Install(previous);
    HDC gone = CreateCompatibleDC(nullptr);
    ASSERT_TRUE(DeleteDC(gone));  // a source nothing can be copied from
    auto copyFromGone = [gone](TCapturePipeline& c) {
        c.CopyPicture(gone, SIZE{200, 100}, nullptr);
        return true;
    };
    auto previousShown = [&m] {
        TBitmap& b = m.PictureView().Shown().Picture().Bitmap();
        return b.Width() == 40 && b.Height() == 30 && m.PictureView().Shown().Width() == 40 && m.PictureView().NaturalSize().cy == 30 &&
               GetPixel(b.Canvas().Handle(), 39, 29) == RGB(255, 0, 0) && m.PictureView().CleanCopy().Picture().Width() == 40;
    };
    TakeMessages();

    TCapturePipeline wholeScreen(m.Captures(), WholeScreenRules);
    try {
        wholeScreen.Take(copyFromGone);
        ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "画面をｺﾋﾟｰできません");
    }
    EXPECT_TRUE(previousShown());

    TCapturePipeline activeWindow(m.Captures(), ActiveWindowRules);
    EXPECT_NO_THROW(activeWindow.Take(copyFromGone));
    EXPECT_EQ(TakeMessages(), std::vector<std::string>{"例外ｴﾗｰ！：［画面をｺﾋﾟｰできません］"});
    EXPECT_TRUE(previousShown());
    Settings = saved;
}
