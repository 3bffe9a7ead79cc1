// Living in the task tray: closing into it, coming back from it, and ending from its menu.
// The program is resident exactly while the tray icon is visible; the icon is shown only
// together with hiding the window and its task-bar button, and taken away only together with
// showing them.
#include "app/MainWindow.h"
#include "components/TrayIcon.h"
#include "settings/Settings.h"

namespace kaptor {

void TMainWindow::Closing(TCloseAction& action) {
    if (!Settings.EndTrayIcon) return;  // the main window closes and the program ends
    // An icon that cannot be added raises here, and the window stays as it is.
    tray_->SetVisible(true);
    // Without an icon image nothing entered the tray: hiding now would leave no way back.
    if (!tray_->Visible()) throw EOutOfMemory(texts::TrayIconFailed);
    SetTrayCaptions();
    action = TCloseAction::caNone;
    ShowWindow(Application->Handle(), SW_HIDE);
    Hide();
}

void TMainWindow::ShowFromTray() {
    tray_->SetVisible(false);
    ShowWindow(Application->Handle(), SW_SHOW);
    Application->ShowMainForm = true;
    Show();
}

// Ends the loop directly: Closing does not run, so "End TrayIcon" cannot keep the program.
void TMainWindow::EndProgram() { Application->Terminate(); }

}  // namespace kaptor
