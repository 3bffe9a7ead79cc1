// The main window in the task tray: every way of closing with "End TrayIcon" on, the way
// back, the tray menu's captions and print item, the show rule after a capture, the end
// command. The shell is recorded, not called, so the records can be checked.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "TestApp.h"
#include "TrayIconTestSupport.h"
#include "app/F_Kaptor.h"
#include "settings/Settings.h"
#include "components/TrayIcon.h"

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
        printEnabled_ = w->SB_Print->Enabled();
        TakeMessages();
        QuitPosted();
    }
    void TearDown() override {
        if (w->TrayIcon1->Visible()) w->TrayIcon1DblClick(w->TrayIcon1);
        w->Show();
        ShowWindow(Application->Handle(), SW_SHOW);
        w->SB_Print->SetEnabled(printEnabled_);
        w->PM_Print3->SetEnabled(printEnabled_);
        Settings = saved_;
        EXPECT_FALSE(QuitPosted()) << "the program was told to end";
        TakeMessages();
    }

    // Resident: the icon is in the tray and both the window and its task-bar button are gone.
    void ExpectResident() {
        EXPECT_TRUE(w->TrayIcon1->Visible());
        EXPECT_TRUE(w->TrayIcon1->Registered());
        EXPECT_FALSE(IsWindowVisible(w->Handle()));
        EXPECT_FALSE(IsWindowVisible(Application->Handle()));
    }
    void ExpectShown() {
        EXPECT_FALSE(w->TrayIcon1->Visible());
        EXPECT_FALSE(w->TrayIcon1->Registered());
        EXPECT_TRUE(IsWindowVisible(w->Handle()));
        EXPECT_TRUE(IsWindowVisible(Application->Handle()));
    }
    void CloseIntoTray() {
        Settings.EndTrayIcon = true;
        SendMessageA(w->Handle(), WM_CLOSE, 0, 0);
        ASSERT_TRUE(w->TrayIcon1->Visible());
    }

    NotifyRecorder shell;
    TKaptor32* w = nullptr;

private:
    TSettings saved_;
    bool printEnabled_ = false;
};

}  // namespace

TEST_F(TrayResidency, EveryWayOfClosingGoesIntoTheTrayWithEndTrayIconOn) {
    const std::vector<std::pair<const char*, std::function<void()>>> closes = {
        {"SB_Close", [&] { w->SB_Close->Click(); }},
        {"M_Exit", [&] { w->M_Exit->Click(); }},
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
        EXPECT_EQ(calls[0].data.cbSize, 88u);
        EXPECT_EQ(calls[0].data.uID, static_cast<UINT>(w->TrayIcon1->IconId()));
        EXPECT_EQ(calls[0].data.uFlags, 7u);
        EXPECT_EQ(calls[0].data.uCallbackMessage, 1224u);
        EXPECT_EQ(calls[0].data.hWnd, TrayCallbackWindow()->Receiver());
        EXPECT_NE(calls[0].data.hIcon, nullptr);
        EXPECT_EQ(calls[0].Tip(), "Kaptor32");

        w->TrayIcon1DblClick(w->TrayIcon1);
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
        w->FormClose(w, action);
        EXPECT_EQ(action, given);
    }
    EXPECT_FALSE(w->TrayIcon1->Visible());
    EXPECT_TRUE(IsWindowVisible(w->Handle()));
    EXPECT_TRUE(shell.Take().empty());
}

TEST_F(TrayResidency, TheTrayMenuShowsTheDelayOfTheLastCloseAndPrintFollowsThePicture) {
    Settings.Wait = 3;
    w->SB_Print->SetEnabled(false);  // no picture yet
    w->PM_Print3->SetEnabled(true);
    CloseIntoTray();
    EXPECT_EQ(w->PM_Capture->Caption(), "画面全体をｷｬﾌﾟﾁｬｰ(3 秒後) (&D)");
    EXPECT_EQ(w->PM_Capture2->Caption(), "ｳｲﾝﾄﾞｳを選択してｷｬﾌﾟﾁｬｰ(3 秒後) (&S)");
    EXPECT_EQ(w->PM_Capture3->Caption(), "ｱｸﾃｨﾌﾞｳｨﾝﾄﾞｳをｷｬﾌﾟﾁｬｰ(3 秒後) (&F)");
    EXPECT_FALSE(w->PM_Print3->Enabled());
    w->TrayIcon1DblClick(w->TrayIcon1);

    // A new delay reaches the menu only at the next close; leaving the tray keeps the text.
    Settings.Wait = 12;
    EXPECT_EQ(w->PM_Capture->Caption(), "画面全体をｷｬﾌﾟﾁｬｰ(3 秒後) (&D)");
    w->SB_Print->SetEnabled(true);  // a picture exists
    CloseIntoTray();
    EXPECT_EQ(w->PM_Capture->Caption(), "画面全体をｷｬﾌﾟﾁｬｰ(12 秒後) (&D)");
    EXPECT_EQ(w->PM_Capture3->Caption(), "ｱｸﾃｨﾌﾞｳｨﾝﾄﾞｳをｷｬﾌﾟﾁｬｰ(12 秒後) (&F)");
    EXPECT_TRUE(w->PM_Print3->Enabled());
}

