// Region capture, the Print Screen keys and the delay's countdown, driven from outside: a
// region dragged on the frozen screen, Esc, the last region again, captures by hot key while
// the program sits in the tray, and a counter that stays out of the picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "Driver.h"
#include "WindowKit.h"

using namespace e2e;

namespace {

HWND WaitVisible(DWORD pid, const char* className) {
    HWND found = nullptr;
    WaitFor([&] {
        auto w = WindowsOf(pid, className);
        found = w.empty() ? nullptr : w.front();
        return found != nullptr;
    });
    return found;
}

bool Gone(DWORD pid, const char* className) {
    return WaitFor([&] { return WindowsOf(pid, className).empty(); }, 5000);
}

// Pixels of the picture that differ from want(x, y).
template <class F>
int Mismatches(const Pixels& p, F want) {
    int wrong = 0;
    for (int y = 0; y < p.Height; ++y)
        for (int x = 0; x < p.Width; ++x) wrong += p.At(x, y) != want(x, y);
    return wrong;
}

}  // namespace

TEST(RegionCapture, DraggedRegionEscAndTheSameRegionAgain) {
    TestPattern pattern("Region pattern", 20, 20, 180, 160);
    const RECT cr = ClientRectOnScreen(pattern.Handle());
    const int cw = cr.right - cr.left, ch = cr.bottom - cr.top;
    Program p("[Kaptor32]\r\nWait=1\r\nShow Cursor=0\r\n");
    HWND main = p.WaitMainWindow();
    ASSERT_TRUE(main);
    HWND status = MainStatusBar(main);

    // F8, then a drag from the pattern's first pixel to its last one: both are taken.
    ASSERT_TRUE(Activate(main));
    PressKey(VK_F8);
    ASSERT_TRUE(WaitVisible(p.Pid(), "TKaptorRegion"));
    Drag(cr.left, cr.top, cr.right - 1, cr.bottom - 1);
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(main) && StatusPanel(status, 0) == SizeText(cw, ch); }));
    Pixels taken;
    ASSERT_TRUE(CopyPicture(main, taken));
    ASSERT_EQ(taken.Width, cw);
    ASSERT_EQ(taken.Height, ch);
    EXPECT_EQ(Mismatches(taken, [&](int x, int y) { return TestPattern::ColorAt(x, y, cw, ch); }), 0);

    // The pattern goes; a plain window of one colour now lies under the same rectangle.
    SetWindowPos(pattern.Handle(), nullptr, 600, 560, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    PlainWindow cover("Region cover", 0, 0, 300, 260, SW_SHOWNORMAL, RGB(0x30, 0xA0, 0x50));
    Sleep(300);
    const auto now = ScreenPixels(cr);
    ASSERT_EQ(std::count(now.begin(), now.end(), 0x30A050u), static_cast<std::ptrdiff_t>(now.size()));

    // The selector shows the last rectangle as it is, framed white and black, and the rest at
    // half brightness, also where the size label was before the pointer moved away.
    const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    const RECT area = ClientRectOnScreen(cover.Handle());
    auto wrong = [&] {
        const auto shown = ScreenPixels(area);
        int n = 0;
        for (std::size_t i = 0; i < shown.size(); ++i) {
            const POINT at{area.left + static_cast<LONG>(i % (area.right - area.left)),
                           area.top + static_cast<LONG>(i / (area.right - area.left))};
            RECT ring = cr;
            std::uint32_t want = PtInRect(&ring, at) ? 0x30A050u : 0x185028u;
            for (std::uint32_t frame : {0xFFFFFFu, 0u})
                if (InflateRect(&ring, 1, 1), want == 0x185028u && PtInRect(&ring, at)) want = frame;
            n += shown[i] != want;
        }
        return n;
    };
    // Esc on the selector: the pattern stays the picture.
    ASSERT_TRUE(Activate(main));
    MoveMouse(sw - 200, sh - 100);
    PressKey(VK_F8);
    ASSERT_TRUE(WaitVisible(p.Pid(), "TKaptorRegion"));
    MoveMouse(cr.left + 10, cr.bottom + 10);
    EXPECT_TRUE(WaitFor([&] { return wrong() > 0; }));  // the label is over the cover
    MoveMouse(sw - 200, sh - 100);
    EXPECT_TRUE(WaitFor([&] { return wrong() == 0; })) << wrong();
    PressKey(VK_ESCAPE);
    ASSERT_TRUE(Gone(p.Pid(), "TKaptorRegion"));
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(main); }));
    Pixels kept;
    ASSERT_TRUE(CopyPicture(main, kept));
    EXPECT_EQ(kept.Data, taken.Data);

    // Shift+F8 takes the same rectangle without asking: the cover's pixels now.
    ASSERT_TRUE(Activate(main));
    PressKey(VK_F8, false, true);
    ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(main); }, 3000));
    EXPECT_TRUE(WindowsOf(p.Pid(), "TKaptorRegion").empty());
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(main); }));
    Pixels again;
    ASSERT_TRUE(CopyPicture(main, again));
    ASSERT_EQ(again.Width, cw);
    ASSERT_EQ(again.Height, ch);
    EXPECT_EQ(Mismatches(again, [](int, int) { return 0x30A050u; }), 0);

    // Keys while the button is held: two pixels right and one row more are what is taken.
    ASSERT_TRUE(pattern.Shown());
    const RECT pr = ClientRectOnScreen(pattern.Handle());
    ASSERT_TRUE(Activate(main));
    PressKey(VK_F8);
    ASSERT_TRUE(WaitVisible(p.Pid(), "TKaptorRegion"));
    Drag(pr.left + 10, pr.top + 10, pr.left + 109, pr.top + 79, [] {
        PressKey(VK_RIGHT), PressKey(VK_RIGHT), PressKey(VK_DOWN, false, true);
    });
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(main) && StatusPanel(status, 0) == SizeText(100, 71); }))
        << StatusPanel(status, 0);
    Pixels keyed;
    ASSERT_TRUE(CopyPicture(main, keyed));
    EXPECT_EQ(Mismatches(keyed, [&](int x, int y) { return TestPattern::ColorAt(x + 12, y + 10, cw, ch); }), 0);

    // A drag to the screen's far corner takes the corner pixel.
    PlainWindow corner("Region corner", sw - 80, sh - 80, 160, 160, SW_SHOWNORMAL, RGB(0xC0, 0x30, 0x90));
    SetWindowPos(corner.Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ASSERT_TRUE(Activate(main));
    PressKey(VK_F8);
    ASSERT_TRUE(WaitVisible(p.Pid(), "TKaptorRegion"));
    Drag(sw - 40, sh - 30, sw - 1, sh - 1);
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(main) && StatusPanel(status, 0) == SizeText(40, 30); }))
        << StatusPanel(status, 0);
    Pixels cornered;
    ASSERT_TRUE(CopyPicture(main, cornered));
    EXPECT_EQ(Mismatches(cornered, [](int, int) { return 0xC03090u; }), 0);
}

