#include "capture/RegionSelector.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <emmintrin.h>

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

// The band a paint is composed in: small enough to stay in the cache while it is blitted.
constexpr int kBandBytes = 512 * 1024;

int BandHeight(int width, int height) {
    return std::clamp(kBandBytes / (4 * std::max(width, 1)), 1, std::max(height, 1));
}

// Every channel at half: the mask clears what the shift brings down from the next channel
// (and the unused top byte).
constexpr std::uint32_t Dimmed(std::uint32_t p) { return (p >> 1) & 0x7F7F7F; }

// Four pixels a step where the processor has SSE2 (the program is built to run on ones
// without, so it keeps the stack aligned only for them: this function aligns its own).
__attribute__((target("sse2"), force_align_arg_pointer)) void DimWide(const std::uint32_t* from,
                                                                      std::uint32_t* into, LONG n) {
    const __m128i mask = _mm_set1_epi32(0x7F7F7F);
    LONG x = 0;
    for (; x + 4 <= n; x += 4) {
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(into + x), _mm_and_si128(_mm_srli_epi32(p, 1), mask));
    }
    for (; x < n; ++x) into[x] = Dimmed(from[x]);
}

void Dim(const std::uint32_t* from, std::uint32_t* into, LONG n) {
    static const bool wide = IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE);
    if (wide) return DimWide(from, into, n);
    for (LONG x = 0; x < n; ++x) into[x] = Dimmed(from[x]);
}

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
    // Rows top to top + rows of clip into band_ as they show: the screen's pixels, those
    // outside the rectangle dimmed.
    void DimBand(const RECT& clip, LONG top, int rows);
    // Then the rectangle's frame and the size label over those rows.
    void MarkBand(const RECT& clip, LONG top, int rows);
    // What is drawn over the dimmed screen now: the rectangle with its frame, and the label.
    struct Marks {
        RECT Frame{0, 0, 0, 0};
        RECT Label{0, 0, 0, 0};
        std::string Text;
    };
    Marks MarksNow();
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
    // Only where the marks were and are now changes; the rest of the screen stays as shown.
    void Redraw();

    TBitmap& screen_;
    const POINT origin_;  // where the picture's top-left pixel lies on the screen
    const int w_, h_;
    std::vector<RECT> monitors_;  // in the picture's pixels
    // Each paint is composed here a band of rows at a time, so nothing flickers. The screen is
    // dimmed row by row into it as it is painted: no screen-sized copy is made, which kept the
    // selector from showing at once.
    TBitmap band_;
    // Where the rows of the screen and of the band lie: the dimming reads and writes them
    // directly, a row too short a task for a call into GDI.
    struct Rows {
        std::uint8_t* First;
        std::ptrdiff_t Step;
        std::uint32_t* operator[](LONG y) const { return reinterpret_cast<std::uint32_t*>(First + y * Step); }
    };
    static Rows RowsOf(TBitmap& b) {
        if (b.Width() == 0 || b.Height() == 0) return {nullptr, 0};  // nothing is ever painted
        return {b.ScanLine(0), b.Height() > 1 ? b.ScanLine(1) - b.ScanLine(0) : 0};
    }
    Rows screenRows_, bandRows_;
    Marks shown_;  // the marks as the last paint drew them
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
      monitors_(MonitorRects()), band_(w_, BandHeight(w_, h_)),
      screenRows_(RowsOf(screen_)), bandRows_(RowsOf(band_)) {
    // Everything inside works in the picture's pixels, from (0, 0).
    for (RECT& m : monitors_) OffsetRect(&m, -origin_.x, -origin_.y);
    if (start) {
        RECT s = *start;
        OffsetRect(&s, -origin_.x, -origin_.y);
        rect_ = {std::max(0L, s.left), std::max(0L, s.top), std::min<LONG>(w_, s.right), std::min<LONG>(h_, s.bottom)};
        if (!HasRect()) rect_ = {0, 0, 0, 0};
        spanned_ = rect_;
    }

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
    // The label goes by the pointer, asked once the window shows: asked before, the answer
    // waited for the display to do what showing the window waits for anyway.
    GetCursorPos(&pointer_);
    pointer_ = {pointer_.x - origin_.x, pointer_.y - origin_.y};
    shown_ = MarksNow();
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

void RegionSelector::Redraw() {
    Marks now = MarksNow();
    for (const RECT* r : {&shown_.Frame, &shown_.Label, &now.Frame, &now.Label})
        if (!IsRectEmpty(r)) InvalidateRect(wnd_.get(), r, FALSE);
    shown_ = std::move(now);
}

RegionSelector::Marks RegionSelector::MarksNow() {
    Marks m;
    if (HasRect()) {
        m.Frame = rect_;
        InflateRect(&m.Frame, 2, 2);
    }
    const LONG rw = HasRect() ? rect_.right - rect_.left : 0, rh = HasRect() ? rect_.bottom - rect_.top : 0;
    m.Text = IntToStr(rw) + " x " + IntToStr(rh);
    HDC dc = band_.Canvas().Handle();
    ScopedSelect font(dc, GetStockObject(DEFAULT_GUI_FONT));
    SIZE size{0, 0};
    GetTextExtentPoint32A(dc, m.Text.c_str(), static_cast<int>(m.Text.size()), &size);
    // Below and right of the pointer, turned to the other side near the edges of the monitor
    // it is on (past them it could lie where no monitor shows it).
    const RECT shown = MonitorAt(monitors_, pointer_);
    RECT& box = m.Label;
    box = {pointer_.x + 16, pointer_.y + 20, 0, 0};
    box.right = box.left + size.cx + 8;
    box.bottom = box.top + size.cy + 4;
    if (box.right > shown.right) OffsetRect(&box, -(box.right - box.left) - 24, 0);
    if (box.bottom > shown.bottom) OffsetRect(&box, 0, -(box.bottom - box.top) - 32);
    return m;
}

void RegionSelector::Paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(wnd_.get(), &ps);
    const RECT all{0, 0, w_, h_};
    RECT clip;
    if (IntersectRect(&clip, &ps.rcPaint, &all)) {
        for (LONG top = clip.top; top < clip.bottom; top += band_.Height()) {
            const int rows = static_cast<int>(std::min<LONG>(band_.Height(), clip.bottom - top));
            DimBand(clip, top, rows);
            MarkBand(clip, top, rows);
            BitBlt(dc, clip.left, top, clip.right - clip.left, rows, band_.Canvas().Handle(), clip.left, 0, SRCCOPY);
        }
    }
    EndPaint(wnd_.get(), &ps);
}

