// Print Screen keys that start a capture from anywhere, also while the program sits in the
// task tray: Print Screen the whole screen, Alt+Print Screen the active window, Ctrl+Print
// Screen a region. Registered with the system for a hidden window of ours.
#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <string>

#include "framework/win/Controls.h"
#include "framework/win/Handles.h"

namespace kaptor {

enum class THotKey { WholeScreen, ActiveWindow, Region };
inline constexpr int HotKeyCount = 3;

class THotKeys : public TComponent {
public:
    using THandler = std::function<void(THotKey key)>;
    THotKeys(TComponent* owner, THandler handler);
    ~THotKeys() override;  // gives every key back

    // Registers the keys (on) or gives them back (off). Keys that another program holds are
    // named in one message, once per run; the others work.
    void Apply(bool on);
    bool Registered(THotKey key) const { return registered_[static_cast<int>(key)]; }
    // The receiver of WM_HOTKEY (wParam: the THotKey, as a number).
    HWND Receiver() const { return wnd_.get(); }

private:
    static LRESULT CALLBACK Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);

    THandler handler_;
    UniqueWindow wnd_;
    std::array<bool, HotKeyCount> registered_{};
    std::array<bool, HotKeyCount> reported_{};
};

// The key's name as the messages give it ("Alt+PrintScreen").
std::string HotKeyName(THotKey key);

}  // namespace kaptor
