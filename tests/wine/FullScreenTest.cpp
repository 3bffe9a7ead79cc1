// Full-screen view in process: what the window loses and gets back, the saved bounds, the
// already maximised window, F12 during full-screen view, the bar options and the Esc key.
#include <gtest/gtest.h>

#include "RangeTestSupport.h"
#include "settings/Settings.h"
#include "framework/win/Handles.h"

using namespace kaptor;
using namespace kaptor::testing;

namespace {

RECT WindowRect(TMainWindow& form) {
    RECT r{};
    GetWindowRect(form.Handle(), &r);
    return r;
}

RECT WorkArea() {
    RECT r{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &r, 0);
    return r;
}

bool Covers(const RECT& outer, const RECT& inner) {
    return outer.left <= inner.left && outer.top <= inner.top && outer.right >= inner.right &&
           outer.bottom >= inner.bottom;
}

int MenuBarItems(TMainWindow& form) {
    HMENU bar = GetMenu(form.Handle());
    return bar ? GetMenuItemCount(bar) : 0;
}

// A normal 600 x 400 window at (100, 80) with a picture; the options as the test sets them.
TMainWindow& NormalWindow(bool showBar = true, bool showStsBar = true) {
    TMainWindow& form = WithPattern(300, 200);
    if (form.Enabled(TCommandId::LeaveFullScreen, TPlace::PictureMenu)) form.Execute(TCommandId::LeaveFullScreen);
    form.SetWindowState(TWindowState::wsNormal);
    Settings.ShowBar = showBar;
    Settings.ShowStsBar = showStsBar;
    form.ShowBars();
    form.SetBounds(100, 80, 600, 400);
    Pump();
    return form;
}

void PressEsc(TMainWindow& form) {
    SendMessageA(form.Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
    Pump();
}

// The full-screen look: no border, no menu bar, no bars, the window over the screen.
void ExpectFullScreen(TMainWindow& form) {
    EXPECT_EQ(form.WindowState(), TWindowState::wsMaximized);
    EXPECT_EQ(form.BorderStyle(), TBorderStyle::bsNone);
    const LONG style = GetWindowLongA(form.Handle(), GWL_STYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_THICKFRAME), 0);
    EXPECT_EQ(MenuBarItems(form), 0);
    EXPECT_FALSE(form.ToolBarShown());
    EXPECT_FALSE(form.StatusBarShown());
    EXPECT_TRUE(form.Enabled(TCommandId::LeaveFullScreen, TPlace::PictureMenu));
    const RECT w = WindowRect(form);
    EXPECT_TRUE(Covers(w, WorkArea())) << w.left << "," << w.top << "," << w.right << "," << w.bottom;
    // The view alone fills the window.
    EXPECT_EQ(form.ClientWidth(), w.right - w.left);
    EXPECT_EQ(form.ClientHeight(), w.bottom - w.top);
    EXPECT_EQ(form.View().Area().Width(), form.ClientWidth());
    EXPECT_EQ(form.View().Area().Height(), form.ClientHeight());
}

void ExpectNormalLook(TMainWindow& form, bool toolBar) {
    EXPECT_EQ(form.BorderStyle(), TBorderStyle::bsSizeable);
    const LONG style = GetWindowLongA(form.Handle(), GWL_STYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_THICKFRAME), WS_CAPTION | WS_THICKFRAME);
    EXPECT_EQ(MenuBarItems(form), 6);
    EXPECT_EQ(form.ToolBarShown(), toolBar);
    EXPECT_TRUE(form.StatusBarShown());
    EXPECT_FALSE(form.Enabled(TCommandId::LeaveFullScreen, TPlace::PictureMenu));
}

struct BackToNormal {
    ~BackToNormal() {
        TMainWindow& form = MainWindow();
        if (form.Enabled(TCommandId::LeaveFullScreen, TPlace::PictureMenu)) form.Execute(TCommandId::LeaveFullScreen);
        form.SetWindowState(TWindowState::wsNormal);
        Settings.ShowBar = true;
        Settings.ShowStsBar = true;
        form.ShowBars();
        Pump();
    }
};

}  // namespace

TEST(FullScreen, FromANormalWindowAndBackByTheMenuItem) {
    BackToNormal back;
    TMainWindow& form = NormalWindow();
    form.View().ChooseZoom(150);
    form.Execute(TCommandId::FullScreen);
    Pump();
    ExpectFullScreen(form);
    // The picture keeps its zoom and place: not fitted to the screen.
    EXPECT_EQ(form.View().ZoomBoxValue(), 150);
    EXPECT_EQ(form.View().Shown().Width(), 450);
    EXPECT_EQ(form.View().Shown().Left(), 0);
    EXPECT_EQ(form.View().Shown().Top(), 0);
    // Range mode from the picture's menu changes menu items while the bar is away: the view
    // still fills the window, and the mode stays on across the return.
    form.Click(TCommandId::EnterRange, TPlace::PictureMenu);
    Pump();
    ExpectFullScreen(form);
    EXPECT_TRUE(form.Down(TCommandId::EnterRange));

    form.Click(TCommandId::LeaveFullScreen, TPlace::PictureMenu);
    Pump();
    EXPECT_EQ(form.WindowState(), TWindowState::wsNormal);
    const RECT r = WindowRect(form);
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.top, 80);
    EXPECT_EQ(r.right - r.left, 600);
    EXPECT_EQ(r.bottom - r.top, 400);
    ExpectNormalLook(form, true);
    EXPECT_TRUE(form.Down(TCommandId::EnterRange));
    EXPECT_EQ(form.View().Shown().Width(), 300);  // range mode shows 100 %
    EXPECT_EQ(form.View().Shown().Picture().Width(), 300);
    form.Execute(TCommandId::LeaveRange);
}

