// The window-list dialog (ApDlg): the visible top-level windows by title, one of which the
// chosen-window capture takes. Also the helpers the window captures share with their tests.
#pragma once

#include <windows.h>

#include <memory>

#include "framework/base/Classes.h"
#include "framework/win/Forms.h"
#include "framework/win/StdCtrls.h"

namespace kaptor {

class TCapturePipeline;

class TApDlg : public TForm {
public:
    explicit TApDlg(TComponent* owner);

    TLabel* Label1;
    TListBox* ListBox1;
    TButton* OKBtn;
    TButton* CancelBtn;
    TButton* BitBtn1;  // help

    // Captures the window of the selected line (capture/Capture2.cpp).
    void OKBtnClick(TComponent* sender);
    void CancelBtnClick(TComponent* sender);
    void BitBtn1Click(TComponent* sender);

private:
    // The chosen window's part of the capture, after the wait: false when it ended without a
    // picture (its message shown).
    bool CaptureChosenWindow(TCapturePipeline& capture, HWND target);
};

extern TApDlg* ApDlg;

// One decimal window handle per line of ApDlg->ListBox1, line for line.
extern std::unique_ptr<TStringList> WindowHandles;

// The EnumWindows callback that fills the list: visible, titled windows other than our own
// and the desktop shell. Always goes on.
BOOL CALLBACK AddWindowToList(HWND wnd, LPARAM);

// The direct child of parent whose window rectangle holds the pointer (bounds included),
// topmost first; null when none does. rectFailed tells a child whose rectangle could not be
// read, which ends the search.
HWND ControlUnderPointer(HWND parent, bool& rectFailed);

// The rectangle, in screen coordinates, that a capture's cursor is placed against: client
// captures give their rectangle in client coordinates, so it is moved to the client area's
// place on the screen.
RECT CursorArea(HWND target, const RECT& captured, bool clientCoordinates);

}  // namespace kaptor
