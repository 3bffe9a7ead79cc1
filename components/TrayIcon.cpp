#include "components/TrayIcon.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "framework/base/Classes.h"
#include "framework/win/Forms.h"
#include "framework/win/Menus.h"
#include "framework/win/LazyLibraries.h"

namespace kaptor {

TShellNotifyIcon ShellNotifyIconHook;

BOOL RealShellNotifyIcon(DWORD message, NOTIFYICONDATAA& data) { return lazy::Shell_NotifyIconA(message, &data); }

namespace {

// 88 bytes in a 32-bit program; its window and icon handles make it 104 in a 64-bit one.
static_assert(TrayNotifySize == (sizeof(void*) == 4 ? 88 : 104), "the shell's oldest notify record");
static_assert(TrayTipMax + 1 < sizeof(NOTIFYICONDATAA{}.szTip), "the tip and its NUL fit the record");

// Every live tray icon: its identifier as decimal text, the icon as the entry's object, in
// ascending order of identifier (a new one always gets the largest).
TStringList trayIconList;
// The receiver window all tray icons share; its owner frees it.
TCallbackWindow* callbackWindow = nullptr;

TTrayIcon* TrayIconAt(int index) { return reinterpret_cast<TTrayIcon*>(trayIconList.Objects(index)); }

// The icon with this identifier, or null.
TTrayIcon* FindTrayIcon(std::int64_t id) {
    const int index = trayIconList.IndexOf(IntToStr(id));
    return index < 0 ? nullptr : TrayIconAt(index);
}

BOOL NotifyShell(DWORD message, NOTIFYICONDATAA& data) {
    return ShellNotifyIconHook ? ShellNotifyIconHook(message, data) : RealShellNotifyIcon(message, data);
}

// A receiver window made for an icon without an owner has nobody else to free it.
struct UnitFinalization {
    ~UnitFinalization() {
        if (callbackWindow && !callbackWindow->Owner()) delete callbackWindow;
    }
} unitFinalization;

}  // namespace

TCallbackWindow* TrayCallbackWindow() { return callbackWindow; }

UINT TaskbarCreatedMessage() {
    static const UINT message = RegisterWindowMessageA("TaskbarCreated");
    return message;
}

// ---------------------------------------------------------------- TCallbackWindow

TCallbackWindow::TCallbackWindow(TComponent* owner) : TWinControl(owner) { visible_ = false; }

TCallbackWindow::~TCallbackWindow() {
    BeginDestroy();
    if (callbackWindow == this) callbackWindow = nullptr;
    // Icons still in the tray would point the shell at a window that is gone: take them out.
    for (int i = 0; i < trayIconList.Count(); ++i) {
        TTrayIcon* icon = TrayIconAt(i);
        if (!icon->registered_) continue;
        icon->visible_ = false;
        try {
            icon->UpdateTray(TTrayIcon::TTrayAction::Delete);
        } catch (...) {
            // the result of a delete does not matter; nothing may leave a destructor
        }
    }
}

HWND TCallbackWindow::Receiver() {
    if (!HandleAllocated()) CreateHandle();
    return Handle();
}

void TCallbackWindow::CreateParamsFor(CreateParams& params) {
    params.ClassName = RegisterClassFor("TCallbackWindow", 0);
    params.OwnClass = true;
    params.Style = WS_POPUP;
    params.ExStyle = WS_EX_TOOLWINDOW;
    // Owned by the form it was made for (Windows takes the top-level window of a control).
    if (auto* owner = dynamic_cast<TWinControl*>(Owner()); owner && owner->HandleAllocated())
        params.Parent = owner->Handle();
}

LRESULT TCallbackWindow::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_TRAYICON) {
        TTrayIcon::Callback(wp, lp);
        return 0;
    }
    if (msg == TaskbarCreatedMessage() && msg != 0) {
        TTrayIcon::ShellRestarted();
        return 0;
    }
    return DefaultHandler(msg, wp, lp);
}

// ---------------------------------------------------------------- TTrayIcon

