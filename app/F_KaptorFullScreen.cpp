// Full-screen view: the main window itself drops its border, menus and bars and is
// maximised, so the view alone fills the screen. No second window: the picture, zoom and
// range state simply stay where they are. PM_Esc being enabled marks the state.
#include "app/F_Kaptor.h"
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

void TKaptor32::WireViewCommands() {
    auto on = [this](void (TKaptor32::*handler)(TComponent*)) {
        return [this, handler](TComponent* s) { (this->*handler)(s); };
    };
    SB_Resize->OnClick = on(&TKaptor32::SB_ResizeClick);
    M_Resize->OnClick = on(&TKaptor32::SB_ResizeClick);
    SB_Max->OnClick = on(&TKaptor32::SB_MaxClick);
    M_Max->OnClick = on(&TKaptor32::SB_MaxClick);
    PM_Esc->OnClick = on(&TKaptor32::PM_EscClick);
}

void TKaptor32::SB_MaxClick(TComponent*) {
    // F12 again in full-screen view changes nothing: the return still restores the bounds
    // saved on the way in.
    if (commandFacts_.fullScreen) return;
    if (WindowState() == TWindowState::wsMaximized) {
        WasMaximized = true;
    } else {
        SavedWidth = Width();
        SavedHeight = Height();
        SavedTop = Top();
        SavedLeft = Left();
        WasMaximized = false;
    }
    CoolBar1->Hide();
    for (TMenuItem* m : {MM_File, MM_Capture, MM_Option, MM_Help}) m->SetVisible(false);
    StatusBar1->Hide();
    commandFacts_.fullScreen = true;
    ApplyCommandStates();
    SetBorderStyle(TBorderStyle::bsNone);
    MM_Edit->SetVisible(false);
    MM_Show->SetVisible(false);
    // The window goes without a menu bar until its items come back: an empty bar still counts
    // when the maximised size is worked out (the window would reach a menu's height above the
    // screen, and the picture's top rows with it). Shortcuts work from the items regardless.
    ::SetMenu(Handle(), nullptr);
    SetWindowState(TWindowState::wsMaximized);
    Repaint();
}

// The return, for the "復帰" item and for Esc (FormKeyDown).
void TKaptor32::PM_EscClick(TComponent*) {
    if (Settings.ShowBar) CoolBar1->Show();
    for (TMenuItem* m : {MM_File, MM_Capture, MM_Option, MM_Help}) m->SetVisible(true);
    // Back whatever "ShowStsBar" says: the window never returns without its status bar.
    StatusBar1->Show();
    // The window is maximised here: the saved bounds become the ones it is restored to.
    // (Moved while maximised, it would stay marked maximised at its normal size.)
    const bool placed =
        PlaceNormal(Handle(), RECT{SavedLeft, SavedTop, SavedLeft + SavedWidth, SavedTop + SavedHeight});
    SetBorderStyle(TBorderStyle::bsSizeable);
    SetWindowState(TWindowState::wsNormal);
    if (!placed) SetBounds(SavedLeft, SavedTop, SavedWidth, SavedHeight);
    // Maximised from the start: maximised again, so that it lies over the work area with
    // its new frame (a window already maximised keeps its old size when told to maximise).
    if (WasMaximized) SetWindowState(TWindowState::wsMaximized);
    commandFacts_.fullScreen = false;
    ApplyCommandStates();
    MM_Edit->SetVisible(true);
    MM_Show->SetVisible(true);
}

}  // namespace kaptor
