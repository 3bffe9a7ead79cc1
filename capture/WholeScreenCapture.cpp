// Whole-screen capture: the primary screen from its top-left corner.
#include "capture/CaptureCommands.h"
#include "capture/CapturePipeline.h"
#include "framework/win/Forms.h"
#include "framework/win/Handles.h"

namespace kaptor {

void TCaptureCommands::CaptureWholeScreen(TCaptureStart start, TCaptureRequest* request) {
    TCapturePipeline(*this, WholeScreenRules, request).Run(start, [](TCapturePipeline& c) {
        WindowDC screen(nullptr);
        c.CopyPicture(screen.get(), SIZE{Screen->Width(), Screen->Height()}, nullptr);
        return TCaptureOutcome::Taken();
    });
}

}  // namespace kaptor
