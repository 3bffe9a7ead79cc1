// Living in the task tray: closing into it, coming back from it, and ending from its menu.
// The program is resident exactly while TrayIcon1 is visible; the icon is shown only together
// with hiding the window and its task-bar button, and taken away only together with showing
// them.
#include "app/F_Kaptor.h"

#include "settings/Settings.h"
#include "components/TrayIcon.h"

namespace kaptor {

void TKaptor32::WireTrayCommands() {
    auto on = [this](void (TKaptor32::*handler)(TComponent*)) {
        return [this, handler](TComponent* s) { (this->*handler)(s); };
    };
    TrayIcon1->OnDblClick = on(&TKaptor32::TrayIcon1DblClick);
    PM_ShowWindow->OnClick = on(&TKaptor32::TrayIcon1DblClick);
    PM_End->OnClick = on(&TKaptor32::PM_EndClick);
}

void TKaptor32::FormClose(TComponent*, TCloseAction& action) {
    if (!Settings.EndTrayIcon) return;  // the main window closes and the program ends
    // An icon that cannot be added raises here, and the window stays as it is.
    TrayIcon1->SetVisible(true);
    // Without an icon image nothing entered the tray: hiding now would leave no way back.
    if (!TrayIcon1->Visible()) throw EOutOfMemory(texts::TrayIconFailed);
    SetCaptureCaptions();
    // The tray's "shown picture" item as the print button is now. The two never differ in the
    // program (both follow the picture); the tray tests set the button alone to stand for a
    // window without a picture.
    PM_Print3->SetEnabled(SB_Print->Enabled());
    action = TCloseAction::caNone;
    ShowWindow(Application->Handle(), SW_HIDE);
    Hide();
}

void TKaptor32::TrayIcon1DblClick(TComponent*) {
    TrayIcon1->SetVisible(false);
    ShowWindow(Application->Handle(), SW_SHOW);
    Application->ShowMainForm = true;
    Show();
}

// Ends the loop directly: FormClose does not run, so "End TrayIcon" cannot keep the program.
void TKaptor32::PM_EndClick(TComponent*) { Application->Terminate(); }

}  // namespace kaptor
