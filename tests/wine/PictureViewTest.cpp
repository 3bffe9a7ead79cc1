// The picture view on controls of its own, away from the main window: what it tells its
// listener, and that the controls it leaves behind call nothing of it.
#include <gtest/gtest.h>

#include <memory>

#include "RangeTestSupport.h"
#include "framework/win/ExtCtrls.h"
#include "framework/win/Spin.h"
#include "settings/Settings.h"
#include "view/PictureView.h"

using namespace kaptor;
using namespace kaptor::testing;

namespace {

struct Recorder final : TPictureViewListener {
    std::vector<std::string> Status[3];
    std::vector<bool> Switched;
    int Enabled = 0;
    void ShowStatus(int panel, const std::string& text) override { Status[panel].push_back(text); }
    void RangeModeSwitched(bool on) override { Switched.push_back(on); }
    void EnablePictureCommands() override { ++Enabled; }
    void MarkupChanged() override {}
};

}  // namespace

TEST(PictureView, ToldItsListenerEverythingTheWindowShows) {
    TestApp();
    TForm form(nullptr);
    auto* area = new TScrollBox(&form);
    area->SetParent(&form);
    auto* shown = new TImage(&form);
    shown->SetParent(area);
    auto* clean = new TImage(&form);
    auto* zoom = new TSpinEdit(&form);
    zoom->SetParent(&form);
    zoom->SetMaxValue(300);
    Recorder r;
    auto view = std::make_unique<TPictureView>(*shown, *clean, *zoom, *area, r);
    EXPECT_FALSE(view->HasPicture());
    TBitmap bitmap(80, 60);
    FillPattern(bitmap);
    view->Install(bitmap);
    EXPECT_TRUE(view->HasPicture());
    EXPECT_EQ(r.Enabled, 1);
    EXPECT_EQ(r.Status[0].back(), "ｻｲｽﾞ : 80 x 60");

    zoom->SetValue(50);
    EXPECT_EQ(shown->Width(), 40);  // the box drives the view
    view->BeginRange();
    EXPECT_EQ(zoom->Value(), 100);
    view->MouseDown(TMouseButton::mbLeft, 10, 5);
    view->MouseMove(30, 25);
    view->MouseDown(TMouseButton::mbLeft, 0, 0);
    EXPECT_EQ(r.Status[1].back(), "X=   0,Y=   0");
    EXPECT_EQ(r.Status[2].back(), "範囲 : 20 x 20");
    EXPECT_EQ(shown->Canvas().Pixels(10, 5), ColorToRGB(static_cast<TColor>(Settings.FrameColour)));  // the option's colour
    EXPECT_EQ(view->CutRange()->Canvas().Pixels(0, 0), PatternColor(10, 5));
    view->EndRange();
    EXPECT_EQ(r.Switched, (std::vector<bool>{true, false}));

    view.reset();
    zoom->SetValue(200);  // would reach a view that is gone
    SendMessageA(shown->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    EXPECT_EQ(shown->Width(), 80);
}