TEST(RegionCapture, HotKeysCaptureFromTheTrayAndATakenKeyIsReportedOnce) {
    // Alt+Print Screen is ours before the program starts.
    HWND holder = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_TRUE(RegisterHotKey(holder, 1, MOD_ALT, VK_SNAPSHOT));
    Program p("[Kaptor32]\r\nWait=1\r\nStart TrayIcon=1\r\nShow Cursor=0\r\nHot Keys=1\r\n");
    const std::string text = AnswerMessageBox(p.Pid());
    EXPECT_NE(text.find("Alt+PrintScreen"), std::string::npos) << text;
    EXPECT_EQ(text.find("Ctrl+"), std::string::npos) << text;
    HWND main = p.WaitMainWindow(false);
    ASSERT_TRUE(main);
    HWND status = MainStatusBar(main);

    // Print Screen: the whole screen, taken quietly in the tray.
    PressKey(VK_SNAPSHOT);
    EXPECT_TRUE(WaitFor([&] {
        return StatusPanel(status, 0) == SizeText(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    }));
    EXPECT_FALSE(IsWindowVisible(main));

    // Ctrl+Print Screen: a region, also from the tray.
    PressKey(VK_SNAPSHOT, true);
    ASSERT_TRUE(WaitVisible(p.Pid(), "TKaptorRegion"));
    Drag(100, 100, 249, 179);
    EXPECT_TRUE(WaitFor([&] { return StatusPanel(status, 0) == SizeText(150, 80); })) << StatusPanel(status, 0);
    EXPECT_FALSE(IsWindowVisible(main));
    EXPECT_TRUE(WindowsOf(p.Pid(), "#32770").empty());  // no second report
    UnregisterHotKey(holder, 1);
    DestroyWindow(holder);
}

TEST(RegionCapture, CountdownShowsDuringTheDelayAndStaysOutOfThePicture) {
    Program p("[Kaptor32]\r\nWait=2\r\nShow Cursor=0\r\nShow Countdown=1\r\n");
    HWND main = p.WaitMainWindow();
    ASSERT_TRUE(main);
    ASSERT_TRUE(Activate(main));
    PressKey(VK_F5);
    HWND counter = WaitVisible(p.Pid(), "TKaptorCountdown");
    ASSERT_TRUE(counter);
    RECT cr;
    GetWindowRect(counter, &cr);
    const std::string shown = WindowText(counter);
    EXPECT_TRUE(shown == "2 秒" || shown == "1 秒") << shown;
    const std::string size = SizeText(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(main) && StatusPanel(MainStatusBar(main), 0) == size; }));
    ASSERT_TRUE(Gone(p.Pid(), "TKaptorCountdown"));
    Pixels taken;
    ASSERT_TRUE(CopyPicture(main, taken));
    const auto beneath = ScreenPixels(cr);
    const int w = cr.right - cr.left;
    EXPECT_EQ(Mismatches(taken, [&](int x, int y) {
                  const bool inside = x >= cr.left && x < cr.right && y >= cr.top && y < cr.bottom;
                  return inside ? beneath[(y - cr.top) * w + (x - cr.left)] : taken.At(x, y);
              }),
              0);
}
