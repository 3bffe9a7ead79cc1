// Full-screen view: the main window itself drops its border, menus and bars and is
// maximised, so the view alone fills the screen. No second window: the picture, zoom and
// range state simply stay where they are.
#include "app/MainWindow.h"
#include "framework/win/ComCtrls.h"
#include "settings/Settings.h"

namespace kaptor {

namespace {

// Sets the bounds a window has when it is not maximised, without moving a maximised one.
bool PlaceNormal(HWND wnd, RECT r) {
    WINDOWPLACEMENT wp{};
    wp.length = sizeof wp;
    if (!GetWindowPlacement(wnd, &wp)) return false;
    // The placement is in work-area coordinates.
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    if (GetMonitorInfoA(MonitorFromWindow(wnd, MONITOR_DEFAULTTONEAREST), &mi))
        OffsetRect(&r, mi.rcMonitor.left - mi.rcWork.left, mi.rcMonitor.top - mi.rcWork.top);
    wp.rcNormalPosition = r;
    wp.flags = 0;
    return SetWindowPlacement(wnd, &wp) != FALSE;
}

}  // namespace

namespace {
// The menu bar's menus in order, and which of them leave first (file, capture, options, help),
// then edit and view once the border is gone.
enum { FileMenu, CaptureMenu, EditMenu, ViewMenu, OptionsMenu, HelpMenu };
constexpr int FirstToGo[] = {FileMenu, CaptureMenu, OptionsMenu, HelpMenu};
constexpr int LastToGo[] = {EditMenu, ViewMenu};
}  // namespace

void TMainWindow::EnterFullScreen() {
    // F12 again in full-screen view changes nothing: the return still restores the bounds
    // saved on the way in.
    if (facts_.fullScreen) return;
    if (WindowState() == TWindowState::wsMaximized) {
        wasMaximized_ = true;
    } else {
        savedBounds_ = RECT{Left(), Top(), Left() + Width(), Top() + Height()};
        wasMaximized_ = false;
    }
    toolBand_->Hide();
    for (int m : FirstToGo) barMenus_[m]->SetVisible(false);
    statusBar_->Hide();
    facts_.fullScreen = true;
    ApplyCommandStates();
    SetBorderStyle(TBorderStyle::bsNone);
    for (int m : LastToGo) barMenus_[m]->SetVisible(false);
    // The window goes without a menu bar until its items come back: an empty bar still counts
    // when the maximised size is worked out (the window would reach a menu's height above the
    // screen, and the picture's top rows with it). Shortcuts work from the items regardless.
    ::SetMenu(Handle(), nullptr);
    SetWindowState(TWindowState::wsMaximized);
    Repaint();
}

// The return, for the "復帰" item and for Esc.
void TMainWindow::LeaveFullScreen() {
    if (Settings.ShowBar) toolBand_->Show();
    for (int m : FirstToGo) barMenus_[m]->SetVisible(true);
    // Back whatever "ShowStsBar" says: the window never returns without its status bar.
    statusBar_->Show();
    // The window is maximised here: the saved bounds become the ones it is restored to.
    // (Moved while maximised, it would stay marked maximised at its normal size.)
    const RECT& r = savedBounds_;
    const bool placed = PlaceNormal(Handle(), r);
    SetBorderStyle(TBorderStyle::bsSizeable);
    SetWindowState(TWindowState::wsNormal);
    if (!placed) SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
    // Maximised from the start: maximised again, so that it lies over the work area with
    // its new frame (a window already maximised keeps its old size when told to maximise).
    if (wasMaximized_) SetWindowState(TWindowState::wsMaximized);
    facts_.fullScreen = false;
    ApplyCommandStates();
    for (int m : LastToGo) barMenus_[m]->SetVisible(true);
}

}  // namespace kaptor
