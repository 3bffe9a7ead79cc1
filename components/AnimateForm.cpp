#include "components/AnimateForm.h"
#include "framework/win/LazyLibraries.h"

#include <mmsystem.h>

#include <string>

namespace kaptor {

// Its result is of no use: an event without a registered sound simply plays nothing.
TAnimateForm::TPlaySound TAnimateForm::PlaySoundProc = &lazy::PlaySoundA;

TAnimateForm::TAnimateForm(TComponent* owner) : TComponent(owner) {
    form_ = dynamic_cast<TForm*>(owner);
    if (!form_) throw EAnimateFormError("Owner must be a form");
    if (Application && Application->MainForm())
        throw EAnimateFormError("AnimateForm muse be placed in a main form");
    FormHandle = form_->Handle();
    formOwnProc_ = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(FormHandle, GWLP_WNDPROC));
    if (!FormHook.Attach(FormHandle)) throw EOutOfMemory();
    if (Application) {
        appHandle_ = Application->Handle();
        if (!AppHook.Attach(appHandle_)) {
            FormHook.Detach();
            throw EOutOfMemory();
        }
    }
}

// The links come off the windows still there (a form destroys its window before what it
// owns, so usually only the application window's).
TAnimateForm::~TAnimateForm() = default;

void TAnimateForm::FormEntry(void* self, TMessage& message) { static_cast<TAnimateForm*>(self)->FormWndProc(message); }

void TAnimateForm::AppEntry(void* self, TMessage& message) { static_cast<TAnimateForm*>(self)->AppWndProc(message); }

void TAnimateForm::FormWndProc(TMessage& message) {
    // Exactly SC_MINIMIZE: the minimise button or the system menu's command.
    if (message.Msg == WM_SYSCOMMAND && message.WParam == SC_MINIMIZE && appHandle_) {
        MinimizeAnimated();
        return;
    }
    message.Result = FormHook.CallNext(message);
}

void TAnimateForm::AppWndProc(TMessage& message) {
    if (message.Msg == WM_ERASEBKGND) {
        message.Result = 1;
        return;
    }
    if (message.Msg == WM_SYSCOMMAND && message.WParam == SC_RESTORE) {
        RestoreAnimated();
        message.Result = 1;
        return;
    }
    if (message.Msg == WM_SYSCOMMAND && message.WParam == SC_MINIMIZE) {
        // From the task-bar button's menu: the form's own handling minimises the application
        // the ordinary way. Straight to the form's procedure, past our hook on it.
        PlaySoundProc("Minimize", nullptr, SoundFlags);
        CallWindowProcA(formOwnProc_, FormHandle, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        return;
    }
    message.Result = AppHook.CallNext(message);
}

void TAnimateForm::MinimizeAnimated() {
    {
        // The task-bar button shows the form's caption while the animation runs.
        struct TitleBack {
            std::string title = Application->Title();
            ~TitleBack() { Application->SetTitle(title); }
        } titleBack;
        Application->SetTitle(form_->Caption());
        Application->NormalizeTopMosts();
        SetActiveWindow(appHandle_);
        // The animation starts from where the application window is: put it over the form.
        MoveWindow(appHandle_, form_->Left(), form_->Top(), form_->Width(), form_->Height(), TRUE);
        PlaySoundProc("Minimize", nullptr, SoundFlags);
        ShowWindow(appHandle_, SW_MINIMIZE);
    }
    // Told with the title back, as after the framework's own minimise.
    if (Application->OnMinimize) Application->OnMinimize(Application);
}

void TAnimateForm::RestoreAnimated() {
    PlaySoundProc("RestoreUp", nullptr, SoundFlags);
    SetActiveWindow(appHandle_);
    ShowWindow(appHandle_, SW_RESTORE);
    // Back to zero size at the screen centre, where the application window was made.
    MoveWindow(appHandle_, GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 0, 0, FALSE);
}

}  // namespace kaptor
