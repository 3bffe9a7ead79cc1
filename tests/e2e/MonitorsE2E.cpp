// Several monitors, as ./test runs these (winrun's KAPTOR_MONITORS: a larger monitor left of
// the primary one, at negative coordinates).
#include <gtest/gtest.h>

#include "Driver.h"
#include "WindowKit.h"

using namespace e2e;

// Pixels of a w x h block of the picture from (x, y) that are not the pattern's from (px, py).
static int Mismatches(const Pixels& p, int x, int y, int px, int py, int w, int h, SIZE pattern) {
    int wrong = 0;
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) wrong += p.At(x + i, y + j) != TestPattern::ColorAt(px + i, py + j, pattern.cx, pattern.cy);
    return wrong;
}

TEST(Monitors, EveryMonitorTakenARegionAcrossTheSeamExactAndTheLeftMonitorUsable) {
    MONITORINFO mi{sizeof mi, {}, {}, 0};
    if (!GetMonitorInfoA(MonitorFromPoint({-1, 0}, MONITOR_DEFAULTTONULL), &mi)) GTEST_SKIP() << "no monitor left";
    const RECT left = mi.rcMonitor;
    TestPattern pattern("Seam pattern", -160, 300, 320, 220);
    const RECT cr = ClientRectOnScreen(pattern.Handle());
    const SIZE ps{cr.right - cr.left, cr.bottom - cr.top};
    Program p("[Kaptor32]\r\nWait=1\r\nShow Cursor=0\r\n");
    HWND main = p.WaitMainWindow(), status = MainStatusBar(main);
    auto shows = [&](int w, int h) {
        return WaitFor([&] { return IsWindowVisible(main) && StatusPanel(status, 0) == SizeText(w, h); });
    };
    // F5: every monitor, the pattern where it lies on the virtual screen.
    ASSERT_TRUE(pattern.Shown() && Activate(main));
    PressKey(VK_F5);
    ASSERT_TRUE(shows(GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN)));
    Pixels whole, region;
    ASSERT_TRUE(CopyPicture(main, whole));
    const int vx = GetSystemMetrics(SM_XVIRTUALSCREEN), vy = GetSystemMetrics(SM_YVIRTUALSCREEN);
    EXPECT_EQ(Mismatches(whole, cr.left - vx, cr.top - vy, 0, 0, ps.cx, ps.cy, ps), 0);
    // F8, a drag from the left monitor onto the primary one.
    ASSERT_TRUE(pattern.Shown() && Activate(main));
    PressKey(VK_F8);
    ASSERT_TRUE(WaitFor([&] { return !WindowsOf(p.Pid(), "TKaptorRegion").empty(); }));
    Drag(cr.left + 5, cr.top + 7, cr.right - 4, cr.bottom - 6);
    ASSERT_TRUE(shows(ps.cx - 8, ps.cy - 12) && CopyPicture(main, region));
    EXPECT_EQ(Mismatches(region, 0, 0, 5, 7, region.Width, region.Height, ps), 0);
    // The full-screen view of a window on the left monitor fills that monitor; Esc puts it back.
    SetWindowPos(main, nullptr, left.left + 40, left.top + 200, 600, 400, SWP_NOZORDER);
    RECT before{}, r{};
    ASSERT_TRUE(GetWindowRect(main, &before) && before.left == left.left + 40 && Activate(main));
    PressKey(VK_F12);
    EXPECT_TRUE(WaitFor([&] { return GetWindowRect(main, &r) && EqualRect(&r, &left); }));
    PressKey(VK_ESCAPE);
    EXPECT_TRUE(WaitFor([&] { return GetWindowRect(main, &r) && EqualRect(&r, &before); }));
    // F7 on a window maximised on the left monitor: from its corner to the window's far edges.
    PlainWindow maximised("Left maximised", left.left + 100, 100, 300, 200, SW_SHOWMAXIMIZED);
    ASSERT_TRUE(GetWindowRect(maximised.Handle(), &r) && Activate(main));
    PressKey(VK_F7);
    Activate(maximised.Handle());
    EXPECT_TRUE(shows(r.right - left.left, r.bottom - left.top)) << StatusPanel(status, 0);
    // "Monitor Under Pointer": F5 takes only the monitor the pointer is on.
    Program q("[Kaptor32]\r\nWait=1\r\nShow Cursor=0\r\nMonitor Under Pointer=1\r\n");
    HWND qm = q.WaitMainWindow(), qs = MainStatusBar(qm);
    MoveMouse(left.left + 50, 50);
    ASSERT_TRUE(Activate(qm));
    PressKey(VK_F5);
    EXPECT_TRUE(WaitFor([&] { return StatusPanel(qs, 0) == SizeText(left.right - left.left, left.bottom - left.top); }));
}
