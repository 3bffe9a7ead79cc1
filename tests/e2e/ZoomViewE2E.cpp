// The zoomed view read back from the screen: a picture of four coloured quarters, opened from
// the command line, checked pixel by pixel at many zooms, after steps both ways, scrolling,
// range mode, resize and the full-screen view.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "Driver.h"

using namespace e2e;

namespace {

const std::uint32_t Quarter[2][2] = {{0xFF0000, 0x00FF00}, {0x0000FF, 0xFFFF00}};  // [bottom][right]
const std::uint32_t Gray = 0x808080;  // the view's background

std::string QuartersBmp(int w, int h) {
    return WriteTempBmp("quarters.bmp", w, h, [w, h](int x, int y) { return Quarter[y >= h / 2][x >= w / 2]; });
}

// Which half display pixel i of a side shown as `shown` lies in, -1 when its source pixels
// (one more either way, for rounding) touch the middle of the `natural` side.
int Half(int i, int shown, int natural) {
    const double a = double(i) * natural / shown - 1, b = double(i + 1) * natural / shown + 1, mid = natural / 2;
    return b <= mid ? 0 : a >= mid ? 1 : -1;
}

// Every pixel of the view against the picture (natural w x h) scaled to zoom; empty if right.
std::string ViewFault(HWND win, int w, int h, int zoom, const RECT& frame) {
    const RECT pic = ClientRectOnScreen(PictureControl(win)), screen{0, 0, GetSystemMetrics(SM_CXSCREEN),
                                                                      GetSystemMetrics(SM_CYSCREEN)};
    RECT view = ClientRectOnScreen(FindChild(win, "TScrollBox"));
    IntersectRect(&view, &view, &screen);  // what the screen shows of it
    const int sw = (zoom * w + 50) / 100, sh = (zoom * h + 50) / 100;
    if (pic.right - pic.left != sw || pic.bottom - pic.top != sh) return "picture control not of the zoomed size";
    const auto px = ScreenPixels(view);
    const int vw = view.right - view.left;
    int bad = 0;
    std::string first;
    for (int i = 0; i < static_cast<int>(px.size()); ++i) {
        const int x = view.left + i % vw - pic.left, y = view.top + i / vw - pic.top;
        const int hx = Half(x, sw, w), hy = Half(y, sh, h);
        const bool onFrame = x >= frame.left && x < frame.right && y >= frame.top && y < frame.bottom &&
                             (x == frame.left || x == frame.right - 1 || y == frame.top || y == frame.bottom - 1);
        const std::uint32_t want = x < 0 || y < 0 || x >= sw || y >= sh ? Gray
                                   : onFrame                          ? 0xFF0000
                                   : hx < 0 || hy < 0                 ? px[i]
                                                                      : Quarter[hy][hx];
        if (px[i] != want && !bad++)
            first = std::to_string(x) + "," + std::to_string(y) + " is " + std::to_string(px[i]);
    }
    return bad ? std::to_string(bad) + " pixels wrong, first at " + first : "";
}

// The zoom box's up and down buttons are drawn: their arrows show dark on the screen.
bool ArrowsShown(HWND box) {
    RECT r;
    GetWindowRect(FindChild(box, "msctls_updown32"), &r);
    for (std::uint32_t c : ScreenPixels(r))
        if ((c & 0x808080) == 0) return true;
    return false;
}

void Press(WORD vk, int times) {
    INPUT in[2]{};
    in[0].type = in[1].type = INPUT_KEYBOARD;
    in[0].ki.wVk = in[1].ki.wVk = vk;
    in[1].ki.dwFlags = KEYEVENTF_KEYUP;
    for (int i = 0; i < times; ++i) SendInput(2, in, sizeof in[0]);
}

}  // namespace

