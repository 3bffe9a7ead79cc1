#include "capture/Monitors.h"

#include <algorithm>
#include <cstdint>

namespace kaptor {

RECT BoundsOf(const std::vector<RECT>& monitors) {
    if (monitors.empty()) return {0, 0, 0, 0};
    RECT all = monitors.front();
    for (const RECT& m : monitors)
        all = {std::min(all.left, m.left), std::min(all.top, m.top), std::max(all.right, m.right),
               std::max(all.bottom, m.bottom)};
    return all;
}

RECT MonitorAt(const std::vector<RECT>& monitors, POINT p) {
    RECT nearest{0, 0, 0, 0};
    std::int64_t best = INT64_MAX;
    for (const RECT& m : monitors) {
        // Distance to the rectangle's nearest pixel; 0 inside.
        const std::int64_t dx = p.x < m.left ? m.left - p.x : p.x >= m.right ? p.x - (m.right - 1) : 0;
        const std::int64_t dy = p.y < m.top ? m.top - p.y : p.y >= m.bottom ? p.y - (m.bottom - 1) : 0;
        const std::int64_t d = dx * dx + dy * dy;
        if (d < best) best = d, nearest = m;
    }
    return nearest;
}

SIZE MaximisedSize(const RECT& window, const RECT& monitor) {
    return {window.right - monitor.left, window.bottom - monitor.top};
}

namespace {

RECT PrimaryScreen() { return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

BOOL CALLBACK AddMonitor(HMONITOR, HDC, LPRECT r, LPARAM list) {
    reinterpret_cast<std::vector<RECT>*>(list)->push_back(*r);
    return TRUE;
}

}  // namespace

std::vector<RECT> MonitorRects() {
    std::vector<RECT> monitors;
    if (!EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&monitors)) || monitors.empty())
        return {PrimaryScreen()};
    return monitors;
}

RECT VirtualScreen() {
    const int x = GetSystemMetrics(SM_XVIRTUALSCREEN), y = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const int w = GetSystemMetrics(SM_CXVIRTUALSCREEN), h = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    if (w <= 0 || h <= 0) return BoundsOf(MonitorRects());  // a system without the metrics
    return {x, y, x + w, y + h};
}

RECT MonitorOf(HWND wnd) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoA(MonitorFromWindow(wnd, MONITOR_DEFAULTTONEAREST), &info)) return PrimaryScreen();
    return info.rcMonitor;
}

RECT WholeScreenArea(bool monitorUnderPointer) {
    POINT p{0, 0};
    if (!monitorUnderPointer || !GetCursorPos(&p)) return VirtualScreen();
    return MonitorAt(MonitorRects(), p);
}

}  // namespace kaptor
