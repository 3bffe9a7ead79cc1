// The main window in-process: start state, zoom arithmetic, whole-screen capture and the
// steps it shares with the other captures.
#include <gtest/gtest.h>

#include <memory>

#include "TestApp.h"
#include "app/F_Kaptor.h"
#include "settings/Settings.h"
#include "framework/win/Bitmap.h"

using namespace kaptor;
using namespace kaptor::testing;

namespace {

// A picture of the given size, installed as the current one.
void Install(TKaptor32& w, int width, int height) {
    TBitmap b(width, height);
    w.PictureView().Install(b);
}

std::string Panel(TKaptor32& w, int i) { return w.StatusBar1->Panels()[i].Text(); }

// The main window as built at start-up, the main form of an application of its own (the
// shared window has shown pictures by now); the shared application and window come back
// afterwards, also when building fails. Built without its start-up handler, which reads the
// INI file and the command line.
struct FreshMainWindow {
    struct Saved {
        TApplication* app = Application;
        TScreen* screen = Screen;
        TKaptor32* main = Kaptor32;
        ~Saved() {
            Application = app;
            Screen = screen;
            Kaptor32 = main;
        }
    } saved;
    std::unique_ptr<TApplication> app;
    std::unique_ptr<TKaptor32> form;
    FreshMainWindow() {
        Screen = nullptr;
        app = std::make_unique<TApplication>();
        app->MessageBoxHook = [](const std::string&, const std::string&, UINT) { return IDOK; };
        form = std::make_unique<TKaptor32>(nullptr);
        form->OnCreate = nullptr;
        form->AfterConstruction();
    }
};

}  // namespace

TEST(MainWindow, StartsWithNoPictureAndThePictureCommandsOff) {
    MainWindow();
    FreshMainWindow fresh;
    TKaptor32& w = *fresh.form;
    EXPECT_EQ(w.PictureView().NaturalSize().cx, 0);
    EXPECT_EQ(w.ClientWidth(), 594);
    EXPECT_EQ(w.PictureView().Shown().Width(), 0);
    EXPECT_EQ(w.PictureView().Shown().Height(), 0);
    EXPECT_EQ(w.PictureView().Shown().PopupMenu(), nullptr);
    for (TToolButton* b : {w.SB_Max, w.SB_Copy, w.SB_Save, w.SB_Print, w.SB_PrtDialog}) EXPECT_FALSE(b->Enabled());
    for (TMenuItem* m : {w.M_Save, w.M_Print, w.M_PrintDlg, w.M_Copy, w.M_Range, w.M_NoRange, w.M_Resize, w.M_Max})
        EXPECT_FALSE(m->Enabled());
    EXPECT_TRUE(w.SB_NoRange->Down());
    EXPECT_EQ(w.SpinEdit1->Value(), 100);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(Panel(w, i), "");
}

TEST(MainWindow, InstallEnablesThePictureCommandsAndWritesTheSize) {
    TKaptor32& w = MainWindow();
    Install(w, 333, 120);
    EXPECT_EQ(w.PictureView().NaturalSize().cx, 333);
    EXPECT_EQ(w.PictureView().Shown().Width(), 333);
    EXPECT_EQ(Panel(w, 0), "ｻｲｽﾞ : 333 x 120");
    EXPECT_EQ(Panel(w, 2), "");
    EXPECT_EQ(w.PictureView().Shown().PopupMenu(), w.PopupMenu2);
    EXPECT_TRUE(w.SB_Save->Enabled());
    EXPECT_TRUE(w.PM_Print3->Enabled());
    EXPECT_TRUE(w.SB_PrtDialog->Enabled());
    EXPECT_FALSE(w.SB_PrtDialog->Visible());
    ASSERT_NE(w.PictureView().CleanCopy().Picture().Graphic(), nullptr);
    EXPECT_NE(w.PictureView().CleanCopy().Picture().Graphic(), w.PictureView().Shown().Picture().Graphic());  // an independent copy
    EXPECT_EQ(w.PictureView().CleanCopy().Picture().Width(), 333);
}

