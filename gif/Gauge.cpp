#include "gif/Gauge.h"

#include <climits>
#include <cmath>
#include <numbers>

#include "framework/base/SysUtils.h"
#include "framework/win/Handles.h"

namespace kaptor {

TGauge::TGauge(TComponent* owner) : TCustomControl(owner) { SetBounds(0, 0, 100, 100); }

void TGauge::Changed() {
    if (HandleAllocated()) Invalidate();
}

void TGauge::SetKind(TGaugeKind kind) {
    if (kind == kind_) return;
    kind_ = kind;
    Changed();
}

void TGauge::SetShowText(bool show) {
    if (show == showText_) return;
    showText_ = show;
    Changed();
}

void TGauge::SetBorderStyle(TGaugeBorderStyle style) {
    if (style == borderStyle_) return;
    borderStyle_ = style;
    Changed();
}

void TGauge::SetForeColor(COLORREF color) {
    if (color == foreColor_) return;
    foreColor_ = color;
    Changed();
}

void TGauge::SetBackColor(COLORREF color) {
    if (color == backColor_) return;
    backColor_ = color;
    Changed();
}

void TGauge::SetMinValue(int value) {
    if (value == minValue_) return;
    if (value > maxValue_ && !Loading())
        throw EInvalidOperation(Format(texts::GaugeRange, -INT_MAX, maxValue_ - 1));
    minValue_ = value;
    if (progress_ < value) progress_ = value;
    Changed();
}

void TGauge::SetMaxValue(int value) {
    if (value == maxValue_) return;
    if (value < minValue_ && !Loading())
        throw EInvalidOperation(Format(texts::GaugeRange, minValue_ + 1, INT_MAX));
    maxValue_ = value;
    if (progress_ > value) progress_ = value;
    Changed();
}

void TGauge::SetProgress(int value) {
    const int before = PercentDone();
    if (value < minValue_) value = minValue_;
    if (value > maxValue_) value = maxValue_;
    if (value == progress_) return;
    progress_ = value;
    if (PercentDone() != before) Changed();
}

int TGauge::PercentDone() const {
    // 64 bits: the range may span the whole int range.
    const long long range = static_cast<long long>(maxValue_) - minValue_;
    if (range == 0) return 0;
    return static_cast<int>((static_cast<long long>(progress_) - minValue_) * 100 / range);
}

COLORREF TGauge::BaseColor() const {
    // No colour of its own: the face colour its parent shows.
    return Color() == CLR_INVALID ? GetSysColor(COLOR_BTNFACE) : Color();
}

void TGauge::Paint(HDC dc, const RECT&) {
    if (Width() <= 0 || Height() <= 0) return;
    // Drawn off screen first so the gauge does not flicker while it moves.
    TBitmap image;
    PaintTo(image);
    HDC src = image.Canvas().Handle();
    BitBlt(dc, 0, 0, image.Width(), image.Height(), src, 0, 0, SRCCOPY);
}

void TGauge::PaintTo(TBitmap& bitmap) {
    bitmap.SetSize(Width(), Height());
    if (bitmap.Empty()) return;
    HDC dc = bitmap.Canvas().Handle();
    RECT area{0, 0, Width(), Height()};
    if (borderStyle_ == TGaugeBorderStyle::bsSingle) {
        PaintBackground(dc, area, BaseColor());
        UniqueBrush black(CreateSolidBrush(RGB(0, 0, 0)));
        FrameRect(dc, &area, black.get());
        InflateRect(&area, -1, -1);
    }
    if (area.right > area.left && area.bottom > area.top) {
        switch (kind_) {
            case TGaugeKind::gkText: PaintAsText(dc, area); break;
            case TGaugeKind::gkHorizontalBar: PaintAsBar(dc, area, true); break;
            case TGaugeKind::gkVerticalBar: PaintAsBar(dc, area, false); break;
            case TGaugeKind::gkPie: PaintAsPie(dc, area); break;
            case TGaugeKind::gkNeedle: PaintAsNeedle(dc, area); break;
        }
        if (showText_) PaintText(dc, area);
    }
    GdiFlush();
    bitmap.Modified();
}

void TGauge::PaintBackground(HDC dc, const RECT& r, COLORREF color) {
    UniqueBrush brush(CreateSolidBrush(color));
    FillRect(dc, &r, brush.get());
}

void TGauge::PaintAsText(HDC dc, const RECT& r) { PaintBackground(dc, r, backColor_); }

void TGauge::PaintAsBar(HDC dc, const RECT& r, bool horizontal) {
    PaintBackground(dc, r, backColor_);
    const double fraction = PercentDone() * 0.01;
    const int w = r.right - r.left, h = r.bottom - r.top;
    RECT bar = r;
    if (horizontal) {
        int length = static_cast<int>(w * fraction);
        if (length > w) length = w;
        if (length < 1) return;
        bar.right = r.left + length;
    } else {
        int length = static_cast<int>(h * fraction);
        if (length > h) length = h;
        if (length < 1) return;
        bar.top = r.bottom - length;
    }
    PaintBackground(dc, bar, foreColor_);
}

void TGauge::PaintAsPie(HDC dc, const RECT& r) {
    PaintBackground(dc, r, BaseColor());
    UniquePen pen(CreatePen(PS_SOLID, 1, foreColor_));
    UniqueBrush back(CreateSolidBrush(backColor_));
    ScopedSelect selPen(dc, pen.get());
    {
        ScopedSelect selBrush(dc, back.get());
        Ellipse(dc, r.left, r.top, r.right, r.bottom);
    }
    const int percent = PercentDone();
    if (percent < 1) return;
    UniqueBrush fore(CreateSolidBrush(foreColor_));
    ScopedSelect selBrush(dc, fore.get());
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (percent >= 100) {
        Ellipse(dc, r.left, r.top, r.right, r.bottom);
        return;
    }
    // Clockwise from twelve o'clock: GDI's pie runs counter-clockwise from the start point,
    // so the slice starts where the percentage ends and stops at the top.
    const double a = std::numbers::pi * (percent / 50.0 + 0.5);
    const int x = r.left + static_cast<int>(std::lround(w / 2.0 * (1 - std::cos(a))));
    const int y = r.top + static_cast<int>(std::lround(h / 2.0 * (1 - std::sin(a))));
    Pie(dc, r.left, r.top, r.right, r.bottom, x, y, r.left + w / 2, r.top);
}

void TGauge::PaintAsNeedle(HDC dc, const RECT& r) {
    PaintBackground(dc, r, BaseColor());
    const int w = r.right - r.left, h = r.bottom - r.top;
    UniquePen pen(CreatePen(PS_SOLID, 1, foreColor_));
    UniqueBrush back(CreateSolidBrush(backColor_));
    ScopedSelect selPen(dc, pen.get());
    {
        ScopedSelect selBrush(dc, back.get());
        // The upper half of an ellipse twice the area's height: its flat side is the bottom edge.
        Pie(dc, r.left, r.top, r.right, r.top + 2 * h - 1, r.right, r.bottom - 1, r.left, r.bottom - 1);
    }
    MoveToEx(dc, r.left, r.bottom - 1, nullptr);
    LineTo(dc, r.right, r.bottom - 1);
    const int percent = PercentDone();
    if (percent < 1) return;
    const double a = percent / 100.0 * std::numbers::pi;
    const int bottom = h - 1;
    MoveToEx(dc, r.left + w / 2, r.top + bottom - 1, nullptr);
    LineTo(dc, r.left + static_cast<int>(std::lround((1 - std::cos(a)) * w / 2)),
           r.top + static_cast<int>(std::lround((1 - std::sin(a)) * (bottom - 1))));
}

void TGauge::PaintText(HDC dc, const RECT& r) {
    const int w = r.right - r.left, h = r.bottom - r.top;
    // White text on black, combined by XOR: where the text lies every colour turns into
    // its inverse, so the figures stay readable over the bar and the background alike.
    UniqueMemDC textDC(CreateCompatibleDC(dc));
    UniqueBitmap textBitmap(CreateCompatibleBitmap(dc, w, h));
    if (!textDC || !textBitmap) return;
    ScopedSelect selBitmap(textDC.get(), textBitmap.get());
    RECT local{0, 0, w, h};
    UniqueBrush black(CreateSolidBrush(RGB(0, 0, 0)));
    FillRect(textDC.get(), &local, black.get());
    ScopedSelect selFont(textDC.get(), FontHandle());
    SetBkMode(textDC.get(), TRANSPARENT);
    SetTextColor(textDC.get(), RGB(255, 255, 255));
    const std::string text = Format("%d%%", PercentDone());
    DrawTextA(textDC.get(), text.c_str(), static_cast<int>(text.size()), &local,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    BitBlt(dc, r.left, r.top, w, h, textDC.get(), 0, 0, SRCINVERT);
}

}  // namespace kaptor
