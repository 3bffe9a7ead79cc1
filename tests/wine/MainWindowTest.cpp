// The main window in-process: start state, zoom arithmetic, whole-screen capture and the
// steps it shares with the other captures.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <vector>

#include "TestApp.h"
#include "app/MainWindow.h"
#include "settings/Settings.h"
#include "framework/win/Bitmap.h"
#include "view/MarkupLayer.h"

#include <commctrl.h>

using namespace kaptor;
using namespace kaptor::testing;

namespace {

// A picture of the given size, installed as the current one.
void Install(TMainWindow& w, int width, int height) {
    TBitmap b(width, height);
    w.View().Install(b);
}

std::string Panel(TMainWindow& w, int i) { return w.StatusText(i); }

// The main window as built at start-up, the main form of an application of its own (the
// shared window has shown pictures by now); the shared application and window come back
// afterwards, also when building fails. Built without its start-up handler, which reads the
// INI file and the command line.
struct FreshMainWindow {
    struct Saved {
        TApplication* app = Application;
        TScreen* screen = Screen;
        TMainWindow* main = TheMainWindow;
        ~Saved() {
            Application = app;
            Screen = screen;
            TheMainWindow = main;
        }
    } saved;
    std::unique_ptr<TApplication> app;
    std::unique_ptr<TMainWindow> form;
    FreshMainWindow() {
        Screen = nullptr;
        app = std::make_unique<TApplication>();
        app->MessageBoxHook = [](const std::string&, const std::string&, UINT) { return IDOK; };
        form = std::make_unique<TMainWindow>(nullptr);
        form->OnCreate = nullptr;
        form->AfterConstruction();
    }
};

}  // namespace

TEST(MainWindow, StartsWithNoPictureAndThePictureCommandsOff) {
    MainWindow();
    FreshMainWindow fresh;
    TMainWindow& w = *fresh.form;
    EXPECT_EQ(w.View().NaturalSize().cx, 0);
    EXPECT_EQ(w.ClientWidth(), 594);
    EXPECT_EQ(w.View().Shown().Width(), 0);
    EXPECT_EQ(w.View().Shown().Height(), 0);
    EXPECT_EQ(w.View().Shown().PopupMenu(), nullptr);
    using C = TCommandId;
    for (C id : {C::FullScreen, C::Copy, C::Save, C::Print, C::PrinterSetup, C::EnterRange, C::LeaveRange, C::Resize})
        EXPECT_FALSE(w.Enabled(id, TPlace::ToolBar)) << static_cast<int>(id);
    for (C id : {C::Save, C::Print, C::PrinterSetup, C::Copy, C::EnterRange, C::LeaveRange, C::Resize, C::FullScreen})
        EXPECT_FALSE(w.Enabled(id, TPlace::MenuBar)) << static_cast<int>(id);
    // The tray's print items and the picture's menu stay usable; there is no full screen to leave.
    for (C id : {C::PrintDesktop, C::PrinterSetup}) EXPECT_TRUE(w.Enabled(id, TPlace::TrayMenu));
    EXPECT_FALSE(w.Enabled(C::Print, TPlace::TrayMenu));
    for (C id : {C::Copy, C::Save, C::EnterRange}) EXPECT_TRUE(w.Enabled(id, TPlace::PictureMenu));
    EXPECT_FALSE(w.Enabled(C::LeaveFullScreen, TPlace::PictureMenu));
    EXPECT_TRUE(w.Down(TCommandId::LeaveRange));
    EXPECT_EQ(w.View().ZoomBoxValue(), 100);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(Panel(w, i), "");
}

