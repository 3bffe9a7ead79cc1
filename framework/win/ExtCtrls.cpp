#include "framework/win/ExtCtrls.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "framework/win/AveragedDraw.h"
#include "framework/win/Bitmap.h"
#include "framework/win/Forms.h"

namespace kaptor {

// ---------------------------------------------------------------- TImage

TImage::TImage(TComponent* owner) : TCustomControl(owner) {
    picture_.OnChange = [this](const RECT* r) { PictureChanged(r); };
}

TImage::~TImage() {
    BeginDestroy();
    picture_.OnChange = nullptr;
}

void TImage::CreateParamsFor(CreateParams& params) {
    TCustomControl::CreateParamsFor(params);
    params.ClassName = RegisterClassFor("TImage");
}

TCanvas& TImage::Canvas() {
    // No picture yet: a bitmap of the image's size, made in place (a capture's screen-sized
    // one is then allocated and filled once, not made and copied).
    if (!picture_.Graphic()) picture_.Bitmap().SetSize(Width(), Height());
    return picture_.Bitmap().Canvas();
}

RECT TImage::ToDisplay(const RECT& r) const {
    const TGraphic* g = picture_.Graphic();
    if (!Stretch || !g || g->Width() <= 0 || g->Height() <= 0) return r;
    const double sx = static_cast<double>(Width()) / g->Width();
    const double sy = static_cast<double>(Height()) / g->Height();
    // One display pixel more on each side: rounding must never leave a stale edge.
    return RECT{static_cast<LONG>(std::floor(r.left * sx)) - 1, static_cast<LONG>(std::floor(r.top * sy)) - 1,
                static_cast<LONG>(std::ceil(r.right * sx)) + 1, static_cast<LONG>(std::ceil(r.bottom * sy)) + 1};
}

void TImage::PictureChanged(const RECT* r) {
    if (!HandleAllocated() || Destroying()) return;
    if (r) {
        const RECT d = ToDisplay(*r);
        InvalidateRect(Handle(), &d, FALSE);
    } else {
        InvalidateRect(Handle(), nullptr, TRUE);
    }
}

LRESULT TImage::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_ERASEBKGND) {
        // A bitmap covers what it covers; only the rest needs the background. An icon is
        // transparent: the background shows through it.
        const TGraphic* g = picture_.Graphic();
        if (g && !g->Empty() && dynamic_cast<const TBitmap*>(g) &&
            (Stretch || (g->Width() >= Width() && g->Height() >= Height())))
            return 1;
    }
    return TCustomControl::WndProc(msg, wp, lp);
}

void TImage::Paint(HDC dc, const RECT& update) {
    TGraphic* g = picture_.Graphic();
    if (!g || g->Empty()) return;
    auto* bitmap = dynamic_cast<TBitmap*>(g);
    const int w = Stretch ? Width() : g->Width();
    const int h = Stretch ? Height() : g->Height();
    if (w <= 0 || h <= 0) return;
    if (!bitmap) {
        TCanvas canvas(dc);
        g->Draw(canvas, RECT{0, 0, w, h});
        return;
    }
    // Always the whole picture onto the whole control: the paint DC is clipped to the update
    // area, so a zoom costs what is shown, and every part is a part of the same stretch.
    HDC src = bitmap->Canvas().Handle();
    HPALETTE palette = bitmap->Palette();
    HPALETTE old = palette ? SelectPalette(dc, palette, FALSE) : nullptr;
    if (palette) RealizePalette(dc);
    // Smaller than the picture: each display pixel the mean of those it stands for. At its
    // size or larger every picture pixel shows whole and sharp.
    if (Stretch && AverageWhenSmaller && (w < bitmap->Width() || h < bitmap->Height())) {
        DrawAveraged(dc, w, h, update, *bitmap);
    } else {
        SetStretchBltMode(dc, COLORONCOLOR);
        StretchBlt(dc, 0, 0, w, h, src, 0, 0, bitmap->Width(), bitmap->Height(), SRCCOPY);
    }
    if (old) SelectPalette(dc, old, FALSE);
    if (OnPaintOver) OnPaintOver(dc);
}

void TImage::Resized() {
    // Stretched, every pixel depends on the size: all that shows is drawn again (the system
    // would only draw what a larger size uncovers).
    if (Stretch && HandleAllocated()) InvalidateRect(Handle(), nullptr, FALSE);
    TCustomControl::Resized();
}

// ---------------------------------------------------------------- TScrollBox

TScrollBox::TScrollBox(TComponent* owner) : TCustomControl(owner) {}

void TScrollBox::CreateParamsFor(CreateParams& params) {
    TCustomControl::CreateParamsFor(params);
    params.ClassName = RegisterClassFor("TScrollBox");
    params.Style |= WS_HSCROLL | WS_VSCROLL;
}

void TScrollBox::ControlBoundsChanged(TWinControl*) { UpdateScrollBars(); }

void TScrollBox::Resized() {
    UpdateScrollBars();
    TCustomControl::Resized();
}

