// The region selector: the frozen screen shown over every monitor in a borderless top-most
// window, on which the user marks the rectangle to capture.
#pragma once

#include <windows.h>

#include <optional>

namespace kaptor {

class TBitmap;

// The class of the selector's window (tests look for it).
inline constexpr const char* RegionSelectorClass = "TKaptorRegion";

// Shows screen (the picture of area, in screen coordinates: the virtual screen, whose corner
// lies at negative coordinates when a monitor is left of or above the primary one) where it
// was taken, and lets the user drag a
// rectangle with a cross cursor: the outside is dimmed and "W x H" follows the pointer. The
// pixels under the pointer where the button went down and where it came up are both inside.
// Arrow keys move the rectangle by one pixel, Shift+arrow keys move its right or bottom
// edge, also while the button is held. Enter, a double click or releasing the mouse after a drag accepts; Esc or a right
// click cancels (nullopt). start, when given, is the rectangle shown at first.
// start and the result are in screen coordinates; the result lies inside area, right and
// bottom exclusive, never empty.
std::optional<RECT> SelectRegion(TBitmap& screen, const RECT& area, const RECT* start = nullptr);

}  // namespace kaptor