TEST(MainWindow, InstallEnablesThePictureCommandsAndWritesTheSize) {
    TMainWindow& w = MainWindow();
    Install(w, 333, 120);
    EXPECT_EQ(w.View().NaturalSize().cx, 333);
    EXPECT_EQ(w.View().Shown().Width(), 333);
    EXPECT_EQ(Panel(w, 0), "ｻｲｽﾞ : 333 x 120");
    EXPECT_EQ(Panel(w, 2), "");
    EXPECT_NE(w.View().Shown().PopupMenu(), nullptr);
    EXPECT_TRUE(w.Enabled(TCommandId::Save, TPlace::ToolBar));
    EXPECT_TRUE(w.Enabled(TCommandId::Print, TPlace::TrayMenu));
    EXPECT_TRUE(w.Enabled(TCommandId::PrinterSetup, TPlace::ToolBar));
    // The printer set-up button follows the picture but is never shown: the bar has 11 buttons.
    HWND bar = FindWindowExA(FindWindowExA(w.Handle(), nullptr, "ReBarWindow32", nullptr), nullptr, "ToolbarWindow32", nullptr);
    ASSERT_NE(bar, nullptr);
    int shown = 0;
    for (int i = 0, n = static_cast<int>(SendMessageA(bar, TB_BUTTONCOUNT, 0, 0)); i < n; ++i) {
        TBBUTTON b{};
        SendMessageA(bar, TB_GETBUTTON, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&b));
        shown += !(b.fsState & TBSTATE_HIDDEN);
    }
    EXPECT_EQ(shown, 11);
    ASSERT_NE(w.View().CleanCopy().Picture().Graphic(), nullptr);
    EXPECT_NE(w.View().CleanCopy().Picture().Graphic(), w.View().Shown().Picture().Graphic());  // an independent copy
    EXPECT_EQ(w.View().CleanCopy().Picture().Width(), 333);
}

TEST(MainWindow, ZoomRoundsHalvesUpAndNeverResamples) {
    TMainWindow& w = MainWindow();
    Install(w, 333, 101);
    EXPECT_TRUE(w.View().SetZoom(50));
    EXPECT_EQ(w.View().Shown().Width(), 167);
    EXPECT_EQ(w.View().Shown().Height(), 51);
    Install(w, 640, 1);
    w.View().SetZoom(33);
    EXPECT_EQ(w.View().Shown().Width(), 211);
    w.View().SetZoom(1);
    EXPECT_EQ(w.View().Shown().Height(), 0);
    w.View().SetZoom(0);  // zoom 0 keeps the size it has
    EXPECT_EQ(w.View().Shown().Width(), 6);
    Install(w, 1024, 10);
    w.View().SetZoom(300);
    EXPECT_EQ(w.View().Shown().Width(), 3072);
    EXPECT_EQ(w.View().Shown().Picture().Width(), 1024);
    EXPECT_EQ(w.View().NaturalSize().cx, 1024);
}

TEST(MainWindow, ZoomBoxChangesTheViewOnlyOnARealChange) {
    TMainWindow& w = MainWindow();
    Install(w, 200, 100);
    w.View().ChooseZoom(100);
    w.View().Shown().SetWidth(5);  // a change event would undo this
    w.View().ChooseZoom(100);
    EXPECT_EQ(w.View().Shown().Width(), 5);
    w.View().ChooseZoom(50);
    EXPECT_EQ(w.View().Shown().Width(), 100);
    w.View().ChooseZoom(100);
}

