#include "capture/RegionSelector.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "capture/Monitors.h"

#include "framework/base/SysUtils.h"
#include "framework/win/Bitmap.h"
#include "framework/win/Controls.h"
#include "framework/win/Handles.h"

namespace kaptor {

namespace texts {
inline constexpr const char* RegionWindowFailed = "範囲指定のｳｨﾝﾄﾞｳを作れません";
}

namespace {

// The pixels from a to b, both inside: a drag to the screen's last pixel takes it too.
RECT Spanned(POINT a, POINT b) {
    return {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x) + 1, std::max(a.y, b.y) + 1};
}

class RegionSelector {
public:
    RegionSelector(TBitmap& screen, const RECT& area, const RECT* start);
    std::optional<RECT> Run();

private:
    static LRESULT CALLBACK Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
    void Paint();
    void DrawSizeLabel(HDC dc);
    POINT Clamped(LPARAM lp) const;
    bool HasRect() const { return rect_.right > rect_.left && rect_.bottom > rect_.top; }
    void KeyDown(WPARAM key);
    // The pointer at lp; while the button is down, the rectangle from the anchor to it with
    // what the keys did since the drag began.
    void Track(LPARAM lp);
    // spanned moved by keyShift_ and its right and bottom edges by keyGrow_, inside the screen.
    RECT Adjusted(const RECT& spanned) const;
    void End(bool accept) {
        accepted_ = accept && HasRect();
        done_ = true;
    }
    void Redraw() { InvalidateRect(wnd_.get(), nullptr, FALSE); }

    TBitmap& screen_;
    const POINT origin_;  // where the picture's top-left pixel lies on the screen
    const int w_, h_;
    std::vector<RECT> monitors_;  // in the picture's pixels
    TBitmap dimmed_;  // the screen at half brightness: what lies outside the rectangle
    TBitmap buffer_;  // each paint is composed here first, so nothing flickers
    RECT rect_{0, 0, 0, 0};
    // rect_ is spanned_ as the keys changed it: keys during a drag change what the drag
    // takes, and the mouse moving on keeps what they did.
    RECT spanned_{0, 0, 0, 0};
    POINT keyShift_{0, 0};
    SIZE keyGrow_{0, 0};
    POINT anchor_{0, 0}, pointer_{0, 0};
    bool dragging_ = false, dragged_ = false, done_ = false, accepted_ = false;
    UniqueWindow wnd_;
};

RegionSelector::RegionSelector(TBitmap& screen, const RECT& area, const RECT* start)
    : screen_(screen), origin_{area.left, area.top}, w_(screen.Width()), h_(screen.Height()),
      monitors_(MonitorRects()), dimmed_(w_, h_), buffer_(w_, h_) {
    // Everything inside works in the picture's pixels, from (0, 0).
    for (RECT& m : monitors_) OffsetRect(&m, -origin_.x, -origin_.y);
    if (!BitBlt(dimmed_.Canvas().Handle(), 0, 0, w_, h_, screen_.Canvas().Handle(), 0, 0, SRCCOPY))
        detail::RaiseLastGdiError();
    for (int y = 0; y < h_; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(dimmed_.ScanLine(y));
        for (int x = 0; x < w_; ++x) row[x] = (row[x] >> 1) & 0x7F7F7F;
    }
    dimmed_.Modified();
    if (start) {
        RECT s = *start;
        OffsetRect(&s, -origin_.x, -origin_.y);
        rect_ = {std::max(0L, s.left), std::max(0L, s.top), std::min<LONG>(w_, s.right), std::min<LONG>(h_, s.bottom)};
        if (!HasRect()) rect_ = {0, 0, 0, 0};
        spanned_ = rect_;
    }
    GetCursorPos(&pointer_);
    pointer_ = {pointer_.x - origin_.x, pointer_.y - origin_.y};

    static const char* cls = [] {
        WNDCLASSA wc{};
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = Proc;
        wc.hInstance = MainInstance();
        wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_CROSS));
        wc.lpszClassName = RegionSelectorClass;
        RegisterClassA(&wc);
        return RegionSelectorClass;
    }();
    // Top-most and without a task-bar button; it covers every monitor exactly, pixel for pixel.
    wnd_ = UniqueWindow(CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, cls, "", WS_POPUP, origin_.x, origin_.y, w_,
                                        h_, nullptr, nullptr, MainInstance(), this));
    if (!wnd_) throw Exception(texts::RegionWindowFailed);
}

