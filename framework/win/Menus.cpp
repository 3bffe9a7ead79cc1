#include "framework/win/Menus.h"

#include <algorithm>
#include <map>

#include "framework/win/Forms.h"

namespace kaptor {

namespace {

std::map<UINT, TMenuItem*>& Commands() {
    static std::map<UINT, TMenuItem*> commands;
    return commands;
}

UINT NextCommand() {
    static UINT next = 100;
    return next++;
}

}  // namespace

TShortCut ShortCut(WORD key, TShiftState shift) {
    TShortCut s = key & 0xFF;
    if (shift & ssShift) s |= scShift;
    if (shift & ssCtrl) s |= scCtrl;
    if (shift & ssAlt) s |= scAlt;
    return s;
}

std::string ShortCutToText(TShortCut shortCut) {
    if (shortCut == 0) return {};
    std::string text;
    if (shortCut & scShift) text += "Shift+";
    if (shortCut & scCtrl) text += "Ctrl+";
    if (shortCut & scAlt) text += "Alt+";
    const WORD key = shortCut & 0xFF;
    if (key >= VK_F1 && key <= VK_F24) return text + "F" + IntToStr(key - VK_F1 + 1);
    if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) return text + static_cast<char>(key);
    switch (key) {
        case VK_ESCAPE: return text + "Esc";
        case VK_RETURN: return text + "Enter";
        case VK_DELETE: return text + "Del";
        case VK_INSERT: return text + "Ins";
        case VK_SPACE: return text + "Space";
        default: return text + "#" + IntToStr(key);
    }
}

// ---------------------------------------------------------------- TMenuItem

TMenuItem::TMenuItem(TComponent* owner) : TComponent(owner), command_(NextCommand()) { Commands()[command_] = this; }

TMenuItem::~TMenuItem() {
    BeginDestroy();
    Commands().erase(command_);
    for (TMenuItem* item : items_) item->parent_ = nullptr;
    if (parent_) parent_->Remove(this);
}

TMenuItem* TMenuItem::FromCommand(UINT command) {
    auto it = Commands().find(command);
    return it == Commands().end() ? nullptr : it->second;
}

void TMenuItem::Add(TMenuItem* item) {
    if (item->parent_) item->parent_->Remove(item);
    items_.push_back(item);
    item->parent_ = this;
    Changed();
}

void TMenuItem::Remove(TMenuItem* item) {
    items_.erase(std::remove(items_.begin(), items_.end(), item), items_.end());
    item->parent_ = nullptr;
    if (!Destroying()) Changed();
}

TMenu* TMenuItem::OwningMenu() {
    TMenuItem* root = this;
    while (root->parent_) root = root->parent_;
    return root->menu_;
}

void TMenuItem::Changed() {
    if (TMenu* menu = OwningMenu())
        if (!menu->Destroying()) menu->ItemsChanged();
}

void TMenuItem::StateChanged() {
    TMenu* menu = OwningMenu();
    if (menu && !menu->Destroying() && !menu->UpdateItemState(*this)) menu->Rebuild();
}

void TMenuItem::SetCaption(const std::string& caption) {
    if (caption == caption_) return;
    caption_ = caption;
    Changed();
}

void TMenuItem::SetShortCut(TShortCut shortCut) {
    shortCut_ = shortCut;
    Changed();
}

void TMenuItem::SetEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    StateChanged();
}

void TMenuItem::SetChecked(bool checked) {
    if (checked == checked_) return;
    checked_ = checked;
    StateChanged();
}

void TMenuItem::SetVisible(bool visible) {
    if (visible == visible_) return;
    visible_ = visible;
    Changed();
}

void TMenuItem::Click() {
    if (enabled_ && OnClick) OnClick(this);
}

TMenuItem* TMenuItem::FindShortCut(TShortCut shortCut) {
    for (TMenuItem* item : items_) {
        if (item->shortCut_ == shortCut) return item;
        if (TMenuItem* found = item->FindShortCut(shortCut)) return found;
    }
    return nullptr;
}

