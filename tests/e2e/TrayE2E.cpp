// The program in the task tray of the Wine desktop, driven from outside: starting resident,
// every way of closing into the tray with "End TrayIcon" on, the way back by double click,
// captures from the tray menu, and the end command.
//
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Driver.h"

using namespace e2e;

namespace {

HWND TaskBar() { return FindWindowA("Shell_TrayWnd", nullptr); }

// The tray icon: on the right quarter of the task bar, what stands out from the bar's own
// colour in at least a few rows and columns (its edges are single lines). The bar is not
// drawn at all while it has neither icons nor buttons.
std::optional<POINT> TrayIconOnBar() {
    HWND bar = TaskBar();
    RECT r;
    if (!bar || !IsWindowVisible(bar) || !GetWindowRect(bar, &r) || r.right - r.left < 40) return std::nullopt;
    r.left = r.right - (r.right - r.left) / 4;
    const int w = r.right - r.left, h = r.bottom - r.top;
    const auto px = ScreenPixels(r);
    std::map<std::uint32_t, int> counts;
    for (auto c : px) ++counts[c & 0xFFFFFF];
    const std::uint32_t ground =
        std::max_element(counts.begin(), counts.end(), [](auto& a, auto& b) { return a.second < b.second; })->first;
    auto ink = [&](int x, int y) { return (px[static_cast<std::size_t>(y) * w + x] & 0xFFFFFF) != ground; };
    int left = w, right = -1, top = h, bottom = -1;
    for (int x = 0; x < w; ++x) {
        int n = 0;
        for (int y = 0; y < h; ++y) n += ink(x, y);
        if (n >= 4) left = std::min(left, x), right = std::max(right, x);
    }
    if (right < 0) return std::nullopt;
    for (int y = 0; y < h; ++y) {
        int n = 0;
        for (int x = left; x <= right; ++x) n += ink(x, y);
        if (n >= 4) top = std::min(top, y), bottom = std::max(bottom, y);
    }
    if (bottom < 0) return std::nullopt;
    return POINT{r.left + (left + right) / 2, r.top + (top + bottom) / 2};
}

// Waits for the icon to be drawn and for the bar to settle.
std::optional<POINT> WaitIcon() {
    std::optional<POINT> at;
    WaitFor([&] { return (at = TrayIconOnBar()).has_value(); }, 10000);
    if (!at) return at;
    Sleep(300);
    return TrayIconOnBar();
}

bool IconGone() {
    return WaitFor([&] { return !TrayIconOnBar().has_value(); }, 10000);
}

HWND AppWindow(DWORD pid) {
    auto all = WindowsOf(pid, "TApplication", false);
    return all.empty() ? nullptr : all.front();
}

// The pop-up menu the program shows, once it is on screen.
HWND WaitPopup(DWORD pid) {
    HWND menu = nullptr;
    WaitFor([&] {
        auto menus = WindowsOf(pid, "#32768");
        menu = menus.empty() ? nullptr : menus.front();
        return menu != nullptr;
    }, 5000);
    if (menu) Sleep(200);
    return menu;
}

HWND OpenTrayMenu(DWORD pid, POINT icon) {
    Click(icon.x, icon.y, true);
    return WaitPopup(pid);
}

// The tray menu's first and last items lie just inside its top and bottom edges.
void ClickFirstItem(HWND menu) {
    RECT r;
    GetWindowRect(menu, &r);
    Click(r.left + 30, r.top + 8);
}
void ClickLastItem(HWND menu) {
    RECT r;
    GetWindowRect(menu, &r);
    Click(r.left + 30, r.bottom - 8);
}

// Pixels of a text drawn in the menu font as a menu draws it, dark on light: true where ink is.
struct Ink {
    int w = 0, h = 0;
    std::vector<bool> on;
};

Ink RenderMenuText(const std::string& text, bool hidePrefix) {
    NONCLIENTMETRICSA ncm{};
    ncm.cbSize = sizeof ncm;
    SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0);
    HFONT font = CreateFontIndirectA(&ncm.lfMenuFont);
    const int W = 600, H = 60;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), W, -H, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ oldBmp = SelectObject(dc, bmp);
    HGDIOBJ oldFont = SelectObject(dc, font);
    RECT all{0, 0, W, H};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkMode(dc, TRANSPARENT);
    RECT r{10, 10, W, H};
    DrawTextA(dc, text.c_str(), -1, &r, DT_SINGLELINE | DT_LEFT | DT_TOP | (hidePrefix ? DT_HIDEPREFIX : 0));
    GdiFlush();
    const auto* px = static_cast<const std::uint32_t*>(bits);
    int left = W, top = H, right = -1, bottom = -1;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            if ((px[y * W + x] & 0xFFFFFF) != 0xFFFFFF) {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
    Ink ink;
    if (right >= 0) {
        ink.w = right - left + 1;
        ink.h = bottom - top + 1;
        for (int y = top; y <= bottom; ++y)
            for (int x = left; x <= right; ++x) ink.on.push_back((px[y * W + x] & 0xFFFFFF) != 0xFFFFFF);
    }
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBmp);
    DeleteObject(bmp);
    DeleteObject(font);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return ink;
}

