// Region capture: the screen frozen once after the delay, a rectangle marked on it and taken
// as the new picture; the last region again without asking.
#include "settings/Settings.h"
#include "capture/CaptureCommands.h"
#include "capture/CapturePipeline.h"
#include "capture/RegionSelector.h"
#include "framework/win/Bitmap.h"
#include "framework/win/Forms.h"
#include "framework/win/Handles.h"

namespace kaptor {

namespace {

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

void TCaptureCommands::CaptureRegion(TCaptureRequest* request) {
    TCapturePipeline(*this, RegionRules, request).Run(TCaptureStart::ByUser, [&](TCapturePipeline& c) {
        TBitmap screen(Screen->Width(), Screen->Height());
        FreezeScreen(screen);
        std::optional<RECT> region;
        {
            TCaptureLock locked(*this);
            region = SelectRegion(screen, lastRegion_ ? &*lastRegion_ : nullptr);
        }
        if (!region) return TCaptureOutcome::Cancelled();
        lastRegion_ = region;
        c.CopyPicture(screen.Canvas().Handle(), POINT{region->left, region->top}, SizeOf(*region), nullptr, false);
        return TCaptureOutcome::Taken("Region");
    });
}

void TCaptureCommands::CaptureLastRegion(TCaptureRequest* request) {
    // The screen may have shrunk since: only what is still on it is taken.
    RECT r{0, 0, 0, 0};
    const RECT screen{0, 0, Screen->Width(), Screen->Height()};
    if (!lastRegion_ || !IntersectRect(&r, &*lastRegion_, &screen)) return CaptureRegion(request);
    TCapturePipeline(*this, WholeScreenRules, request).Run(TCaptureStart::ByUser, [&](TCapturePipeline& c) {
        WindowDC dc(nullptr);
        c.CopyPicture(dc.get(), POINT{r.left, r.top}, SizeOf(r), &r);
        return TCaptureOutcome::Taken("Region");
    });
}

}  // namespace kaptor
