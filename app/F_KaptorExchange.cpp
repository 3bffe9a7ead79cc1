// The window's side of open, save, clipboard and print: their dialogs and the handlers the
// menus and buttons call, each handing on to exchange/.
#include "app/F_Kaptor.h"
#include "components/DROPDST.h"
#include "components/SysCtrls.h"
#include "exchange/Clipboard.h"
#include "exchange/Open.h"
#include "exchange/Print.h"
#include "exchange/Save.h"
#include "framework/win/Dialogs.h"
#include "framework/win/ExtDlgs.h"
#include "framework/win/OpenPictureDialog.h"
#include "framework/win/Printers.h"

namespace kaptor {

// ---------------------------------------------------------------- open and drop

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
    OpenPictureDialog1->Filter = texts::OpenFilter;
    OpenPictureDialog1->FilterIndex = 1;

    auto open = [this](TComponent* s) { SB_OpenClick(s); };
    SB_Open->OnClick = open;
    M_Open->OnClick = open;
    PM_Open->OnClick = open;
}

void TKaptor32::SB_OpenClick(TComponent*) {
    if (!OpenPictureDialog1->Execute()) return;
    OpenPictureFile(PictureView(), OpenPictureDialog1->FileName);
}

void TKaptor32::DropDst1FileDrop(TComponent*, TStrings& files, int, int) {
    if (files.Count() != 1) {
        ShowMessage(texts::ManyFiles);
        return;
    }
    if (!MayReplacePicture(PictureView())) return;
    OpenPictureFile(PictureView(), files[0]);
}

void TKaptor32::OpenImageFile(const std::string& fileName) {
    if (!MayReplacePicture(PictureView())) return;
    // The status panels stay as they were.
    TStatusPanels& panels = StatusBar1->Panels();
    const std::string panel0 = panels[0].Text(), panel2 = panels[2].Text();
    OpenPictureFile(PictureView(), fileName);
    panels[0].SetText(panel0);
    panels[2].SetText(panel2);
}

// ---------------------------------------------------------------- save and clipboard

void TKaptor32::SB_SaveClick(TComponent*) {
    SaveViewPicture(PictureView(), [this](std::string& fileName, int& type) {
        if (!SaveDialog1) {
            SaveDialog1 = new TSavePictureDialog(this);
            SaveDialog1->Name = "SaveDialog1";
            SaveDialog1->Title = "ｷｬﾌﾟﾁｬｰ画像の保存";
            // The third entry follows the two of old; the dialog appends the chosen entry's
            // extension to a name typed without one.
            SaveDialog1->Filter = "ﾋﾞｯﾄﾏｯﾌﾟ(*.bmp)|*.bmp|JPEG(*.jpg;*.jpeg)|*.jpg;*.jpeg|PNG (*.png)|*.png";
            SaveDialog1->DefaultExt = "bmp";
            SaveDialog1->FilterIndex = SaveTypeBitmap;
            SaveDialog1->Options = ofOverwritePrompt | ofHideReadOnly | ofEnableSizing;
        }
        if (!SaveDialog1->Execute()) return false;
        fileName = SaveDialog1->FileName;
        type = SaveDialog1->FilterIndex;
        return true;
    });
}

// Errors reach the general report with their own text.
void TKaptor32::SB_CopyClick(TComponent*) { CopyViewPicture(PictureView()); }

void TKaptor32::SB_PasteClick(TComponent*) { PasteIntoView(PictureView()); }

// ---------------------------------------------------------------- printing

void TKaptor32::WirePrintCommands() {
    PrinterSetupDialog1 = new TPrinterSetupDialog(this);
    PrinterSetupDialog1->Name = "PrinterSetupDialog1";
    PrintDialog1 = new TPrintDialog(this);
    PrintDialog1->Name = "PrintDialog1";
    auto on = [this](void (TKaptor32::*handler)(TComponent*)) {
        return [this, handler](TComponent* s) { (this->*handler)(s); };
    };
    for (TMenuItem* m : {M_PrintDlg, PM_PrintDlg, PM_PrintDlg2}) m->OnClick = on(&TKaptor32::SB_PrtDialogClick);
    for (TMenuItem* m : {M_Print, PM_Print, PM_Print3}) m->OnClick = on(&TKaptor32::SB_PrintClick);
    PM_Print2->OnClick = on(&TKaptor32::PM_Print2Click);
    SB_PrtDialog->OnClick = on(&TKaptor32::SB_PrtDialogClick);
    SB_Print->OnClick = on(&TKaptor32::SB_PrintClick);
}

void TKaptor32::SB_PrtDialogClick(TComponent*) { PrinterSetupDialog1->Execute(); }

void TKaptor32::SB_PrintClick(TComponent*) {
    PrintViewPicture(PictureView(), [this] { return PrintDialog1->Execute(); });
}

void TKaptor32::PM_Print2Click(TComponent*) {
    PrintDesktop([this] { return PrintDialog1->Execute(); });
}

}  // namespace kaptor
