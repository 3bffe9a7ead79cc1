// Whole-screen capture: every monitor (the virtual screen, from its top-left corner, which
// lies at negative coordinates when a monitor is left of or above the primary one), or only
// the monitor under the pointer when the options say so.
#include "settings/Settings.h"
#include "capture/CaptureCommands.h"
#include "capture/CapturePipeline.h"
#include "capture/Monitors.h"
#include "framework/win/Forms.h"
#include "framework/win/Handles.h"

namespace kaptor {

void TCaptureCommands::CaptureWholeScreen(TCaptureStart start, TCaptureRequest* request) {
    TCapturePipeline(*this, WholeScreenRules, request).Run(start, [](TCapturePipeline& c) {
        const RECT area = WholeScreenArea(Settings.MonitorUnderPointer);
        WindowDC screen(nullptr);
        // The cursor lands at its place on the area, wherever the area begins.
        c.CopyPicture(screen.get(), POINT{area.left, area.top}, SizeOf(area), &area);
        return TCaptureOutcome::Taken();
    });
}

}  // namespace kaptor
