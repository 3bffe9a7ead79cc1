// TShape: a filled rectangle with a one-pixel outline, painted by the program (a colour
// swatch, for example).
#pragma once

#include "framework/win/Controls.h"
#include "framework/win/Graphics.h"

namespace kaptor {

class TShape : public TCustomControl {
public:
    explicit TShape(TComponent* owner) : TCustomControl(owner) {}
    TColor BrushColor() const { return brushColor_; }
    void SetBrushColor(TColor color);
    TColor PenColor() const { return penColor_; }
    void SetPenColor(TColor color);

protected:
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
    void Paint(HDC dc, const RECT& update) override;

private:
    TColor brushColor_ = clWhite;
    TColor penColor_ = clBlack;
};

}  // namespace kaptor