LRESULT CALLBACK RegionSelector::Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lp);
        SetWindowLongPtrA(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<RegionSelector*>(GetWindowLongPtrA(wnd, GWLP_USERDATA));
    if (msg == WM_NCDESTROY) SetWindowLongPtrA(wnd, GWLP_USERDATA, 0);
    if (!self || !self->wnd_ || msg == WM_NCDESTROY) return DefWindowProcA(wnd, msg, wp, lp);
    return self->Handle(msg, wp, lp);
}

std::optional<RECT> RegionSelector::Run() {
    ShowWindow(wnd_.get(), SW_SHOW);
    SetForegroundWindow(wnd_.get());
    SetFocus(wnd_.get());
    MSG msg;
    while (!done_) {
        const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(msg.wParam));  // the program is ending: hand it on
            break;
        }
        if (got < 0) break;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    if (GetCapture() == wnd_.get()) ReleaseCapture();
    ShowWindow(wnd_.get(), SW_HIDE);
    if (!accepted_) return std::nullopt;
    RECT taken = rect_;
    OffsetRect(&taken, origin_.x, origin_.y);
    return taken;
}

POINT RegionSelector::Clamped(LPARAM lp) const {
    const auto x = static_cast<short>(LOWORD(lp)), y = static_cast<short>(HIWORD(lp));
    return {std::clamp<LONG>(x, 0, w_ - 1), std::clamp<LONG>(y, 0, h_ - 1)};
}

LRESULT RegionSelector::Handle(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        Paint();
        return 0;
    case WM_LBUTTONDOWN:
        dragging_ = true;
        dragged_ = false;
        anchor_ = pointer_ = Clamped(lp);
        SetCapture(wnd_.get());
        return 0;
    case WM_MOUSEMOVE:
        Track(lp);
        return 0;
    case WM_LBUTTONUP:
        if (!dragging_) return 0;
        Track(lp);  // the corner is where the button went up
        dragging_ = false;
        ReleaseCapture();
        // A click without a drag keeps the rectangle there is, for the keys or a double click.
        if (dragged_ && HasRect()) End(true);
        return 0;
    case WM_LBUTTONDBLCLK:
        if (HasRect()) End(true);
        return 0;
    case WM_RBUTTONDOWN:
        End(false);
        return 0;
    case WM_KEYDOWN:
        KeyDown(wp);
        return 0;
    case WM_CLOSE:
        End(false);
        return 0;
    default:
        return DefWindowProcA(wnd_.get(), msg, wp, lp);
    }
}

void RegionSelector::Track(LPARAM lp) {
    pointer_ = Clamped(lp);
    if (dragging_ && (pointer_.x != anchor_.x || pointer_.y != anchor_.y)) {
        if (!dragged_) keyShift_ = {0, 0}, keyGrow_ = {0, 0};  // a new rectangle
        spanned_ = Spanned(anchor_, pointer_);
        rect_ = Adjusted(spanned_);
        dragged_ = true;
    }
    Redraw();
}

RECT RegionSelector::Adjusted(const RECT& spanned) const {
    const LONG width = spanned.right - spanned.left, height = spanned.bottom - spanned.top;
    const LONG left = std::clamp<LONG>(spanned.left + keyShift_.x, 0, w_ - width);
    const LONG top = std::clamp<LONG>(spanned.top + keyShift_.y, 0, h_ - height);
    // The rectangle keeps at least one pixel.
    return {left, top, left + std::clamp<LONG>(width + keyGrow_.cx, 1, w_ - left),
            top + std::clamp<LONG>(height + keyGrow_.cy, 1, h_ - top)};
}

