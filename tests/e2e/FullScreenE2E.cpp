// Full-screen view and resize driven from outside: window bounds, frame, bars and status bar
// read from another process, the picture read from the screen, the context menu clicked.
// With KAPTOR_E2E_SHOTS naming a folder, the screen is also saved there as BMP files at the
// moments worth looking at.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "Driver.h"

using namespace e2e;

namespace {

const std::string Ini = "[Kaptor32]\r\nWait=0\r\nHideForm=0\r\nShow Cursor=0\r\nShowBar=1\r\nShowStsBar=1\r\n";

RECT Bounds(HWND w) {
    RECT r{};
    GetWindowRect(w, &r);
    return r;
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string Text(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right - r.left) + "x" +
           std::to_string(r.bottom - r.top);
}

HWND StatusBarOf(HWND main) { return FindChild(main, "msctls_statusbar32"); }
HWND ToolBarAreaOf(HWND main) { return FindChild(main, "ReBarWindow32"); }
HWND ViewOf(HWND main) { return FindChild(main, "TScrollBox"); }

// The tool bar area shows when the view starts below the top of the client area (read from
// the layout, as the user sees it).
bool ToolBarShown(HWND main) { return ClientRectOnScreen(ViewOf(main)).top > ClientRectOnScreen(main).top; }
HWND PictureOf(HWND main) { return FindChild(ViewOf(main), "TImage"); }

bool HasFrame(HWND w) {
    return (GetWindowLongA(w, GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME)) == (WS_CAPTION | WS_THICKFRAME);
}

// Full-screen view as seen from outside: no frame and no menu bar (the client area is the
// whole window), no bars, and the window over the whole screen.
bool LooksFullScreen(HWND w) {
    const RECT r = Bounds(w);
    const RECT c = ClientRectOnScreen(w);
    const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    return IsZoomed(w) && !HasFrame(w) && SameRect(r, c) && r.left <= 0 && r.top <= 0 && r.right >= sw &&
           r.bottom >= sh && !IsWindowVisible(StatusBarOf(w)) && !ToolBarShown(w);
}

// A window with its frame and menu bar: the client area starts below the caption and a
// menu bar, so it is well below the window's top.
bool HasMenuBar(HWND w) {
    const int caption = GetSystemMetrics(SM_CYCAPTION), menu = GetSystemMetrics(SM_CYMENU);
    return ClientRectOnScreen(w).top - Bounds(w).top >= caption + menu;
}

bool Capture(HWND main) {
    if (!Activate(main)) return false;
    const std::string size = "ｻｲｽﾞ : " + std::to_string(GetSystemMetrics(SM_CXSCREEN)) + " x " +
                             std::to_string(GetSystemMetrics(SM_CYSCREEN));
    PressKey(VK_F5);
    return WaitFor([&] { return IsWindowVisible(main) && StatusPanel(StatusBarOf(main), 0) == size; }, 15000);
}

bool Press(HWND main, WORD vk) {
    if (!Activate(main)) return false;
    PressKey(vk);
    return true;
}

bool WaitFullScreen(HWND w) { return WaitFor([&] { return LooksFullScreen(w); }, 5000); }

std::string Describe(HWND w) {
    char style[16];
    wsprintfA(style, "%08lX", static_cast<unsigned long>(GetWindowLongA(w, GWL_STYLE)));
    return "window " + Text(Bounds(w)) + " client " + Text(ClientRectOnScreen(w)) + " style " + style +
           " zoomed " + std::to_string(IsZoomed(w) != FALSE) + " status bar " +
           std::to_string(IsWindowVisible(StatusBarOf(w)) != FALSE) + " tool bar area " +
           std::to_string(ToolBarShown(w)) + " (bar window " + std::to_string(IsWindowVisible(ToolBarAreaOf(w)) != FALSE) +
           " " + Text(ClientRectOnScreen(ToolBarAreaOf(w))) + ") view " + Text(ClientRectOnScreen(ViewOf(w)));
}

// A started program with a whole-screen picture, in a normal 600 x 400 window at (100, 80).
struct Started {
    explicit Started(const std::string& ini = Ini) : p(ini) {
        w = p.WaitMainWindow();
        if (!w || !Capture(w)) return;
        start = Bounds(w);
        SetWindowPos(w, nullptr, 100, 80, 600, 400, SWP_NOZORDER);
        ok = WaitFor([&] { return SameRect(Bounds(w), Normal); }, 5000);
    }
    Program p;
    HWND w = nullptr;
    RECT start{};
    bool ok = false;
    static constexpr RECT Normal{100, 80, 700, 480};
};

HWND WaitPopupMenu(DWORD pid) {
    HWND menu = nullptr;
    WaitFor(
        [&] {
            auto v = WindowsOf(pid, "#32768", true);
            menu = v.empty() ? nullptr : v.front();
            return menu != nullptr;
        },
        5000);
    return menu;
}

}  // namespace

