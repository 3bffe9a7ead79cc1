// Whole-screen capture: the primary screen from its top-left corner.
#include "capture/CaptureCommands.h"
#include "capture/CapturePipeline.h"
#include "framework/win/ComCtrls.h"
#include "framework/win/Forms.h"
#include "framework/win/Handles.h"

namespace kaptor {

void TCaptureCommands::CaptureWholeScreen(TComponent* sender) {
    // A capture already waiting has the button disabled: a second request does nothing.
    if (!buttons_.wholeScreen.Enabled()) return;
    TCapturePipeline capture(*this, WholeScreenRules);
    capture.Prepare();
    capture.Wait(sender);
    capture.Take([](TCapturePipeline& c) {
        WindowDC screen(nullptr);
        c.CopyPicture(screen.get(), SIZE{Screen->Width(), Screen->Height()}, nullptr);
        return true;
    });
}

}  // namespace kaptor
