// Opening a picture file: through the open dialog, by dropping one file on the view, or named
// on the command line. All three go through one load core; any failure of it is reported with
// the error's own text and leaves the shown picture (and, before the install, range mode) as
// it was.
#include <windows.h>

#include <memory>
#include <string>

#include "app/F_Kaptor.h"
#include "components/DROPDST.h"
#include "components/SysCtrls.h"
#include "framework/win/Bitmap.h"
#include "framework/win/OpenPictureDialog.h"
#include "framework/win/Picture.h"

namespace kaptor {

namespace {

constexpr const char* OpenFailedPrefix = "ｵｰﾌﾟﾝに失敗！：［";
constexpr const char* OpenFailedSuffix = "］";
constexpr const char* ManyFilesText = "複数ﾌｧｲﾙのﾄﾞﾗｯｸﾞはできません";
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

// The load core. showSize: write the size into the status panels as a new picture does;
// the command-line path leaves them as they were.
void LoadImageFile(TKaptor32& form, const std::string& fileName, bool showSize) {
    try {
        // Both are released on every path by their owners; a failure while reading or
        // converting touches nothing of the form. The pixels just read are handed on to the
        // view as they are, not copied.
        auto picture = std::make_unique<TPicture>();
        auto bitmap = std::make_unique<TBitmap>();
        picture->LoadFromFile(fileName);
        if (TGraphic* graphic = picture->Graphic())
            graphic->MoveInto(*bitmap);
        else
            bitmap->Clear();
        if (form.PictureView().RangeMode()) form.SB_NoRangeClick(&form);
        if (showSize) {
            form.PictureView().Install(std::move(bitmap));
        } else {
            TStatusPanels& panels = form.StatusBar1->Panels();
            const std::string panel0 = panels[0].Text(), panel2 = panels[2].Text();
            form.PictureView().Install(std::move(bitmap));
            panels[0].SetText(panel0);
            panels[2].SetText(panel2);
        }
    } catch (const std::exception& e) {
        ShowMessage(OpenFailedPrefix + std::string(e.what()) + OpenFailedSuffix);
    }
}

}  // namespace

void TKaptor32::WireOpenCommands() {
    // Made while the form itself is being built: the animated form hooks the form and the
    // application window before the application has a main form.
    AnimateForm1 = new TAnimateForm(this);
    AnimateForm1->Name = "AnimateForm1";

    DropDst1 = new TDropDst(this);
    DropDst1->Name = "DropDst1";
    DropDst1->SetTarget(THookTarget::htControl);
    DropDst1->SetControl(ScrollBox1);
    DropDst1->OnFileDrop = [this](TComponent* s, TStrings& files, int x, int y) {
        DropDst1FileDrop(s, files, x, y);
    };

    OpenPictureDialog1 = new TOpenPictureDialog(this);
    OpenPictureDialog1->Name = "OpenPictureDialog1";
    OpenPictureDialog1->Title = "画像ﾌｧｲﾙを開く";
    OpenPictureDialog1->Filter =
        "画像ﾌｧｲﾙ (*.bmp;*.jpg;*.jpeg)|*.bmp;*.jpg;*.jpeg|ﾋﾞｯﾄﾏｯﾌﾟ (*.bmp)|*.bmp|JPEG(*.jpg;*.jpeg)|*.jpg;*.jpeg"
        "|PNG (*.png)|*.png|GIF (*.gif)|*.gif";
    OpenPictureDialog1->FilterIndex = 1;

    auto open = [this](TComponent* s) { SB_OpenClick(s); };
    SB_Open->OnClick = open;
    M_Open->OnClick = open;
    PM_Open->OnClick = open;
}

void TKaptor32::SB_OpenClick(TComponent*) {
    if (!OpenPictureDialog1->Execute()) return;
    LoadImageFile(*this, OpenPictureDialog1->FileName, true);
}

void TKaptor32::DropDst1FileDrop(TComponent*, TStrings& files, int, int) {
    if (files.Count() != 1) {
        ShowMessage(ManyFilesText);
        return;
    }
    if (PictureView().HasPicture() && !ConfirmReplace()) return;
    LoadImageFile(*this, files[0], true);
}

void TKaptor32::OpenImageFile(const std::string& fileName) {
    if (PictureView().HasPicture() && !ConfirmReplace()) return;
    LoadImageFile(*this, fileName, false);
}

}  // namespace kaptor