void TScrollBox::UpdateScrollBars() {
    if (!HandleAllocated() || updating_) return;
    updating_ = true;
    // The content's extent in unscrolled coordinates.
    int right = 0, bottom = 0;
    for (TWinControl* c : Controls()) {
        if (!c->Visible()) continue;
        right = std::max(right, c->Left() + hpos_ + c->Width());
        bottom = std::max(bottom, c->Top() + vpos_ + c->Height());
    }
    // Two rounds: one bar appearing can make the other necessary. A bar is set only when it
    // changes: every set redraws it, which is most of what a zoom step costs.
    auto setBar = [this](int bar, int extent, LONG page) {
        SCROLLINFO si{sizeof si, SIF_RANGE | SIF_PAGE, 0, 0, 0, 0, 0};
        si.nMax = extent > page ? extent - 1 : 0;
        si.nPage = extent > page ? static_cast<UINT>(page) : 0;
        SCROLLINFO now{sizeof now, SIF_RANGE | SIF_PAGE, 0, 0, 0, 0, 0};
        if (GetScrollInfo(Handle(), bar, &now) && now.nMin == si.nMin && now.nMax == si.nMax && now.nPage == si.nPage)
            return;
        SetScrollInfo(Handle(), bar, &si, TRUE);
    };
    for (int round = 0; round < 2; ++round) {
        RECT client;
        GetClientRect(Handle(), &client);
        setBar(SB_HORZ, right, client.right);
        setBar(SB_VERT, bottom, client.bottom);
    }
    RECT client;
    GetClientRect(Handle(), &client);
    const int maxH = std::max(0, right - static_cast<int>(client.right));
    const int maxV = std::max(0, bottom - static_cast<int>(client.bottom));
    updating_ = false;
    ScrollTo(std::min(hpos_, maxH), std::min(vpos_, maxV));
}

void TScrollBox::ScrollTo(int x, int y) {
    if (!HandleAllocated()) return;
    x = std::max(0, x);
    y = std::max(0, y);
    const int dx = hpos_ - x, dy = vpos_ - y;
    hpos_ = x;
    vpos_ = y;
    if (GetScrollPos(Handle(), SB_HORZ) != x) SetScrollPos(Handle(), SB_HORZ, x, TRUE);
    if (GetScrollPos(Handle(), SB_VERT) != y) SetScrollPos(Handle(), SB_VERT, y, TRUE);
    if (dx || dy) {
        updating_ = true;
        ScrollWindowEx(Handle(), dx, dy, nullptr, nullptr, nullptr, nullptr,
                       SW_SCROLLCHILDREN | SW_INVALIDATE | SW_ERASE);
        updating_ = false;
    }
}

void TScrollBox::OnScroll(int bar, WORD code) {
    SCROLLINFO si{sizeof si, SIF_ALL, 0, 0, 0, 0, 0};
    GetScrollInfo(Handle(), bar, &si);
    int pos = si.nPos;
    const int line = 16;
    switch (code) {
        case SB_LINEUP: pos -= line; break;
        case SB_LINEDOWN: pos += line; break;
        case SB_PAGEUP: pos -= static_cast<int>(si.nPage); break;
        case SB_PAGEDOWN: pos += static_cast<int>(si.nPage); break;
        case SB_THUMBTRACK:  // live while dragged
        case SB_THUMBPOSITION: pos = si.nTrackPos; break;
        case SB_TOP: pos = si.nMin; break;
        case SB_BOTTOM: pos = si.nMax; break;
        default: return;
    }
    pos = std::clamp(pos, 0, std::max(0, si.nMax - static_cast<int>(si.nPage) + 1));
    if (bar == SB_HORZ) ScrollTo(pos, vpos_);
    else ScrollTo(hpos_, pos);
}

LRESULT TScrollBox::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_HSCROLL: OnScroll(SB_HORZ, LOWORD(wp)); return 0;
        case WM_VSCROLL: OnScroll(SB_VERT, LOWORD(wp)); return 0;
        case WM_MOUSEWHEEL: {
            const int delta = GET_WHEEL_DELTA_WPARAM(wp);
            ScrollTo(hpos_, vpos_ - delta * 48 / WHEEL_DELTA);
            UpdateScrollBars();
            return 0;
        }
        default: return TCustomControl::WndProc(msg, wp, lp);
    }
}

// ---------------------------------------------------------------- TTimer

namespace {

// The running timers by the id the system gave them: a tick already queued for a timer
// stopped or freed finds nothing.
std::map<UINT_PTR, TTimer*>& RunningTimers() {
    static std::map<UINT_PTR, TTimer*> running;
    return running;
}

}  // namespace

// A thread timer, not a window's: a timer needs no window of its own, and a window costs
// its making at start.
TTimer::TTimer(TComponent* owner) : TComponent(owner) { Update(); }

TTimer::~TTimer() {
    BeginDestroy();
    Stop();
}

void TTimer::SetEnabled(bool enabled) {
    enabled_ = enabled;
    Update();
}

void TTimer::SetInterval(UINT interval) {
    interval_ = interval;
    Update();
}

void TTimer::Stop() {
    if (!id_) return;
    KillTimer(nullptr, id_);
    RunningTimers().erase(id_);
    id_ = 0;
}

void TTimer::Update() {
    Stop();
    if (!enabled_ || interval_ == 0) return;
    id_ = SetTimer(nullptr, 0, interval_, &TTimer::Tick);
    if (id_) RunningTimers()[id_] = this;
}

void CALLBACK TTimer::Tick(HWND, UINT, UINT_PTR id, DWORD) {
    const auto it = RunningTimers().find(id);
    if (it == RunningTimers().end()) return;
    TTimer* timer = it->second;
    if (!timer->enabled_ || !timer->OnTimer) return;
    try {
        timer->OnTimer(timer);
    } catch (const std::exception& e) {
        Application->HandleException(e);
    }
}

}  // namespace kaptor
