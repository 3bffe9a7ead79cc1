// The chosen-window capture seen from outside, on its less travelled paths: a window that
// vanishes while being measured, the fixed second before the copy, a maximised window, and
// the list's help button.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Driver.h"
#include "WindowKit.h"

using namespace e2e;

namespace {

struct ChoiceOptions {
    int wait = 0;
    bool hide = false, client = false;
};

std::string ChoiceIni(const ChoiceOptions& o) {
    return std::string("[Kaptor32]\r\nWait=") + std::to_string(o.wait) + "\r\nHideForm=" + (o.hide ? "1" : "0") +
           "\r\nCapture Client=" + (o.client ? "1" : "0") +
           "\r\nCapture Control=0\r\nShow Cursor=0\r\nShow After Capturing=1\r\n";
}

struct ClassQuery {
    std::string cls, caption;
    HWND found;
};

BOOL CALLBACK MatchChild(HWND w, LPARAM lp) {
    auto* q = reinterpret_cast<ClassQuery*>(lp);
    if (lstrcmpiA(ClassOf(w).c_str(), q->cls.c_str()) == 0 && (q->caption.empty() || WindowText(w) == q->caption)) {
        q->found = w;
        return FALSE;
    }
    return TRUE;
}

// The first child of that class (any case), with that caption if one is given.
HWND ChildWith(HWND parent, const std::string& cls, const std::string& caption = "") {
    ClassQuery q{cls, caption, nullptr};
    EnumChildWindows(parent, MatchChild, reinterpret_cast<LPARAM>(&q));
    return q.found;
}

class Chooser {
public:
    explicit Chooser(const ChoiceOptions& o) : prog_(ChoiceIni(o)) {
        main_ = prog_.WaitMainWindow();
        status_ = MainStatusBar(main_);
        Sleep(300);
    }
    Program& Prog() { return prog_; }
    HWND Main() const { return main_; }
    DWORD Pid() const { return prog_.Pid(); }
    std::string Size() const { return StatusPanel(status_, 0); }
    bool WaitSize(const std::string& text, int timeoutMs = 15000) const {
        return WaitFor([&] { return Size() == text; }, timeoutMs);
    }
    bool MainShown(int timeoutMs = 5000) const {
        return WaitFor([&] { return IsWindowVisible(main_) != 0; }, timeoutMs);
    }
    // The list dialog once it is on the screen; null if it does not come.
    HWND ShownList(int timeoutMs = 5000) const {
        HWND dlg = nullptr;
        WaitFor(
            [&] {
                auto w = WindowsOf(prog_.Pid(), "TApDlg", true);
                dlg = w.empty() ? nullptr : w.front();
                return dlg != nullptr;
            },
            timeoutMs);
        return dlg;
    }
    HWND OpenList() {
        Activate(main_);
        PressKey(VK_F6);
        return ShownList();
    }
    static std::vector<std::string> Lines(HWND dlg) { return ListBoxLines(ChildWith(dlg, "ListBox")); }
    static void Press(HWND dlg, const std::string& caption) {
        PostMessageA(ChildWith(dlg, "Button", caption), BM_CLICK, 0, 0);
    }
    // Selects the line with this title and presses the capture button.
    static bool Choose(HWND dlg, const std::string& title) {
        const auto lines = Lines(dlg);
        const auto it = std::find(lines.begin(), lines.end(), title);
        if (it == lines.end()) return false;
        SendMessageA(ChildWith(dlg, "ListBox"), LB_SETCURSEL, static_cast<WPARAM>(it - lines.begin()), 0);
        Press(dlg, "ｷｬﾌﾟﾁｬｰ(&S)");
        return true;
    }
    // A pixel of the picture as the view shows it at 100 %, with the program in front.
    std::uint32_t PicturePixel(int x, int y) const {
        Activate(main_);
        Sleep(300);
        const RECT r = ClientRectOnScreen(PictureControl(main_));
        return ScreenPixels({r.left + x, r.top + y, r.left + x + 1, r.top + y + 1}).at(0);
    }

private:
    Program prog_;
    HWND main_ = nullptr, status_ = nullptr;
};

SIZE SizeOfRect(const RECT& r) { return {r.right - r.left, r.bottom - r.top}; }

}  // namespace

TEST(ChosenWindowMoreE2E, VanishedWhileMeasuredTheSameListComesBackForAnotherChoice) {
    Chooser c({.hide = true});
    PlainWindow second("K6 Second Choice", 600, 120, 230, 170);
    VanishingWindow vanishing("K6 Vanishing", 560, 90, 240, 180);
    RECT wr;
    GetWindowRect(second.Handle(), &wr);
    HWND dlg = c.OpenList();
    ASSERT_TRUE(dlg);
    const auto before = Chooser::Lines(dlg);
    ASSERT_TRUE(Chooser::Choose(dlg, "K6 Vanishing"));
    EXPECT_EQ(AnswerMessageBox(c.Pid()), "ｳｨﾝﾄﾞｳの位置取得に失敗");
    EXPECT_TRUE(vanishing.Gone());

    // Shown again, modal, with the same lines (the vanished window still among them), while
    // the program stays hidden.
    ASSERT_EQ(c.ShownList(), dlg);
    EXPECT_EQ(Chooser::Lines(dlg), before);
    EXPECT_FALSE(IsWindowVisible(c.Main()));
    EXPECT_EQ(c.Size(), "");

    ASSERT_TRUE(Chooser::Choose(dlg, "K6 Second Choice"));
    const SIZE s = SizeOfRect(wr);
    EXPECT_TRUE(c.WaitSize(SizeText(s.cx, s.cy))) << c.Size();
    EXPECT_TRUE(c.MainShown());
    EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(dlg) && IsWindowEnabled(c.Main()); }, 5000));
}