TEST(ZoomViewE2E, EveryPixelIsThePictureScaledAfterEachChange) {
    int w = 400, h = 300, zoom = 100;
    RECT frame{};
    Program p("[Kaptor32]\r\nRunCapture=0\r\nShowBar=1\r\nShowStsBar=1\r\n", "\"" + QuartersBmp(w, h) + "\"");
    HWND win = p.WaitMainWindow(), box = FindChild(win, "Edit"), view = FindChild(win, "TScrollBox");
    ASSERT_TRUE(win && box);
    auto stepTo = [&](int to) {  // the zoom box's arrow key, one step at a time
        const WORD vk = to > zoom ? VK_UP : VK_DOWN;
        const std::string first = std::to_string(zoom + (to > zoom ? 1 : -1));
        const RECT b = ClientRectOnScreen(box);
        bool focused = false;  // a click that gives the box the focus can get lost under Wine
        for (int attempt = 0; attempt < 5 && !focused; ++attempt) {
            Activate(win);
            Click(b.left + 8, (b.top + b.bottom) / 2);
            Press(vk, 1);
            focused = WaitFor([&] { return WindowText(box) == first; }, 1500);
        }
        Press(vk, std::abs(to - zoom) - 1);
        zoom = to;
        if (!focused || !WaitFor([&] { return WindowText(box) == std::to_string(to); }, 20000)) return false;
        EXPECT_TRUE(WaitFor([&] { return ArrowsShown(box); }, 2000)) << "zoom box buttons gone at " << to;
        return true;
    };
    auto scroll = [&](WORD horz, WORD vert) {  // as clicks on the bars' arrows and tracks
        for (int i = 0; i < 80; ++i) SendMessageA(view, WM_HSCROLL, horz, 0), SendMessageA(view, WM_VSCROLL, vert, 0);
        const RECT v = ClientRectOnScreen(view), pic = ClientRectOnScreen(PictureControl(win));
        return horz == SB_PAGEDOWN ? pic.right == v.right && pic.bottom == v.bottom
                                   : pic.left == v.left && pic.top == v.top;
    };
    auto shows = [&](const std::string& what) {  // the view checked, and saved to look at
        MoveMouse(0, GetSystemMetrics(SM_CYSCREEN) - 1);  // no hint over the view
        std::string fault;
        EXPECT_TRUE(WaitFor([&] { return (fault = ViewFault(win, w, h, zoom, frame)).empty(); }, 3000))
            << what << ": " << fault;
        SaveShot("zoom " + what);
    };
    shows("opened");
    for (int to : {50, 1, 99, 100, 150, 200, 300, 150, 300}) {  // steps down, up, down, up
        ASSERT_TRUE(stepTo(to)) << to;
        shows(std::to_string(to));
    }
    ASSERT_TRUE(scroll(SB_PAGEDOWN, SB_LINEDOWN));
    shows("300, scrolled to the far corner");
    ASSERT_TRUE(scroll(SB_LINEUP, SB_PAGEUP));
    shows("300, scrolled back");
    frame = {150, 100, 250, 200};
    ASSERT_TRUE(EnterRangeMode(win) && MarkRange(win, 150, 100, 250, 200));
    zoom = 100;
    shows("range mode with a frame");
    const RECT noRange = ClientRectOnScreen(FindChild(win, "Button", 1));
    Click((noRange.left + noRange.right) / 2, (noRange.top + noRange.bottom) / 2);
    frame = {};
    ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(box) != FALSE; }, 3000) && stepTo(50));
    PressKey('R', true);
    ASSERT_TRUE(WaitFor([&] { return StatusPanel(MainStatusBar(win), 0) == SizeText(200, 150); }, 5000));
    w = 200, h = 150, zoom = 100;
    shows("resized at 50");
    ASSERT_TRUE(stepTo(200));
    shows("resized picture at 200");
    SetWindowPos(win, nullptr, 0, 0, 100, 100, SWP_NOMOVE | SWP_NOZORDER);
    RECT r;
    GetWindowRect(win, &r);
    EXPECT_LT(ClientRectOnScreen(win).top - r.top, GetSystemMetrics(SM_CYCAPTION) + 2 * GetSystemMetrics(SM_CYMENU))
        << "menu bar on one line";
    shows("window shrunk");
    PressKey(VK_F12);
    ASSERT_TRUE(WaitFor([&] { return IsZoomed(win) != FALSE; }, 5000));
    shows("full-screen view");
    PressKey(VK_ESCAPE);
    ASSERT_TRUE(WaitFor([&] { return !IsZoomed(win); }, 5000));
    shows("back from full-screen");
}