void RegionSelector::DimBand(const RECT& clip, LONG top, int rows) {
    GdiFlush();  // the band's last blit is done before its pixels are written again
    const LONG inLeft = std::clamp(rect_.left, clip.left, clip.right);
    const LONG inRight = std::clamp(rect_.right, inLeft, clip.right);
    for (int r = 0; r < rows; ++r) {
        const LONG y = top + r;
        const std::uint32_t* from = screenRows_[y];
        std::uint32_t* into = bandRows_[r];
        if (HasRect() && y >= rect_.top && y < rect_.bottom) {
            Dim(from + clip.left, into + clip.left, inLeft - clip.left);
            std::memcpy(into + inLeft, from + inLeft, (inRight - inLeft) * sizeof *into);
            Dim(from + inRight, into + inRight, clip.right - inRight);
        } else {
            Dim(from + clip.left, into + clip.left, clip.right - clip.left);
        }
    }
}

void RegionSelector::MarkBand(const RECT& clip, LONG top, int rows) {
    // The marks are drawn in the screen's coordinates, moved to the band's rows.
    HDC dc = band_.Canvas().Handle();
    const RECT area{clip.left, top, clip.right, top + rows};
    RECT meets;
    SetViewportOrgEx(dc, 0, -top, nullptr);
    if (IntersectRect(&meets, &shown_.Frame, &area)) {
        // The frame lies outside the rectangle: every pixel inside shows as it will be taken.
        RECT frame = rect_;
        InflateRect(&frame, 1, 1);
        FrameRect(dc, &frame, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        FrameRect(dc, &shown_.Frame, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    }
    if (IntersectRect(&meets, &shown_.Label, &area)) DrawSizeLabel(dc);
    SetViewportOrgEx(dc, 0, 0, nullptr);
}

void RegionSelector::DrawSizeLabel(HDC dc) {
    const RECT& box = shown_.Label;
    const std::string& text = shown_.Text;
    ScopedSelect font(dc, GetStockObject(DEFAULT_GUI_FONT));
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
