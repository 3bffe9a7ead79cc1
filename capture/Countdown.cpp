#include "capture/Countdown.h"

#include "components/TrayIcon.h"
#include "framework/base/SysUtils.h"
#include "framework/win/Controls.h"
#include "framework/win/Forms.h"

namespace kaptor {

namespace {
// At 96 dpi; the counter grows with the screen's DPI as the rest of the program does.
constexpr int CounterWidth = 96, CounterHeight = 44, CounterMargin = 8, CounterFontHeight = 24;
// Time the screen gets to paint where the counter was, before the copy.
constexpr DWORD RepaintMs = 250;

std::string CounterText(int secondsLeft) { return IntToStr(secondsLeft) + " 秒"; }
}  // namespace

TCountdown::TCountdown(TTrayIcon& tray, bool shown) : tray_(tray), shown_(shown), tip_(tray.TipHelp()) {}

TCountdown::~TCountdown() {
    HideCounter();
    if (shown_ && tray_.TipHelp() != tip_) tray_.SetTipHelp(tip_);
}

void TCountdown::WaitSecond(int secondsLeft) {
    if (!shown_) {
        Sleep(1000);
        return;
    }
    const bool inTip = tray_.Visible();
    if (inTip)
        tray_.SetTipHelp(tip_ + " : ｷｬﾌﾟﾁｬｰまで " + CounterText(secondsLeft));
    else
        ShowCounter(secondsLeft);
    if (secondsLeft > 1) {
        Sleep(1000);
        return;
    }
    // No count is left on the screen when it is copied: the tip shown over the tray icon
    // takes its own text back as the counter goes.
    Sleep(1000 - RepaintMs);
    if (inTip)
        tray_.SetTipHelp(tip_);
    else
        HideCounter();
    Application->ProcessMessages();  // our own windows beneath paint now
    Sleep(RepaintMs);
}

LRESULT CALLBACK TCountdown::Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE)
        SetWindowLongPtrA(wnd, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams));
    auto* self = reinterpret_cast<TCountdown*>(GetWindowLongPtrA(wnd, GWLP_USERDATA));
    if (msg == WM_PAINT && self) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(wnd, &ps);
        RECT r;
        GetClientRect(wnd, &r);
        FillRect(dc, &r, GetSysColorBrush(COLOR_INFOBK));
        char text[64] = {};
        GetWindowTextA(wnd, text, sizeof text);
        ScopedSelect font(dc, self->font_.get());
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(COLOR_INFOTEXT));
        DrawTextA(dc, text, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        EndPaint(wnd, &ps);
        return 0;
    }
    if (msg == WM_NCDESTROY) SetWindowLongPtrA(wnd, GWLP_USERDATA, 0);
    return DefWindowProcA(wnd, msg, wp, lp);
}

void TCountdown::ShowCounter(int secondsLeft) {
    const std::string text = CounterText(secondsLeft);
    if (!counter_) {
        static const bool registered = [] {
            WNDCLASSA wc{};
            wc.lpfnWndProc = Proc;
            wc.hInstance = MainInstance();
            wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
            wc.lpszClassName = CountdownClass;
            return RegisterClassA(&wc) != 0;
        }();
        if (!registered) return;  // the delay runs on without its counter
        const int dpi = Screen->PixelsPerInch();
        auto scaled = [dpi](int size) { return MulDiv(size, dpi, 96); };
        font_ = UniqueFont(CreateFontA(-scaled(CounterFontHeight), 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE,
                                       SHIFTJIS_CHARSET, 0, 0, 0, 0, "ＭＳ Ｐゴシック"));
        const int x = GetSystemMetrics(SM_CXSCREEN) - scaled(CounterWidth + CounterMargin);
        // Never activated: the window the user works in stays the foreground window.
        counter_ = UniqueWindow(CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, CountdownClass,
                                                text.c_str(), WS_POPUP | WS_BORDER, x, scaled(CounterMargin),
                                                scaled(CounterWidth), scaled(CounterHeight), nullptr, nullptr,
                                                MainInstance(), this));
        if (!counter_) return;
        ShowWindow(counter_.get(), SW_SHOWNOACTIVATE);
    } else {
        SetWindowTextA(counter_.get(), text.c_str());
        InvalidateRect(counter_.get(), nullptr, TRUE);
    }
    UpdateWindow(counter_.get());  // painted now: the delay sleeps without taking messages
}

void TCountdown::HideCounter() { counter_.reset(); }

}  // namespace kaptor
