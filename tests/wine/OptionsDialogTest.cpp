// The options dialog against the real main window and a real settings file in a folder of
// the test's own.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <memory>
#include <sstream>

#include "TestApp.h"
#include "app/OptionsDialog.h"
#include "app/MainWindow.h"
#include "settings/Settings.h"
#include "framework/base/SysUtils.h"
#include "framework/win/Dialogs.h"

using namespace kaptor;
using namespace kaptor::testing;

namespace {

TOptionsDialog& Dialog() {
    MainWindow();
    if (!TheOptionsDialog) Application->CreateForm<TOptionsDialog>();
    return *TheOptionsDialog;
}

class OptionsDialog : public ::testing::Test {
protected:
    void SetUp() override {
        Dialog();
        char tmp[MAX_PATH];
        ASSERT_NE(GetTempPathA(MAX_PATH, tmp), 0u);
        dir_ = std::string(tmp) + "kaptor-options-" + std::to_string(GetCurrentProcessId()) + "\\";
        CreateDirectoryA(dir_.c_str(), nullptr);
        DeleteFileA(Path().c_str());
        savedDir_ = ProgramDir;
        savedSettings_ = Settings;
        ProgramDir = dir_;
        Settings = TSettings{};
        Settings.Wait = 3;
        Settings.ShowBar = true;
        Settings.ShowStsBar = true;
        TheOptionsDialog->Refill();
        TakeMessages();
    }
    void TearDown() override {
        TColorDialog::ExecuteHook = nullptr;
        DeleteFileA(Path().c_str());
        RemoveDirectoryA(dir_.c_str());
        ProgramDir = savedDir_;
        Settings = savedSettings_;
        TheOptionsDialog->Refill();
    }
    std::string Path() const { return dir_ + SettingsFileName; }
    std::string ReadIni() const {
        std::ifstream in(Path(), std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::string dir_, savedDir_;
    TSettings savedSettings_;
};

TEST_F(OptionsDialog, LayoutFollowsTheDesign) {
    TOptionsDialog& d = Dialog();
    EXPECT_EQ(d.Caption(), "環境設定");
    EXPECT_EQ(d.ClientWidth(), 305);
    EXPECT_EQ(d.ClientHeight(), 441);  // rows for the later options
    EXPECT_EQ(d.HelpContext, 100500);
    EXPECT_EQ(d.DelayBox->Left(), 203);
    EXPECT_EQ(d.FrameSwatch->Left(), 172);
    EXPECT_EQ(d.FrameSwatch->Width(), 113);
    EXPECT_EQ(d.OkButton->Top(), 409);
    EXPECT_EQ(d.CopyAfterCaptureBox->Top(), 270);
    EXPECT_EQ(d.ControlUnderPointerBox->Top(), 140);
    EXPECT_EQ(d.ShowAfterTrayCaptureBox->Top(), 160);
    EXPECT_EQ(d.DefaultButton, d.OkButton);
    EXPECT_EQ(d.CancelButton, d.DismissButton);
    // Tab order: the dialog manager walks the children in creation order.
    std::vector<HWND> order;
    HWND first = GetNextDlgTabItem(d.Handle(), nullptr, FALSE);
    for (HWND w = first; w && order.size() < 20;) {
        order.push_back(w);
        w = GetNextDlgTabItem(d.Handle(), w, FALSE);
        if (w == first) break;
    }
    const std::vector<HWND> expected{d.OkButton->Handle(),    d.DismissButton->Handle(), d.DelayBox->Handle(),
                                     d.CaptureAtStartBox->Handle(), d.TrayAtStartBox->Handle(), d.TrayAtCloseBox->Handle(),
                                     d.ClientAreaOnlyBox->Handle(), d.ShowAfterTrayCaptureBox->Handle(), d.FrameColourButton->Handle(),
                                     d.HideWhileCapturingBox->Handle(), d.ControlUnderPointerBox->Handle(), d.CursorBox->Handle(),
                                     d.HotKeysBox->Handle(), d.CountdownBox->Handle(), d.CopyAfterCaptureBox->Handle(),
                                     d.SaveAfterCaptureBox->Handle(), d.SaveFolderBox->Handle(), d.SaveNameBox->Handle(),
                                     d.MonitorUnderPointerBox->Handle()};
    EXPECT_EQ(order, expected);
}

TEST_F(OptionsDialog, FormCreateFillsTheControlsAndAppliesTheBars) {
    TOptionsDialog& d = Dialog();
    TMainWindow& w = MainWindow();
    Settings.Wait = 42;
    Settings.HideForm = true;
    Settings.ShowBar = false;
    Settings.ShowStsBar = false;
    Settings.CaptureControl = true;
    d.Refill();
    EXPECT_EQ(d.DelayBox->Text(), "42");
    EXPECT_TRUE(d.HideWhileCapturingBox->Checked());
    EXPECT_FALSE(d.CaptureAtStartBox->Checked());
    EXPECT_TRUE(d.ControlUnderPointerBox->Checked());
    EXPECT_FALSE(w.Checked(TCommandId::ShowToolBar));
    EXPECT_FALSE(w.Checked(TCommandId::ShowStatusBar));
    EXPECT_FALSE(w.ToolBarShown());
    EXPECT_FALSE(w.StatusBarShown());
    Settings.ShowBar = true;
    d.Refill();
    EXPECT_TRUE(w.Checked(TCommandId::ShowToolBar));
    EXPECT_TRUE(w.ToolBarShown());
    EXPECT_FALSE(w.StatusBarShown());
    // Made as at start: no window until one is needed, the options held by the controls, and
    // the window made later shows them.
    std::unique_ptr<TOptionsDialog> fresh(new TOptionsDialog(nullptr));
    fresh->AfterConstruction();
    TheOptionsDialog = &d;
    EXPECT_FALSE(fresh->HandleAllocated() || fresh->HideWhileCapturingBox->HandleAllocated());
    EXPECT_EQ(fresh->DelayBox->Text(), "42");
    EXPECT_TRUE(fresh->HideWhileCapturingBox->Checked());
    EXPECT_EQ(SendMessageA(fresh->HideWhileCapturingBox->Handle(), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageA(fresh->CaptureAtStartBox->Handle(), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    char text[8] = {};
    GetWindowTextA(fresh->DelayBox->Handle(), text, sizeof text);
    EXPECT_STREQ(text, "42");
}

TEST_F(OptionsDialog, OkWithNoChangeWritesAllElevenKeysInWriteOrder) {
    Dialog().Commit();
    const std::string ini = ReadIni();
    const char* keys[] = {"Wait=3",           "RunCapture=0",   "HideForm=0",           "ShowBar=1",
                          "ShowStsBar=1",     "Start TrayIcon=0", "End TrayIcon=0",     "Capture Client=0",
                          "Show After Capturing=0", "Capture Control=0", "Show Cursor=0", "Hot Keys=0",
                          "Show Countdown=0", "Copy After Capture=0", "Save After Capture=0", "Save Folder=\r\n",
                          "Save Name=Kaptor%Y%m%d-%H%M%S-%n.png", "Monitor Under Pointer=0"};
    size_t at = ini.find("[Kaptor32]");
    ASSERT_NE(at, std::string::npos) << ini;
    for (const char* key : keys) {
        const size_t next = ini.find(key, at);
        ASSERT_NE(next, std::string::npos) << key << " missing or out of order in\n" << ini;
        at = next;
    }
}

TEST_F(OptionsDialog, OkCopiesEveryControlIntoSettings) {
    TOptionsDialog& d = Dialog();
    d.DelayBox->SetText("-5");  // as confirmed with Enter: no clamp, stored as typed
    d.CaptureAtStartBox->SetChecked(true);
    d.TrayAtStartBox->SetChecked(true);
    d.ShowAfterTrayCaptureBox->SetChecked(true);
    d.CursorBox->SetChecked(true);
    d.SaveAfterCaptureBox->SetChecked(true);
    d.SaveFolderBox->SetText("C:\\Shots");
    d.SaveNameBox->SetText("");
    d.MonitorUnderPointerBox->SetChecked(true);
    d.Commit();
    EXPECT_TRUE(Settings.MonitorUnderPointer);
    EXPECT_TRUE(Settings.SaveAfterCapture);
    EXPECT_FALSE(Settings.CopyAfterCapture);
    EXPECT_EQ(Settings.SaveFolder, "C:\\Shots");
    EXPECT_EQ(d.SaveNameBox->Text(), DefaultSaveName);  // no name: the default again
    EXPECT_EQ(Settings.Wait, -5);
    EXPECT_TRUE(Settings.RunCapture);
    EXPECT_FALSE(Settings.HideForm);
    EXPECT_TRUE(Settings.StartTrayIcon);
    EXPECT_TRUE(Settings.ShowAfterCapturing);
    EXPECT_TRUE(Settings.ShowCursor);
    EXPECT_FALSE(Settings.CaptureControl);
    EXPECT_NE(ReadIni().find("Wait=-5"), std::string::npos);
    EXPECT_NE(ReadIni().find("Show Cursor=1"), std::string::npos);
}

TEST_F(OptionsDialog, DelayThatIsNoWholeNumberChangesAndSavesNothing) {
    TOptionsDialog& d = Dialog();
    for (const char* text : {"1.5", "", "+"}) {
        d.DelayBox->SetText(text);
        d.CaptureAtStartBox->SetChecked(true);
        const TSettings before = Settings;
        try {
            d.Commit();
            ADD_FAILURE() << "no error for '" << text << "'";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message, std::string("'") + text + "' は整数ではありません");
        }
        EXPECT_TRUE(Settings == before);
        EXPECT_EQ(GetFileAttributesA(Path().c_str()), INVALID_FILE_ATTRIBUTES);
        // Not refilled: the typed state stays until the next Cancel or OK.
        EXPECT_EQ(d.DelayBox->Text(), text);
        EXPECT_TRUE(d.CaptureAtStartBox->Checked());
    }
}

TEST_F(OptionsDialog, UnwritableFileIsReportedAfterSettingsAndBarsChanged) {
    TOptionsDialog& d = Dialog();
    TMainWindow& w = MainWindow();
    ProgramDir = dir_ + "missing\\";  // a folder that does not exist
    d.ClientAreaOnlyBox->SetChecked(true);
    ASSERT_TRUE(Settings.ShowStsBar);
    try {
        w.Execute(TCommandId::ShowStatusBar);
        ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, ProgramDir + "Kaptor.INI に書き込めません");
    }
    EXPECT_TRUE(Settings.CaptureClient);
    EXPECT_FALSE(Settings.ShowStsBar);
    EXPECT_FALSE(w.StatusBarShown());
    // Through the View menu the error reaches the top-level handler and the program goes on.
    HMENU view = GetSubMenu(GetMenu(w.Handle()), 3);
    ASSERT_EQ(GetMenuItemCount(view), 4);
    SendMessageA(w.Handle(), WM_COMMAND, GetMenuItemID(view, 1), 0);  // "ｽﾃｰﾀｽﾊﾞｰ"
    Pump();
    const auto messages = TakeMessages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("に書き込めません"), std::string::npos);
    EXPECT_TRUE(w.Checked(TCommandId::ShowStatusBar));  // the check mark stays flipped
}

TEST_F(OptionsDialog, CancelAfterAColourPickKeepsTheColourAndRestoresTheOptions) {
    TOptionsDialog& d = Dialog();
    MainWindow();  // the dialog commits into the window's options
    ASSERT_EQ(static_cast<COLORREF>(Settings.FrameColour), RGB(255, 0, 0));
    COLORREF offered = 0;
    TColorDialog::ExecuteHook = [&](TColorDialog& dialog) {
        offered = dialog.Color;
        dialog.Color = RGB(0, 128, 255);
        return true;
    };
    d.PickFrameColour();
    EXPECT_EQ(offered, RGB(255, 0, 0));
    EXPECT_EQ(d.FrameSwatch->BrushColor(), RGB(0, 128, 255));
    d.TrayAtCloseBox->SetChecked(true);
    d.DelayBox->SetText("77");
    d.DismissButton->Click();
    EXPECT_EQ(d.ModalResult, mrCancel);
    EXPECT_FALSE(d.TrayAtCloseBox->Checked());
    EXPECT_EQ(d.DelayBox->Text(), "3");
    EXPECT_EQ(static_cast<COLORREF>(Settings.FrameColour), RGB(0, 128, 255));
    // A refused dialog changes nothing.
    TColorDialog::ExecuteHook = [](TColorDialog& dialog) {
        dialog.Color = RGB(1, 2, 3);
        return false;
    };
    d.PickFrameColour();
    EXPECT_EQ(static_cast<COLORREF>(Settings.FrameColour), RGB(0, 128, 255));
    d.FrameSwatch->SetBrushColor(RGB(255, 0, 0));
}

TEST_F(OptionsDialog, ToolBarToggleWritesAtOnceAndCommitsUnappliedEdits) {
    TOptionsDialog& d = Dialog();
    TMainWindow& w = MainWindow();
    // Edits left in the controls, as after the title-bar close button.
    d.CursorBox->SetChecked(true);
    d.DelayBox->SetText("9");
    w.Click(TCommandId::ShowToolBar, TPlace::MenuBar);
    EXPECT_FALSE(w.Checked(TCommandId::ShowToolBar));
    EXPECT_FALSE(Settings.ShowBar);
    EXPECT_FALSE(w.ToolBarShown());
    EXPECT_TRUE(Settings.ShowCursor);
    EXPECT_EQ(Settings.Wait, 9);
    const std::string ini = ReadIni();
    EXPECT_NE(ini.find("ShowBar=0"), std::string::npos) << ini;
    EXPECT_NE(ini.find("Show Cursor=1"), std::string::npos) << ini;
    EXPECT_NE(ini.find("Wait=9"), std::string::npos) << ini;
    w.Click(TCommandId::ShowToolBar, TPlace::MenuBar);
    EXPECT_TRUE(w.ToolBarShown());
    EXPECT_NE(ReadIni().find("ShowBar=1"), std::string::npos);
}

TEST_F(OptionsDialog, TitleBarCloseGivesCancelWithoutRefill) {
    TOptionsDialog& d = Dialog();
    d.HideWhileCapturingBox->SetChecked(true);
    PostMessageA(d.Handle(), WM_CLOSE, 0, 0);
    const int result = d.ShowModal();
    EXPECT_EQ(result, mrCancel);
    EXPECT_TRUE(d.HideWhileCapturingBox->Checked());
    EXPECT_FALSE(Settings.HideForm);
    EXPECT_EQ(GetFileAttributesA(Path().c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(OptionsDialog, EscapeOnlyActsInFullScreenView) {
    TMainWindow& w = MainWindow();
    const RECT before{w.Left(), w.Top(), w.Width(), w.Height()};
    int returns = 0;
    w.BeforeCommand = [&](TCommandId id) {
        returns += id == TCommandId::LeaveFullScreen;
        return true;
    };
    SendMessageA(w.Handle(), WM_KEYDOWN, VK_ESCAPE, 0);  // not maximised, no full screen
    EXPECT_EQ(w.Width(), before.right);
    w.SetWindowState(TWindowState::wsMaximized);
    Pump();
    SendMessageA(w.Handle(), WM_KEYDOWN, VK_ESCAPE, 0);  // maximised by the user: no full screen either
    EXPECT_EQ(w.WindowState(), TWindowState::wsMaximized);
    EXPECT_EQ(returns, 0);
    w.BeforeCommand = nullptr;
    w.SetWindowState(TWindowState::wsNormal);
    Pump();
}

}  // namespace
