// TAnimateForm: placed on the main form, it lets Windows animate minimising and restoring
// (from the form's own rectangle to the task-bar button and back) and plays the system's
// "Minimize" and "RestoreUp" sounds. It hooks the form's window and the application window.
#pragma once

#include <windows.h>

#include "components/ControlHook.h"
#include "framework/base/SysUtils.h"
#include "framework/win/Forms.h"

namespace kaptor {

class EAnimateFormError : public Exception {
public:
    using Exception::Exception;
};

class TAnimateForm : public TComponent {
public:
    // Hooks both windows; the owner must be the application's first form, still being built.
    explicit TAnimateForm(TComponent* owner);
    ~TAnimateForm() override;

    // PlaySoundA, replaceable so tests can hear what is played.
    using TPlaySound = BOOL(WINAPI*)(LPCSTR sound, HMODULE module, DWORD flags);
    static TPlaySound PlaySoundProc;
    // SND_ALIAS | SND_NODEFAULT | SND_ASYNC: the sound registered for the event, or none.
    static constexpr DWORD SoundFlags = 65539;

protected:
    virtual void FormWndProc(TMessage& message);
    virtual void AppWndProc(TMessage& message);

private:
    static void FormEntry(void* self, TMessage& message);
    static void AppEntry(void* self, TMessage& message);
    void MinimizeAnimated();
    void RestoreAnimated();

    TForm* form_ = nullptr;
    HWND FormHandle = nullptr;
    TWindowSubclass FormHook{&FormEntry, this};
    TWindowSubclass AppHook{&AppEntry, this};
    WNDPROC formOwnProc_ = nullptr;  // the form's procedure from before the hook
    HWND appHandle_ = nullptr;       // the application window hooked
};

}  // namespace kaptor
