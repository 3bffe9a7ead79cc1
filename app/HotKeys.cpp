#include "app/HotKeys.h"

#include "framework/base/SysUtils.h"
#include "framework/win/Forms.h"

namespace kaptor {

namespace texts {
inline constexpr const char* HotKeyTaken = "ﾎｯﾄｷｰ %s は他のﾌﾟﾛｸﾞﾗﾑが使用中のため使えません";
inline constexpr const char* HotKeyWindowFailed = "ﾎｯﾄｷｰを受け取るｳｨﾝﾄﾞｳを作れません";
}  // namespace texts

namespace {
constexpr const char* ReceiverClass = "TKaptorHotKeys";
constexpr UINT Modifiers[HotKeyCount] = {0, MOD_ALT, MOD_CONTROL};
}  // namespace

std::string HotKeyName(THotKey key) {
    static const char* const names[HotKeyCount] = {"PrintScreen", "Alt+PrintScreen", "Ctrl+PrintScreen"};
    return names[static_cast<int>(key)];
}

THotKeys::THotKeys(TComponent* owner, THandler handler) : TComponent(owner), handler_(std::move(handler)) {
    static const bool registered = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = Proc;
        wc.hInstance = MainInstance();
        wc.lpszClassName = ReceiverClass;
        return RegisterClassA(&wc) != 0;
    }();
    // A message-only window: never shown, and there whether the main window is or not.
    if (registered)
        wnd_ = UniqueWindow(
            CreateWindowExA(0, ReceiverClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, MainInstance(), this));
    if (!wnd_) throw Exception(texts::HotKeyWindowFailed);
}

THotKeys::~THotKeys() { Apply(false); }

void THotKeys::Apply(bool on) {
    std::string taken;
    for (int id = 0; id < HotKeyCount; ++id) {
        if (registered_[id] == on) continue;
        if (!on) {
            UnregisterHotKey(wnd_.get(), id);
            registered_[id] = false;
            continue;
        }
        registered_[id] = RegisterHotKey(wnd_.get(), id, Modifiers[id], VK_SNAPSHOT) != FALSE;
        if (!registered_[id] && !reported_[id]) {
            reported_[id] = true;
            taken += (taken.empty() ? "" : "、") + HotKeyName(static_cast<THotKey>(id));
        }
    }
    if (!taken.empty()) ShowMessage(Format(texts::HotKeyTaken, taken.c_str()));
}

LRESULT CALLBACK THotKeys::Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE)
        SetWindowLongPtrA(wnd, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams));
    if (msg == WM_NCDESTROY) SetWindowLongPtrA(wnd, GWLP_USERDATA, 0);
    auto* self = reinterpret_cast<THotKeys*>(GetWindowLongPtrA(wnd, GWLP_USERDATA));
    if (msg == WM_HOTKEY && self && wp < HotKeyCount) {
        // Nothing is thrown through the system: a failed capture is shown and the program goes on.
        try {
            if (self->handler_) self->handler_(static_cast<THotKey>(wp));
        } catch (const std::exception& e) {
            Application->HandleException(e);
        }
        return 0;
    }
    return DefWindowProcA(wnd, msg, wp, lp);
}

}  // namespace kaptor
