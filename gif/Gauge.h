// A progress gauge drawn by the program itself in five styles: a percentage text alone, a
// horizontal or vertical bar, a pie or a needle on a half-dial.
#pragma once

#include <windows.h>

#include "framework/win/Bitmap.h"
#include "framework/win/Controls.h"

namespace kaptor {

namespace texts {
inline constexpr const char* GaugeRange = "%d から %d の間の値でなければなりません";
}

enum class TGaugeKind { gkText, gkHorizontalBar, gkVerticalBar, gkPie, gkNeedle };
enum class TGaugeBorderStyle { bsNone, bsSingle };

class TGauge : public TCustomControl {
public:
    // 100 x 100 pixels.
    explicit TGauge(TComponent* owner);

    TGaugeKind Kind() const { return kind_; }
    void SetKind(TGaugeKind kind);
    bool ShowText() const { return showText_; }
    void SetShowText(bool show);
    TGaugeBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TGaugeBorderStyle style);
    COLORREF ForeColor() const { return foreColor_; }
    void SetForeColor(COLORREF color);
    COLORREF BackColor() const { return backColor_; }
    void SetBackColor(COLORREF color);

    // MinValue may not pass MaxValue nor MaxValue MinValue (except while loading): the
    // framework's invalid-operation error. Progress follows a bound that moves past it.
    int MinValue() const { return minValue_; }
    void SetMinValue(int value);
    int MaxValue() const { return maxValue_; }
    void SetMaxValue(int value);
    int Progress() const { return progress_; }
    // Clamped to MinValue .. MaxValue.
    void SetProgress(int value);
    void AddProgress(int value) { SetProgress(progress_ + value); }

    // (Progress - MinValue) * 100 / (MaxValue - MinValue), toward zero; 0 for an empty range.
    int PercentDone() const;

    // Draws the gauge as it appears on screen into bitmap, sized to the control.
    void PaintTo(TBitmap& bitmap);

protected:
    void Paint(HDC dc, const RECT& update) override;

private:
    void Changed();
    void PaintBackground(HDC dc, const RECT& r, COLORREF color);
    void PaintAsText(HDC dc, const RECT& r);
    void PaintAsBar(HDC dc, const RECT& r, bool horizontal);
    void PaintAsPie(HDC dc, const RECT& r);
    void PaintAsNeedle(HDC dc, const RECT& r);
    void PaintText(HDC dc, const RECT& r);
    COLORREF BaseColor() const;

    TGaugeKind kind_ = TGaugeKind::gkHorizontalBar;
    bool showText_ = true;
    TGaugeBorderStyle borderStyle_ = TGaugeBorderStyle::bsSingle;
    COLORREF foreColor_ = RGB(0, 0, 0);
    COLORREF backColor_ = RGB(255, 255, 255);
    int minValue_ = 0;
    int maxValue_ = 100;
    int progress_ = 0;
};

}  // namespace kaptor
