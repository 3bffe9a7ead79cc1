// The tray icon against Wine's own task bar in the virtual desktop: the icon is really drawn
// in the tray (found by its colours on the screen), presses on it come back through the
// shell as events, a new image replaces it in place, and it goes again.
// With KAPTOR_TRAY_HOLD_MS set, the icon stays that long before it is hidden, for a
// screenshot of the tray (move the X pointer onto it, e.g. with xdotool, to see the tooltip).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <optional>

#include "TrayIconTestSupport.h"

using namespace kaptor;
using namespace kaptor::testing;

namespace {

HWND TrayWindow() { return FindWindowA("Shell_TrayWnd", nullptr); }

// Where the task bar shows pixels of this colour: the centre of their bounding box in screen
// coordinates, or nothing.
std::optional<POINT> FindOnTaskBar(TColor color) {
    RECT bar;
    if (!GetWindowRect(TrayWindow(), &bar) || bar.right <= bar.left || bar.bottom <= bar.top) return std::nullopt;
    const int w = bar.right - bar.left, h = bar.bottom - bar.top;
    TBitmap shot(w, h);
    {
        WindowDC screen(nullptr);
        BitBlt(shot.Canvas().Handle(), 0, 0, w, h, screen.get(), bar.left, bar.top, SRCCOPY);
    }
    const std::uint32_t want = (GetRValue(color) << 16) | (GetGValue(color) << 8) | GetBValue(color);
    int left = w, top = h, right = -1, bottom = -1;
    for (int y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(shot.ScanLine(y));
        for (int x = 0; x < w; ++x) {
            if ((row[x] & 0xFFFFFF) != want) continue;
            left = std::min(left, x), right = std::max(right, x);
            top = std::min(top, y), bottom = std::max(bottom, y);
        }
    }
    if (right < 0) return std::nullopt;
    return POINT{bar.left + (left + right) / 2, bar.top + (top + bottom) / 2};
}

// Lets messages run until done() or about three seconds have passed.
template <class F>
bool PumpUntil(F done) {
    for (int i = 0; i < 100 && !done(); ++i) Pump(1);
    return done();
}

// A press as the task bar would get it from the mouse, at screen point p.
void PressAt(POINT p, UINT msg, WPARAM keys) {
    HWND target = WindowFromPoint(p);
    ScreenToClient(target, &p);
    PostMessageA(target, msg, keys, MAKELPARAM(p.x, p.y));
}

TEST(TrayIconShell, IconAppearsInTheDesktopTrayAndAnswersPresses) {
    TestApp();
    if (!TrayWindow()) GTEST_SKIP() << "no task bar with a tray in this session";
    TrayTestForm form(nullptr);
    form.LoadedAll();
    ASSERT_FALSE(FindOnTaskBar(clYellow)) << "something yellow is on the task bar already";

    auto* icon = new TTrayIcon(&form);
    icon->Icon()->SetHandle(MakeSquareIcon(clBlue, clYellow));
    icon->SetTipHelp("Kaptor32 ｷｬﾌﾟﾁｬｰ");
    icon->SetVisible(true);
    ASSERT_TRUE(icon->Registered());
    std::optional<POINT> at;
    ASSERT_TRUE(PumpUntil([&] { return (at = FindOnTaskBar(clYellow)).has_value(); }))
        << "the icon was not drawn on the task bar";

    // Presses on the tray come back through the shell.
    std::vector<std::string> log;
    icon->OnDblClick = [&](TComponent*) { log.push_back("dblclick"); };
    icon->OnMouseDown = [&](TComponent*, TMouseButton b, TShiftState s, int, int) {
        log.push_back(Format("down %d %u", static_cast<int>(b), s));
    };
    PressAt(*at, WM_LBUTTONDBLCLK, MK_LBUTTON);
    PressAt(*at, WM_RBUTTONDOWN, MK_RBUTTON);
    ASSERT_TRUE(PumpUntil([&] { return log.size() >= 2; })) << "no callback came back";
    const std::vector<std::string> expected = {"dblclick", "down 1 16"};
    EXPECT_EQ(log, expected);

    // "TaskbarCreated" while the shell still shows the icon: it stays, once, without an error.
    TakeMessages();
    PostMessageA(HWND_BROADCAST, TaskbarCreatedMessage(), 0, 0);
    Pump(5);
    EXPECT_TRUE(icon->Registered());
    EXPECT_TRUE(TakeMessages().empty());
    std::optional<POINT> still = FindOnTaskBar(clYellow);
    ASSERT_TRUE(still.has_value());
    EXPECT_EQ(still->x, at->x) << "one icon, in its place";

    // A new image is shown in place.
    icon->Icon()->SetHandle(MakeSquareIcon(clBlue, clRed));
    std::optional<POINT> red;
    ASSERT_TRUE(PumpUntil([&] { return (red = FindOnTaskBar(clRed)).has_value() && !FindOnTaskBar(clYellow); }));
    EXPECT_LE(std::abs(red->x - at->x), 1);

    if (const char* hold = std::getenv("KAPTOR_TRAY_HOLD_MS")) {
        // A Japanese tip, for the tooltip when the pointer rests on the icon.
        icon->SetTipHelp("Kaptor32 常駐中");
        const DWORD until = GetTickCount() + static_cast<DWORD>(std::atoi(hold));
        while (static_cast<int>(until - GetTickCount()) > 0) Pump(5);
    }

    icon->SetVisible(false);
    EXPECT_TRUE(PumpUntil([&] { return !FindOnTaskBar(clRed); })) << "the icon stayed on the task bar";
}

}  // namespace
