// The main window's keyboard handling, the View-menu bar toggles, help, and the commands
// that open the options dialog and the About box.
#include "app/F_About.h"
#include "app/FD_Kaptor2.h"
#include "app/F_Kaptor.h"
#include "app/HelpViewer.h"
#include "settings/Settings.h"

namespace kaptor {

void TKaptor32::WireShellCommands() {
    auto on = [this](void (TKaptor32::*handler)(TComponent*)) {
        return [this, handler](TComponent* s) { (this->*handler)(s); };
    };
    auto keys = [this](TComponent* s, WORD& key, TShiftState shift) { FormKeyDown(s, key, shift); };
    OnKeyDown = keys;
    SpinEdit1->OnKeyDown = keys;
    M_ShowToolBar->OnClick = on(&TKaptor32::M_ShowToolBarClick);
    M_ShowStatusBar->OnClick = on(&TKaptor32::M_ShowStatusBarClick);
    M_Contents->OnClick = on(&TKaptor32::PM_HelpClick);
    PM_Help->OnClick = on(&TKaptor32::PM_HelpClick);
    M_Keyword->OnClick = on(&TKaptor32::M_KeywordClick);
    M_About->OnClick = on(&TKaptor32::M_AboutClick);
    PM_About->OnClick = on(&TKaptor32::M_AboutClick);
    SB_Option->OnClick = on(&TKaptor32::SB_OptionClick);
    M_Option->OnClick = on(&TKaptor32::SB_OptionClick);
    PM_Option->OnClick = on(&TKaptor32::SB_OptionClick);
    // Our own viewer answers the help commands.
    Application->OnHelp = HelpViewerCommand;
}

void TKaptor32::FormKeyDown(TComponent* sender, WORD& key, TShiftState) {
    // Only Esc in full-screen view (the only time PM_Esc is enabled) does anything here: the
    // same return as the "復帰" item.
    if (WindowState() != TWindowState::wsMaximized || key != VK_ESCAPE || !PM_Esc->Enabled()) return;
    PM_EscClick(sender);
}

void TKaptor32::M_ShowToolBarClick(TComponent* sender) {
    M_ShowToolBar->SetChecked(!M_ShowToolBar->Checked());
    OptionDlg->OKBtnClick(sender);
}

void TKaptor32::M_ShowStatusBarClick(TComponent* sender) {
    M_ShowStatusBar->SetChecked(!M_ShowStatusBar->Checked());
    OptionDlg->OKBtnClick(sender);
}

void TKaptor32::PM_HelpClick(TComponent*) {
    Application->HelpFile = ProgramDir + "Kaptor.hlp";
    Application->HelpCommand(HELP_FINDER, 0);
}

void TKaptor32::M_KeywordClick(TComponent*) {
    Application->HelpFile = ProgramDir + "Kaptor.hlp";
    Application->HelpCommand(HELP_KEY, 0);
}

void TKaptor32::M_AboutClick(TComponent*) { AboutBox->ShowModal(); }

void TKaptor32::SB_OptionClick(TComponent*) { OptionDlg->ShowModal(); }

TColor TKaptor32::FrameColor() const { return OptionDlg ? OptionDlg->FrameColor() : clRed; }

}  // namespace kaptor
