// Range mode: two clicks mark a rectangle on the picture at 100 %; copy, save and print then
// work on it. The rubber band is drawn with an inverting pen so that erasing it costs what
// drawing it does; only the first click, leaving the mode and cutting the range restore the
// whole picture from the clean copy in Image2.
#include "view/Range.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "app/F_Kaptor.h"
#include "framework/win/Bitmap.h"

namespace kaptor {

namespace {
constexpr TCursor CropCursor = 1;  // registered by the program's entry
constexpr int NudgeStep = 8;
}  // namespace

bool RangeActive(TKaptor32& form) { return form.SB_Range->Down() && form.RangeFixed; }

bool RangeEmpty(const TKaptor32& form) {
    return form.RangeRect.right == form.RangeRect.left || form.RangeRect.bottom == form.RangeRect.top;
}

void TKaptor32::WireRangeAndExchangeCommands() {
    auto on = [this](void (TKaptor32::*handler)(TComponent*)) {
        return [this, handler](TComponent* s) { (this->*handler)(s); };
    };
    for (TMenuItem* m : {M_Range, PM_Range}) m->OnClick = on(&TKaptor32::SB_RangeClick);
    for (TMenuItem* m : {M_NoRange, PM_NoRange}) m->OnClick = on(&TKaptor32::SB_NoRangeClick);
    for (TMenuItem* m : {M_Save, PM_Save}) m->OnClick = on(&TKaptor32::SB_SaveClick);
    for (TMenuItem* m : {M_Copy, PM_Copy}) m->OnClick = on(&TKaptor32::SB_CopyClick);
    for (TMenuItem* m : {M_Paste, PM_Paste}) m->OnClick = on(&TKaptor32::SB_PasteClick);
    SB_Range->OnClick = on(&TKaptor32::SB_RangeClick);
    SB_NoRange->OnClick = on(&TKaptor32::SB_NoRangeClick);
    SB_Save->OnClick = on(&TKaptor32::SB_SaveClick);
    SB_Copy->OnClick = on(&TKaptor32::SB_CopyClick);
    SB_Paste->OnClick = on(&TKaptor32::SB_PasteClick);
    Image1->OnMouseDown = [this](TComponent* s, TMouseButton button, TShiftState shift, int x, int y) {
        Image1MouseDown(s, button, shift, x, y);
    };
}

void ApplyRangeMode(TKaptor32& form, bool on) {
    (on ? form.SB_Range : form.SB_NoRange)->SetDown(true);
    form.M_Range->SetEnabled(!on);
    form.M_NoRange->SetEnabled(on);
    // Zoom and resize work on the whole picture: not while a range is being marked.
    form.SpinEdit1->SetEnabled(!on);
    form.SB_Resize->SetEnabled(!on);
    form.M_Resize->SetEnabled(!on);
    form.Image1->SetCursor(on ? CropCursor : crDefault);
    if (!on) {
        form.RangeFixed = false;
        form.RangeDragging = false;
    }
}

void TKaptor32::ClearRangeState() { ApplyRangeMode(*this, false); }

void TKaptor32::SB_RangeClick(TComponent*) {
    SpinEdit1->SetValue(100);
    SetZoom(100);
    ApplyRangeMode(*this, true);
    SpinEdit1->Repaint();
}

void TKaptor32::SB_NoRangeClick(TComponent*) {
    Image1->Picture().Assign(Image2->Picture());
    ApplyRangeMode(*this, false);
    SpinEdit1->Repaint();
}

void TKaptor32::DrawBand() {
    TCanvas& canvas = Image1->Canvas();
    canvas.Pen.Color = clWhite;
    canvas.Pen.Mode = pmXor;
    canvas.Pen.Width = 1;
    canvas.Pen.Style = psSolid;
    canvas.MoveTo(RangeStart.x, RangeStart.y);
    canvas.LineTo(RangeStart.x, RangeEnd.y);
    canvas.MoveTo(RangeStart.x, RangeStart.y);
    canvas.LineTo(RangeEnd.x, RangeStart.y);
    canvas.MoveTo(RangeStart.x, RangeEnd.y);
    canvas.LineTo(RangeEnd.x, RangeEnd.y);
    canvas.MoveTo(RangeEnd.x, RangeStart.y);
    canvas.LineTo(RangeEnd.x, RangeEnd.y);
}

void TKaptor32::Image1MouseDown(TComponent*, TMouseButton button, TShiftState, int x, int y) {
    if (!SB_Range->Down()) return;
    StatusBar1->Panels()[1].SetText(Format("X=%4d,Y=%4d", x, y));
    if (button == TMouseButton::mbRight) return;  // the context menu's button
    if (RangeDragging) {
        DrawBand();  // erases the band
        TCanvas& canvas = Image1->Canvas();
        canvas.Brush.Color = FrameColor();
        canvas.Brush.Style = bsSolid;
        // The first corner becomes the top-left one; every rule tests the corners as they
        // were, and corners on one row or column stay as they are.
        const LONG x1 = RangeStart.x, y1 = RangeStart.y, x2 = RangeEnd.x, y2 = RangeEnd.y;
        if (x2 > x1 && y1 > y2) {
            RangeStart.y = y2;
            RangeEnd.y = y1;
        }
        if (x2 < x1 && y1 < y2) {
            RangeStart.x = x2;
            RangeEnd.x = x1;
        }
        if (x2 < x1 && y1 > y2) {
            RangeStart = POINT{x2, y2};
            RangeEnd = POINT{x1, y1};
        }
        RangeRect = RECT{RangeStart.x, RangeStart.y, RangeEnd.x, RangeEnd.y};
        canvas.FrameRect(RangeRect);
        RangeFixed = true;
        RangeDragging = false;
        StatusBar1->Panels()[2].SetText("範囲 : " + IntToStr(RangeRect.right - RangeRect.left) + " x " +
                                        IntToStr(RangeRect.bottom - RangeRect.top));
        return;
    }
    RangeFixed = false;
    RangeDragging = true;
    Image1->Picture().Assign(Image2->Picture());  // removes an earlier frame
    RangeStart = POINT{x, y};
    ScrollRef = POINT{x, y};
    ViewSize = SIZE{ScrollBox1->ClientWidth(), ScrollBox1->ClientHeight()};
    RangeEnd = POINT{x + 2, y};
    DrawBand();
}

namespace {

// The scroll position one step further, kept within the bar's range; -1 when the bar is not
// shown.
int Nudged(HWND box, int bar, int position, int step) {
    const LONG style = GetWindowLongA(box, GWL_STYLE);
    if (!(style & (bar == SB_HORZ ? WS_HSCROLL : WS_VSCROLL))) return -1;
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE | SIF_PAGE;
    if (!GetScrollInfo(box, bar, &info)) return -1;
    const int last = std::max(0, info.nMax - static_cast<int>(std::max<UINT>(info.nPage, 1)) + 1);
    return std::clamp(position + step, 0, last);
}

}  // namespace

void TKaptor32::Image1MouseMove(TComponent*, TShiftState, int x, int y) {
    StatusBar1->Panels()[1].SetText(Format("X=%4d,Y=%4d", x, y));
    if (!RangeDragging) return;
    // Nudge the view once when the first corner lay at an edge of it.
    const HWND box = ScrollBox1->Handle();
    int h = ScrollBox1->HorzPosition(), v = ScrollBox1->VertPosition();
    if (ScrollRef.x > ViewSize.cx - NudgeStep) {
        if (const int p = Nudged(box, SB_HORZ, h, NudgeStep); p >= 0) {
            h = p;
            ScrollRef.x = NudgeStep;
        }
    } else if (ScrollRef.x <= 0) {
        if (const int p = Nudged(box, SB_HORZ, h, -NudgeStep); p >= 0) {
            h = p;
            ScrollRef.x = ViewSize.cx - NudgeStep;
        }
    }
    if (ScrollRef.y > ViewSize.cy - NudgeStep) {
        if (const int p = Nudged(box, SB_VERT, v, NudgeStep); p >= 0) {
            v = p;
            ScrollRef.y = NudgeStep;
        }
    } else if (ScrollRef.y <= 0) {
        if (const int p = Nudged(box, SB_VERT, v, -NudgeStep); p >= 0) {
            v = p;
            ScrollRef.y = ViewSize.cy - NudgeStep;
        }
    }
    if (h != ScrollBox1->HorzPosition() || v != ScrollBox1->VertPosition()) ScrollBox1->ScrollTo(h, v);
    ScrollBox1->Update();

    DrawBand();
    RangeEnd = POINT{x, y};
    DrawBand();
}

TBitmap* TKaptor32::MakeRangeBitmap() {
    auto bitmap = std::make_unique<TBitmap>(std::abs(RangeEnd.x - RangeStart.x), std::abs(RangeEnd.y - RangeStart.y));
    TCanvas& canvas = bitmap->Canvas();
    canvas.CopyMode = cmSrcCopy;
    Image1->Picture().Assign(Image2->Picture());  // no frame pixel is copied
    canvas.CopyRect(RECT{0, 0, bitmap->Width(), bitmap->Height()}, Image1->Canvas(), RangeRect);
    return bitmap.release();
}

void TKaptor32::DrawRangeFrame() {
    TCanvas& canvas = Image1->Canvas();
    canvas.Brush.Color = FrameColor();
    canvas.Brush.Style = bsSolid;
    RangeRect = RECT{RangeStart.x, RangeStart.y, RangeEnd.x, RangeEnd.y};
    canvas.FrameRect(RangeRect);
}

}  // namespace kaptor
