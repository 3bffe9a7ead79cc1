// Region capture: the screen frozen once after the delay, a rectangle marked on it and taken
// as the new picture; the last region again without asking.
#include "settings/Settings.h"
#include "capture/CaptureCommands.h"
#include "capture/CapturePipeline.h"
#include "capture/RegionSelector.h"
#include "framework/win/Bitmap.h"
#include "framework/win/ComCtrls.h"
#include "framework/win/Forms.h"
#include "framework/win/Handles.h"
#include "view/PictureView.h"

namespace kaptor {

namespace {

// The commands the pipeline locks while it waits; the other captures may not start either
// while the region is being marked beneath the selector.
constexpr TCaptureRules RegionRules{true, false, false};

class TCaptureCommandsLocked {
public:
    explicit TCaptureCommandsLocked(TCaptureCommands& commands) : commands_(commands) {
        commands_.SetCommandsEnabled(false, true);
    }
    ~TCaptureCommandsLocked() { commands_.SetCommandsEnabled(true, true); }
    TCaptureCommandsLocked(const TCaptureCommandsLocked&) = delete;
    TCaptureCommandsLocked& operator=(const TCaptureCommandsLocked&) = delete;

private:
    TCaptureCommands& commands_;
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

void TCaptureCommands::CaptureRegion(TComponent* sender) {
    if (!buttons_.wholeScreen.Enabled()) return;
    TCapturePipeline capture(*this, RegionRules);
    capture.Prepare();
    capture.Wait(sender);
    capture.Take([&](TCapturePipeline& c) {
        TBitmap screen(Screen->Width(), Screen->Height());
        FreezeScreen(screen);
        std::optional<RECT> region;
        {
            TCaptureCommandsLocked locked(*this);
            region = SelectRegion(screen, lastRegion_ ? &*lastRegion_ : nullptr);
        }
        if (!region) {
            // Cancelled: the picture stays, without the frame of the range mode just left; a
            // window hidden for the capture comes back, a program in the tray stays there.
            view_.ShowCleanCopy();
            if (!TrayResident()) ShowProgramAgain();
            return false;
        }
        lastRegion_ = region;
        c.CopyPicture(screen.Canvas().Handle(), POINT{region->left, region->top}, SizeOf(*region), nullptr, false);
        return true;
    });
}

void TCaptureCommands::CaptureLastRegion(TComponent* sender) {
    // The screen may have shrunk since: only what is still on it is taken.
    RECT r{0, 0, 0, 0};
    const RECT screen{0, 0, Screen->Width(), Screen->Height()};
    if (!lastRegion_ || !IntersectRect(&r, &*lastRegion_, &screen)) return CaptureRegion(sender);
    if (!buttons_.wholeScreen.Enabled()) return;
    TCapturePipeline capture(*this, WholeScreenRules);
    capture.Prepare();
    capture.Wait(sender);
    capture.Take([&](TCapturePipeline& c) {
        WindowDC dc(nullptr);
        c.CopyPicture(dc.get(), POINT{r.left, r.top}, SizeOf(r), &r, true);
        return true;
    });
}

}  // namespace kaptor