TEST(FullScreenE2E, FromANormalWindowAndBackWithEsc) {
    // A pattern in the picture but no longer on the screen: what shows where it was comes
    // from the view. It lies left of where the program's window starts (centred).
    auto pattern = std::make_unique<TestPattern>("pattern", 20, 60, 160, 100);
    const RECT pc = ClientRectOnScreen(pattern->Handle());
    ASSERT_TRUE(pattern->Shown());
    Started s;
    ASSERT_TRUE(s.ok) << Describe(s.w);
    pattern.reset();
    // The resize button keeps the focus after a click; the full-screen view takes it.
    HWND resize = FindChild(s.w, "Button", 2);
    ASSERT_EQ(WindowText(resize), "ｻｲｽﾞ変更");
    const RECT rb = ClientRectOnScreen(resize);
    Click((rb.left + rb.right) / 2, (rb.top + rb.bottom) / 2);
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    ASSERT_TRUE(WaitFor([&] { return GetGUIThreadInfo(0, &gui) && gui.hwndFocus == resize; }, 3000));
    ASSERT_TRUE(Press(s.w, VK_F12));
    ASSERT_TRUE(WaitFullScreen(s.w)) << Describe(s.w);
    Sleep(500);
    SaveShot("fullscreen");
    // The picture at 100 % from the screen's top-left: the pattern shows where it was taken.
    const int cw = pc.right - pc.left, ch = pc.bottom - pc.top;
    const std::vector<std::uint32_t> shown = ScreenPixels(pc);
    int wrong = 0;
    for (int y = 0; y < ch; ++y)
        for (int x = 0; x < cw; ++x) wrong += shown[static_cast<std::size_t>(y) * cw + x] != TestPattern::ColorAt(x, y, cw, ch);
    EXPECT_EQ(wrong, 0) << "of " << cw * ch;

    ASSERT_TRUE(Press(s.w, VK_ESCAPE));
    EXPECT_TRUE(WaitFor([&] { return SameRect(Bounds(s.w), Started::Normal); }, 5000)) << Text(Bounds(s.w));
    Sleep(500);
    SaveShot("returned");
    EXPECT_FALSE(IsZoomed(s.w));
    EXPECT_TRUE(HasFrame(s.w));
    EXPECT_TRUE(HasMenuBar(s.w));
    EXPECT_TRUE(IsWindowVisible(StatusBarOf(s.w)));
    EXPECT_TRUE(ToolBarShown(s.w)) << Describe(s.w);
    EXPECT_EQ(StatusPanel(StatusBarOf(s.w), 0).rfind("ｻｲｽﾞ : ", 0), 0u);
}

