// Region capture: the screen frozen once after the delay, a rectangle marked on it and taken
// as the new picture; the last region again without asking; the Print Screen keys that start
// captures from anywhere.
#include "app/F_Kaptor.h"
#include "app/HotKeys.h"
#include "app/Settings.h"
#include "capture/CapturePipeline.h"
#include "capture/RegionSelector.h"
#include "framework/win/Bitmap.h"
#include "framework/win/Handles.h"

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

// The commands the pipeline locks while it waits; the other captures may not start either
// while the region is being marked beneath the selector.
constexpr TCaptureRules RegionRules{true, false, false};

class TCaptureCommandsLocked {
public:
    explicit TCaptureCommandsLocked(TKaptor32& main) : main_(main) { Set(false); }
    ~TCaptureCommandsLocked() { Set(true); }
    TCaptureCommandsLocked(const TCaptureCommandsLocked&) = delete;
    TCaptureCommandsLocked& operator=(const TCaptureCommandsLocked&) = delete;

private:
    void Set(bool enabled) {
        for (TToolButton* b : {main_.SB_Capture, main_.SB_Capture2, main_.SB_Capture3}) b->SetEnabled(enabled);
    }
    TKaptor32& main_;
};

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

SIZE SizeOf(const RECT& r) { return {r.right - r.left, r.bottom - r.top}; }

}  // namespace

void TKaptor32::CaptureRegionClick(TComponent* sender) {
    if (!SB_Capture->Enabled()) return;
    TCapturePipeline capture(*this, RegionRules);
    capture.Prepare();
    capture.Wait(sender);
    capture.Take([&](TCapturePipeline& c) {
        TBitmap screen(Screen->Width(), Screen->Height());
        FreezeScreen(screen);
        std::optional<RECT> region;
        {
            TCaptureCommandsLocked locked(*this);
            region = SelectRegion(screen, LastRegion ? &*LastRegion : nullptr);
        }
        if (!region) {
            // Cancelled: the picture stays, without the frame of the range mode just left; a
            // window hidden for the capture comes back, a program in the tray stays there.
            PictureView().ShowCleanCopy();
            if (!TrayResident()) ShowProgramAgain(*this);
            return false;
        }
        LastRegion = region;
        c.CopyPicture(screen.Canvas().Handle(), POINT{region->left, region->top}, SizeOf(*region), nullptr, false);
        return true;
    });
}

void TKaptor32::CaptureLastRegionClick(TComponent* sender) {
    // The screen may have shrunk since: only what is still on it is taken.
    RECT r{0, 0, 0, 0};
    const RECT screen{0, 0, Screen->Width(), Screen->Height()};
    if (!LastRegion || !IntersectRect(&r, &*LastRegion, &screen)) return CaptureRegionClick(sender);
    if (!SB_Capture->Enabled()) return;
    TCapturePipeline capture(*this, WholeScreenRules);
    capture.Prepare();
    capture.Wait(sender);
    capture.Take([&](TCapturePipeline& c) {
        WindowDC dc(nullptr);
        c.CopyPicture(dc.get(), POINT{r.left, r.top}, SizeOf(r), &r, true);
        return true;
    });
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