// What the user clicks, by the caption they read, runs the command the caption names: the menu
// bar through its real menu, the other menus and the bars by their captions, the Print Screen
// keys as the system sends them, the tray icon's double click.
TEST(MainWindow, EveryPlaceOfACommandRunsThatCommand) {
    using C = TCommandId;
    TMainWindow& w = MainWindow();
    Install(w, 40, 30);
    w.Execute(C::Markup);  // the markup commands run in markup mode only
    std::vector<C> ran;
    w.BeforeCommand = [&](C id) {
        ran.push_back(id);
        return false;  // watched, not run
    };
    auto expectRuns = [&](const std::string& what, std::vector<C> expected) {
        EXPECT_EQ(ran, expected) << what;
        ran.clear();
    };
    const std::map<std::string, C> bar = {
        {"開く(&O)", C::Open}, {"画像を保存", C::Save}, {"印刷(&P)", C::Print}, {"ﾌﾟﾘﾝﾀ設定(&U)", C::PrinterSetup},
        {"終了(&X)", C::Exit}, {"画面全体をｷｬﾌﾟﾁｬｰ", C::CaptureWholeScreen},
        {"ｳｲﾝﾄﾞｳを選択してｷｬﾌﾟﾁｬｰ", C::CaptureChosenWindow}, {"ｱｸﾃｨﾌﾞｳｨﾝﾄﾞｳをｷｬﾌﾟﾁｬｰ", C::CaptureActiveWindow},
        {"範囲を指定してｷｬﾌﾟﾁｬｰ", C::CaptureRegion}, {"前回の範囲でｷｬﾌﾟﾁｬｰ", C::CaptureLastRegion},
        {"ｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰ", C::Copy}, {"ｸﾘｯﾌﾟﾎﾞｰﾄﾞから貼り付け", C::Paste}, {"ｷｬﾌﾟﾁｬｰ画像を範囲指定", C::EnterRange},
        {"範囲指定解除", C::LeaveRange}, {"画像のｻｲｽﾞ変更", C::Resize}, {"ﾂｰﾙﾊﾞｰ", C::ShowToolBar},
        {"ｽﾃｰﾀｽﾊﾞｰ", C::ShowStatusBar}, {"全画面表示(復帰はESC)", C::FullScreen}, {"環境設定(&E)", C::Options},
        {"背景の色", C::BackgroundColour}, {"目次(&C)", C::HelpContents}, {"ｷｰﾜｰﾄﾞ検索(&K)", C::HelpKeywords},
        {"ﾊﾞｰｼﾞｮﾝ情報(&A)", C::About}, {"描画", C::Markup}, {"描画を元に戻す", C::UndoMarkup},
        {"描画をやり直す", C::RedoMarkup}, {"選択した描画を削除", C::DeleteMarkup}};
    HMENU menus = GetMenu(w.Handle());
    int items = 0;
    for (int m = 0; m < GetMenuItemCount(menus); ++m) {
        HMENU menu = GetSubMenu(menus, m);
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            char text[128] = {};
            if (!GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION)) continue;  // a separator
            const std::string caption = std::string(text).substr(0, std::string(text).find('\t'));
            ASSERT_TRUE(bar.count(caption)) << caption;
            SendMessageA(w.Handle(), WM_COMMAND, GetMenuItemID(menu, i), 0);
            expectRuns(caption, {bar.at(caption)});
            ++items;
        }
    }
    EXPECT_EQ(items, static_cast<int>(bar.size()));

    struct Shown {
        TPlace place;
        C id;
        const char* caption;
    };
    const Shown others[] = {
        {TPlace::ToolBar, C::Exit, "終了"}, {TPlace::ToolBar, C::Open, "開く"},
        {TPlace::ToolBar, C::CaptureWholeScreen, "全体"}, {TPlace::ToolBar, C::CaptureChosenWindow, "選択"},
        {TPlace::ToolBar, C::CaptureActiveWindow, "ｱｸﾃｨﾌﾞ"}, {TPlace::ToolBar, C::FullScreen, "全画面"},
        {TPlace::ToolBar, C::Copy, "コピー"}, {TPlace::ToolBar, C::Paste, "貼付"}, {TPlace::ToolBar, C::Save, "保存"},
        {TPlace::ToolBar, C::Options, "環境"}, {TPlace::ToolBar, C::Print, "印刷"},
        {TPlace::ToolBar, C::PrinterSetup, "ﾌﾟﾘﾝﾀ設定"}, {TPlace::ToolBar, C::EnterRange, ""},
        {TPlace::ToolBar, C::LeaveRange, ""}, {TPlace::ToolBar, C::Resize, "ｻｲｽﾞ変更"},
        {TPlace::TrayMenu, C::CaptureWholeScreen, "画面全体をｷｬﾌﾟﾁｬｰ(&D)"},
        {TPlace::TrayMenu, C::CaptureChosenWindow, "ｳｨﾝﾄﾞｳを選択してｷｬﾌﾟﾁｬｰ(&S)"},
        {TPlace::TrayMenu, C::CaptureActiveWindow, "ｱｸﾃｨﾌﾞｳｨﾝﾄﾞｳをｷｬﾌﾟﾁｬｰ(&F)"},
        {TPlace::TrayMenu, C::CaptureRegion, "範囲を指定してｷｬﾌﾟﾁｬｰ(&R)"},
        {TPlace::TrayMenu, C::CaptureLastRegion, "前回の範囲でｷｬﾌﾟﾁｬｰ(&L)"},
        {TPlace::TrayMenu, C::PrintDesktop, "現在のﾃﾞｽｸﾄｯﾌﾟ"}, {TPlace::TrayMenu, C::Print, "ｷｬﾌﾟﾁｬｰしてる画像"},
        {TPlace::TrayMenu, C::PrinterSetup, "ﾌﾟﾘﾝﾀ設定(&U)"}, {TPlace::TrayMenu, C::ShowWindow, "通常ｳｨﾝﾄﾞｳ表示(&N)"},
        {TPlace::TrayMenu, C::HelpContents, "ﾍﾙﾌﾟ(&H)"}, {TPlace::TrayMenu, C::About, "ﾊﾞｰｼﾞｮﾝ情報(&A)"},
        {TPlace::TrayMenu, C::End, "終了(&X)"}, {TPlace::PictureMenu, C::Options, "環境設定"},
        {TPlace::PictureMenu, C::Copy, "ｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰ"}, {TPlace::PictureMenu, C::Paste, "ｸﾘｯﾌﾟﾎﾞｰﾄﾞから貼り付け"},
        {TPlace::PictureMenu, C::Open, "画像を開く(&O)"}, {TPlace::PictureMenu, C::Save, "画像を保存"},
        {TPlace::ToolBar, C::Markup, ""}, {TPlace::PictureMenu, C::Print, "印刷(&P)"},
        {TPlace::PictureMenu, C::PrinterSetup, "ﾌﾟﾘﾝﾀ設定(&U)"},
        {TPlace::PictureMenu, C::EnterRange, "ｷｬﾌﾟﾁｬｰ画像を範囲指定"}, {TPlace::PictureMenu, C::LeaveRange, "範囲指定解除"},
        {TPlace::TrayIcon, C::ShowWindow, ""}};
    for (const Shown& s : others) {
        const std::string what = std::to_string(static_cast<int>(s.place)) + " " + s.caption;
        // The tray's capture items name the delay once the program has been in the tray (the
        // tray tests check those captions): then the access key still tells them apart.
        const std::string caption = w.Caption(s.id, s.place), expected = s.caption;
        if (caption.find(" 秒後) ") != std::string::npos) {
            EXPECT_EQ(caption.substr(caption.size() - 4), expected.substr(expected.size() - 4)) << what;
        } else if (s.place != TPlace::TrayIcon) {
            EXPECT_EQ(caption, expected) << what;
        }
        EXPECT_TRUE(w.Click(s.id, s.place)) << what;
        expectRuns(what, {s.id});
    }
    // The markup band: each button runs its own command.
    for (int i = static_cast<int>(C::SelectTool); i <= static_cast<int>(C::RestartSteps); ++i) {
        const std::string what = "markup band " + std::to_string(i);
        EXPECT_FALSE(w.Caption(static_cast<C>(i), TPlace::ToolBar).empty()) << what;
        EXPECT_TRUE(w.Click(static_cast<C>(i), TPlace::ToolBar)) << what;
        expectRuns(what, {static_cast<C>(i)});
    }
    // The return from full screen is there, and off: neither its item nor the command runs.
    EXPECT_EQ(w.Caption(C::LeaveFullScreen, TPlace::PictureMenu), "復帰");
    w.Click(C::LeaveFullScreen, TPlace::PictureMenu);
    w.Execute(C::LeaveFullScreen);
    expectRuns("復帰", {});

    const bool hotKeys = Settings.HotKeys;
    Settings.HotKeys = true;
    w.ApplyHotKeys();
    HWND keys = FindWindowExA(HWND_MESSAGE, nullptr, "TKaptorHotKeys", nullptr);
    ASSERT_NE(keys, nullptr);
    SendMessageA(keys, WM_HOTKEY, 0, 0);  // Print Screen
    SendMessageA(keys, WM_HOTKEY, 1, 0);  // Alt+Print Screen
    SendMessageA(keys, WM_HOTKEY, 2, 0);  // Ctrl+Print Screen
    expectRuns("hot keys", {C::CaptureWholeScreen, C::CaptureActiveWindow, C::CaptureRegion});
    Settings.HotKeys = hotKeys;
    w.ApplyHotKeys();
    w.BeforeCommand = nullptr;
    // The tool in use is down, the others up; the fill goes down and up on its own.
    w.Execute(C::EllipseTool);
    w.Execute(C::FillShapes);
    EXPECT_TRUE(w.Down(C::EllipseTool) && !w.Down(C::SelectTool) && !w.Down(C::RectangleTool) && w.Down(C::FillShapes));
    w.Click(C::ArrowTool, TPlace::ToolBar);
    w.Click(C::FillShapes, TPlace::ToolBar);
    EXPECT_TRUE(w.Down(C::ArrowTool) && !w.Down(C::EllipseTool) && !w.Down(C::FillShapes));
    EXPECT_EQ(w.View().Markup().Style.tool, TMarkupTool::Arrow);
    w.Execute(C::Markup);
    EXPECT_FALSE(w.View().MarkupMode());
}

