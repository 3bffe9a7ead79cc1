#include "framework/win/Shapes.h"

#include "framework/win/Handles.h"

namespace kaptor {

void TShape::SetBrushColor(TColor color) {
    if (color == brushColor_) return;
    brushColor_ = color;
    Invalidate();
}

void TShape::SetPenColor(TColor color) {
    if (color == penColor_) return;
    penColor_ = color;
    Invalidate();
}

LRESULT TShape::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    // Paint covers every pixel: no background first, so the swatch does not flicker.
    if (msg == WM_ERASEBKGND) return 1;
    return TCustomControl::WndProc(msg, wp, lp);
}

void TShape::Paint(HDC dc, const RECT&) {
    RECT r = ClientRect();
    UniqueBrush pen(CreateSolidBrush(penColor_));
    UniqueBrush fill(CreateSolidBrush(brushColor_));
    if (pen) FillRect(dc, &r, pen.get());
    InflateRect(&r, -1, -1);
    if (fill && r.right > r.left && r.bottom > r.top) FillRect(dc, &r, fill.get());
}

}  // namespace kaptor
