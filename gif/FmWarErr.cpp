#include "gif/FmWarErr.h"

namespace kaptor {

void TWarningMemo::CreateParamsFor(CreateParams& params) {
    TEdit::CreateParamsFor(params);
    params.Style = (params.Style & ~static_cast<DWORD>(ES_AUTOHSCROLL)) | ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL;
}

TWarningForm::TWarningForm(TComponent* owner) : TForm(owner, "TWarningForm") {
    SetCaption("Warning !");
    SetBorderStyle(TBorderStyle::bsDialog);
    Position = TPosition::poScreenCenter;
    SetClientSize(375, 245);
    DialogKeys = true;

    Memo1 = new TWarningMemo(this);
    Memo1->Name = "Memo1";
    Memo1->SetParent(this);
    Memo1->SetBounds(0, 0, 375, 200);
    Memo1->SetAlign(TAlign::alTop);

    OKBtn = new TButton(this);
    OKBtn->Name = "OKBtn";
    OKBtn->SetParent(this);
    OKBtn->SetBounds(104, 212, 75, 25);
    OKBtn->SetCaption("OK");
    OKBtn->ModalResult = 1;
    OKBtn->SetDefault(true);
    OKBtn->SetVisible(false);
    DefaultButton = OKBtn;

    CancelBtn = new TButton(this);
    CancelBtn->Name = "CancelBtn";
    CancelBtn->SetParent(this);
    CancelBtn->SetBounds(196, 212, 75, 25);
    CancelBtn->SetCaption("Continue");
    CancelBtn->ModalResult = 2;
    CancelBtn->SetCancel(true);
    CancelBtn->SetVisible(false);
    CancelButton = CancelBtn;
}

}  // namespace kaptor
