// A known picture installed in the shared main window, and range-mode helpers for the range,
// save and clipboard tests.
#pragma once

#include <cstdint>

#include "TestApp.h"
#include "app/MainWindow.h"
#include "settings/Settings.h"
#include "framework/win/Bitmap.h"

namespace kaptor::testing {

// Every pixel different from its neighbours: (x, y) is RGB(x*7, y*5, x+y) (mod 256).
inline COLORREF PatternColor(int x, int y) {
    return RGB((x * 7) & 0xFF, (y * 5) & 0xFF, (x + y) & 0xFF);
}

// block: the pattern's colour at the corner of each block x block square (few colours).
inline void FillPattern(TBitmap& bitmap, int block = 1) {
    for (int y = 0; y < bitmap.Height(); ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(bitmap.ScanLine(y));
        for (int x = 0; x < bitmap.Width(); ++x) {
            const COLORREF c = PatternColor(x / block * block, y / block * block);
            row[x] = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
        }
    }
    bitmap.Modified();
}

// Installs a w x h pattern picture and leaves range mode off.
inline TMainWindow& WithPattern(int w, int h) {
    TMainWindow& form = MainWindow();
    if (form.Down(TCommandId::EnterRange)) form.Execute(TCommandId::LeaveRange);
    TBitmap bitmap(w, h);
    FillPattern(bitmap);
    form.View().Install(bitmap);
    TakeMessages();
    return form;
}

inline void LeftDown(TMainWindow& form, int x, int y) {
    form.View().MouseDown(TMouseButton::mbLeft, x, y);
}
inline void Move(TMainWindow& form, int x, int y) { form.View().MouseMove(x, y); }

// Range mode, first corner, a move, second corner.
inline void Frame(TMainWindow& form, int x1, int y1, int x2, int y2) {
    form.Execute(TCommandId::EnterRange);
    LeftDown(form, x1, y1);
    Move(form, x2, y2);
    LeftDown(form, x2 + 5, y2 + 5);  // the second click's own position is not used
}

inline COLORREF Pixel(TMainWindow& form, int x, int y) { return form.View().Shown().Canvas().Pixels(x, y); }

}  // namespace kaptor::testing
