// Full-screen view in process: what the window loses and gets back, the saved bounds, the
// already maximised window, F12 during full-screen view, the bar options and the Esc key.
#include <gtest/gtest.h>

#include "RangeTestSupport.h"
#include "settings/Settings.h"
#include "framework/win/Handles.h"

using namespace kaptor;
using namespace kaptor::testing;

namespace {

RECT WindowRect(TKaptor32& form) {
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

int MenuBarItems(TKaptor32& form) {
    HMENU bar = GetMenu(form.Handle());
    return bar ? GetMenuItemCount(bar) : 0;
}

// A normal 600 x 400 window at (100, 80) with a picture; the options as the test sets them.
TKaptor32& NormalWindow(bool showBar = true, bool showStsBar = true) {
    TKaptor32& form = WithPattern(300, 200);
    if (form.PM_Esc->Enabled()) form.PM_EscClick(&form);
    form.SetWindowState(TWindowState::wsNormal);
    Settings.ShowBar = showBar;
    Settings.ShowStsBar = showStsBar;
    form.CoolBar1->SetVisible(showBar);
    form.StatusBar1->SetVisible(showStsBar);
    form.SetBounds(100, 80, 600, 400);
    Pump();
    return form;
}

void PressEsc(TKaptor32& form) {
    WORD key = VK_ESCAPE;
    form.FormKeyDown(&form, key, 0);
    Pump();
}

// The full-screen look: no border, no menu bar, no bars, the window over the screen.
void ExpectFullScreen(TKaptor32& form) {
    EXPECT_EQ(form.WindowState(), TWindowState::wsMaximized);
    EXPECT_EQ(form.BorderStyle(), TBorderStyle::bsNone);
    const LONG style = GetWindowLongA(form.Handle(), GWL_STYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_THICKFRAME), 0);
    for (TMenuItem* m : {form.MM_File, form.MM_Capture, form.MM_Edit, form.MM_Show, form.MM_Option, form.MM_Help})
        EXPECT_FALSE(m->Visible()) << m->Caption();
    EXPECT_EQ(MenuBarItems(form), 0);
    EXPECT_FALSE(form.CoolBar1->Visible());
    EXPECT_FALSE(form.StatusBar1->Visible());
    EXPECT_TRUE(form.PM_Esc->Enabled());
    const RECT w = WindowRect(form);
    EXPECT_TRUE(Covers(w, WorkArea())) << w.left << "," << w.top << "," << w.right << "," << w.bottom;
    // The view alone fills the window.
    EXPECT_EQ(form.ClientWidth(), w.right - w.left);
    EXPECT_EQ(form.ClientHeight(), w.bottom - w.top);
    EXPECT_EQ(form.ScrollBox1->Width(), form.ClientWidth());
    EXPECT_EQ(form.ScrollBox1->Height(), form.ClientHeight());
}

void ExpectNormalLook(TKaptor32& form, bool toolBar) {
    EXPECT_EQ(form.BorderStyle(), TBorderStyle::bsSizeable);
    const LONG style = GetWindowLongA(form.Handle(), GWL_STYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_THICKFRAME), WS_CAPTION | WS_THICKFRAME);
    for (TMenuItem* m : {form.MM_File, form.MM_Capture, form.MM_Edit, form.MM_Show, form.MM_Option, form.MM_Help})
        EXPECT_TRUE(m->Visible()) << m->Caption();
    EXPECT_EQ(MenuBarItems(form), 6);
    EXPECT_EQ(form.CoolBar1->Visible(), toolBar);
    EXPECT_TRUE(form.StatusBar1->Visible());
    EXPECT_FALSE(form.PM_Esc->Enabled());
}

struct BackToNormal {
    ~BackToNormal() {
        TKaptor32& form = MainWindow();
        if (form.PM_Esc->Enabled()) form.PM_EscClick(&form);
        form.SetWindowState(TWindowState::wsNormal);
        Settings.ShowBar = true;
        Settings.ShowStsBar = true;
        form.CoolBar1->Show();
        form.StatusBar1->Show();
        Pump();
    }
};

}  // namespace

