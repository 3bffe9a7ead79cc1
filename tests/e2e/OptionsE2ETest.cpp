// The options dialog, the View-menu toggles, the About box and help, driven from outside
// with a real settings file.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

#include "Driver.h"

using namespace e2e;

namespace {

const std::string Ini = "[Kaptor32]\r\nWait=2\r\nHideForm=0\r\nRunCapture=0\r\n";

struct ChildSearch {
    std::string text;
    HWND found = nullptr;
};

BOOL CALLBACK MatchText(HWND wnd, LPARAM lp) {
    auto* s = reinterpret_cast<ChildSearch*>(lp);
    if (WindowText(wnd) == s->text) {
        s->found = wnd;
        return FALSE;
    }
    return TRUE;
}

HWND ChildByText(HWND parent, const std::string& text) {
    ChildSearch s{text};
    EnumChildWindows(parent, MatchText, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

HWND WaitWindow(const Program& p, const std::string& className, int timeoutMs = 10000) {
    HWND found = nullptr;
    WaitFor(
        [&] {
            auto w = WindowsOf(p.Pid(), className, true);
            found = w.empty() ? nullptr : w.front();
            return found != nullptr;
        },
        timeoutMs);
    return found;
}

bool Hidden(HWND wnd) {
    return WaitFor([&] { return !IsWindowVisible(wnd); }, 10000);
}

HWND OpenOptions(Program& p) {
    Activate(p.MainWindow());
    PressKey('O', true);
    HWND dlg = WaitWindow(p, "TOptionDlg");
    if (dlg) Sleep(200);
    return dlg;
}

bool Checked(HWND box) { return SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void ClickCenter(HWND wnd) {
    RECT r;
    GetWindowRect(wnd, &r);
    Click((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

// From OKBtn, where the dialog opens, past CancelBtn into the delay box, which selects its
// text on the way in.
void TabToSpin() {
    PressKey(VK_TAB);
    PressKey(VK_TAB);
    Sleep(300);
}

// The View menu's first item, ﾂｰﾙﾊﾞｰ, by keyboard (menus cannot be read from outside).
void ToggleToolBar(HWND main) {
    Activate(main);
    PressKey('V', false, false, true);
    Sleep(300);
    PressKey(VK_RETURN);
}

// The file as soon as it holds every part. The program writes key by key, so a test that
// looks at several keys waits for the last one it needs, not just the first.
std::string WaitIni(const Program& p, std::initializer_list<std::string> parts) {
    std::string ini;
    WaitFor([&] {
        ini = p.ReadIni();
        for (const std::string& part : parts)
            if (ini.find(part) == std::string::npos) return false;
        return true;
    });
    return ini;
}

TEST(OptionsDialogE2E, OkWithNoChangeWritesAllElevenKeysInWriteOrder) {
    // The profile API keeps a key already in the file in its place: start with only one.
    Program p("[Kaptor32]\r\nWait=2\r\n");
    p.WaitMainWindow();
    HWND dlg = OpenOptions(p);
    ASSERT_TRUE(dlg);
    EXPECT_EQ(WindowText(dlg), "環境設定");
    SaveShot("options");
    PressKey(VK_RETURN);
    ASSERT_TRUE(Hidden(dlg));
    const std::string ini = WaitIni(p, {"Monitor Under Pointer"});
    const char* keys[] = {"Wait=2",         "RunCapture=0",           "HideForm=1",        "ShowBar=1",
                          "ShowStsBar=1",   "Start TrayIcon=0",       "End TrayIcon=0",    "Capture Client=0",
                          "Show After Capturing=0", "Capture Control=0", "Show Cursor=1", "Hot Keys=0",
                          "Show Countdown=0", "Copy After Capture=0", "Save After Capture=0", "Save Folder=\r\n",
                          "Save Name=Kaptor%Y%m%d-%H%M%S-%n.png\r\n", "Monitor Under Pointer=0\r\n"};
    size_t at = 0;
    for (const char* key : keys) {
        const size_t next = ini.find(key, at);
        ASSERT_NE(next, std::string::npos) << key << " missing or out of order in\n" << ini;
        at = next;
    }
}

TEST(OptionsDialogE2E, MinusFiveWithEnterIsStoredAsTypedButAClickOnOkClampsItFirst) {
    Program p(Ini);
    p.WaitMainWindow();
    HWND dlg = OpenOptions(p);
    ASSERT_TRUE(dlg);
    HWND spin = FindChild(dlg, "Edit");
    ASSERT_TRUE(spin);
    TabToSpin();
    TypeText("-5");
    EXPECT_EQ(WindowText(spin), "-5");
    PressKey(VK_RETURN);
    ASSERT_TRUE(Hidden(dlg));
    EXPECT_NE(WaitIni(p, {"Wait=-5"}).find("Wait=-5"), std::string::npos);

    dlg = OpenOptions(p);
    ASSERT_TRUE(dlg);
    TabToSpin();
    TypeText("-5");
    ClickCenter(ChildByText(dlg, "OK"));
    ASSERT_TRUE(Hidden(dlg));
    EXPECT_NE(WaitIni(p, {"Wait=0"}).find("Wait=0"), std::string::npos);
}

TEST(OptionsDialogE2E, CancelAfterAColourPickKeepsTheColourAndRestoresTheOptions) {
    Program p(Ini);
    p.WaitMainWindow();
    HWND dlg = OpenOptions(p);
    ASSERT_TRUE(dlg);
    const RECT c = ClientRectOnScreen(dlg);
    const int swatchX = c.left + 172 + 56, swatchY = c.top + 247 + 5;  // below the later options
    EXPECT_TRUE(WaitFor([&] { return ScreenPixel(swatchX, swatchY) == RGB(255, 0, 0); }, 3000))
        << std::hex << ScreenPixel(swatchX, swatchY);

    HWND box1 = ChildByText(dlg, "起動時にｷｬﾌﾟﾁｬｰ");
    ASSERT_TRUE(box1);
    PostMessageA(box1, BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return Checked(box1); }));

    PostMessageA(ChildByText(dlg, "範囲指定時の枠の色"), BM_CLICK, 0, 0);
    HWND colour = WaitWindow(p, "#32770");
    ASSERT_TRUE(colour);
    Sleep(300);
    // Red, green and blue boxes of the colour dialog.
    for (auto [id, value] : {std::pair{706, "0"}, std::pair{707, "128"}, std::pair{708, "255"}}) {
        HWND edit = GetDlgItem(colour, id);
        ASSERT_TRUE(edit) << id;
        SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(value));
        SendMessageA(colour, WM_COMMAND, MAKEWPARAM(id, EN_UPDATE), reinterpret_cast<LPARAM>(edit));
    }
    PostMessageA(colour, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(colour, IDOK)));
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(colour) || !IsWindowVisible(colour); }));
    ASSERT_TRUE(WaitFor([&] { return ScreenPixel(swatchX, swatchY) == RGB(0, 128, 255); }, 5000))
        << std::hex << ScreenPixel(swatchX, swatchY);

