// The main window's keyboard handling, the View-menu bar toggles, help, the options dialog,
// the About box and closing.
#include "app/AboutBox.h"
#include "app/HelpViewer.h"
#include "app/MainWindow.h"
#include "app/OptionsDialog.h"
#include "components/TrayIcon.h"
#include "framework/win/ComCtrls.h"
#include "framework/win/Dialogs.h"
#include "framework/win/ExtCtrls.h"
#include "settings/Settings.h"

namespace kaptor {

void TMainWindow::KeyPressed(WORD& key) {
    // Only Esc in full-screen view does anything here: the same return as the "復帰" item.
    if (WindowState() != TWindowState::wsMaximized || key != VK_ESCAPE) return;
    Execute(TCommandId::LeaveFullScreen);
}

// The View menu's toggles take effect and are saved at once, as the options dialog's OK does.
void TMainWindow::ToggleToolBar() {
    Settings.ShowBar = !Settings.ShowBar;
    TheOptionsDialog->Commit();
}

void TMainWindow::ToggleStatusBar() {
    Settings.ShowStsBar = !Settings.ShowStsBar;
    TheOptionsDialog->Commit();
}

void TMainWindow::ShowBars() {
    toolBand_->SetVisible(Settings.ShowBar);
    statusBar_->SetVisible(Settings.ShowStsBar);
    ApplyCommandStates();
}

void TMainWindow::ApplyOptions() {
    ApplyHotKeys();
    ShowBars();
    if (pictureView_->RangeFramed()) pictureView_->RedrawRangeFrame();
}

bool TMainWindow::PickColour(TColor& colour) {
    colourDialog_->Color = colour;
    if (!colourDialog_->Execute()) return false;
    colour = colourDialog_->Color;
    return true;
}

void TMainWindow::ShowHelpContents() {
    Application->HelpFile = ProgramDir + "Kaptor.hlp";
    Application->HelpCommand(HELP_FINDER, 0);
}

void TMainWindow::SearchHelpKeywords() {
    Application->HelpFile = ProgramDir + "Kaptor.hlp";
    Application->HelpCommand(HELP_KEY, 0);
}

void TMainWindow::ShowAbout() { AboutBox->ShowModal(); }

void TMainWindow::ShowOptions() { TheOptionsDialog->ShowModal(); }

void TMainWindow::CloseWindow() { Close(); }

}  // namespace kaptor
