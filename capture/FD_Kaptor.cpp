// The window-list dialog: layout, Cancel and help. The capture itself is in Capture2.cpp.
#include "capture/FD_Kaptor.h"

namespace kaptor {

TApDlg* ApDlg = nullptr;

TApDlg::TApDlg(TComponent* owner) : TForm(owner, "TApDlg") {
    ApDlg = this;
    SetCaption("ウィンドウ指定");
    SetBorderStyle(TBorderStyle::bsDialog);
    Position = TPosition::poScreenCenter;
    HelpContext = 100300;
    SetClientSize(479, 255);
    DialogKeys = true;

    Label1 = new TLabel(this);
    Label1->Name = "Label1";
    Label1->SetBounds(8, 8, 150, 12);
    Label1->SetParent(this);
    Label1->SetCaption("起動アプリケーション一覧");

    ListBox1 = new TListBox(this);
    ListBox1->Name = "ListBox1";
    ListBox1->SetBounds(8, 26, 357, 220);
    ListBox1->SetParent(this);
    ListBox1->OnDblClick = [this](TComponent* s) { OKBtnClick(s); };

    auto button = [this](const char* name, const char* caption, int top) {
        auto* b = new TButton(this);
        b->Name = name;
        b->SetBounds(378, top, 92, 28);
        b->SetParent(this);
        b->SetCaption(caption);
        return b;
    };
    OKBtn = button("OKBtn", "ｷｬﾌﾟﾁｬｰ(&S)", 26);
    OKBtn->ModalResult = 1;
    OKBtn->SetDefault(true);
    OKBtn->OnClick = [this](TComponent* s) { OKBtnClick(s); };
    CancelBtn = button("CancelBtn", "ｷｬﾝｾﾙ(&C)", 62);
    CancelBtn->ModalResult = mrCancel;
    CancelBtn->SetCancel(true);
    CancelBtn->OnClick = [this](TComponent* s) { CancelBtnClick(s); };
    BitBtn1 = button("BitBtn1", "ﾍﾙﾌﾟ(&H)", 98);
    BitBtn1->OnClick = [this](TComponent* s) { BitBtn1Click(s); };
    DefaultButton = OKBtn;
    CancelButton = CancelBtn;
}

void TApDlg::CancelBtnClick(TComponent*) { Close(); }

void TApDlg::BitBtn1Click(TComponent*) {
    // The nearest help context: the button's own, else the dialog's.
    const int context = BitBtn1->HelpContext ? BitBtn1->HelpContext : HelpContext;
    Application->HelpCommand(HELP_CONTEXT, static_cast<ULONG_PTR>(context));
}

}  // namespace kaptor
