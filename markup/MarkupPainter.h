// Markup objects drawn with GDI: onto the view at its zoom (while an object is being drawn)
// and into the picture itself at 1:1 (once it is placed).
#pragma once

#include <windows.h>

#include "markup/MarkupDocument.h"

namespace kaptor {

// The program's UI font, in which markup text is written.
inline constexpr const char* MarkupFontName = "ＭＳ Ｐゴシック";

// Draws the object on dc, each picture pixel scale display pixels wide, the picture's
// top-left at the DC's origin. A preview shows a pixelated area only by its frame: its
// pixels are worked out from the picture once it is placed.
void PaintMarkup(HDC dc, const TMarkupObject& object, double scale, bool preview);

// Replaces each block of area on dc (a bitmap's memory DC at 1:1) by the mean of its
// pixels, clipped to clip.
void PixelateArea(HDC dc, const TMarkRect& area, const TMarkRect& clip);

// The extent the text takes in the markup font at its size, at 1:1.
SIZE MeasureMarkupText(const TMarkupObject& object);

}  // namespace kaptor