TTrayIcon::TTrayIcon(TComponent* owner) : TComponent(owner), icon_(std::make_unique<TIcon>()), tipHelp_("TipHelp") {
    icon_->OnChange = [this](const RECT*) { IconChanged(); };
    iconId_ = trayIconList.Count() == 0 ? 1 : StrToInt(trayIconList[trayIconList.Count() - 1]) + 1;
    if (iconId_ > MaxTrayIconId) throw EOutOfMemory(texts::TrayIconFailed);
    trayIconList.Add(IntToStr(iconId_), reinterpret_cast<std::intptr_t>(this));
    try {
        if (!callbackWindow) callbackWindow = new TCallbackWindow(owner);
        notifyData_ = std::make_unique<NOTIFYICONDATAA>();
    } catch (...) {
        trayIconList.Delete(trayIconList.Count() - 1);  // the destructor will not run
        throw;
    }
    notifyData_->cbSize = TrayNotifySize;
    notifyData_->uCallbackMessage = WM_TRAYICON;
    notifyData_->uID = static_cast<UINT>(iconId_);
}

TTrayIcon::~TTrayIcon() {
    icon_->OnChange = nullptr;
    if (registered_) {
        try {
            UpdateTray(TTrayAction::Delete);
        } catch (...) {
            // nothing may leave a destructor; the shell drops the icon with its window anyway
        }
    }
    notifyData_.reset();
    animateIcon_.reset();
    const int index = trayIconList.IndexOf(IntToStr(iconId_));
    if (index >= 0) trayIconList.Delete(index);
}

void TTrayIcon::UpdateTray(TTrayAction action) {
    NOTIFYICONDATAA& data = *notifyData_;
    data.hIcon = animating_ && animateIcon_ ? animateIcon_->Handle() : icon_->Handle();
    std::memset(data.szTip, 0, sizeof data.szTip);
    std::memcpy(data.szTip, tipHelp_.data(), std::min(tipHelp_.size(), TrayTipMax));
    data.uFlags = NIF_MESSAGE | NIF_ICON | (tipHelp_.empty() ? 0 : NIF_TIP);
    switch (action) {
        case TTrayAction::Add:
        case TTrayAction::Restore: {
            if (!visible_) return;
            if (!callbackWindow) callbackWindow = new TCallbackWindow(Owner());  // the first one was freed
            data.hWnd = callbackWindow->Receiver();
            const bool known = action == TTrayAction::Restore && NotifyShell(NIM_MODIFY, data);
            if (!known && !NotifyShell(NIM_ADD, data)) {
                registered_ = false;
                throw EOutOfMemory(texts::TrayIconFailed);
            }
            registered_ = true;
            break;
        }
        case TTrayAction::Modify:
            if (!NotifyShell(NIM_MODIFY, data)) throw EOutOfMemory(texts::TrayIconFailed);
            break;
        case TTrayAction::Delete:
            registered_ = false;
            static_cast<void>(NotifyShell(NIM_DELETE, data));  // gone either way
            break;
    }
}

void TTrayIcon::SetVisible(bool visible) {
    if (visible == visible_) return;
    visible_ = visible && icon_->Handle() != nullptr;
    if (Loading()) return;
    if (visible_) {
        try {
            UpdateTray(TTrayAction::Add);
        } catch (...) {
            // Not in the tray, so not visible: the next try adds it again.
            visible_ = false;
            throw;
        }
    } else if (registered_) {
        UpdateTray(TTrayAction::Delete);
    }
}

void TTrayIcon::Loaded() {
    try {
        UpdateTray(TTrayAction::Add);
    } catch (...) {
        visible_ = false;
        TComponent::Loaded();  // loading is over even when the add failed
        throw;
    }
    TComponent::Loaded();
}

void TTrayIcon::SetTipHelp(const std::string& tip) {
    std::string cut(SjisTruncate(tip, TrayTipMax));
    if (cut == tipHelp_) return;
    tipHelp_ = std::move(cut);
    if (registered_) UpdateTray(TTrayAction::Modify);
}

void TTrayIcon::SetIcon(const TIcon* icon) {
    if (icon == icon_.get()) return;
    if (icon) {
        icon_->Assign(*icon);  // runs IconChanged
    } else {
        icon_->Clear();
        SetVisible(false);
    }
}

void TTrayIcon::IconChanged() {
    if (registered_) UpdateTray(TTrayAction::Modify);
}

void TTrayIcon::SetAnimateRate(int rate) {
    if (rate == animateRate_) return;
    animateRate_ = rate < 100 ? 100 : rate;
    // No animation runs in this program, so there is no timer to retune.
}

void TTrayIcon::SetAnimateIcons(TImageList* list) {
    if (list != animateIcons_ && !animating_) {
        animateIndex_ = 0;
        animateIcons_ = list;
    }
    if (list) list->FreeNotification(this);
}

