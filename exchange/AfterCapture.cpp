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

// The file the picture went to, or empty when the save failed (the message is shown).
std::string SaveIntoFolder(TPictureView& view, const TCaptureNameParts& parts) {
    // A relative folder lies beside the program, as the settings file does: the current
    // folder depends on how the program was started (a shortcut, the tray, a script).
    std::string folder = Settings.SaveFolder;
    const bool absolute = !folder.empty() && (folder[0] == '\\' || folder[0] == '/' || (folder.size() > 1 && folder[1] == ':'));
    if (!absolute) folder = ProgramDir + folder;
    if (!folder.empty() && folder.back() != '\\' && folder.back() != '/') folder += '\\';
    try {
        const std::string fileName = FreeCaptureName(folder, Settings.SaveName, parts, [](const std::string& name) {
            return GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES;
        });
        SavePictureFile(view.Shown().Picture().Bitmap(), fileName, SaveTypeOfName(fileName));
        return fileName;
    } catch (const std::exception&) {
        ShowMessage(texts::SaveFailed);
        return {};
    }
}

}  // namespace

std::string KeepCapturedPicture(TPictureView& view, const TCaptureNameParts& parts) {
    const std::string saved = Settings.SaveAfterCapture ? SaveIntoFolder(view, parts) : std::string();
    if (Settings.CopyAfterCapture) CopyViewPicture(view);
    if (saved.empty()) return Settings.CopyAfterCapture ? texts::CopiedToClipboard : "";
    return Format(Settings.CopyAfterCapture ? texts::CopiedAndSavedTo : texts::SavedTo, saved.c_str());
}

}  // namespace kaptor