TEST(MainWindow, ZoomRoundsHalvesUpAndNeverResamples) {
    TKaptor32& w = MainWindow();
    Install(w, 333, 101);
    EXPECT_TRUE(w.PictureView().SetZoom(50));
    EXPECT_EQ(w.PictureView().Shown().Width(), 167);
    EXPECT_EQ(w.PictureView().Shown().Height(), 51);
    Install(w, 640, 1);
    w.PictureView().SetZoom(33);
    EXPECT_EQ(w.PictureView().Shown().Width(), 211);
    w.PictureView().SetZoom(1);
    EXPECT_EQ(w.PictureView().Shown().Height(), 0);
    w.PictureView().SetZoom(0);  // zoom 0 keeps the size it has
    EXPECT_EQ(w.PictureView().Shown().Width(), 6);
    Install(w, 1024, 10);
    w.PictureView().SetZoom(300);
    EXPECT_EQ(w.PictureView().Shown().Width(), 3072);
    EXPECT_EQ(w.PictureView().Shown().Picture().Width(), 1024);
    EXPECT_EQ(w.PictureView().NaturalSize().cx, 1024);
}

TEST(MainWindow, ZoomBoxChangesTheViewOnlyOnARealChange) {
    TKaptor32& w = MainWindow();
    Install(w, 200, 100);
    w.SpinEdit1->SetValue(100);
    w.PictureView().Shown().SetWidth(5);  // a change event would undo this
    w.SpinEdit1->SetValue(100);
    EXPECT_EQ(w.PictureView().Shown().Width(), 5);
    w.SpinEdit1->SetValue(50);
    EXPECT_EQ(w.PictureView().Shown().Width(), 100);
    w.SpinEdit1->SetValue(100);
}

TEST(Capture, WholeScreenGivesTheScreenAtOneHundredPercent) {
    TKaptor32& w = MainWindow();
    Install(w, 10, 10);
    w.SpinEdit1->SetValue(50);
    w.SB_CaptureClick(w.SB_Capture);
    const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_EQ(w.PictureView().NaturalSize().cx, sw);
    EXPECT_EQ(w.PictureView().NaturalSize().cy, sh);
    EXPECT_EQ(w.PictureView().Shown().Width(), sw);
    EXPECT_EQ(w.SpinEdit1->Value(), 100);
    EXPECT_EQ(Panel(w, 0), "ｻｲｽﾞ : " + std::to_string(sw) + " x " + std::to_string(sh));
    EXPECT_TRUE(w.SB_Capture->Enabled());
    EXPECT_TRUE(w.SB_Capture2->Enabled());
    // The picture is what the screen showed: compare one row with the screen now (the
    // desktop background at the bottom-left corner does not change between the two).
    auto* bitmap = dynamic_cast<TBitmap*>(w.PictureView().Shown().Picture().Graphic());
    ASSERT_NE(bitmap, nullptr);
    WindowDC screen(nullptr);
    EXPECT_EQ(bitmap->Canvas().Pixels(0, sh - 1), GetPixel(screen.get(), 0, sh - 1));
}

TEST(Capture, ARequestWhileOneWaitsDoesNothing) {
    TKaptor32& w = MainWindow();
    Install(w, 30, 20);
    w.SB_Capture->SetEnabled(false);  // as while a capture waits
    w.SB_CaptureClick(w.M_Capture1);
    EXPECT_EQ(w.PictureView().NaturalSize().cx, 30);
    EXPECT_EQ(Panel(w, 0), "ｻｲｽﾞ : 30 x 20");
    w.SB_Capture->SetEnabled(true);
}

TEST(Capture, DelayWaitsWholeSecondsAndOneSecondAtStartUp) {
    TKaptor32& w = MainWindow();
    Settings.Wait = 2;
    long long t0 = Milliseconds();
    w.CaptureDelay(w.SB_Capture);
    const long long twoSeconds = Milliseconds() - t0;
    t0 = Milliseconds();
    w.CaptureDelay(&w);  // the start-up capture: one second whatever the delay
    const long long startUp = Milliseconds() - t0;
    Settings.Wait = -3;
    t0 = Milliseconds();
    w.CaptureDelay(w.SB_Capture);
    const long long none = Milliseconds() - t0;
    Settings.Wait = 0;
    EXPECT_GE(twoSeconds, 1990);
    EXPECT_LT(twoSeconds, 2900);
    EXPECT_GE(startUp, 990);
    EXPECT_LT(startUp, 1900);
    EXPECT_LT(none, 500);
}

TEST(Capture, RepeatedCapturesLeakNoHandles) {
    TKaptor32& w = MainWindow();
    Settings.ShowCursor = true;
    w.SB_CaptureClick(w.SB_Capture);
    const long gdi = OwnedGdiHandles(), user = OwnedUserHandles();
    for (int i = 0; i < 100; ++i) w.SB_CaptureClick(w.SB_Capture);
    Settings.ShowCursor = false;
    EXPECT_EQ(OwnedGdiHandles(), gdi);
    EXPECT_EQ(OwnedUserHandles(), user);
}