void TTrayIcon::SetLBPopupMenu(TPopupMenu* menu) {
    lbPopupMenu_ = menu;
    if (menu) menu->FreeNotification(this);
}

void TTrayIcon::SetRBPopupMenu(TPopupMenu* menu) {
    rbPopupMenu_ = menu;
    if (menu) menu->FreeNotification(this);
}

void TTrayIcon::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
    if (operation != TOperation::opRemove || !component) return;
    // One menu may serve both buttons: forget it for each.
    if (component == lbPopupMenu_) lbPopupMenu_ = nullptr;
    if (component == rbPopupMenu_) rbPopupMenu_ = nullptr;
    if (component == animateIcons_) animateIcons_ = nullptr;
}

void TTrayIcon::Callback(WPARAM id, LPARAM mouseMessage) {
    TTrayIcon* icon = FindTrayIcon(static_cast<std::int64_t>(id));
    if (!icon) return;  // an icon freed since the shell sent this
    POINT p{};
    if (!GetCursorPos(&p)) p = POINT{};  // no pointer position (a locked desktop): the corner
    icon->MouseEvent(static_cast<UINT>(mouseMessage), p.x, p.y);
}

void TTrayIcon::MouseEvent(UINT mouseMessage, int x, int y) {
    switch (mouseMessage) {
        case WM_MOUSEMOVE:
            if (OnMouseMove) OnMouseMove(this, 0, x, y);
            break;
        case WM_LBUTTONDOWN: ButtonDown(TMouseButton::mbLeft, &TTrayIcon::lbPopupMenu_, x, y); break;
        case WM_LBUTTONUP:
            if (OnMouseUp) OnMouseUp(this, TMouseButton::mbLeft, ssLeft, x, y);
            break;
        case WM_LBUTTONDBLCLK:
            if (OnDblClick) OnDblClick(this);
            break;
        case WM_RBUTTONDOWN: ButtonDown(TMouseButton::mbRight, &TTrayIcon::rbPopupMenu_, x, y); break;
        case WM_RBUTTONUP:
            if (OnMouseUp) OnMouseUp(this, TMouseButton::mbRight, ssRight, x, y);
            break;
        case WM_MBUTTONDOWN:
            if (OnMouseDown) OnMouseDown(this, TMouseButton::mbMiddle, ssMiddle, x, y);
            break;
        case WM_MBUTTONUP:
            if (OnMouseUp) OnMouseUp(this, TMouseButton::mbMiddle, ssMiddle, x, y);
            break;
        default:  // WM_RBUTTONDBLCLK and anything else: nothing
            break;
    }
}

void TTrayIcon::ButtonDown(TMouseButton button, TPopupMenu* TTrayIcon::*menu, int x, int y) {
    if (this->*menu && autoPopup_) {
        Popup(menu, x, y);
        return;
    }
    const TShiftState shift = button == TMouseButton::mbLeft ? ssLeft : ssRight;
    if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TTrayIcon::Popup(TPopupMenu* TTrayIcon::*menu, int x, int y) {
    if (auto* form = dynamic_cast<TForm*>(Owner())) {
        // The menu closes on a click elsewhere only when our form is in the foreground. Windows
        // may refuse (another program holds the foreground); the menu opens all the same.
        static_cast<void>(SetForegroundWindow(form->Handle()));
        const int id = iconId_;
        TTrayIcon* const self = this;
        Application->ProcessMessages();
        // What ran meanwhile may have freed this icon or its menu.
        if (FindTrayIcon(id) != self) return;
    }
    if (TPopupMenu* m = this->*menu) {
        m->PopupComponent = this;
        m->Popup(x, y);
    }
}

void TTrayIcon::ShellRestarted() {
    // By identifier: an error box shown for one icon lets messages run that may free others.
    std::vector<int> ids;
    for (int i = 0; i < trayIconList.Count(); ++i) ids.push_back(TrayIconAt(i)->iconId_);
    for (int id : ids) {
        TTrayIcon* icon = FindTrayIcon(id);
        if (!icon || !icon->visible_ || icon->Loading()) continue;
        try {
            icon->UpdateTray(TTrayAction::Restore);
        } catch (const std::exception& e) {
            Application->HandleException(e);
        }
    }
}

}  // namespace kaptor