// ---------------------------------------------------------------- TMenu

TMenu::TMenu(TComponent* owner) : TComponent(owner), items_(new TMenuItem(this)) { items_->SetMenu(this); }

TMenu::~TMenu() { BeginDestroy(); }

HMENU TMenu::Handle() {
    if (!handle_) Rebuild();
    return handle_.get();
}

void TMenu::Fill(HMENU menu, TMenuItem* parent) {
    for (int i = 0; i < parent->Count(); ++i) {
        TMenuItem* item = parent->Items(i);
        if (!item->Visible()) continue;
        if (item->IsSeparator()) {
            AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
            continue;
        }
        std::string text = item->Caption();
        if (item->ShortCut()) text += "\t" + ShortCutToText(item->ShortCut());
        UINT flags = MF_STRING | (item->Enabled() ? MF_ENABLED : MF_GRAYED) | (item->Checked() ? MF_CHECKED : 0);
        if (item->Count() > 0) {
            HMENU sub = CreatePopupMenu();
            Fill(sub, item);
            AppendMenuA(menu, flags | MF_POPUP, reinterpret_cast<UINT_PTR>(sub), text.c_str());
        } else {
            AppendMenuA(menu, flags, item->Command(), text.c_str());
        }
    }
}

void TMenu::ItemsChanged() { handle_.reset(); }

void TMenu::Rebuild() {
    HMENU menu = NewMenu();
    Fill(menu, items_);
    handle_.reset(menu);  // sub-menus go with their parent
}

bool TMenu::UpdateItemState(const TMenuItem& item) {
    if (!handle_) return true;  // made with the item's state when it is first needed
    // An item on the menu bar itself, or one that opens a sub-menu, is not found by command.
    if (item.Parent() == items_ || item.Count() > 0 || item.IsSeparator()) return false;
    HMENU menu = handle_.get();
    // The previous state, or -1 for an item that is not there.
    // Not in the menu now (hidden, or below a hidden item): the rebuild that shows it takes
    // its state then.
    if (EnableMenuItem(menu, item.Command(), MF_BYCOMMAND | (item.Enabled() ? MF_ENABLED : MF_GRAYED)) == -1)
        return true;
    return CheckMenuItem(menu, item.Command(), MF_BYCOMMAND | (item.Checked() ? MF_CHECKED : MF_UNCHECKED)) !=
           static_cast<DWORD>(-1);
}

bool TMenu::IsShortCut(WORD key, TShiftState shift) {
    const TShortCut code = ShortCut(key, shift);
    if ((code & 0xFF) == 0) return false;
    TMenuItem* item = items_->FindShortCut(code);
    if (!item || !item->Enabled()) return false;
    item->Click();
    return true;
}

void TMainMenu::ItemsChanged() {
    // The bar of a window is built anew at once; one no window holds yet is built once, when
    // one does.
    if (Form && Form->HandleAllocated())
        Rebuild();
    else
        handle_.reset();
}

void TMainMenu::Rebuild() {
    UniqueMenu old(handle_.release());
    TMenu::Rebuild();
    if (Form && Form->HandleAllocated()) {
        SetMenu(Form->Handle(), handle_.get());
        DrawMenuBar(Form->Handle());
    }
    // The old bar is destroyed only after the window has let go of it.
}

void TPopupMenu::Popup(int x, int y) {
    if (OnPopup) OnPopup(this);
    Rebuild();
    HWND owner = Application->Handle();
    if (TForm* form = Application->MainForm(); form && form->HandleAllocated() && IsWindowVisible(form->Handle()))
        owner = form->Handle();
    const UINT command = static_cast<UINT>(
        TrackPopupMenu(handle_.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN, x, y, 0, owner, nullptr));
    if (command == 0) return;
    if (TMenuItem* item = TMenuItem::FromCommand(command)) item->Click();
}

}  // namespace kaptor