TEST(FullScreenE2E, FromAMaximisedWindowItStaysMaximised) {
    Started s;
    ASSERT_TRUE(s.ok);
    PostMessageA(s.w, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    ASSERT_TRUE(WaitFor([&] { return IsZoomed(s.w) != FALSE; }, 5000));
    Sleep(300);
    const RECT maximised = Bounds(s.w);
    ASSERT_TRUE(Press(s.w, VK_F12));
    ASSERT_TRUE(WaitFullScreen(s.w)) << Describe(s.w);
    ASSERT_TRUE(Press(s.w, VK_ESCAPE));
    EXPECT_TRUE(WaitFor([&] { return HasFrame(s.w) && SameRect(Bounds(s.w), maximised); }, 5000))
        << Text(Bounds(s.w)) << " instead of " << Text(maximised);
    EXPECT_TRUE(IsZoomed(s.w));
    EXPECT_TRUE(HasMenuBar(s.w));
    EXPECT_TRUE(IsWindowVisible(StatusBarOf(s.w)));
    EXPECT_TRUE(ToolBarShown(s.w)) << Describe(s.w);
    // Restored, it takes the bounds saved for full-screen view: entered while maximised, the
    // last ones saved, here those the window started with.
    PostMessageA(s.w, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_TRUE(WaitFor([&] { return SameRect(Bounds(s.w), s.start); }, 5000))
        << Text(Bounds(s.w)) << " instead of " << Text(s.start);
}

TEST(FullScreenE2E, F12DuringFullScreenKeepsTheBoundsEscRestores) {
    Started s;
    ASSERT_TRUE(s.ok);
    ASSERT_TRUE(Press(s.w, VK_F12));
    ASSERT_TRUE(WaitFullScreen(s.w)) << Describe(s.w);
    ASSERT_TRUE(Press(s.w, VK_F12));
    Sleep(500);
    EXPECT_TRUE(LooksFullScreen(s.w));
    ASSERT_TRUE(Press(s.w, VK_ESCAPE));
    EXPECT_TRUE(WaitFor([&] { return HasFrame(s.w) && SameRect(Bounds(s.w), Started::Normal); }, 5000))
        << Text(Bounds(s.w));
    Sleep(500);
    SaveShot("f12-twice-returned");
    EXPECT_FALSE(IsZoomed(s.w));
    EXPECT_TRUE(HasMenuBar(s.w));
}

TEST(FullScreenE2E, BarsOffToolBarAreaStaysHiddenStatusBarComesBack) {
    Started s("[Kaptor32]\r\nWait=0\r\nHideForm=0\r\nShow Cursor=0\r\nShowBar=0\r\nShowStsBar=0\r\n");
    ASSERT_TRUE(s.ok);
    EXPECT_FALSE(IsWindowVisible(StatusBarOf(s.w)));
    EXPECT_FALSE(ToolBarShown(s.w)) << Describe(s.w);
    ASSERT_TRUE(Press(s.w, VK_F12));
    ASSERT_TRUE(WaitFullScreen(s.w)) << Describe(s.w);
    ASSERT_TRUE(Press(s.w, VK_ESCAPE));
    EXPECT_TRUE(WaitFor([&] { return SameRect(Bounds(s.w), Started::Normal); }, 5000)) << Text(Bounds(s.w));
    Sleep(300);
    SaveShot("bars-off-returned");
    EXPECT_TRUE(IsWindowVisible(StatusBarOf(s.w)));
    EXPECT_FALSE(ToolBarShown(s.w)) << Describe(s.w);
    EXPECT_TRUE(HasMenuBar(s.w));
}

TEST(FullScreenE2E, ReturnItemOfThePicturesMenuWorksOnlyInFullScreen) {
    Started s;
    ASSERT_TRUE(s.ok);
    // Outside full-screen view the first item is disabled: clicking it changes nothing.
    const RECT view = ClientRectOnScreen(PictureOf(s.w));
    ASSERT_TRUE(Activate(s.w));
    Click(view.left + 60, view.top + 40, true);
    HWND menu = WaitPopupMenu(s.p.Pid());
    ASSERT_NE(menu, nullptr);
    Sleep(300);
    SaveShot("menu-normal");
    RECT m = Bounds(menu);
    Click(m.left + 30, m.top + 10);
    Sleep(500);
    EXPECT_TRUE(SameRect(Bounds(s.w), Started::Normal)) << Text(Bounds(s.w));
    EXPECT_FALSE(IsZoomed(s.w));
    if (IsWindowVisible(menu)) PressKey(VK_ESCAPE);
    EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(menu); }, 3000));

    ASSERT_TRUE(Press(s.w, VK_F12));
    ASSERT_TRUE(WaitFullScreen(s.w)) << Describe(s.w);
    Click(300, 300, true);
    menu = WaitPopupMenu(s.p.Pid());
    ASSERT_NE(menu, nullptr);
    Sleep(300);
    SaveShot("menu-fullscreen");
    m = Bounds(menu);
    Click(m.left + 30, m.top + 10);
    EXPECT_TRUE(WaitFor([&] { return SameRect(Bounds(s.w), Started::Normal); }, 5000)) << Text(Bounds(s.w));
    EXPECT_TRUE(HasFrame(s.w));
    EXPECT_TRUE(IsWindowVisible(StatusBarOf(s.w)));
}