// Whether the first item of the menu on screen shows exactly this text: its ink, compared
// pixel for pixel with the text drawn here in the menu font, at any place in the item's band.
bool FirstItemShows(HWND menu, const std::string& text) {
    RECT r;
    GetWindowRect(menu, &r);
    const int w = r.right - r.left;
    const int h = std::min<int>(r.bottom - r.top, 40);  // the first item's band
    RECT band{r.left, r.top, r.right, r.top + h};
    const auto px = ScreenPixels(band);
    for (bool hide : {false, true}) {
        const Ink ink = RenderMenuText(text, hide);
        if (ink.w == 0 || ink.w > w || ink.h > h) continue;
        for (int oy = 0; oy + ink.h <= h; ++oy)
            for (int ox = 0; ox + ink.w <= w; ++ox) {
                // The item's background: the pixel just left of the text's box.
                const std::uint32_t bg = px[static_cast<std::size_t>(oy) * w + (ox > 0 ? ox - 1 : 0)] & 0xFFFFFF;
                bool same = true;
                for (int y = 0; y < ink.h && same; ++y)
                    for (int x = 0; x < ink.w && same; ++x) {
                        const bool on = (px[static_cast<std::size_t>(oy + y) * w + ox + x] & 0xFFFFFF) != bg;
                        same = on == ink.on[static_cast<std::size_t>(y) * ink.w + x];
                    }
                if (same) return true;
            }
    }
    return false;
}

// A program started with the given INI text.
struct Resident {
    explicit Resident(const std::string& ini) : program(ini) {}
    Program program;
};

// Ends the program through the tray menu's last item, 終了.
bool EndFromTray(Resident& r, POINT icon) {
    HWND menu = OpenTrayMenu(r.program.Pid(), icon);
    if (!menu) return false;
    ClickLastItem(menu);
    return WaitFor([&] { return !r.program.Running(); }, 10000);
}

}  // namespace

TEST(TrayResidence, StartTrayIconLeavesOnlyTheIconWithTheDelayInItsMenu) {
    if (!TaskBar()) GTEST_SKIP() << "no task bar in this session";
    const std::string ini = "[Kaptor32]\r\nStart TrayIcon=1\r\n";
    Resident r(ini);
    HWND w = r.program.WaitMainWindow(false);
    ASSERT_NE(w, nullptr);
    const std::optional<POINT> icon = WaitIcon();
    ASSERT_TRUE(icon.has_value()) << "no icon appeared on the task bar";
    EXPECT_FALSE(IsWindowVisible(w));
    HWND app = AppWindow(r.program.Pid());
    ASSERT_NE(app, nullptr);
    EXPECT_FALSE(IsWindowVisible(app)) << "the task-bar button is there";

    HWND menu = OpenTrayMenu(r.program.Pid(), *icon);
    ASSERT_NE(menu, nullptr) << "the tray menu did not open";
    EXPECT_TRUE(FirstItemShows(menu, "画面全体をｷｬﾌﾟﾁｬｰ(1 秒後) (&D)"));
    EXPECT_FALSE(FirstItemShows(menu, "画面全体をｷｬﾌﾟﾁｬｰ(2 秒後) (&D)"));  // the check can tell
    EXPECT_FALSE(FirstItemShows(menu, "画面全体をｷｬﾌﾟﾁｬｰ(&D)"));
    PressKey(VK_ESCAPE);
    WaitFor([&] { return WindowsOf(r.program.Pid(), "#32768").empty(); }, 3000);

    // A double click brings the window back at the centre, with its button, and the icon goes.
    Click(icon->x, icon->y, false, true);
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(w) != 0; })) << "the window did not come back";
    EXPECT_TRUE(IsWindowVisible(app));
    RECT wr;
    GetWindowRect(w, &wr);
    EXPECT_NEAR((wr.left + wr.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
    EXPECT_NEAR((wr.top + wr.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);
    HWND status = FindChild(w, "msctls_statusbar32");
    ASSERT_NE(status, nullptr);
    EXPECT_TRUE(IsWindowVisible(status));
    r.program.Close();
    EXPECT_FALSE(r.program.Running());
}

TEST(TrayResidence, EveryCloseGoesIntoTheTrayAndOnlyTheTraysEndEnds) {
    if (!TaskBar()) GTEST_SKIP() << "no task bar in this session";
    const std::string ini = "[Kaptor32]\r\nEnd TrayIcon=1\r\nWait=0\r\n";
    Resident r(ini);
    HWND w = r.program.WaitMainWindow();
    ASSERT_NE(w, nullptr);
    const DWORD pid = r.program.Pid();
    HWND toolbar = FindChild(w, "ToolbarWindow32");
    ASSERT_TRUE(toolbar && IsWindowVisible(toolbar));

    struct Way {
        const char* name;
        void (*close)(HWND main, HWND toolbar);
    };
    const Way ways[] = {
        {"title-bar close", [](HWND main, HWND) { PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0); }},
        {"Alt+F4",
         [](HWND main, HWND) {
             Activate(main);
             PressKey(VK_F4, false, false, true);
         }},
        {"SB_Close",
         [](HWND, HWND bar) {
             RECT t = ClientRectOnScreen(bar);
             Click(t.left + 26, t.top + 20);  // the first button, 52 pixels wide
         }},
        {"M_Exit",
         [](HWND main, HWND) {
             Activate(main);
             PressKey('F', false, false, true);
             Sleep(300);
             PressKey('X');
         }},
    };
    std::optional<POINT> icon;
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        way.close(w, toolbar);
        ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(w); })) << "the window did not go";
        icon = WaitIcon();
        ASSERT_TRUE(icon.has_value()) << "no icon in the tray";
        EXPECT_TRUE(r.program.Running());
        EXPECT_FALSE(IsWindowVisible(AppWindow(pid)));
        Click(icon->x, icon->y, false, true);
        ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(w) != 0; })) << "the window did not come back";
    }

    // Into the tray once more, and out through the menu's end command.
    PostMessageA(w, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(w); }));
    icon = WaitIcon();
    ASSERT_TRUE(icon.has_value());
    ASSERT_TRUE(EndFromTray(r, *icon)) << "the program did not end";
    EXPECT_TRUE(IconGone()) << "the icon stayed in the tray";
    // Nothing is written at the end: the settings file is as it was given.
    EXPECT_EQ(r.program.ReadIni(), ini);
}

