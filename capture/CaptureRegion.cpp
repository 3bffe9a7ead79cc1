// Region capture: the screen frozen once after the delay, a rectangle marked on it and taken
// as the new picture; the last region again without asking; the Print Screen keys that start
// captures from anywhere.
#include "app/F_Kaptor.h"
#include "app/HotKeys.h"
#include "app/Settings.h"
#include "capture/RegionSelector.h"
#include "framework/win/Bitmap.h"

namespace kaptor {

void TKaptor32::WireRegionCommands() {
    auto region = [this](TComponent* s) { CaptureRegionClick(s); };
    auto last = [this](TComponent* s) { CaptureLastRegionClick(s); };
    M_CaptureRegion->OnClick = region;
    PM_CaptureRegion->OnClick = region;
    M_CaptureLastRegion->OnClick = last;
    PM_CaptureLastRegion->OnClick = last;
}

namespace {

// While the region is marked no other capture may start beneath the selector.
void SetCaptureButtons(TKaptor32& main, bool enabled) {
    for (TToolButton* b : {main.SB_Capture, main.SB_Capture2, main.SB_Capture3}) b->SetEnabled(enabled);
}

// The screen as it is now, with the cursor drawn in as every capture draws it: taken before
// the selector shows, so neither it nor its cross cursor is in the picture.
void FreezeScreen(TBitmap& screen) {
    {
        WindowDC dc(nullptr);
        if (!BitBlt(screen.Canvas().Handle(), 0, 0, screen.Width(), screen.Height(), dc.get(), 0, 0, SRCCOPY))
            detail::RaiseLastGdiError();
    }
    screen.Modified();
    if (Settings.ShowCursor) DrawPointerCursor(screen.Canvas());
}

}  // namespace

void TKaptor32::CaptureRegionClick(TComponent* sender) {
    if (!SB_Capture->Enabled()) return;
    // The picture, the range and the zoom stay untouched until a region is accepted.
    SetCaptureButtons(*this, false);
    HideForCapture();
    std::optional<RECT> region;
    std::optional<TBitmap> screen;
    try {
        CaptureDelay(sender);
        screen.emplace(Screen->Width(), Screen->Height());
        FreezeScreen(*screen);
        region = SelectRegion(*screen, LastRegion ? &*LastRegion : nullptr);
    } catch (...) {
        SetCaptureButtons(*this, true);
        ReshowMainWindow();
        throw;
    }
    SetCaptureButtons(*this, true);
    if (!region) {
        // Cancelled: the old picture stays; a window hidden for the capture comes back, a
        // program in the tray stays there.
        if (!TrayResident()) {
            ShowWindow(Application->Handle(), SW_SHOW);
            Show();
            SetForegroundWindow(Application->Handle());
        }
        return;
    }
    LastRegion = region;
    ClearRangeState();
    SpinEdit1->SetValue(100);
    try {
        PutScreenPixels(screen->Canvas().Handle(), *region);
        Image2->Picture().Assign(Image1->Picture());
    } catch (...) {
        ReshowMainWindow();
        throw;
    }
    ReshowMainWindow();
    EnableImageCommands();
    ShowPictureSize();
}

void TKaptor32::CaptureLastRegionClick(TComponent* sender) {
    // The screen may have shrunk since: only what is still on it is taken.
    RECT r{0, 0, 0, 0};
    const RECT screen{0, 0, Screen->Width(), Screen->Height()};
    if (!LastRegion || !IntersectRect(&r, &*LastRegion, &screen)) return CaptureRegionClick(sender);
    CaptureScreenArea(sender, &r);
}

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
