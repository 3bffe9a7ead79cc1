// Window procedure hooks. TControlHook puts a procedure of its own in front of one windowed
// control's (or the owning form's), so a subclass sees that window's messages first, and keeps
// the hook when the framework destroys and re-creates the window. TWindowSubclass is the link
// such hooks place in a window's chain of procedures.
#pragma once

#include <windows.h>

#include <cstddef>

#include "framework/win/Controls.h"

namespace kaptor {

// A message as the hooks see it; Result starts at 0 and becomes the window procedure's result.
struct TMessage {
    UINT Msg = 0;
    WPARAM WParam = 0;
    LPARAM LParam = 0;
    LRESULT Result = 0;
};

// One object's handler in front of a window's procedure. A window with links has one chain,
// found by the window's handle in a table of the process: the window's procedure becomes the
// chain's entry, which hands each message to the latest link first; each link passes it on to
// the one attached before it, and the last to the window's own procedure. A link comes off on
// its own in any order without cutting the others out. The link is its own identity in the
// chain, so it never moves. User-interface thread only.
struct TWindowChain;

class TWindowSubclass {
public:
    using Handler = void (*)(void* self, TMessage& message);

    TWindowSubclass(Handler handler, void* self) : handler_(handler), self_(self) {}
    ~TWindowSubclass() { Detach(); }
    TWindowSubclass(const TWindowSubclass&) = delete;
    TWindowSubclass& operator=(const TWindowSubclass&) = delete;

    // In front of `wnd`'s procedures from now on; false when the window cannot be subclassed.
    bool Attach(HWND wnd);
    // Out of the chain; nothing to do when not attached or when the window is gone.
    void Detach();
    HWND Wnd() const { return wnd_; }

    // Inside the handler: the message to the procedures behind this link.
    LRESULT CallNext(const TMessage& message) const;
    // Inside the handler: out of the chain first, then the message on to the procedures that
    // were behind this link.
    LRESULT DetachAndCallNext(const TMessage& message);

    // Links attached now, for leak checks.
    static long LiveCount();

private:
    friend struct TWindowChain;
    // This link's place in its window's chain: the number of links behind it.
    std::size_t Place(const TWindowChain& chain) const;
    Handler handler_;
    void* self_;
    HWND wnd_ = nullptr;
};

// For catch blocks at a window procedure's boundary: the error being handled goes to the
// application's error display and no further.
void ShowCallbackError() noexcept;

enum class THookTarget { htControl, htForm };

class TControlHook : public TComponent {
public:
    explicit TControlHook(TComponent* owner);
    ~TControlHook() override;

    TWinControl* Control() const { return control_; }
    void SetControl(TWinControl* control);

    // The window hooked now (0 when none).
    HWND HookedWnd() const { return link_.Wnd(); }
    // Receives only the re-hook request posted when the hooked window is destroyed; made then,
    // on first need (0 when it cannot be made), since most hooks never need it.
    HWND UtilWnd();

    void Loaded() override;
    void Notification(TComponent* component, TOperation operation) override;

    // Reasons for ControlChanged.
    static constexpr int ccControlRemoved = 1;
    static constexpr int ccRehook = 2;
    // Posted to UtilWnd when the hooked window is destroyed (WM_USER + 1, no parameters).
    static constexpr UINT WM_REHOOK = WM_USER + 1;

protected:
    THookTarget Target() const { return target_; }
    void SetTarget(THookTarget target);

    // The control went away (ccControlRemoved), or the hook is to be placed again (ccRehook).
    virtual void ControlChanged(int reason);
    // Every message of the hooked window but WM_DESTROY; the default passes it on to the
    // window's procedures behind the hook.
    virtual void HookedWndProc(TMessage& message);

    void Hook(bool enable);
    // The window to hook: Control, or the first form in the owner chain for htForm.
    TWinControl* FindTarget() const;

private:
    static void HookEntry(void* self, TMessage& message);
    static LRESULT CALLBACK UtilWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);

    THookTarget target_ = THookTarget::htControl;
    TWinControl* control_ = nullptr;
    TWindowSubclass link_{&HookEntry, this};
    HWND utilWnd_ = nullptr;  // ours: destroyed with the component
};

}  // namespace kaptor