TEST(TrayResidence, ACaptureFromTheTrayStaysQuietUnlessShowAfterCapturingIsOn) {
    if (!TaskBar()) GTEST_SKIP() << "no task bar in this session";
    const std::string size = "ｻｲｽﾞ : " + std::to_string(GetSystemMetrics(SM_CXSCREEN)) + " x " +
                             std::to_string(GetSystemMetrics(SM_CYSCREEN));
    {
        Resident r("[Kaptor32]\r\nStart TrayIcon=1\r\nWait=0\r\nShow After Capturing=0\r\nShow Cursor=0\r\n");
        HWND w = r.program.WaitMainWindow(false);
        ASSERT_NE(w, nullptr);
        const std::optional<POINT> icon = WaitIcon();
        ASSERT_TRUE(icon.has_value());
        HWND menu = OpenTrayMenu(r.program.Pid(), *icon);
        ASSERT_NE(menu, nullptr);
        ClickFirstItem(menu);  // 画面全体をｷｬﾌﾟﾁｬｰ
        HWND status = FindChild(w, "msctls_statusbar32");
        ASSERT_TRUE(WaitFor([&] { return StatusPanel(status, 0) == size; })) << StatusPanel(status, 0);
        Sleep(500);
        EXPECT_FALSE(IsWindowVisible(w));
        EXPECT_TRUE(TrayIconOnBar().has_value()) << "the icon went";
        ASSERT_TRUE(EndFromTray(r, *icon));
    }
    {
        Resident r("[Kaptor32]\r\nStart TrayIcon=1\r\nWait=0\r\nShow After Capturing=1\r\nShow Cursor=0\r\n");
        HWND w = r.program.WaitMainWindow(false);
        ASSERT_NE(w, nullptr);
        const std::optional<POINT> icon = WaitIcon();
        ASSERT_TRUE(icon.has_value());
        HWND menu = OpenTrayMenu(r.program.Pid(), *icon);
        ASSERT_NE(menu, nullptr);
        ClickFirstItem(menu);
        ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(w) != 0; })) << "the window stayed hidden";
        HWND status = FindChild(w, "msctls_statusbar32");
        EXPECT_TRUE(WaitFor([&] { return StatusPanel(status, 0) == size; })) << StatusPanel(status, 0);
        EXPECT_TRUE(IsWindowVisible(AppWindow(r.program.Pid())));
        EXPECT_TRUE(WaitFor([&] {
            HWND front = GetForegroundWindow();
            return front == w || front == AppWindow(r.program.Pid());
        }, 3000));
        EXPECT_TRUE(IconGone());
        r.program.Close();
        EXPECT_FALSE(r.program.Running());
    }
}