TEST(Capture, WholeScreenGivesTheScreenAtOneHundredPercent) {
    TMainWindow& w = MainWindow();
    Install(w, 10, 10);
    w.View().ChooseZoom(50);
    w.Execute(TCommandId::CaptureWholeScreen);
    const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_EQ(w.View().NaturalSize().cx, sw);
    EXPECT_EQ(w.View().NaturalSize().cy, sh);
    EXPECT_EQ(w.View().Shown().Width(), sw);
    EXPECT_EQ(w.View().ZoomBoxValue(), 100);
    EXPECT_EQ(Panel(w, 0), "ｻｲｽﾞ : " + std::to_string(sw) + " x " + std::to_string(sh));
    EXPECT_TRUE(w.Enabled(TCommandId::CaptureWholeScreen, TPlace::ToolBar));
    EXPECT_TRUE(w.Enabled(TCommandId::CaptureChosenWindow, TPlace::ToolBar));
    // The picture is what the screen showed: compare one row with the screen now (the
    // desktop background at the bottom-left corner does not change between the two).
    auto* bitmap = dynamic_cast<TBitmap*>(w.View().Shown().Picture().Graphic());
    ASSERT_NE(bitmap, nullptr);
    WindowDC screen(nullptr);
    EXPECT_EQ(bitmap->Canvas().Pixels(0, sh - 1), GetPixel(screen.get(), 0, sh - 1));
}

