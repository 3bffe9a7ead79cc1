// The options dialog against the real main window and a real settings file in a folder of
// the test's own.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <sstream>

#include "TestApp.h"
#include "app/FD_Kaptor2.h"
#include "app/F_Kaptor.h"
#include "settings/Settings.h"
#include "framework/base/SysUtils.h"
#include "framework/win/Dialogs.h"

using namespace kaptor;
using namespace kaptor::testing;

namespace {

TOptionDlg& Dialog() {
    MainWindow();
    if (!OptionDlg) Application->CreateForm<TOptionDlg>();
    return *OptionDlg;
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
        OptionDlg->FormCreate(OptionDlg);
        TakeMessages();
    }
    void TearDown() override {
        TColorDialog::ExecuteHook = nullptr;
        DeleteFileA(Path().c_str());
        RemoveDirectoryA(dir_.c_str());
        ProgramDir = savedDir_;
        Settings = savedSettings_;
        OptionDlg->FormCreate(OptionDlg);
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
    TOptionDlg& d = Dialog();
    EXPECT_EQ(d.Caption(), "環境設定");
    EXPECT_EQ(d.ClientWidth(), 305);
    EXPECT_EQ(d.ClientHeight(), 311);  // two rows for the later options
    EXPECT_EQ(d.HelpContext, 100500);
    EXPECT_EQ(d.SpinEdit1->Left(), 203);
    EXPECT_EQ(d.Shape1->Left(), 172);
    EXPECT_EQ(d.Shape1->Width(), 113);
    EXPECT_EQ(d.OKBtn->Top(), 279);
    EXPECT_EQ(d.CheckBox7->Top(), 140);
    EXPECT_EQ(d.CheckBox6->Top(), 160);
    EXPECT_EQ(d.DefaultButton, d.OKBtn);
    EXPECT_EQ(d.CancelButton, d.CancelBtn);
    // Tab order: the dialog manager walks the children in creation order.
    std::vector<HWND> order;
    HWND first = GetNextDlgTabItem(d.Handle(), nullptr, FALSE);
    for (HWND w = first; w && order.size() < 20;) {
        order.push_back(w);
        w = GetNextDlgTabItem(d.Handle(), w, FALSE);
        if (w == first) break;
    }
    const std::vector<HWND> expected{d.OKBtn->Handle(),    d.CancelBtn->Handle(), d.SpinEdit1->Handle(),
                                     d.CheckBox1->Handle(), d.CheckBox3->Handle(), d.CheckBox4->Handle(),
                                     d.CheckBox5->Handle(), d.CheckBox6->Handle(), d.Button1->Handle(),
                                     d.CheckBox2->Handle(), d.CheckBox7->Handle(), d.CheckBox8->Handle(),
                                     d.HotKeysBox->Handle(), d.CountdownBox->Handle()};
    EXPECT_EQ(order, expected);
}

TEST_F(OptionsDialog, FormCreateFillsTheControlsAndAppliesTheBars) {
    TOptionDlg& d = Dialog();
    TKaptor32& w = MainWindow();
    Settings.Wait = 42;
    Settings.HideForm = true;
    Settings.ShowBar = false;
    Settings.ShowStsBar = false;
    Settings.CaptureControl = true;
    d.FormCreate(&d);
    EXPECT_EQ(d.SpinEdit1->Text(), "42");
    EXPECT_TRUE(d.CheckBox2->Checked());
    EXPECT_FALSE(d.CheckBox1->Checked());
    EXPECT_TRUE(d.CheckBox7->Checked());
    EXPECT_FALSE(w.M_ShowToolBar->Checked());
    EXPECT_FALSE(w.M_ShowStatusBar->Checked());
    EXPECT_FALSE(w.CoolBar1->Visible());
    EXPECT_FALSE(w.StatusBar1->Visible());
    Settings.ShowBar = true;
    d.FormCreate(&d);
    EXPECT_TRUE(w.M_ShowToolBar->Checked());
    EXPECT_TRUE(w.CoolBar1->Visible());
    EXPECT_FALSE(w.StatusBar1->Visible());
}

TEST_F(OptionsDialog, OkWithNoChangeWritesAllElevenKeysInWriteOrder) {
    Dialog().OKBtnClick(OptionDlg);
    const std::string ini = ReadIni();
    const char* keys[] = {"Wait=3",           "RunCapture=0",   "HideForm=0",           "ShowBar=1",
                          "ShowStsBar=1",     "Start TrayIcon=0", "End TrayIcon=0",     "Capture Client=0",
                          "Show After Capturing=0", "Capture Control=0", "Show Cursor=0"};
    size_t at = ini.find("[Kaptor32]");
    ASSERT_NE(at, std::string::npos) << ini;
    for (const char* key : keys) {
        const size_t next = ini.find(key, at);
        ASSERT_NE(next, std::string::npos) << key << " missing or out of order in\n" << ini;
        at = next;
    }
}

TEST_F(OptionsDialog, OkCopiesEveryControlIntoSettings) {
    TOptionDlg& d = Dialog();
    d.SpinEdit1->SetText("-5");  // as confirmed with Enter: no clamp, stored as typed
    d.CheckBox1->SetChecked(true);
    d.CheckBox3->SetChecked(true);
    d.CheckBox6->SetChecked(true);
    d.CheckBox8->SetChecked(true);
    d.OKBtnClick(&d);
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
    TOptionDlg& d = Dialog();
    for (const char* text : {"1.5", "", "+"}) {
        d.SpinEdit1->SetText(text);
        d.CheckBox1->SetChecked(true);
        const TSettings before = Settings;
        try {
            d.OKBtnClick(&d);
            ADD_FAILURE() << "no error for '" << text << "'";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message, std::string("'") + text + "' は整数ではありません");
        }
        EXPECT_TRUE(Settings == before);
        EXPECT_EQ(GetFileAttributesA(Path().c_str()), INVALID_FILE_ATTRIBUTES);
        // Not refilled: the typed state stays until the next Cancel or OK.
        EXPECT_EQ(d.SpinEdit1->Text(), text);
        EXPECT_TRUE(d.CheckBox1->Checked());
    }
}