    Activate(dlg);
    PressKey(VK_ESCAPE);
    ASSERT_TRUE(Hidden(dlg));
    dlg = OpenOptions(p);
    ASSERT_TRUE(dlg);
    EXPECT_FALSE(Checked(box1));  // the option restored
    EXPECT_EQ(ScreenPixel(swatchX, swatchY), RGB(0, 128, 255));  // the colour kept
    EXPECT_EQ(p.ReadIni(), Ini);  // nothing saved
}

TEST(OptionsDialogE2E, ShowBarOffHidesTheToolBarAreaFromTheStart) {
    Program p(Ini + "ShowBar=0\r\n");
    HWND main = p.WaitMainWindow();
    // The grey view starts right under the menu bar: no tool bar area above it.
    const RECT c = ClientRectOnScreen(main);
    EXPECT_TRUE(WaitFor([&] { return ScreenPixel(c.left + 300, c.top + 4) == RGB(128, 128, 128); }, 5000))
        << std::hex << ScreenPixel(c.left + 300, c.top + 4);
    EXPECT_TRUE(IsWindowVisible(FindChild(main, "msctls_statusbar32")));
}

TEST(OptionsDialogE2E, ToolBarToggleWritesAtOnceAndSavesEditsLeftByTheTitleBarClose) {
    Program p(Ini);
    HWND main = p.WaitMainWindow();
    HWND rebar = FindChild(main, "ReBarWindow32");
    ASSERT_TRUE(rebar);
    ASSERT_TRUE(IsWindowVisible(rebar));

    HWND dlg = OpenOptions(p);
    ASSERT_TRUE(dlg);
    HWND box8 = ChildByText(dlg, "ﾏｳｽｶｰｿﾙもｷｬﾌﾟﾁｬｰ");
    ASSERT_TRUE(box8);
    ASSERT_TRUE(Checked(box8));
    PostMessageA(box8, BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return !Checked(box8); }));
    PostMessageA(dlg, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(Hidden(dlg));
    Sleep(300);
    EXPECT_EQ(p.ReadIni(), Ini);  // closing saved nothing

    ToggleToolBar(main);
    const std::string ini = WaitIni(p, {"ShowBar=0", "Show Cursor="});
    EXPECT_NE(ini.find("ShowBar=0"), std::string::npos) << ini;
    EXPECT_NE(ini.find("Show Cursor=0"), std::string::npos) << ini;
    EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(rebar); }));
    ToggleToolBar(main);
    EXPECT_NE(WaitIni(p, {"ShowBar=1"}).find("ShowBar=1"), std::string::npos);
    EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(rebar) != 0; }));
}