TEST(Capture, ARequestWhileOneWaitsDoesNothing) {
    TMainWindow& w = MainWindow();
    Install(w, 30, 20);
    {
        TCaptureLock waiting(w.Captures());  // as while a capture waits
        using C = TCommandId;
        for (C id : {C::CaptureWholeScreen, C::CaptureChosenWindow, C::CaptureActiveWindow})
            EXPECT_FALSE(w.Enabled(id, TPlace::ToolBar));
        // The menus keep their items; the command itself does nothing, from wherever it comes.
        EXPECT_TRUE(w.Enabled(C::CaptureWholeScreen, TPlace::MenuBar));
        for (TPlace from : {TPlace::MenuBar, TPlace::TrayMenu}) w.Click(C::CaptureWholeScreen, from);
        for (C id : {C::CaptureWholeScreen, C::CaptureRegion, C::CaptureLastRegion}) w.Execute(id);
        EXPECT_EQ(w.View().NaturalSize().cx, 30);
        EXPECT_EQ(Panel(w, 0), "ｻｲｽﾞ : 30 x 20");
    }
    EXPECT_TRUE(w.Enabled(TCommandId::CaptureWholeScreen, TPlace::ToolBar));
    // A whole-screen wait leaves the active-window capture free; one nested in that wait frees
    // all three when its own wait ends.
    using C = TCommandId;
    w.Captures().SetLocked(true, false);
    EXPECT_TRUE(!w.Enabled(C::CaptureChosenWindow, TPlace::ToolBar) && w.Enabled(C::CaptureActiveWindow, TPlace::ToolBar));
    w.Captures().SetLocked(true, true);
    EXPECT_FALSE(w.Enabled(C::CaptureActiveWindow, TPlace::ToolBar));
    w.Captures().SetLocked(false, true);
    EXPECT_TRUE(w.Enabled(C::CaptureWholeScreen, TPlace::ToolBar) && w.Enabled(C::CaptureActiveWindow, TPlace::ToolBar));
}

TEST(Capture, DelayWaitsWholeSecondsAndOneSecondAtStartUp) {
    TMainWindow& w = MainWindow();
    Settings.Wait = 2;
    long long t0 = Milliseconds();
    w.Captures().Delay(TCaptureStart::ByUser);
    const long long twoSeconds = Milliseconds() - t0;
    t0 = Milliseconds();
    w.Captures().Delay(TCaptureStart::AtStartUp);  // the start-up capture: one second whatever the delay
    const long long startUp = Milliseconds() - t0;
    Settings.Wait = -3;
    t0 = Milliseconds();
    w.Captures().Delay(TCaptureStart::ByUser);
    const long long none = Milliseconds() - t0;
    Settings.Wait = 0;
    EXPECT_GE(twoSeconds, 1990);
    EXPECT_LT(twoSeconds, 2900);
    EXPECT_GE(startUp, 990);
    EXPECT_LT(startUp, 1900);
    EXPECT_LT(none, 500);
}

TEST(Capture, RepeatedCapturesLeakNoHandles) {
    TMainWindow& w = MainWindow();
    Settings.ShowCursor = true;
    w.Execute(TCommandId::CaptureWholeScreen);
    const long gdi = OwnedGdiHandles(), user = OwnedUserHandles();
    for (int i = 0; i < 100; ++i) w.Execute(TCommandId::CaptureWholeScreen);
    Settings.ShowCursor = false;
    EXPECT_EQ(OwnedGdiHandles(), gdi);
    EXPECT_EQ(OwnedUserHandles(), user);
}
