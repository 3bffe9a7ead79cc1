// Window procedure hooks. TControlHook puts a procedure of its own in front of one windowed
// control's (or the owning form's), so a subclass sees that window's messages first, and keeps
// the hook when the framework destroys and re-creates the window. TObjectInstance is the
// callable window procedure bound to one object that such hooks install.
#pragma once

#include <windows.h>

#include "framework/win/Controls.h"

namespace kaptor {

// A message as the hooks see it; Result starts at 0 and becomes the window procedure's result.
struct TMessage {
    UINT Msg = 0;
    WPARAM WParam = 0;
    LPARAM LParam = 0;
    LRESULT Result = 0;
};

// A window procedure bound to one object: a few bytes of code in executable memory that insert
// the object in front of the four usual arguments and jump to a static entry point. Each
// instance has its own address, so several hooks can sit on one window, one behind the other,
// and none ever mistakes another's procedure for its own. User-interface thread only.
class TObjectInstance {
public:
    using Entry = LRESULT(CALLBACK*)(void* self, HWND wnd, UINT msg, WPARAM wp, LPARAM lp);

    TObjectInstance() = default;
    TObjectInstance(Entry entry, void* self);
    ~TObjectInstance();
    TObjectInstance(TObjectInstance&& other) noexcept;
    TObjectInstance& operator=(TObjectInstance&& other) noexcept;
    TObjectInstance(const TObjectInstance&) = delete;
    TObjectInstance& operator=(const TObjectInstance&) = delete;

    WNDPROC Proc() const { return reinterpret_cast<WNDPROC>(code_); }
    explicit operator bool() const { return code_ != nullptr; }

    // A window still calls this procedure but its object is going away: from now on the code
    // passes every message to `previous`, for the rest of the run, and no longer belongs here.
    void Abandon(WNDPROC previous);

    // Instances alive (abandoned ones not counted), for leak checks.
    static long LiveCount();

private:
    unsigned char* code_ = nullptr;
};

// Takes `wnd`'s procedure back from `ours` to `previous`. When something else has hooked the
// window after us, putting `previous` back would cut that hook out: our code then stays in the
// chain, forwarding (see Abandon). Nothing to do when the window is gone.
void RestoreWndProc(HWND wnd, TObjectInstance& ours, WNDPROC previous);

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

    // The window hooked now (0 when none) and its procedure from before.
    HWND HookedWnd() const { return hookedWnd_; }
    WNDPROC OldWndProc() const { return oldWndProc_; }
    WNDPROC NewWndProc() const { return newWndProc_.Proc(); }
    // Receives only the re-hook request posted when the hooked window is destroyed.
    HWND UtilWnd() const { return utilWnd_; }

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
    // window's previous procedure.
    virtual void HookedWndProc(TMessage& message);

    void Hook(bool enable);
    // The window to hook: Control, or the first form in the owner chain for htForm.
    TWinControl* FindTarget() const;

private:
    static LRESULT CALLBACK HookEntry(void* self, HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
    static LRESULT CALLBACK UtilWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT HookProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);

    THookTarget target_ = THookTarget::htControl;
    TWinControl* control_ = nullptr;
    TObjectInstance newWndProc_;
    WNDPROC oldWndProc_ = nullptr;
    HWND hookedWnd_ = nullptr;
    HWND utilWnd_ = nullptr;  // ours: destroyed with the component
};

}  // namespace kaptor