TEST(ChosenWindowMoreE2E, VanishedWhileMeasuredThenCancelledTheProgramComesBack) {
    Chooser c({.hide = true});
    VanishingWindow vanishing("K6 Vanishing Cancel", 560, 90, 240, 180);
    HWND dlg = c.OpenList();
    ASSERT_TRUE(dlg);
    ASSERT_TRUE(Chooser::Choose(dlg, "K6 Vanishing Cancel"));
    EXPECT_EQ(AnswerMessageBox(c.Pid()), "ｳｨﾝﾄﾞｳの位置取得に失敗");
    ASSERT_EQ(c.ShownList(), dlg);
    EXPECT_FALSE(IsWindowVisible(c.Main()));
    Chooser::Press(dlg, "ｷｬﾝｾﾙ(&C)");
    EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(dlg); }, 5000));
    // A hidden program with nothing chosen would be out of reach: it shows itself again.
    EXPECT_TRUE(c.MainShown());
    EXPECT_TRUE(IsWindowEnabled(c.Main()));
    EXPECT_EQ(c.Size(), "");
    EXPECT_TRUE(c.OpenList());  // and answers its commands
}

TEST(ChosenWindowMoreE2E, WaitZeroStillCopiesASecondAfterTheWindowCameToTheFront) {
    // The window changes colour 400 ms after it is activated: a copy made at once would show
    // the first colour, a copy made a second later the second.
    LateColourWindow late("K6 Late Colour", 580, 140, 260, 190, RGB(0x20, 0x80, 0xC0), RGB(0xC0, 0x30, 0x30), 400);
    RECT cr;
    GetClientRect(late.Handle(), &cr);
    Chooser c({.hide = true, .client = true});
    HWND dlg = c.OpenList();
    ASSERT_TRUE(dlg);
    late.Arm();
    ASSERT_TRUE(Chooser::Choose(dlg, "K6 Late Colour"));
    // Nothing is asked of the program meanwhile: a message sent to it would hold this thread,
    // and with it the window's timer and painting, until the program is done.
    ASSERT_TRUE(WaitFor([&] { return late.ChangedAt() != 0; }, 5000)) << "the window was never brought to the front";
    ASSERT_TRUE(c.WaitSize(SizeText(cr.right, cr.bottom))) << c.Size();
    EXPECT_GE(Milliseconds() - late.ActivatedAt(), 1000);
    EXPECT_EQ(c.PicturePixel(cr.right / 2, cr.bottom / 2), 0xC03030u);
    EXPECT_EQ(c.PicturePixel(2, 2), 0xC03030u);
}

TEST(ChosenWindowMoreE2E, MaximisedWindowIsTakenAtItsMaximisedSizeAndLeftMaximised) {
    PlainWindow big("K6 Maximised", 100, 100, 300, 200, SW_SHOWMAXIMIZED, RGB(0x20, 0x80, 0xC0));
    ASSERT_TRUE(IsZoomed(big.Handle()));
    RECT wr;
    GetWindowRect(big.Handle(), &wr);
    const SIZE s = SizeOfRect(wr);
    EXPECT_GE(s.cx, GetSystemMetrics(SM_CXSCREEN));  // the borders reach past the screen
    Chooser c({.hide = true});
    HWND dlg = c.OpenList();
    ASSERT_TRUE(dlg);
    ASSERT_TRUE(Chooser::Choose(dlg, "K6 Maximised"));
    EXPECT_TRUE(c.WaitSize(SizeText(s.cx, s.cy))) << c.Size();
    EXPECT_TRUE(c.MainShown());
    EXPECT_TRUE(IsZoomed(big.Handle()));
    EXPECT_FALSE(IsIconic(big.Handle()));
    RECT after;
    GetWindowRect(big.Handle(), &after);
    EXPECT_TRUE(EqualRect(&after, &wr));
    // Well inside the client area, below the caption: the window's own colour.
    EXPECT_EQ(c.PicturePixel(s.cx / 4, s.cy / 4), 0x2080C0u);
}

TEST(ChosenWindowMoreE2E, HelpButtonOpensTheWindowListTopic) {
    Chooser c({});
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir = path;
    dir = dir.substr(0, dir.find_last_of('\\') + 1);
    std::string source;
    for (const std::string& candidate : {dir + "Kaptor.hlp", dir + "..\\..\\Kaptor.hlp"})
        if (GetFileAttributesA(candidate.c_str()) != INVALID_FILE_ATTRIBUTES) source = candidate;
    ASSERT_FALSE(source.empty()) << "Kaptor.hlp not built";
    ASSERT_TRUE(CopyFileA(source.c_str(), (c.Prog().Dir() + "Kaptor.hlp").c_str(), FALSE));

    HWND dlg = c.OpenList();
    ASSERT_TRUE(dlg);
    Chooser::Press(dlg, "ﾍﾙﾌﾟ(&H)");
    HWND viewer = nullptr;
    ASSERT_TRUE(WaitFor(
        [&] {
            auto w = WindowsOf(c.Pid(), "TKaptorHelp", true);
            viewer = w.empty() ? nullptr : w.front();
            return viewer != nullptr;
        },
        10000));
    EXPECT_EQ(WindowText(viewer), "Kaptor32 ﾍﾙﾌﾟ - ｳｨﾝﾄﾞｳの選択");
    EXPECT_NE(WindowText(FindChild(viewer, "Edit", 1)).find("見えているｳｨﾝﾄﾞｳのﾀｲﾄﾙ"), std::string::npos);
    EXPECT_TRUE(IsWindowVisible(dlg));  // the list stays for the choice
}
