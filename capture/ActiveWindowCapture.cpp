// Active-window capture: the foreground window when the delay ends, its client area, or the
// control under the pointer.
#include <optional>

#include "settings/Settings.h"
#include "capture/CaptureCommands.h"
#include "capture/CapturePipeline.h"
#include "capture/Monitors.h"
#include "capture/WindowListDialog.h"
#include "framework/win/Handles.h"

namespace kaptor {

HWND ControlUnderPointer(HWND parent, bool& rectFailed) {
    rectFailed = false;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT r;
        if (!GetWindowRect(child, &r)) {
            rectFailed = true;
            return nullptr;
        }
        POINT p{0, 0};
        GetCursorPos(&p);  // read anew: the pointer may move during the search
        if (r.left <= p.x && p.x <= r.right && r.top <= p.y && p.y <= r.bottom) return child;
    }
    return nullptr;
}

namespace {

// The foreground window when the wait has ended, its client area, or the control under the
// pointer.
TCaptureOutcome TakeActiveWindow(TCapturePipeline& capture) {
    const bool client = Settings.CaptureClient;
    const bool control = !client && Settings.CaptureControl;
    // The foreground window is read only now: what the user activated during the delay.
    HWND target = GetForegroundWindow();
    std::optional<WindowDC> dc;
    RECT r{};
    if (control) {
        bool rectFailed = false;
        target = ControlUnderPointer(target, rectFailed);
        if (!target) return TCaptureOutcome::Failed("ｺﾝﾄﾛｰﾙの位置取得に失敗");
        dc.emplace(target, false);  // the control's client area
        if (!GetWindowRect(target, &r)) return TCaptureOutcome::Failed("ｺﾝﾄﾛｰﾙの位置取得に失敗");
    } else {
        dc.emplace(target, !client);
        if (!(client ? GetClientRect(target, &r) : GetWindowRect(target, &r)))
            return TCaptureOutcome::Failed("ｳｨﾝﾄﾞｳの位置取得に失敗");
    }
    // A maximised window reaches past its monitor by its borders: only right and bottom count,
    // from the monitor's corner (a client rectangle begins at 0 already).
    const bool zoomed = IsZoomed(target);
    const SIZE size = !zoomed ? SizeOf(r) : MaximisedSize(r, client ? RECT{0, 0, 0, 0} : MonitorOf(target));
    const RECT area = CursorArea(target, r, client);
    capture.CopyPicture(dc->get(), size, &area);
    return TCaptureOutcome::Taken("Window", target);
}

}  // namespace

void TCaptureCommands::CaptureActiveWindow(TCaptureRequest* request) {
    TCapturePipeline(*this, ActiveWindowRules, request).Run(TCaptureStart::ByUser, TakeActiveWindow);
}

}  // namespace kaptor