TEST(OptionsDialogE2E, DelayThatIsNoWholeNumberIsReportedAndNothingSaved) {
    Program p(Ini);
    p.WaitMainWindow();
    HWND dlg = OpenOptions(p);
    ASSERT_TRUE(dlg);
    HWND spin = FindChild(dlg, "Edit");
    TabToSpin();
    TypeText("1.5");
    EXPECT_EQ(WindowText(spin), "1.5");
    PressKey(VK_RETURN);
    EXPECT_EQ(AnswerMessageBox(p.Pid()), "'1.5' は整数ではありません");
    EXPECT_TRUE(Hidden(dlg));
    EXPECT_EQ(p.ReadIni(), Ini);
    EXPECT_TRUE(p.Running());
}

TEST(OptionsDialogE2E, UnwritableSettingsFileIsReportedAndTheProgramGoesOn) {
    Program p;
    HWND main = p.WaitMainWindow();
    // A folder where the file should be: no write can succeed.
    ASSERT_TRUE(CreateDirectoryA(p.IniPath().c_str(), nullptr));
    ToggleToolBar(main);
    const std::string text = AnswerMessageBox(p.Pid());
    RemoveDirectoryA(p.IniPath().c_str());
    EXPECT_EQ(text, p.IniPath() + " に書き込めません");
    EXPECT_TRUE(p.Running());
    // The program still answers.
    HWND dlg = OpenOptions(p);
    ASSERT_TRUE(dlg);
    PressKey(VK_ESCAPE);
    EXPECT_TRUE(Hidden(dlg));
}

std::vector<std::uint32_t> IconPixels(HWND box) {
    const RECT c = ClientRectOnScreen(box);
    // AboutPanel at (8, 8), Image1 at (9, 8) inside it.
    return ScreenPixels(RECT{c.left + 17, c.top + 16, c.left + 49, c.top + 48});
}

HWND OpenAbout(Program& p) {
    Activate(p.MainWindow());
    PressKey('H', false, false, true);
    Sleep(300);
    PressKey('A');
    HWND box = WaitWindow(p, "TAboutBox");
    if (box) Sleep(300);
    return box;
}

