// Opening a picture file: through the open dialog, by dropping one file on the view, or named
// on the command line. All three go through one load core; any failure of it is reported with
// the error's own text and leaves the shown picture (and, before the install, range mode) as
// it was.
#include "exchange/Open.h"

#include <windows.h>

#include <memory>

#include "framework/win/Bitmap.h"
#include "framework/win/ExtCtrls.h"
#include "framework/win/Forms.h"
#include "framework/win/Dialogs.h"
#include "framework/win/Forms.h"
#include "framework/win/Picture.h"
#include "view/PictureView.h"

namespace kaptor {

namespace {

constexpr const char* OpenFailedPrefix = "ｵｰﾌﾟﾝに失敗！：［";
constexpr const char* OpenFailedSuffix = "］";
constexpr const char* ReplaceText = "現在の画像を置き換えてもよろしいですか？";

// The confirmation box's buttons carry the program's own captions, whatever the system's are.
HHOOK ConfirmHook = nullptr;

LRESULT CALLBACK ConfirmCbtProc(int code, WPARAM wp, LPARAM lp) {
    if (code == HCBT_ACTIVATE) {
        auto box = reinterpret_cast<HWND>(wp);
        char cls[16] = {};
        GetClassNameA(box, cls, sizeof cls);
        if (std::string(cls) == "#32770") {
            SetDlgItemTextA(box, IDOK, "OK");
            SetDlgItemTextA(box, IDCANCEL, "ｷｬﾝｾﾙ");
        }
    }
    return CallNextHookEx(ConfirmHook, code, wp, lp);
}

}  // namespace

// True only for an explicit OK; closing the box counts as Cancel.
bool ConfirmReplace() {
    ConfirmHook = SetWindowsHookExA(WH_CBT, ConfirmCbtProc, nullptr, GetCurrentThreadId());
    int answer = IDCANCEL;
    try {
        answer = Application->MessageBox(ReplaceText, Application->Title(), MB_OKCANCEL | MB_ICONQUESTION);
    } catch (...) {
        if (ConfirmHook) UnhookWindowsHookEx(ConfirmHook);
        ConfirmHook = nullptr;
        throw;
    }
    if (ConfirmHook) UnhookWindowsHookEx(ConfirmHook);
    ConfirmHook = nullptr;
    return answer == IDOK;
}

void OpenPictureFile(TPictureView& view, const std::string& fileName) {
    try {
        // Both are released on every path by their owners; a failure while reading or
        // converting touches nothing of the view. The pixels just read are handed on to the
        // view as they are, not copied.
        auto picture = std::make_unique<TPicture>();
        auto bitmap = std::make_unique<TBitmap>();
        picture->LoadFromFile(fileName);
        if (TGraphic* graphic = picture->Graphic())
            graphic->MoveInto(*bitmap);
        else
            bitmap->Clear();
        if (view.RangeMode()) view.EndRange();
        view.Install(std::move(bitmap));
    } catch (const std::exception& e) {
        ShowMessage(OpenFailedPrefix + std::string(e.what()) + OpenFailedSuffix);
    }
}

bool MayReplacePicture(const TPictureView& view) { return !view.HasPicture() || ConfirmReplace(); }

}  // namespace kaptor
