// Forms, the application object and the screen object.
//
// The application owns a hidden, zero-size top-level window ("TApplication") that carries
// the task-bar button and owns every form, so forms have no buttons of their own. Forms are
// built in code in their constructors (while "loading"), then Application->CreateForm scales
// them by the screen's DPI, runs every component's Loaded and the form's OnCreate.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "framework/win/Controls.h"

namespace kaptor {

class TMainMenu;
class TButton;

enum class TBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow };
enum class TWindowState { wsNormal, wsMinimized, wsMaximized };
enum class TPosition { poDesigned, poScreenCenter };
enum class TCloseAction { caNone, caHide, caFree, caMinimize };

// Modal results.
inline constexpr int mrNone = 0, mrOk = IDOK, mrCancel = IDCANCEL, mrYes = IDYES, mrNo = IDNO;

using TCloseEvent = std::function<void(TComponent* sender, TCloseAction& action)>;

// When a form's window (and its controls') is made: in the constructor, or when first needed
// (shown, or its handle asked for). Most starts never show the hidden dialogs, and making
// their windows costs start-up time; their controls hold their state until then.
enum class TFormWindow { AtOnce, OnDemand };

class TForm : public TWinControl {
public:
    // className names the window class, so other programs (and our tests) can find the form.
    explicit TForm(TComponent* owner, const std::string& className = "TKaptorForm",
                   TFormWindow window = TFormWindow::AtOnce);
    ~TForm() override;

    void SetBorderStyle(TBorderStyle style);
    TBorderStyle BorderStyle() const { return borderStyle_; }
    TPosition Position = TPosition::poDesigned;
    void SetWindowState(TWindowState state);
    TWindowState WindowState() const;
    void SetMenu(TMainMenu* menu);
    TMainMenu* Menu() const { return menu_; }
    void SetIcon(HICON icon);  // not owned

    void SetVisible(bool visible) override;
    int ShowModal();
    bool Modal() const { return modal_; }
    int ModalResult = mrNone;
    // Asks OnClose what to do, then hides, minimises or frees (the main form ends the program).
    void Close();

    // Keyboard: Tab between controls, Enter for the default button, Esc for the cancel button.
    bool DialogKeys = false;
    TButton* DefaultButton = nullptr;
    TButton* CancelButton = nullptr;

    // Valid only during OnPaint.
    HDC PaintDC() const { return paintDC_; }

    TNotifyEvent OnCreate;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    TNotifyEvent OnDestroy;
    TNotifyEvent OnPaint;
    TCloseEvent OnClose;
    // The least client area the user may size the window to (unset: the system's limit).
    std::function<SIZE()> MinClientSize;

    // Hints: one tool tip control per form, made once the form has been painted the first
    // time (no pointer rests on a control before that); a hint set earlier is given then.
    void SetHintFor(TWinControl* control, const std::string& hint);

    // The application's part of creation: scaling, Loaded, centring, OnCreate.
    void AfterConstruction();
    // A control added after the form was made, scaled as the form's own controls were then.
    static void ScaleAdded(TWinControl& control);
    // Centres the window on the screen.
    void CenterOnScreen();

protected:
    void CreateParamsFor(CreateParams& params) override;
    bool HasMenuBar() const override;
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
    virtual void DoClose(TCloseAction& action);
    bool WantsDialogKey(const MSG& msg) const;

    friend class TApplication;

private:
    void UpdateBorder();
    bool HandleHelp(HELPINFO* info);
    // The hints of the control's windowed children and theirs.
    void AddHints(TWinControl& control);
    static constexpr UINT_PTR HintTimerId = 0x4B48;

    std::string className_;
    TBorderStyle borderStyle_ = TBorderStyle::bsSizeable;
    TMainMenu* menu_ = nullptr;
    bool modal_ = false;
    HDC paintDC_ = nullptr;
    HWND tooltip_ = nullptr;
    bool hintsDue_ = false;   // the first paint is done: hints go to the tool tip control
    bool hintTimer_ = false;  // the timer that makes it due is running
    bool destroyed_ = false;
};

class TApplication {
public:
    TApplication();
    ~TApplication();
    TApplication(const TApplication&) = delete;
    TApplication& operator=(const TApplication&) = delete;

    // The hidden top-level window that carries the task-bar button.
    HWND Handle() const { return handle_; }
    std::string Title() const { return title_; }
    void SetTitle(const std::string& title);
    std::string HelpFile;

    // Creates a form of type T (owned by the application), runs its creation steps, and makes
    // the first form created the main form. An error in OnCreate is shown and creation goes on.
    template <class T, class... Args>
    T* CreateForm(Args&&... args) {
        auto* form = new T(nullptr, std::forward<Args>(args)...);
        forms_.emplace_back(form);
        try {
            form->AfterConstruction();
        } catch (const std::exception& e) {
            HandleException(e);
        }
        if (!mainForm_) mainForm_ = form;
        return form;
    }
    TForm* MainForm() const { return mainForm_; }
    bool ShowMainForm = true;

    // The message loop: shows the main form (unless told not to) and runs until Terminate.
    void Run();
    void ProcessMessages();
    void Terminate();
    bool Terminated() const { return terminated_; }
    // One message: shortcuts and dialog keys first, then translation and dispatch.
    void DispatchOne(MSG& msg);

    // The top-level error display: the error's text in a box titled with the application's
    // title and the error icon. The program goes on.
    void HandleException(const std::exception& e);

    // Message boxes go through here so in-process tests can answer them.
    int MessageBox(const std::string& text, const std::string& caption, UINT flags);
    std::function<int(const std::string& text, const std::string& caption, UINT flags)> MessageBoxHook;

    // Help: the viewer is plugged in by the program; commands are WinHelp's.
    bool HelpCommand(UINT command, ULONG_PTR data);
    bool HelpContext(int context);
    std::function<bool(const std::string& file, UINT command, ULONG_PTR data)> OnHelp;

    void Minimize();
    void Restore();
    // Told after the application has been minimised.
    std::function<void(TApplication* sender)> OnMinimize;
    // Our visible top-most windows (not the application window) lose that rank, so they do
    // not stay above other programs while ours is minimised. Nothing puts it back.
    void NormalizeTopMosts();

    // Forms destroyed at the end of the run, newest first (called by the program's entry).
    void DestroyForms();
    void ReleaseForm(TForm* form);

private:
    static LRESULT CALLBACK AppWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
    bool IsShortCut(const MSG& msg);

    HWND handle_ = nullptr;
    std::string title_;
    TForm* mainForm_ = nullptr;
    std::vector<std::unique_ptr<TForm>> forms_;
    std::vector<std::unique_ptr<TForm>> released_;
    bool terminated_ = false;
};

class TScreen {
public:
    int Width() const { return GetSystemMetrics(SM_CXSCREEN); }
    int Height() const { return GetSystemMetrics(SM_CYSCREEN); }
    int PixelsPerInch() const;
    // Cursors registered by number; 0 is the default arrow.
    HCURSOR Cursors(TCursor index) const;
    void SetCursor(TCursor index, HCURSOR cursor);  // takes ownership of loaded cursors? no: resources

private:
    std::map<TCursor, HCURSOR> cursors_;
};

extern TApplication* Application;
extern TScreen* Screen;

// Plain message box with the application's title ("ShowMessage").
void ShowMessage(const std::string& text);

}  // namespace kaptor
