#include "framework/win/OpenPictureDialog.h"

namespace kaptor {

TOpenPictureDialog::TOpenPictureDialog(TComponent* owner) : TOpenDialog(owner) {}
TOpenPictureDialog::~TOpenPictureDialog() = default;

void TOpenPictureDialog::DoSelectionChange() {
    pane_.Load(SelectedPath());
    TOpenDialog::DoSelectionChange();
}

void TOpenPictureDialog::DoClose() {
    pane_.Clear();
    TOpenDialog::DoClose();
}

}  // namespace kaptor