TEST(AboutBoxE2E, ShowsTheVersionAndAnimatesTheIconUntilClosed) {
    Program p(Ini);
    p.WaitMainWindow();
    HWND box = OpenAbout(p);
    ASSERT_TRUE(box);
    EXPECT_EQ(WindowText(box), "ﾊﾞｰｼﾞｮﾝ情報");
    EXPECT_TRUE(ChildByText(box, "Version  1.4.0.67")) << "no label with the version";
    const auto resting = IconPixels(box);
    const RECT c = ClientRectOnScreen(box);
    // A synthetic double-click can come apart into two clicks: try once more if so.
    bool moved = false;
    for (int attempt = 0; attempt < 2 && !moved; ++attempt) {
        Click(c.left + 33, c.top + 32, false, true);
        moved = WaitFor([&] { return IconPixels(box) != resting; }, 3000);
    }
    ASSERT_TRUE(moved);
    const auto frameA = IconPixels(box);
    ASSERT_TRUE(WaitFor([&] { return IconPixels(box) != frameA; }, 3000));  // frame B
    const auto frameB = IconPixels(box);
    ASSERT_TRUE(WaitFor([&] { return IconPixels(box) != frameB; }, 3000));  // and on again
    EXPECT_NE(frameB, resting);
    Activate(box);
    PressKey(VK_RETURN);
    ASSERT_TRUE(Hidden(box));

    box = OpenAbout(p);
    ASSERT_TRUE(box);
    EXPECT_EQ(IconPixels(box), resting);
    Sleep(1500);
    EXPECT_EQ(IconPixels(box), resting);  // not moving
    Activate(box);
    PressKey(VK_ESCAPE);  // no cancel button: Esc leaves it open
    Sleep(500);
    EXPECT_TRUE(IsWindowVisible(box));
    PostMessageA(box, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(Hidden(box));
}

std::string HelpSource() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir = path;
    dir = dir.substr(0, dir.find_last_of('\\') + 1);
    for (const std::string& candidate : {dir + "Kaptor.hlp", dir + "..\\..\\Kaptor.hlp"})
        if (GetFileAttributesA(candidate.c_str()) != INVALID_FILE_ATTRIBUTES) return candidate;
    return "";
}

TEST(HelpE2E, F1OpensTheTopicOfTheMainWindowAndOfTheOptionsDialog) {
    Program p(Ini);
    HWND main = p.WaitMainWindow();
    const std::string source = HelpSource();
    ASSERT_FALSE(source.empty()) << "Kaptor.hlp not built";
    ASSERT_TRUE(CopyFileA(source.c_str(), (p.Dir() + "Kaptor.hlp").c_str(), FALSE));

    Activate(main);
    PressKey(VK_F1);
    HWND viewer = WaitWindow(p, "TKaptorHelp");
    ASSERT_TRUE(viewer);
    EXPECT_EQ(WindowText(viewer), "Kaptor32 ﾍﾙﾌﾟ - ﾒｲﾝｳｨﾝﾄﾞｳ");
    PostMessageA(viewer, WM_CLOSE, 0, 0);
    ASSERT_TRUE(Hidden(viewer));

    HWND dlg = OpenOptions(p);
    ASSERT_TRUE(dlg);
    PressKey(VK_F1);
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(viewer) != 0; }));
    EXPECT_EQ(WindowText(viewer), "Kaptor32 ﾍﾙﾌﾟ - 環境設定");
    EXPECT_NE(WindowText(FindChild(viewer, "Edit", 1)).find("待ち時間"), std::string::npos);
}

TEST(HelpE2E, MissingHelpFileIsReportedByTheViewerAndTheProgramGoesOn) {
    Program p(Ini);
    HWND main = p.WaitMainWindow();
    Activate(main);
    PressKey(VK_F1);
    EXPECT_EQ(AnswerMessageBox(p.Pid()), "ﾍﾙﾌﾟﾌｧｲﾙ " + p.Dir() + "Kaptor.hlp が見つかりません");
    EXPECT_TRUE(p.Running());
    HWND dlg = OpenOptions(p);
    EXPECT_TRUE(dlg);
}

}  // namespace
