// The window's side of the picture view: range mode and resize, painting and the background
// colour, and what the view asks of the window (status panels, the commands range mode
// switches).
#include "app/MainWindow.h"
#include "framework/win/ComCtrls.h"
#include "framework/win/ExtCtrls.h"
#include "framework/win/Bitmap.h"
#include "framework/win/Dialogs.h"
#include "view/PictureView.h"

namespace kaptor {

void TMainWindow::EnterRange() { pictureView_->BeginRange(); }
void TMainWindow::LeaveRange() { pictureView_->EndRange(); }

void TMainWindow::ResizePicture() {
    facts_.ResizeStarted();
    ApplyCommandStates();
    pictureView_->ResampleToZoom();
}

void TMainWindow::PaintBackground() {
    // The picture on the window's own surface, beneath the bars and the view, in its own
    // palette on palette displays.
    auto* bitmap = dynamic_cast<TBitmap*>(pictureView_->Shown().Picture().Graphic());
    HDC dc = PaintDC();
    if (!bitmap || bitmap->Empty() || !dc) return;
    HPALETTE palette = bitmap->Palette();
    if (palette) {
        SelectPalette(bitmap->Canvas().Handle(), palette, FALSE);
        RealizePalette(bitmap->Canvas().Handle());
    }
    TCanvas canvas(dc);
    canvas.Draw(0, 0, *bitmap);
}

void TMainWindow::ChooseBackgroundColour() {
    TColor colour = pictureArea_->Color();
    if (PickColour(colour)) pictureArea_->SetColor(colour);
}

// ---------------------------------------------------------------- what the view asks

void TMainWindow::ShowStatus(int panel, const std::string& text) { statusBar_->Panels()[panel].SetText(text); }

void TMainWindow::RangeModeSwitched(bool on) {
    facts_.RangeSwitched(on);
    ApplyCommandStates();
}

void TMainWindow::EnablePictureCommands() {
    facts_.PictureAnnounced();
    ApplyCommandStates();
}

}  // namespace kaptor
