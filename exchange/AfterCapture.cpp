#include "exchange/AfterCapture.h"

#include <windows.h>

#include "exchange/Clipboard.h"
#include "exchange/Save.h"
#include "framework/base/SysUtils.h"
#include "framework/win/Bitmap.h"
#include "framework/win/ExtCtrls.h"
#include "framework/win/Forms.h"
#include "framework/win/Picture.h"
#include "settings/Settings.h"
#include "view/PictureView.h"

namespace kaptor {

namespace {

// The next free name in the options' folder under their pattern.
std::string PatternFileName(const TCaptureNameParts& parts) {
    return FreeCaptureName(CaptureFolder(Settings.SaveFolder, ProgramDir), Settings.SaveName, parts,
                           [](const std::string& name) { return GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES; });
}

}  // namespace

std::string TKept::Status() const {
    if (savedTo.empty()) return copied ? texts::CopiedToClipboard : "";
    return Format(copied ? texts::CopiedAndSavedTo : texts::SavedTo, savedTo.c_str());
}

TKept KeepPicture(TPictureView& view, const TCaptureNameParts& parts, const TKeepActions& actions) {
    TKept kept;
    if (actions.save) {
        try {
            const std::string fileName = actions.saveTo.empty() ? PatternFileName(parts) : actions.saveTo;
            SavePictureFile(view.Shown().Picture().Bitmap(), fileName, SaveTypeOfName(fileName));
            kept.savedTo = fileName;
        } catch (const std::exception& e) {
            kept.saveError = e.what();
        }
    }
    if (actions.copy) {
        try {
            CopyViewPicture(view);
            kept.copied = true;
        } catch (...) {
            kept.copyError = std::current_exception();
        }
    }
    return kept;
}

std::string KeepCapturedPicture(TPictureView& view, const TCaptureNameParts& parts) {
    const TKept kept = KeepPicture(view, parts, {Settings.CopyAfterCapture, Settings.SaveAfterCapture, {}});
    if (!kept.saveError.empty()) ShowMessage(texts::SaveFailed);
    if (kept.copyError) std::rethrow_exception(kept.copyError);
    return kept.Status();
}

}  // namespace kaptor
