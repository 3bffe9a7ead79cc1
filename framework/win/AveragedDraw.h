// Drawing a bitmap smaller than it is by averaging: each display pixel is the mean of the
// picture's pixels that fall on it, so thin lines and text stay legible where stretching by
// the nearest pixel would drop whole rows and columns.
#pragma once

#include <windows.h>

namespace kaptor {

class TBitmap;

// Paints the part area of source shown at width x height from (0, 0) of dc. A side that
// grows instead is sampled, each display pixel taking one picture pixel.
void DrawAveraged(HDC dc, int width, int height, const RECT& area, TBitmap& source);

}  // namespace kaptor