TEST(ResizeE2E, HalfOfTheScreenWithCtrlR) {
    auto p = std::make_unique<TestPattern>("pattern", 20, 200, 180, 120);
    const RECT pc = ClientRectOnScreen(p->Handle());
    ASSERT_TRUE(p->Shown());
    Started s;
    ASSERT_TRUE(s.ok) << Describe(s.w);
    p.reset();
    // The zoom box goes down to 50 with its arrow key, one step at a time.
    HWND zoom = FindChild(s.w, "Edit");
    ASSERT_NE(zoom, nullptr);
    const RECT z = ClientRectOnScreen(zoom);
    // The click that gives the box the focus does not always arrive at once under Wine:
    // click until one step down shows.
    bool focused = false;
    for (int attempt = 0; attempt < 5 && !focused; ++attempt) {
        ASSERT_TRUE(Activate(s.w));
        Click(z.left + 8, (z.top + z.bottom) / 2);
        Sleep(300);
        PressKey(VK_DOWN);
        focused = WaitFor([&] { return WindowText(zoom) == "99"; }, 1500);
    }
    ASSERT_TRUE(focused) << WindowText(zoom) << " " << Text(z);
    for (int i = 0; i < 49; ++i) PressKey(VK_DOWN);
    ASSERT_TRUE(WaitFor([&] { return WindowText(zoom) == "50"; }, 5000)) << WindowText(zoom);
    PressKey('R', true);
    const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    const std::string size = "ｻｲｽﾞ : " + std::to_string((sw + 1) / 2) + " x " + std::to_string((sh + 1) / 2);
    EXPECT_TRUE(WaitFor([&] { return StatusPanel(StatusBarOf(s.w), 0) == size; }, 5000))
        << StatusPanel(StatusBarOf(s.w), 0);
    EXPECT_TRUE(WaitFor([&] { return WindowText(zoom) == "100"; }, 3000)) << WindowText(zoom);
    // Full-screen view shows the new picture at 100 %: the pattern at half its size, each
    // pixel one of the four it stands for.
    ASSERT_TRUE(Press(s.w, VK_F12));
    ASSERT_TRUE(WaitFullScreen(s.w)) << Describe(s.w);
    Sleep(500);
    SaveShot("resized-fullscreen");
    const int pw = pc.right - pc.left, ph = pc.bottom - pc.top;
    const RECT half{pc.left / 2, pc.top / 2, pc.left / 2 + pw / 2, pc.top / 2 + ph / 2};
    const std::vector<std::uint32_t> shown = ScreenPixels(half);
    // The outermost rows and columns may come from just outside the pattern (an odd start
    // halves to the pixel before it): only the inside is compared.
    int mixed = 0;
    for (int y = 1; y < ph / 2 - 1; ++y)
        for (int x = 1; x < pw / 2 - 1; ++x) {
            const std::uint32_t v = shown[static_cast<std::size_t>(y) * (pw / 2) + x];
            bool found = false;
            for (int dy = -1; dy <= 2 && !found; ++dy)
                for (int dx = -1; dx <= 2 && !found; ++dx) {
                    const int px = 2 * x + dx, py = 2 * y + dy;
                    if (px >= 0 && py >= 0 && px < pw && py < ph) found = v == TestPattern::ColorAt(px, py, pw, ph);
                }
            if (!found && ++mixed <= 3)
                ADD_FAILURE() << "at " << x << "," << y << " shows " << std::hex << v << " near "
                              << TestPattern::ColorAt(2 * x, 2 * y, pw, ph) << std::dec << " of " << Text(pc);
        }
    EXPECT_EQ(mixed, 0) << "of " << (pw / 2 - 2) * (ph / 2 - 2);
    ASSERT_TRUE(Press(s.w, VK_ESCAPE));
    EXPECT_TRUE(WaitFor([&] { return SameRect(Bounds(s.w), Started::Normal); }, 5000));
}