TEST(FullScreen, FromANormalWindowAndBackByTheMenuItem) {
    BackToNormal back;
    TKaptor32& form = NormalWindow();
    form.SpinEdit1->SetValue(150);
    form.SB_MaxClick(form.SB_Max);
    Pump();
    EXPECT_FALSE(form.WasMaximized);
    EXPECT_EQ(form.SavedLeft, 100);
    EXPECT_EQ(form.SavedTop, 80);
    EXPECT_EQ(form.SavedWidth, 600);
    EXPECT_EQ(form.SavedHeight, 400);
    ExpectFullScreen(form);
    // The picture keeps its zoom and place: not fitted to the screen.
    EXPECT_EQ(form.SpinEdit1->Value(), 150);
    EXPECT_EQ(form.PictureView().Shown().Width(), 450);
    EXPECT_EQ(form.PictureView().Shown().Left(), 0);
    EXPECT_EQ(form.PictureView().Shown().Top(), 0);
    // Range mode from the picture's menu changes menu items while the bar is away: the view
    // still fills the window, and the mode stays on across the return.
    form.PM_Range->Click();
    Pump();
    ExpectFullScreen(form);
    EXPECT_TRUE(form.SB_Range->Down());

    form.PM_Esc->Click();
    Pump();
    EXPECT_EQ(form.WindowState(), TWindowState::wsNormal);
    const RECT r = WindowRect(form);
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.top, 80);
    EXPECT_EQ(r.right - r.left, 600);
    EXPECT_EQ(r.bottom - r.top, 400);
    ExpectNormalLook(form, true);
    EXPECT_TRUE(form.SB_Range->Down());
    EXPECT_EQ(form.PictureView().Shown().Width(), 300);  // range mode shows 100 %
    EXPECT_EQ(form.PictureView().Shown().Picture().Width(), 300);
    form.SB_NoRangeClick(&form);
}

TEST(FullScreen, EscReturnsLikeTheMenuItem) {
    BackToNormal back;
    TKaptor32& form = NormalWindow();
    form.M_Max->Click();
    Pump();
    ExpectFullScreen(form);
    // Other keys do nothing.
    WORD key = VK_RETURN;
    form.FormKeyDown(&form, key, 0);
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
    TKaptor32& form = NormalWindow();
    form.SetWindowState(TWindowState::wsMaximized);
    Pump();
    const RECT maximised = WindowRect(form);
    const int clientHeight = form.ClientHeight();
    form.SB_MaxClick(form.SB_Max);
    Pump();
    EXPECT_TRUE(form.WasMaximized);
    EXPECT_EQ(form.SavedWidth, 600);  // from before, not the maximised size
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
    TKaptor32& form = NormalWindow();
    EXPECT_TRUE(form.MainMenu1->IsShortCut(VK_F12, 0));
    Pump();
    ExpectFullScreen(form);
    EXPECT_FALSE(form.WasMaximized);
    // The menu bar is gone but its shortcuts still work.
    EXPECT_TRUE(form.MainMenu1->IsShortCut(VK_F12, 0));
    Pump();
    EXPECT_FALSE(form.WasMaximized);
    EXPECT_EQ(form.SavedLeft, 100);
    EXPECT_EQ(form.SavedTop, 80);
    EXPECT_EQ(form.SavedWidth, 600);
    EXPECT_EQ(form.SavedHeight, 400);
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
    TKaptor32& form = NormalWindow(false, false);
    const bool statusChecked = form.M_ShowStatusBar->Checked();
    form.SB_MaxClick(form.SB_Max);
    Pump();
    ExpectFullScreen(form);
    PressEsc(form);
    ExpectNormalLook(form, false);
    EXPECT_EQ(form.M_ShowStatusBar->Checked(), statusChecked);
}

TEST(FullScreen, ReturnItemEnabledOnlyInFullScreenAndEscElsewhereDoesNothing) {
    BackToNormal back;
    TKaptor32& form = NormalWindow();
    EXPECT_FALSE(form.PM_Esc->Enabled());
    // A window the user maximised is not full-screen view: Esc leaves it as it is.
    form.SetWindowState(TWindowState::wsMaximized);
    Pump();
    PressEsc(form);
    EXPECT_EQ(form.WindowState(), TWindowState::wsMaximized);
    form.PM_Esc->Click();  // disabled: nothing
    EXPECT_EQ(form.WindowState(), TWindowState::wsMaximized);
    form.SetWindowState(TWindowState::wsNormal);
    Pump();
    form.SB_MaxClick(form.SB_Max);
    EXPECT_TRUE(form.PM_Esc->Enabled());
    EXPECT_EQ(form.PictureView().Shown().PopupMenu(), form.PopupMenu2);
    EXPECT_EQ(form.PopupMenu2->Items()->Items(0), form.PM_Esc);
    form.PM_EscClick(&form);
    EXPECT_FALSE(form.PM_Esc->Enabled());
}

TEST(FullScreen, EnteringAndLeavingLeakNoHandles) {
    BackToNormal back;
    TKaptor32& form = NormalWindow();
    form.SB_MaxClick(form.SB_Max);
    PressEsc(form);
    const long gdi = OwnedGdiHandles(), user = OwnedUserHandles();
    for (int i = 0; i < 3; ++i) {
        form.SB_MaxClick(form.SB_Max);
        Pump();
        PressEsc(form);
    }
    EXPECT_EQ(OwnedGdiHandles(), gdi);
    EXPECT_EQ(OwnedUserHandles(), user);
}
