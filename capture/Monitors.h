// The screen as the captures see it with several monitors: each monitor is a rectangle in
// virtual-screen pixels (right and bottom exclusive), the primary one from (0, 0), the others
// wherever the user placed them, at negative coordinates too. The rules take the rectangles
// as a list, so any layout can be checked without attaching one.
#pragma once

#include <windows.h>

#include <vector>

namespace kaptor {

// The smallest rectangle that holds every monitor; empty for an empty list.
RECT BoundsOf(const std::vector<RECT>& monitors);
// The monitor that holds p, or else the nearest one (the pointer can rest on no monitor only
// while the layout changes); an empty rectangle for an empty list.
RECT MonitorAt(const std::vector<RECT>& monitors, POINT p);
// A maximised window reaches past its monitor by its borders; its picture is taken from the
// window's own origin to its right and bottom edges as measured from the monitor's top-left
// corner (on the primary monitor simply right x bottom).
SIZE MaximisedSize(const RECT& window, const RECT& monitor);

// Every monitor attached to the desktop; the primary screen when the system lists none.
std::vector<RECT> MonitorRects();
// The virtual screen: every monitor, as the system reports it.
RECT VirtualScreen();
// The monitor a window lies on (most of it, or the nearest).
RECT MonitorOf(HWND wnd);
// What a whole-screen capture takes: the virtual screen, or only the monitor under the
// pointer.
RECT WholeScreenArea(bool monitorUnderPointer);

inline SIZE SizeOf(const RECT& r) { return {r.right - r.left, r.bottom - r.top}; }

}  // namespace kaptor
