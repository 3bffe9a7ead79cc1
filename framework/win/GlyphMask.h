// A glyph split into the colour and the mask that tool buttons and push buttons draw it with:
// transparent where the mask colour is (by default, its bottom-left pixel's).
#pragma once

#include <windows.h>

#include <commctrl.h>

#include "framework/win/Handles.h"

namespace kaptor {

struct TGlyphMask {
    UniqueBitmap colour;  // the glyph's pixels, black where transparent
    UniqueBitmap mask;    // monochrome: set where transparent
};

// "Use the bottom-left pixel of each glyph" as the transparent colour.
inline constexpr COLORREF clGlyphCorner = CLR_DEFAULT;

// Read straight from the bitmap's pixels; null bitmaps when it cannot be read.
TGlyphMask MaskGlyph(HBITMAP bitmap, COLORREF maskColour = clGlyphCorner);
// The same as an icon (for push buttons); null when the bitmap cannot be read.
UniqueIcon MaskedIcon(HBITMAP bitmap);

}  // namespace kaptor