TEST_F(TrayResidency, AnIconTheShellRefusesKeepsTheWindowAndSaysSo) {
    Settings.Wait = 3;
    CloseIntoTray();  // captions with 3
    w->TrayIcon1DblClick(w->TrayIcon1);
    shell.fail[NIM_ADD] = true;
    Settings.Wait = 9;
    SendMessageA(w->Handle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(TakeMessages(), std::vector<std::string>{"タスクトレイにアイコンを登録できません。"});
    ExpectShown();
    EXPECT_EQ(w->PM_Capture->Caption(), "画面全体をｷｬﾌﾟﾁｬｰ(3 秒後) (&D)");  // the rest did not run
}

TEST_F(TrayResidency, WithoutAnIconImageTheWindowIsNotHiddenIntoNothing) {
    TIcon saved;
    saved.Assign(*w->TrayIcon1->Icon());
    ASSERT_FALSE(saved.Empty());
    w->TrayIcon1->SetIcon(nullptr);
    Settings.EndTrayIcon = true;
    SendMessageA(w->Handle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(TakeMessages(), std::vector<std::string>{"タスクトレイにアイコンを登録できません。"});
    ExpectShown();
    w->TrayIcon1->SetIcon(&saved);
    EXPECT_FALSE(w->TrayIcon1->Icon()->Empty());
}

TEST_F(TrayResidency, DoubleClickOnTheIconAndTheShowItemBringTheWindowBack) {
    CloseIntoTray();
    Application->ShowMainForm = false;  // as after starting in the tray
    // The shell's callback for a left double click on our icon.
    SendMessageA(TrayCallbackWindow()->Receiver(), WM_TRAYICON, static_cast<WPARAM>(w->TrayIcon1->IconId()),
                 WM_LBUTTONDBLCLK);
    ExpectShown();
    EXPECT_TRUE(Application->ShowMainForm);

    CloseIntoTray();
    Application->ShowMainForm = false;
    w->PM_ShowWindow->Click();
    ExpectShown();
    EXPECT_TRUE(Application->ShowMainForm);
}

TEST_F(TrayResidency, ACaptureInTheTrayStaysThereUnlessShowAfterCapturingIsOn) {
    Settings.ShowAfterCapturing = false;
    w->SB_Print->SetEnabled(false);
    CloseIntoTray();
    ASSERT_FALSE(w->PM_Print3->Enabled());
    w->PictureView().OverrideNaturalSize(SIZE{0, w->PictureView().NaturalSize().cy});
    w->PM_Capture->Click();
    EXPECT_EQ(w->PictureView().NaturalSize().cx, GetSystemMetrics(SM_CXSCREEN));
    ExpectResident();
    EXPECT_TRUE(w->PM_Print3->Enabled());  // the new picture can be printed from the tray

    Settings.ShowAfterCapturing = true;
    shell.Take();
    w->PM_Capture->Click();
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
    w->ReshowMainWindow();
    ExpectShown();
    EXPECT_TRUE(shell.Take().empty());  // the tray was never touched
}

TEST_F(TrayResidency, TheEndItemEndsTheLoopWithoutAskingTheWindow) {
    Settings.EndTrayIcon = true;
    w->PM_End->Click();
    EXPECT_TRUE(QuitPosted());
    // FormClose did not run: nothing went into the tray.
    EXPECT_FALSE(w->TrayIcon1->Visible());
    EXPECT_TRUE(IsWindowVisible(w->Handle()));

    CloseIntoTray();
    w->PM_End->Click();
    EXPECT_TRUE(QuitPosted());
    ExpectResident();  // the icon goes when the window is destroyed at the end
}
