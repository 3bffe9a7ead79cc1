// The main window in the task tray: every way of closing with "End TrayIcon" on, the way
// back, the tray menu's captions and print item, the show rule after a capture, the end
// command. The shell is recorded, not called, so the records can be checked.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "TestApp.h"
#include "TrayIconTestSupport.h"
#include "app/MainWindow.h"
#include "settings/Settings.h"
#include "components/TrayIcon.h"
#include "framework/win/Bitmap.h"

using namespace kaptor;
using namespace kaptor::testing;

namespace {

bool QuitPosted() {
    MSG msg;
    return PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
}

class TrayResidency : public ::testing::Test {
protected:
    void SetUp() override {
        w = &MainWindow();
        saved_ = Settings;
        Settings.Wait = 0;
        Settings.HideForm = false;
        Settings.ShowCursor = false;
        TakeMessages();
        QuitPosted();
    }
    void TearDown() override {
        if (w->Tray().Visible()) w->Execute(TCommandId::ShowWindow);
        w->Show();
        ShowWindow(Application->Handle(), SW_SHOW);
        Settings = saved_;
        EXPECT_FALSE(QuitPosted()) << "the program was told to end";
        TakeMessages();
    }

    // Resident: the icon is in the tray and both the window and its task-bar button are gone.
    void ExpectResident() {
        EXPECT_TRUE(w->Tray().Visible());
        EXPECT_TRUE(w->Tray().Registered());
        EXPECT_FALSE(IsWindowVisible(w->Handle()));
        EXPECT_FALSE(IsWindowVisible(Application->Handle()));
    }
    void ExpectShown() {
        EXPECT_FALSE(w->Tray().Visible());
        EXPECT_FALSE(w->Tray().Registered());
        EXPECT_TRUE(IsWindowVisible(w->Handle()));
        EXPECT_TRUE(IsWindowVisible(Application->Handle()));
    }
    void CloseIntoTray() {
        Settings.EndTrayIcon = true;
        SendMessageA(w->Handle(), WM_CLOSE, 0, 0);
        ASSERT_TRUE(w->Tray().Visible());
    }

    NotifyRecorder shell;
    TMainWindow* w = nullptr;

private:
    TSettings saved_;
};

}  // namespace

TEST_F(TrayResidency, EveryWayOfClosingGoesIntoTheTrayWithEndTrayIconOn) {
    const std::vector<std::pair<const char*, std::function<void()>>> closes = {
        {"SB_Close", [&] { w->Click(TCommandId::Exit, TPlace::ToolBar); }},
        {"M_Exit", [&] { w->Click(TCommandId::Exit, TPlace::MenuBar); }},
        {"title-bar button", [&] { SendMessageA(w->Handle(), WM_CLOSE, 0, 0); }},
        {"Alt+F4", [&] { SendMessageA(w->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0); }},
        {"task-bar button", [&] { SendMessageA(Application->Handle(), WM_CLOSE, 0, 0); }},
    };
    Settings.EndTrayIcon = true;
    for (const auto& [way, close] : closes) {
        SCOPED_TRACE(way);
        shell.Take();
        close();
        ExpectResident();
        EXPECT_FALSE(QuitPosted());
        const auto calls = shell.Take();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].message, static_cast<DWORD>(NIM_ADD));
        EXPECT_EQ(calls[0].data.cbSize, sizeof(void*) == 4 ? 88u : 104u);
        EXPECT_EQ(calls[0].data.uID, static_cast<UINT>(w->Tray().IconId()));
        EXPECT_EQ(calls[0].data.uFlags, 7u);
        EXPECT_EQ(calls[0].data.uCallbackMessage, 1224u);
        EXPECT_EQ(calls[0].data.hWnd, TrayCallbackWindow()->Receiver());
        EXPECT_NE(calls[0].data.hIcon, nullptr);
        EXPECT_EQ(calls[0].Tip(), "Kaptor32");

        w->Execute(TCommandId::ShowWindow);
        ExpectShown();
        const auto back = shell.Take();
        ASSERT_EQ(back.size(), 1u);
        EXPECT_EQ(back[0].message, static_cast<DWORD>(NIM_DELETE));
    }
}

TEST_F(TrayResidency, WithEndTrayIconOffTheCloseIsLeftAsItWas) {
    Settings.EndTrayIcon = false;
    for (TCloseAction given : {TCloseAction::caFree, TCloseAction::caHide}) {
        TCloseAction action = given;
        w->OnClose(w, action);
        EXPECT_EQ(action, given);
    }
    EXPECT_FALSE(w->Tray().Visible());
    EXPECT_TRUE(IsWindowVisible(w->Handle()));
    EXPECT_TRUE(shell.Take().empty());
}