TEST_F(OptionsDialog, UnwritableFileIsReportedAfterSettingsAndBarsChanged) {
    TOptionDlg& d = Dialog();
    TKaptor32& w = MainWindow();
    ProgramDir = dir_ + "missing\\";  // a folder that does not exist
    d.CheckBox5->SetChecked(true);
    w.M_ShowStatusBar->SetChecked(false);
    try {
        d.OKBtnClick(&d);
        ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, ProgramDir + "Kaptor.INI に書き込めません");
    }
    EXPECT_TRUE(Settings.CaptureClient);
    EXPECT_FALSE(Settings.ShowStsBar);
    EXPECT_FALSE(w.StatusBar1->Visible());
    // Through the View menu the error reaches the top-level handler and the program goes on.
    SendMessageA(w.Handle(), WM_COMMAND, w.M_ShowStatusBar->Command(), 0);
    Pump();
    const auto messages = TakeMessages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("に書き込めません"), std::string::npos);
    EXPECT_TRUE(w.M_ShowStatusBar->Checked());  // the check mark stays flipped
}

TEST_F(OptionsDialog, CancelAfterAColourPickKeepsTheColourAndRestoresTheOptions) {
    TOptionDlg& d = Dialog();
    TKaptor32& w = MainWindow();
    ASSERT_EQ(d.FrameColor(), RGB(255, 0, 0));
    COLORREF offered = 0;
    TColorDialog::ExecuteHook = [&](TColorDialog& dialog) {
        offered = dialog.Color;
        dialog.Color = RGB(0, 128, 255);
        return true;
    };
    d.Button1Click(d.Button1);
    EXPECT_EQ(offered, RGB(255, 0, 0));
    EXPECT_EQ(d.Shape1->BrushColor(), RGB(0, 128, 255));
    d.CheckBox4->SetChecked(true);
    d.SpinEdit1->SetText("77");
    d.CancelBtn->Click();
    EXPECT_EQ(d.ModalResult, mrCancel);
    EXPECT_FALSE(d.CheckBox4->Checked());
    EXPECT_EQ(d.SpinEdit1->Text(), "3");
    EXPECT_EQ(w.FrameColor(), RGB(0, 128, 255));
    // A refused dialog changes nothing.
    TColorDialog::ExecuteHook = [](TColorDialog& dialog) {
        dialog.Color = RGB(1, 2, 3);
        return false;
    };
    d.Button1Click(d.Button1);
    EXPECT_EQ(w.FrameColor(), RGB(0, 128, 255));
    d.Shape1->SetBrushColor(RGB(255, 0, 0));
}

TEST_F(OptionsDialog, ToolBarToggleWritesAtOnceAndCommitsUnappliedEdits) {
    TOptionDlg& d = Dialog();
    TKaptor32& w = MainWindow();
    // Edits left in the controls, as after the title-bar close button.
    d.CheckBox8->SetChecked(true);
    d.SpinEdit1->SetText("9");
    w.M_ShowToolBar->Click();
    EXPECT_FALSE(w.M_ShowToolBar->Checked());
    EXPECT_FALSE(Settings.ShowBar);
    EXPECT_FALSE(w.CoolBar1->Visible());
    EXPECT_TRUE(Settings.ShowCursor);
    EXPECT_EQ(Settings.Wait, 9);
    const std::string ini = ReadIni();
    EXPECT_NE(ini.find("ShowBar=0"), std::string::npos) << ini;
    EXPECT_NE(ini.find("Show Cursor=1"), std::string::npos) << ini;
    EXPECT_NE(ini.find("Wait=9"), std::string::npos) << ini;
    w.M_ShowToolBar->Click();
    EXPECT_TRUE(w.CoolBar1->Visible());
    EXPECT_TRUE(w.ToolBar1->Visible());
    EXPECT_NE(ReadIni().find("ShowBar=1"), std::string::npos);
}

TEST_F(OptionsDialog, TitleBarCloseGivesCancelWithoutRefill) {
    TOptionDlg& d = Dialog();
    d.CheckBox2->SetChecked(true);
    PostMessageA(d.Handle(), WM_CLOSE, 0, 0);
    const int result = d.ShowModal();
    EXPECT_EQ(result, mrCancel);
    EXPECT_TRUE(d.CheckBox2->Checked());
    EXPECT_FALSE(Settings.HideForm);
    EXPECT_EQ(GetFileAttributesA(Path().c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(OptionsDialog, EscapeOnlyActsInFullScreenView) {
    TKaptor32& w = MainWindow();
    const RECT before{w.Left(), w.Top(), w.Width(), w.Height()};
    w.SavedWidth = 300;
    WORD key = VK_ESCAPE;
    w.FormKeyDown(&w, key, 0);  // not maximised, PM_Esc off
    EXPECT_EQ(w.Width(), before.right);
    w.SetWindowState(TWindowState::wsMaximized);
    Pump();
    w.FormKeyDown(&w, key, 0);  // maximised by the user: PM_Esc still off
    EXPECT_EQ(w.WindowState(), TWindowState::wsMaximized);
    w.SetWindowState(TWindowState::wsNormal);
    Pump();
    w.SavedWidth = before.right;
}

}  // namespace
