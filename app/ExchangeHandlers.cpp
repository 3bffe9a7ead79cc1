// The window's side of open, save, clipboard and print: their dialogs and the handlers the
// menus and buttons call, each handing on to exchange/.
#include "app/MainWindow.h"
#include "app/HelpViewer.h"
#include "framework/win/ComCtrls.h"
#include "framework/win/ExtCtrls.h"
#include "components/AnimateForm.h"
#include "components/FileDropTarget.h"
#include "exchange/Clipboard.h"
#include "exchange/Open.h"
#include "exchange/Print.h"
#include "exchange/Save.h"
#include "view/MarkupLayer.h"
#include "framework/win/Dialogs.h"
#include "framework/win/ExtDlgs.h"
#include "framework/win/Printers.h"

namespace kaptor {

// ---------------------------------------------------------------- open and drop

// The dialogs and parts the commands use, made with the window.
void TMainWindow::BuildDialogs() {
    // Our own viewer answers the help commands.
    Application->OnHelp = HelpViewerCommand;

    // Made while the form itself is being built: the animated form hooks the form and the
    // application window before the application has a main form.
    minimiseAnimation_ = new TAnimateForm(this);

    dropTarget_ = new TFileDropTarget(this);
    dropTarget_->SetTarget(THookTarget::htControl);
    dropTarget_->SetControl(pictureArea_);
    dropTarget_->OnFileDrop = [this](TComponent*, TStrings& files, int, int) { DropFiles(files); };

    openDialog_ = new TOpenPictureDialog(this);
    openDialog_->Title = "画像ﾌｧｲﾙを開く";
    openDialog_->Filter = texts::OpenFilter;
    openDialog_->FilterIndex = 1;

    printerSetupDialog_ = new TPrinterSetupDialog(this);
    printDialog_ = new TPrintDialog(this);
}

void TMainWindow::OpenPicture() {
    if (!openDialog_->Execute()) return;
    OpenPictureFile(View(), openDialog_->FileName);
}

void TMainWindow::DropFiles(TStrings& files) {
    if (files.Count() != 1) {
        ShowMessage(texts::ManyFiles);
        return;
    }
    if (!MayReplacePicture(View())) return;
    OpenPictureFile(View(), files[0]);
}

void TMainWindow::OpenStartUpFile(const std::string& fileName) {
    if (!MayReplacePicture(View())) return;
    // The status panels stay as they were.
    TStatusPanels& panels = statusBar_->Panels();
    const std::string panel0 = panels[0].Text(), panel2 = panels[2].Text();
    OpenPictureFile(View(), fileName);
    panels[0].SetText(panel0);
    panels[2].SetText(panel2);
}

// ---------------------------------------------------------------- save and clipboard

void TMainWindow::SavePicture() {
    const bool whole = SaveViewPicture(View(), [this](std::string& fileName, int& type) {
        if (!saveDialog_) {
            saveDialog_ = new TSavePictureDialog(this);
            saveDialog_->Title = "ｷｬﾌﾟﾁｬｰ画像の保存";
            // The third entry follows the two of old; the dialog appends the chosen entry's
            // extension to a name typed without one.
            saveDialog_->Filter = "ﾋﾞｯﾄﾏｯﾌﾟ(*.bmp)|*.bmp|JPEG(*.jpg;*.jpeg)|*.jpg;*.jpeg|PNG (*.png)|*.png";
            saveDialog_->DefaultExt = "bmp";
            saveDialog_->FilterIndex = SaveTypeBitmap;
            saveDialog_->Options = ofOverwritePrompt | ofHideReadOnly | ofEnableSizing;
        }
        if (!saveDialog_->Execute()) return false;
        fileName = saveDialog_->FileName;
        type = saveDialog_->FilterIndex;
        return true;
    });
    if (whole) View().Markup().MarkSaved();
}

// Errors reach the general report with their own text.
void TMainWindow::CopyPicture() { CopyViewPicture(View()); }

void TMainWindow::PastePicture() { PasteIntoView(View()); }

// ---------------------------------------------------------------- printing

void TMainWindow::SetUpPrinter() { printerSetupDialog_->Execute(); }

void TMainWindow::PrintPicture() {
    PrintViewPicture(View(), [this] { return printDialog_->Execute(); });
}

void TMainWindow::PrintDesktop() {
    kaptor::PrintDesktop([this] { return printDialog_->Execute(); });
}

}  // namespace kaptor