TEST_F(TrayResidency, TheTrayMenuShowsTheDelayOfTheLastCloseAndPrintFollowsThePicture) {
    Settings.Wait = 3;
    // The tray's print item follows the picture as the print button does (without a picture
    // both are off: see the main window's start state).
    const bool picture = w->Enabled(TCommandId::Print, TPlace::ToolBar);
    CloseIntoTray();
    EXPECT_EQ(w->Caption(TCommandId::CaptureWholeScreen, TPlace::TrayMenu), "画面全体をｷｬﾌﾟﾁｬｰ(3 秒後) (&D)");
    EXPECT_EQ(w->Caption(TCommandId::CaptureChosenWindow, TPlace::TrayMenu), "ｳｲﾝﾄﾞｳを選択してｷｬﾌﾟﾁｬｰ(3 秒後) (&S)");
    EXPECT_EQ(w->Caption(TCommandId::CaptureActiveWindow, TPlace::TrayMenu), "ｱｸﾃｨﾌﾞｳｨﾝﾄﾞｳをｷｬﾌﾟﾁｬｰ(3 秒後) (&F)");
    EXPECT_EQ(w->Enabled(TCommandId::Print, TPlace::TrayMenu), picture);
    w->Execute(TCommandId::ShowWindow);

    // A new delay reaches the menu only at the next close; leaving the tray keeps the text.
    Settings.Wait = 12;
    EXPECT_EQ(w->Caption(TCommandId::CaptureWholeScreen, TPlace::TrayMenu), "画面全体をｷｬﾌﾟﾁｬｰ(3 秒後) (&D)");
    { TBitmap b(8, 8); w->View().Install(b); }  // a picture exists
    CloseIntoTray();
    EXPECT_EQ(w->Caption(TCommandId::CaptureWholeScreen, TPlace::TrayMenu), "画面全体をｷｬﾌﾟﾁｬｰ(12 秒後) (&D)");
    EXPECT_EQ(w->Caption(TCommandId::CaptureActiveWindow, TPlace::TrayMenu), "ｱｸﾃｨﾌﾞｳｨﾝﾄﾞｳをｷｬﾌﾟﾁｬｰ(12 秒後) (&F)");
    EXPECT_TRUE(w->Enabled(TCommandId::Print, TPlace::TrayMenu));
}

TEST_F(TrayResidency, AnIconTheShellRefusesKeepsTheWindowAndSaysSo) {
    Settings.Wait = 3;
    CloseIntoTray();  // captions with 3
    w->Execute(TCommandId::ShowWindow);
    shell.fail[NIM_ADD] = true;
    Settings.Wait = 9;
    SendMessageA(w->Handle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(TakeMessages(), std::vector<std::string>{"タスクトレイにアイコンを登録できません。"});
    ExpectShown();
    EXPECT_EQ(w->Caption(TCommandId::CaptureWholeScreen, TPlace::TrayMenu), "画面全体をｷｬﾌﾟﾁｬｰ(3 秒後) (&D)");  // the rest did not run
}

TEST_F(TrayResidency, WithoutAnIconImageTheWindowIsNotHiddenIntoNothing) {
    TIcon saved;
    saved.Assign(*w->Tray().Icon());
    ASSERT_FALSE(saved.Empty());
    w->Tray().SetIcon(nullptr);
    Settings.EndTrayIcon = true;
    SendMessageA(w->Handle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(TakeMessages(), std::vector<std::string>{"タスクトレイにアイコンを登録できません。"});
    ExpectShown();
    w->Tray().SetIcon(&saved);
    EXPECT_FALSE(w->Tray().Icon()->Empty());
}

TEST_F(TrayResidency, DoubleClickOnTheIconAndTheShowItemBringTheWindowBack) {
    CloseIntoTray();
    Application->ShowMainForm = false;  // as after starting in the tray
    // The shell's callback for a left double click on our icon.
    SendMessageA(TrayCallbackWindow()->Receiver(), WM_TRAYICON, static_cast<WPARAM>(w->Tray().IconId()),
                 WM_LBUTTONDBLCLK);
    ExpectShown();
    EXPECT_TRUE(Application->ShowMainForm);

    CloseIntoTray();
    Application->ShowMainForm = false;
    w->Click(TCommandId::ShowWindow, TPlace::TrayMenu);
    ExpectShown();
    EXPECT_TRUE(Application->ShowMainForm);
}

TEST_F(TrayResidency, ACaptureInTheTrayStaysThereUnlessShowAfterCapturingIsOn) {
    Settings.ShowAfterCapturing = false;
    CloseIntoTray();
    w->View().OverrideNaturalSize(SIZE{0, w->View().NaturalSize().cy});
    w->Click(TCommandId::CaptureWholeScreen, TPlace::TrayMenu);
    EXPECT_EQ(w->View().NaturalSize().cx, GetSystemMetrics(SM_CXSCREEN));
    ExpectResident();
    EXPECT_TRUE(w->Enabled(TCommandId::Print, TPlace::TrayMenu));  // the new picture can be printed from the tray

    Settings.ShowAfterCapturing = true;
    shell.Take();
    w->Click(TCommandId::CaptureWholeScreen, TPlace::TrayMenu);
    ExpectShown();
    const auto calls = shell.Take();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].message, static_cast<DWORD>(NIM_DELETE));
    const HWND front = GetForegroundWindow();
    EXPECT_TRUE(front == w->Handle() || front == Application->Handle());
}

TEST_F(TrayResidency, ACaptureThatHidTheWindowShowsItAgainWhenNotResident) {
    // As "HideForm" leaves things while the capture waits.
    Settings.ShowAfterCapturing = false;
    w->Hide();
    ShowWindow(Application->Handle(), SW_HIDE);
    w->Captures().ReshowProgram();
    ExpectShown();
    EXPECT_TRUE(shell.Take().empty());  // the tray was never touched
}

TEST_F(TrayResidency, TheEndItemEndsTheLoopWithoutAskingTheWindow) {
    Settings.EndTrayIcon = true;
    w->Click(TCommandId::End, TPlace::TrayMenu);
    EXPECT_TRUE(QuitPosted());
    // FormClose did not run: nothing went into the tray.
    EXPECT_FALSE(w->Tray().Visible());
    EXPECT_TRUE(IsWindowVisible(w->Handle()));

    CloseIntoTray();
    w->Click(TCommandId::End, TPlace::TrayMenu);
    EXPECT_TRUE(QuitPosted());
    ExpectResident();  // the icon goes when the window is destroyed at the end
}
