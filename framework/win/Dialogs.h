// The common dialogs: colour, open and save. Each Execute first asks its class's
// ExecuteHook, so in-process tests can answer the dialog; without a hook the real Windows
// dialog runs, modal to the active window of ours.
#pragma once

#include <windows.h>

#include <commdlg.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "framework/win/Controls.h"

namespace kaptor {

// The window a common dialog is modal to: our active window, else the application's.
HWND DialogOwner();

class TColorDialog : public TComponent {
public:
    explicit TColorDialog(TComponent* owner);

    COLORREF Color = RGB(0, 0, 0);
    bool FullOpen = false;  // with the custom colour part opened
    // The sixteen custom colours, kept from one run of the dialog to the next.
    std::array<COLORREF, 16> CustomColors;

    // True when the user confirmed; Color then holds the choice.
    bool Execute();
    static std::function<bool(TColorDialog& dialog)> ExecuteHook;
};

// Options of the open and save dialogs (the OFN_ flags under the framework's names).
enum TOpenOption : unsigned {
    ofReadOnly = 1u << 0,
    ofOverwritePrompt = 1u << 1,
    ofHideReadOnly = 1u << 2,
    ofNoChangeDir = 1u << 3,
    ofAllowMultiSelect = 1u << 4,
    ofExtensionDifferent = 1u << 5,
    ofPathMustExist = 1u << 6,
    ofFileMustExist = 1u << 7,
    ofCreatePrompt = 1u << 8,
    ofNoReadOnlyReturn = 1u << 9,
    ofNoTestFileCreate = 1u << 10,
    ofNoValidate = 1u << 11,
    ofEnableSizing = 1u << 12,
};
using TOpenOptions = unsigned;

// The open dialog. Filter is "description|patterns|description|patterns..."; FilterIndex
// counts from 1 and, like FileName, comes back from a confirmed dialog.
//
// Dialogs with a template of their own (a picture preview) derive from this one: they add
// their template in PrepareTemplate, and their hook sees every message of the dialog's child
// window through DialogMessage and the explorer notifications through the Do* calls.
class TOpenDialog : public TComponent {
public:
    explicit TOpenDialog(TComponent* owner);

    std::string Title;
    std::string Filter;
    int FilterIndex = 1;
    std::string DefaultExt;  // without the dot
    std::string FileName;
    std::string InitialDir;
    TOpenOptions Options = ofHideReadOnly | ofEnableSizing;
    // All files chosen (one unless ofAllowMultiSelect), full paths.
    std::vector<std::string> Files;

    TNotifyEvent OnShow;
    TNotifyEvent OnClose;
    TNotifyEvent OnSelectionChange;
    TNotifyEvent OnTypeChange;

    // True when the user confirmed a file.
    virtual bool Execute();
    static std::function<bool(TOpenDialog& dialog)> ExecuteHook;

    // The "description|patterns|..." filter as the dialog takes it: NUL-separated with a
    // double NUL at the end. Shift-JIS aware ("|" may be a trail byte).
    static std::string FilterBuffer(const std::string& filter);

    // While the dialog runs: its window and the path now selected in it.
    HWND DialogHandle() const { return dialog_; }
    std::string SelectedPath() const;

protected:
    // The Windows call; GetOpenFileNameA here, GetSaveFileNameA for saving.
    virtual BOOL RunDialog(OPENFILENAMEA& ofn);
    // The hook for this kind of dialog (each kind has its own).
    virtual bool CallHook(bool& result);
    // Adds a template (hInstance and lpTemplateName with OFN_ENABLETEMPLATE, or a template in
    // memory with OFN_ENABLETEMPLATEHANDLE) and anything else; a template brings the hook.
    virtual void PrepareTemplate(OPENFILENAMEA& ofn) {}
    // Whether the dialog needs our hook procedure (any event or a template).
    virtual bool WantsHook() const;
    // Messages of the dialog's child window (the template); non-zero means handled.
    virtual UINT_PTR DialogMessage(HWND child, UINT msg, WPARAM wp, LPARAM lp) { return 0; }
    virtual void DoShow();
    virtual void DoClose();
    virtual void DoSelectionChange();
    virtual void DoTypeChange();

private:
    static UINT_PTR CALLBACK HookProc(HWND child, UINT msg, WPARAM wp, LPARAM lp);
    void TakeResult(const OPENFILENAMEA& ofn, const std::vector<char>& buffer);
    HWND dialog_ = nullptr;
};

class TSaveDialog : public TOpenDialog {
public:
    explicit TSaveDialog(TComponent* owner) : TOpenDialog(owner) {}
    static std::function<bool(TSaveDialog& dialog)> ExecuteHook;

protected:
    BOOL RunDialog(OPENFILENAMEA& ofn) override;
    bool CallHook(bool& result) override;
};

// The printer dialogs. Both start from the current printer of Printer() and make the
// printer the user confirms the current one. Without any printer they raise the printer
// object's error (EPrinter, texts::NoDefaultPrinter) before anything is shown.
class TPrinterSetupDialog : public TComponent {
public:
    explicit TPrinterSetupDialog(TComponent* owner) : TComponent(owner) {}
    bool Execute();
    static std::function<bool(TPrinterSetupDialog& dialog)> ExecuteHook;
};

class TPrintDialog : public TComponent {
public:
    explicit TPrintDialog(TComponent* owner) : TComponent(owner) {}
    int Copies = 1;  // as the user left it in a confirmed dialog
    bool Execute();
    static std::function<bool(TPrintDialog& dialog)> ExecuteHook;
};

}  // namespace kaptor