TEST(FullScreen, EscReturnsLikeTheMenuItem) {
    BackToNormal back;
    TMainWindow& form = NormalWindow();
    form.Click(TCommandId::FullScreen, TPlace::MenuBar);
    Pump();
    ExpectFullScreen(form);
    // Other keys do nothing.
    SendMessageA(form.Handle(), WM_KEYDOWN, VK_RETURN, 0);
    Pump();
    ExpectFullScreen(form);
    PressEsc(form);
    EXPECT_EQ(form.WindowState(), TWindowState::wsNormal);
    const RECT r = WindowRect(form);
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.top, 80);
    EXPECT_EQ(r.right - r.left, 600);
    EXPECT_EQ(r.bottom - r.top, 400);
    ExpectNormalLook(form, true);
}

TEST(FullScreen, FromAMaximisedWindowItStaysMaximised) {
    BackToNormal back;
    TMainWindow& form = NormalWindow();
    form.SetWindowState(TWindowState::wsMaximized);
    Pump();
    const RECT maximised = WindowRect(form);
    const int clientHeight = form.ClientHeight();
    form.Execute(TCommandId::FullScreen);
    Pump();
    ExpectFullScreen(form);
    PressEsc(form);
    EXPECT_EQ(form.WindowState(), TWindowState::wsMaximized);
    ExpectNormalLook(form, true);
    const RECT r = WindowRect(form);
    EXPECT_EQ(r.left, maximised.left);
    EXPECT_EQ(r.top, maximised.top);
    EXPECT_EQ(r.right, maximised.right);
    EXPECT_EQ(r.bottom, maximised.bottom);
    EXPECT_EQ(form.ClientHeight(), clientHeight);
    // Restoring it later gives the normal bounds it had.
    form.SetWindowState(TWindowState::wsNormal);
    Pump();
    const RECT n = WindowRect(form);
    EXPECT_EQ(n.left, 100);
    EXPECT_EQ(n.right - n.left, 600);
}

TEST(FullScreen, F12DuringFullScreenChangesNothingAndTheReturnRestoresTheBounds) {
    BackToNormal back;
    TMainWindow& form = NormalWindow();
    EXPECT_TRUE(form.Menu()->IsShortCut(VK_F12, 0));
    Pump();
    ExpectFullScreen(form);
    // The menu bar is gone but its shortcuts still work.
    EXPECT_TRUE(form.Menu()->IsShortCut(VK_F12, 0));
    Pump();
    ExpectFullScreen(form);
    PressEsc(form);
    EXPECT_EQ(form.WindowState(), TWindowState::wsNormal);
    ExpectNormalLook(form, true);
    const RECT r = WindowRect(form);
    EXPECT_TRUE(r.left == 100 && r.top == 80 && r.right == 700 && r.bottom == 480)
        << r.left << "," << r.top << "," << r.right << "," << r.bottom;
}

TEST(FullScreen, BarOptionsOffToolBarStaysHiddenStatusBarComesBack) {
    BackToNormal back;
    TMainWindow& form = NormalWindow(false, false);
    const bool statusChecked = form.Checked(TCommandId::ShowStatusBar);
    form.Execute(TCommandId::FullScreen);
    Pump();
    ExpectFullScreen(form);
    PressEsc(form);
    ExpectNormalLook(form, false);
    EXPECT_EQ(form.Checked(TCommandId::ShowStatusBar), statusChecked);
}

TEST(FullScreen, ReturnItemEnabledOnlyInFullScreenAndEscElsewhereDoesNothing) {
    BackToNormal back;
    TMainWindow& form = NormalWindow();
    EXPECT_FALSE(form.Enabled(TCommandId::LeaveFullScreen, TPlace::PictureMenu));
    // A window the user maximised is not full-screen view: Esc leaves it as it is.
    form.SetWindowState(TWindowState::wsMaximized);
    Pump();
    PressEsc(form);
    EXPECT_EQ(form.WindowState(), TWindowState::wsMaximized);
    form.Click(TCommandId::LeaveFullScreen, TPlace::PictureMenu);  // disabled: nothing
    EXPECT_EQ(form.WindowState(), TWindowState::wsMaximized);
    form.SetWindowState(TWindowState::wsNormal);
    Pump();
    form.Execute(TCommandId::FullScreen);
    EXPECT_TRUE(form.Enabled(TCommandId::LeaveFullScreen, TPlace::PictureMenu));
    // The return is the picture menu's first item.
    ASSERT_NE(form.View().Shown().PopupMenu(), nullptr);
    EXPECT_EQ(form.View().Shown().PopupMenu()->Items()->Items(0)->Caption(), "復帰");
    form.Execute(TCommandId::LeaveFullScreen);
    EXPECT_FALSE(form.Enabled(TCommandId::LeaveFullScreen, TPlace::PictureMenu));
}

TEST(FullScreen, EnteringAndLeavingLeakNoHandles) {
    BackToNormal back;
    TMainWindow& form = NormalWindow();
    form.Execute(TCommandId::FullScreen);
    PressEsc(form);
    const long gdi = OwnedGdiHandles(), user = OwnedUserHandles();
    for (int i = 0; i < 3; ++i) {
        form.Execute(TCommandId::FullScreen);
        Pump();
        PressEsc(form);
    }
    EXPECT_EQ(OwnedGdiHandles(), gdi);
    EXPECT_EQ(OwnedUserHandles(), user);
}
