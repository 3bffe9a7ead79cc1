// Whole-screen capture: the primary screen from its top-left corner.
#include "app/F_Kaptor.h"
#include "capture/CapturePipeline.h"
#include "framework/win/Forms.h"
#include "framework/win/Handles.h"

namespace kaptor {

void TKaptor32::SB_CaptureClick(TComponent* sender) {
    // A capture already waiting has the button disabled: a second request does nothing.
    if (!SB_Capture->Enabled()) return;
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
