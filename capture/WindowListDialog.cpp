// The window-list dialog: layout, listing, Cancel and help. The capture itself is in
// ChosenWindowCapture.cpp.
#include "capture/WindowListDialog.h"

#include <cstdint>

#include "capture/CaptureCommands.h"
#include "framework/base/SysUtils.h"

namespace kaptor {

TWindowListDialog* WindowList = nullptr;

TWindowListDialog::TWindowListDialog(TComponent* owner) : TForm(owner, "TApDlg", TFormWindow::OnDemand) {
    WindowList = this;
    SetCaption("ウィンドウ指定");
    SetBorderStyle(TBorderStyle::bsDialog);
    Position = TPosition::poScreenCenter;
    HelpContext = 100300;
    SetClientSize(479, 255);
    DialogKeys = true;

    Heading = new TLabel(this);
    Heading->SetBounds(8, 8, 150, 12);
    Heading->SetParent(this);
    Heading->SetCaption("起動アプリケーション一覧");

    List = new TListBox(this);
    List->SetBounds(8, 26, 357, 220);
    List->SetParent(this);
    List->OnDblClick = [this](TComponent*) { CaptureChosen(); };

    auto button = [this](const char* caption, int top) {
        auto* b = new TButton(this);
        b->SetBounds(378, top, 92, 28);
        b->SetParent(this);
        b->SetCaption(caption);
        return b;
    };
    CaptureButton = button("ｷｬﾌﾟﾁｬｰ(&S)", 26);
    CaptureButton->ModalResult = 1;
    CaptureButton->SetDefault(true);
    CaptureButton->OnClick = [this](TComponent*) { CaptureChosen(); };
    DismissButton = button("ｷｬﾝｾﾙ(&C)", 62);
    DismissButton->ModalResult = mrCancel;
    DismissButton->SetCancel(true);
    DismissButton->OnClick = [this](TComponent*) { Dismiss(); };
    HelpButton = button("ﾍﾙﾌﾟ(&H)", 98);
    HelpButton->OnClick = [this](TComponent*) { ShowHelp(); };
    DefaultButton = CaptureButton;
    CancelButton = DismissButton;
}

namespace {

// The window's title when the list shows it: visible, titled, neither ours nor the desktop
// shell's.
bool Listed(HWND wnd, std::string& text) {
    if (!IsWindowVisible(wnd)) return false;
    // The title is read with a 255-byte limit (at most 254 bytes); the spare room guards
    // against a conversion that writes past the count it was given.
    char title[512] = {};
    GetWindowTextA(wnd, title, 255);
    text = title;
    // Our own application and main windows carry the application's title.
    return !text.empty() && text != Application->Title() && text != "Program Manager";
}

struct TTitleSearch {
    const std::string& title;
    HWND found = nullptr;
};

BOOL CALLBACK MatchTitle(HWND wnd, LPARAM search) {
    auto& s = *reinterpret_cast<TTitleSearch*>(search);
    std::string text;
    if (!Listed(wnd, text) || text != s.title) return TRUE;
    s.found = wnd;
    return FALSE;
}

}  // namespace

HWND FindListedWindow(const std::string& title) {
    TTitleSearch search{title};
    EnumWindows(MatchTitle, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

BOOL CALLBACK AddWindowToList(HWND wnd, LPARAM dialog) {
    std::string text;
    if (!Listed(wnd, text)) return TRUE;
    auto& list = *reinterpret_cast<TWindowListDialog*>(dialog);
    list.List->Items().Add(text);
    list.Handles.Add(IntToStr(static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(wnd))));
    return TRUE;
}

void TWindowListDialog::Offer(TCaptureCommands& commands) {
    commands_ = &commands;
    Handles.Clear();
    List->Items().Clear();
    EnumWindows(AddWindowToList, reinterpret_cast<LPARAM>(this));
    Show();
}

HWND TWindowListDialog::ChosenWindow() const {
    const int index = List->ItemIndex();
    if (index < 0 || index >= Handles.Count()) return nullptr;
    return reinterpret_cast<HWND>(static_cast<std::intptr_t>(StrToIntDef(Handles[index], 0)));
}

void TWindowListDialog::CaptureChosen() {
    if (List->ItemIndex() < 0) {
        ShowMessage("選択されていません");
        return;
    }
    if (commands_) commands_->CaptureChosenWindow(ChosenWindow());
}

void TWindowListDialog::Dismiss() { Close(); }

void TWindowListDialog::ShowHelp() {
    // The nearest help context: the button's own, else the dialog's.
    const int context = HelpButton->HelpContext ? HelpButton->HelpContext : HelpContext;
    Application->HelpCommand(HELP_CONTEXT, static_cast<ULONG_PTR>(context));
}

}  // namespace kaptor
