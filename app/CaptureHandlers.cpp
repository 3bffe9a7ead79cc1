// The window's side of the capture commands: each hands on to capture/, which owns the lock
// that the commands' states follow.
#include "app/MainWindow.h"
#include "capture/CaptureCommands.h"
#include "exchange/AfterCapture.h"

namespace kaptor {

void TMainWindow::CaptureWholeScreen() { captures_->CaptureWholeScreen(); }
void TMainWindow::CaptureChosenWindow() { captures_->ListWindows(); }
void TMainWindow::CaptureActiveWindow() { captures_->CaptureActiveWindow(); }
void TMainWindow::CaptureRegion() { captures_->CaptureRegion(); }
void TMainWindow::CaptureLastRegion() { captures_->CaptureLastRegion(); }

bool TMainWindow::TrayResident() const { return captures_->TrayResident(); }

void TMainWindow::PictureCaptured(const TCaptureNameParts& parts) {
    // Set after every capture, so an earlier capture's place is never shown for this one.
    ShowStatus(3, KeepCapturedPicture(View(), parts));
}

}  // namespace kaptor
