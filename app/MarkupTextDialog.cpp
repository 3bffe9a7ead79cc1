#include "app/MarkupTextDialog.h"

namespace kaptor {

TMarkupTextDialog::TMarkupTextDialog(TComponent* owner) : TForm(owner, "TMarkupTextDialog") {
    SetCaption("ﾃｷｽﾄ");
    SetBorderStyle(TBorderStyle::bsDialog);
    Position = TPosition::poScreenCenter;
    HelpContext = 100200;  // the markup topic
    SetClientSize(360, 150);
    DialogKeys = true;

    Text = new TEdit(this);
    Text->MultiLine = true;
    Text->SetBounds(8, 8, 344, 100);
    Text->SetParent(this);

    auto button = [this](const char* caption, int left) {
        auto* b = new TButton(this);
        b->SetBounds(left, 116, 80, 26);
        b->SetParent(this);
        b->SetCaption(caption);
        return b;
    };
    OkButton = button("OK", 184);
    OkButton->ModalResult = mrOk;
    DismissButton = button("ｷｬﾝｾﾙ", 272);
    DismissButton->ModalResult = mrCancel;
    DismissButton->SetCancel(true);
    // Enter belongs to the text: only Esc and the buttons close the box.
    CancelButton = DismissButton;
    OnShow = [this](TComponent*) {
        Text->SetFocus();
        SendMessageA(Text->Handle(), EM_SETSEL, 0, -1);
    };
}

bool TMarkupTextDialog::Ask(std::string& text) {
    std::string shown;
    for (char c : text) {
        if (c == '\n') shown += '\r';
        shown += c;
    }
    Text->SetText(shown);
    if (ShowModal() != mrOk) return false;
    text.clear();
    for (char c : Text->Text())
        if (c != '\r') text += c;
    // Trailing line breaks draw nothing.
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return true;
}

}  // namespace kaptor
