// The window's side of the capture commands: the handlers the menus, buttons and Print Screen
// keys call, each handing on to capture/.
#include "app/F_Kaptor.h"
#include "app/HotKeys.h"
#include "settings/Settings.h"
#include "capture/CaptureCommands.h"

namespace kaptor {

void TKaptor32::WireWindowCaptureCommands() {
    auto capture2 = [this](TComponent* s) { SB_Capture2Click(s); };
    auto capture3 = [this](TComponent* s) { SB_Capture3Click(s); };
    SB_Capture2->OnClick = capture2;
    M_Capture2->OnClick = capture2;
    PM_Capture2->OnClick = capture2;
    SB_Capture3->OnClick = capture3;
    M_Capture3->OnClick = capture3;
    PM_Capture3->OnClick = capture3;
}

void TKaptor32::WireRegionCommands() {
    auto region = [this](TComponent* s) { CaptureRegionClick(s); };
    auto last = [this](TComponent* s) { CaptureLastRegionClick(s); };
    M_CaptureRegion->OnClick = region;
    PM_CaptureRegion->OnClick = region;
    M_CaptureLastRegion->OnClick = last;
    PM_CaptureLastRegion->OnClick = last;
}

void TKaptor32::SB_CaptureClick(TComponent* sender) { captures_->CaptureWholeScreen(sender); }
void TKaptor32::SB_Capture2Click(TComponent*) { captures_->ListWindows(); }
void TKaptor32::SB_Capture3Click(TComponent* sender) { captures_->CaptureActiveWindow(sender); }
void TKaptor32::CaptureRegionClick(TComponent* sender) { captures_->CaptureRegion(sender); }
void TKaptor32::CaptureLastRegionClick(TComponent* sender) { captures_->CaptureLastRegion(sender); }
void TKaptor32::CaptureDelay(TComponent* sender) { captures_->Delay(sender); }
void TKaptor32::ReshowMainWindow() { captures_->ReshowProgram(); }
bool TKaptor32::TrayResident() const { return captures_->TrayResident(); }

void TKaptor32::CaptureCommandsLocked(bool locked, bool activeWindowToo) {
    commandFacts_.CaptureLockSet(locked, activeWindowToo);
    ApplyCommandStates();
}

void TKaptor32::OverlayCursor(const RECT* area) { DrawPointerCursor(PictureView().Shown().Canvas(), area); }

void TKaptor32::ApplyHotKeys() {
    if (!HotKeys) {
        if (!Settings.HotKeys) return;
        HotKeys = new THotKeys(this, [this](THotKey key) {
            switch (key) {
            case THotKey::WholeScreen: return SB_CaptureClick(M_Capture1);
            case THotKey::ActiveWindow: return SB_Capture3Click(M_Capture3);
            case THotKey::Region: return CaptureRegionClick(M_CaptureRegion);
            }
        });
    }
    HotKeys->Apply(Settings.HotKeys);
}

}  // namespace kaptor