void RegionSelector::KeyDown(WPARAM key) {
    if (key == VK_ESCAPE) return End(false);
    if (key == VK_RETURN) {
        if (HasRect()) End(true);
        return;
    }
    int dx = 0, dy = 0;
    switch (key) {
    case VK_LEFT: dx = -1; break;
    case VK_RIGHT: dx = 1; break;
    case VK_UP: dy = -1; break;
    case VK_DOWN: dy = 1; break;
    default: return;
    }
    if (!HasRect()) return;
    if (GetKeyState(VK_SHIFT) < 0)
        keyGrow_ = {keyGrow_.cx + dx, keyGrow_.cy + dy};  // the right or bottom edge
    else
        keyShift_ = {keyShift_.x + dx, keyShift_.y + dy};
    rect_ = Adjusted(spanned_);
    // What the keys did is what the rectangle shows: a press against the screen's edge
    // leaves nothing to take back later.
    keyShift_ = {rect_.left - spanned_.left, rect_.top - spanned_.top};
    keyGrow_ = {(rect_.right - rect_.left) - (spanned_.right - spanned_.left),
                (rect_.bottom - rect_.top) - (spanned_.bottom - spanned_.top)};
    Redraw();
}

void RegionSelector::Paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(wnd_.get(), &ps);
    HDC buf = buffer_.Canvas().Handle();
    BitBlt(buf, 0, 0, w_, h_, dimmed_.Canvas().Handle(), 0, 0, SRCCOPY);
    if (HasRect()) {
        BitBlt(buf, rect_.left, rect_.top, rect_.right - rect_.left, rect_.bottom - rect_.top,
               screen_.Canvas().Handle(), rect_.left, rect_.top, SRCCOPY);
        // The frame lies outside the rectangle: every pixel inside shows as it will be taken.
        RECT frame = rect_;
        InflateRect(&frame, 1, 1);
        FrameRect(buf, &frame, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        InflateRect(&frame, 1, 1);
        FrameRect(buf, &frame, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    }
    DrawSizeLabel(buf);
    BitBlt(dc, 0, 0, w_, h_, buf, 0, 0, SRCCOPY);
    EndPaint(wnd_.get(), &ps);
}

void RegionSelector::DrawSizeLabel(HDC dc) {
    const LONG rw = HasRect() ? rect_.right - rect_.left : 0, rh = HasRect() ? rect_.bottom - rect_.top : 0;
    const std::string text = IntToStr(rw) + " x " + IntToStr(rh);
    ScopedSelect font(dc, GetStockObject(DEFAULT_GUI_FONT));
    SIZE size{0, 0};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    // Below and right of the pointer, turned to the other side near the edges of the monitor
    // it is on (past them it could lie where no monitor shows it).
    const RECT shown = MonitorAt(monitors_, pointer_);
    RECT box{pointer_.x + 16, pointer_.y + 20, 0, 0};
    box.right = box.left + size.cx + 8;
    box.bottom = box.top + size.cy + 4;
    if (box.right > shown.right) OffsetRect(&box, -(box.right - box.left) - 24, 0);
    if (box.bottom > shown.bottom) OffsetRect(&box, 0, -(box.bottom - box.top) - 32);
    FillRect(dc, &box, GetSysColorBrush(COLOR_INFOBK));
    FrameRect(dc, &box, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_INFOTEXT));
    TextOutA(dc, box.left + 4, box.top + 2, text.c_str(), static_cast<int>(text.size()));
}

}  // namespace

std::optional<RECT> SelectRegion(TBitmap& screen, const RECT& area, const RECT* start) {
    RegionSelector selector(screen, area, start);
    return selector.Run();
}

}  // namespace kaptor
