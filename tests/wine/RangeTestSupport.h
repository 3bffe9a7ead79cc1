// A known picture installed in the shared main window, and range-mode helpers for the range,
// save and clipboard tests.
#pragma once

#include <cstdint>

#include "TestApp.h"
#include "app/F_Kaptor.h"
#include "framework/win/Bitmap.h"

namespace kaptor::testing {

// Every pixel different from its neighbours: (x, y) is RGB(x*7, y*5, x+y) (mod 256).
inline COLORREF PatternColor(int x, int y) {
    return RGB((x * 7) & 0xFF, (y * 5) & 0xFF, (x + y) & 0xFF);
}

inline void FillPattern(TBitmap& bitmap) {
    for (int y = 0; y < bitmap.Height(); ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(bitmap.ScanLine(y));
        for (int x = 0; x < bitmap.Width(); ++x) {
            const COLORREF c = PatternColor(x, y);
            row[x] = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
        }
    }
    bitmap.Modified();
}

// Installs a w x h pattern picture and leaves range mode off.
inline TKaptor32& WithPattern(int w, int h) {
    TKaptor32& form = MainWindow();
    if (form.SB_Range->Down()) form.SB_NoRangeClick(&form);
    TBitmap bitmap(w, h);
    FillPattern(bitmap);
    form.PictureView().Install(bitmap);
    TakeMessages();
    return form;
}

inline void LeftDown(TKaptor32& form, int x, int y) {
    form.Image1MouseDown(&form.PictureView().Shown(), TMouseButton::mbLeft, 0, x, y);
}
inline void Move(TKaptor32& form, int x, int y) { form.Image1MouseMove(&form.PictureView().Shown(), 0, x, y); }

// Range mode, first corner, a move, second corner.
inline void Frame(TKaptor32& form, int x1, int y1, int x2, int y2) {
    form.SB_RangeClick(form.SB_Range);
    LeftDown(form, x1, y1);
    Move(form, x2, y2);
    LeftDown(form, x2 + 5, y2 + 5);  // the second click's own position is not used
}

inline COLORREF Pixel(TKaptor32& form, int x, int y) { return form.PictureView().Shown().Canvas().Pixels(x, y); }

}  // namespace kaptor::testing
