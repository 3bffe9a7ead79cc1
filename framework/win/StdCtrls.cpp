#include "framework/win/StdCtrls.h"

#include <vector>

#include "framework/win/Forms.h"

namespace kaptor {

// ---------------------------------------------------------------- TLabel

TLabel::TLabel(TComponent* owner) : TWinControl(owner) {}

void TLabel::CreateParamsFor(CreateParams& params) {
    TWinControl::CreateParamsFor(params);
    params.ClassName = "STATIC";
    params.Style |= SS_LEFT | SS_NOPREFIX;
}

void TLabel::SetCaption(const std::string& text) {
    TWinControl::SetCaption(text);
    if (!AutoSize) return;
    fitPending_ = !HandleAllocated();
    if (!fitPending_) FitCaption();
}

void TLabel::CreateWnd() {
    if (fitPending_) FitCaption();
    fitPending_ = false;
}

void TLabel::FitCaption() {
    const std::string text = Caption();
    WindowDC dc(Handle());
    ScopedSelect font(dc.get(), FontHandle());
    SIZE size{};
    GetTextExtentPoint32A(dc.get(), text.c_str(), static_cast<int>(text.size()), &size);
    SetBounds(Left(), Top(), size.cx, size.cy);
}

void TLabel::ScaleBy(int m, int d) {
    TWinControl::ScaleBy(m, d);
    if (AutoSize && m != d) SetCaption(Caption());
}

// ---------------------------------------------------------------- TButton

TButton::TButton(TComponent* owner) : TWinControl(owner) { SetTabStop(true); }

void TButton::CreateParamsFor(CreateParams& params) {
    TWinControl::CreateParamsFor(params);
    params.ClassName = "BUTTON";
    params.Style |= default_ ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
}

void TButton::SetDefault(bool isDefault) {
    default_ = isDefault;
    if (HandleAllocated()) SendMessageA(Handle(), BM_SETSTYLE, isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
    if (TForm* form = ParentForm()) form->DefaultButton = isDefault ? this : nullptr;
}

void TButton::SetCancel(bool isCancel) {
    if (TForm* form = ParentForm()) form->CancelButton = isCancel ? this : nullptr;
}

void TButton::Click() {
    if (ModalResult != 0)
        if (TForm* form = ParentForm()) form->ModalResult = ModalResult;
    TWinControl::Click();
}

bool TButton::CNCommand(WORD code) {
    if (code != BN_CLICKED) return false;
    Click();
    return true;
}

// ---------------------------------------------------------------- TCheckBox

TCheckBox::TCheckBox(TComponent* owner) : TWinControl(owner) { SetTabStop(true); }

void TCheckBox::CreateParamsFor(CreateParams& params) {
    TWinControl::CreateParamsFor(params);
    params.ClassName = "BUTTON";
    params.Style |= BS_AUTOCHECKBOX | (LeftText ? BS_LEFTTEXT : 0);
}

bool TCheckBox::Checked() const {
    if (!HandleAllocated()) return checked_;
    return SendMessageA(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TCheckBox::SetChecked(bool checked) {
    checked_ = checked;
    if (HandleAllocated()) SendMessageA(Handle(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TCheckBox::CreateWnd() {
    if (checked_) SendMessageA(Handle(), BM_SETCHECK, BST_CHECKED, 0);
}

bool TCheckBox::CNCommand(WORD code) {
    if (code != BN_CLICKED) return false;
    Click();
    return true;
}

// ---------------------------------------------------------------- TEdit

TEdit::TEdit(TComponent* owner) : TWinControl(owner) { SetTabStop(true); }

void TEdit::CreateParamsFor(CreateParams& params) {
    TWinControl::CreateParamsFor(params);
    params.ClassName = "EDIT";
    params.Style |= ES_AUTOHSCROLL | WS_BORDER;
    if (MultiLine) params.Style |= ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | WS_VSCROLL;
    params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TEdit::CreateWnd() {
    if (MaxLength > 0) SendMessageA(Handle(), EM_SETLIMITTEXT, static_cast<WPARAM>(MaxLength), 0);
}

std::string TEdit::Caption() const {
    if (!HandleAllocated()) return caption_;
    const int n = GetWindowTextLengthA(Handle());
    std::string text(static_cast<std::size_t>(n) + 1, '\0');
    GetWindowTextA(Handle(), text.data(), n + 1);
    text.resize(static_cast<std::size_t>(std::max(0, n)));
    return text;
}

bool TEdit::CNCommand(WORD code) {
    if (code == EN_CHANGE) {
        if (OnChange) OnChange(this);
        return true;
    }
    if (code == EN_KILLFOCUS) {
        if (OnExit) OnExit(this);
        return true;
    }
    return false;
}

// ---------------------------------------------------------------- TListBox

TListBox::TListBox(TComponent* owner) : TWinControl(owner), items_(this) { SetTabStop(true); }

TListBox::~TListBox() { BeginDestroy(); }

void TListBox::CreateParamsFor(CreateParams& params) {
    TWinControl::CreateParamsFor(params);
    params.ClassName = "LISTBOX";
    params.Style |= LBS_NOTIFY | WS_VSCROLL | WS_BORDER | LBS_NOINTEGRALHEIGHT;
    params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TListBox::CreateWnd() {
    Sync();
    if (itemIndex_ >= 0) SendMessageA(Handle(), LB_SETCURSEL, static_cast<WPARAM>(itemIndex_), 0);
}

void TListBox::Strings::Changed() {
    if (box_->Destroying()) return;
    // The window's list, filled anew, loses its selection; the one held without it too.
    if (!box_->HandleAllocated()) box_->itemIndex_ = -1;
    box_->Sync();
}

void TListBox::Sync() {
    if (!HandleAllocated()) return;
    SendMessageA(Handle(), LB_RESETCONTENT, 0, 0);
    for (int i = 0; i < items_.Count(); ++i)
        SendMessageA(Handle(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(items_[i].c_str()));
}

int TListBox::ItemIndex() const {
    return HandleAllocated() ? static_cast<int>(SendMessageA(Handle(), LB_GETCURSEL, 0, 0)) : itemIndex_;
}

void TListBox::SetItemIndex(int index) {
    // As the control takes it: an index past the items selects nothing.
    itemIndex_ = index >= 0 && index < items_.Count() ? index : -1;
    if (HandleAllocated()) SendMessageA(Handle(), LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

bool TListBox::CNCommand(WORD code) {
    if (code == LBN_DBLCLK) {
        if (OnDblClick) OnDblClick(this);
        return true;
    }
    if (code == LBN_SELCHANGE) {
        Click();
        return true;
    }
    return false;
}

// ---------------------------------------------------------------- TPanel, TBevel

void TPanel::Paint(HDC dc, const RECT&) {
    if (!Bevel) return;
    RECT r = ClientRect();
    DrawEdge(dc, &r, BDR_RAISEDINNER, BF_RECT);
}

void TBevel::CreateParamsFor(CreateParams& params) {
    TWinControl::CreateParamsFor(params);
    params.ClassName = "STATIC";
    params.Style |= SS_ETCHEDFRAME;
}

}  // namespace kaptor
