// Region capture: every monitor frozen once after the delay, a rectangle marked on them and
// taken as the new picture; the last region again without asking.
#include "settings/Settings.h"
#include "capture/CaptureCommands.h"
#include "capture/CapturePipeline.h"
#include "capture/Monitors.h"
#include "capture/RegionSelector.h"
#include "framework/win/Bitmap.h"
#include "framework/win/Forms.h"
#include "framework/win/Handles.h"

namespace kaptor {

namespace {

// The screen's area as it is now, with the cursor drawn in as every capture draws it: taken
// before the selector shows, so neither it nor its cross cursor is in the picture.
void FreezeScreen(TBitmap& screen, const RECT& area) {
    {
        WindowDC dc(nullptr);
        if (!BitBlt(screen.Canvas().Handle(), 0, 0, screen.Width(), screen.Height(), dc.get(), area.left, area.top,
                    SRCCOPY))
            detail::RaiseLastGdiError();
    }
    screen.Modified();
    if (Settings.ShowCursor) DrawPointerCursor(screen.Canvas(), &area);
}

}  // namespace

void TCaptureCommands::CaptureRegion(TCaptureRequest* request) {
    TCapturePipeline(*this, RegionRules, request).Run(TCaptureStart::ByUser, [&](TCapturePipeline& c) {
        const RECT area = VirtualScreen();
        TBitmap screen(area.right - area.left, area.bottom - area.top);
        FreezeScreen(screen, area);
        std::optional<RECT> region;
        {
            TCaptureLock locked(*this);
            region = SelectRegion(screen, area, lastRegion_ ? &*lastRegion_ : nullptr);
        }
        if (!region) return TCaptureOutcome::Cancelled();
        lastRegion_ = region;
        c.CopyPicture(screen.Canvas().Handle(), POINT{region->left - area.left, region->top - area.top},
                      SizeOf(*region), nullptr, false);
        return TCaptureOutcome::Taken("Region");
    });
}

void TCaptureCommands::CaptureLastRegion(TCaptureRequest* request) {
    // The monitors may have changed since: only what is still on them is taken.
    RECT r{0, 0, 0, 0};
    const RECT screen = VirtualScreen();
    if (!lastRegion_ || !IntersectRect(&r, &*lastRegion_, &screen)) return CaptureRegion(request);
    TCapturePipeline(*this, WholeScreenRules, request).Run(TCaptureStart::ByUser, [&](TCapturePipeline& c) {
        WindowDC dc(nullptr);
        c.CopyPicture(dc.get(), POINT{r.left, r.top}, SizeOf(r), &r);
        return TCaptureOutcome::Taken("Region");
    });
}

}  // namespace kaptor
