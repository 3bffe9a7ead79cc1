// The window-list dialog: the visible top-level windows by title, one of which the
// chosen-window capture takes. Also the helpers the window captures share with their tests.
#pragma once

#include <windows.h>

#include "framework/base/Classes.h"
#include "framework/win/Forms.h"
#include "framework/win/StdCtrls.h"

namespace kaptor {

class TCaptureCommands;

class TWindowListDialog : public TForm {
public:
    explicit TWindowListDialog(TComponent* owner);

    TLabel* Heading;
    TListBox* List;
    TButton* CaptureButton;
    TButton* DismissButton;
    TButton* HelpButton;
    // One decimal window handle per line of List, line for line.
    TStringList Handles;

    // Lists the windows anew and shows the list; choosing one captures it with commands.
    void Offer(TCaptureCommands& commands);
    // The commands a choice captures with (Offer sets them).
    void CaptureWith(TCaptureCommands& commands) { commands_ = &commands; }
    // Captures the window of the selected line (the capture button, Enter, a double click).
    void CaptureChosen();
    void Dismiss();
    void ShowHelp();
    // The window of the selected line; null when none (the lists out of step).
    HWND ChosenWindow() const;

private:
    TCaptureCommands* commands_ = nullptr;  // not owned: the main window's
};

extern TWindowListDialog* WindowList;

// The first window the list would show with exactly this title; null when none.
HWND FindListedWindow(const std::string& title);

// The EnumWindows callback that fills the list of the TWindowListDialog* in lParam: visible,
// titled windows other than our own and the desktop shell. Always goes on.
BOOL CALLBACK AddWindowToList(HWND wnd, LPARAM dialog);

// The direct child of parent whose window rectangle holds the pointer (bounds included),
// topmost first; null when none does. rectFailed tells a child whose rectangle could not be
// read, which ends the search.
HWND ControlUnderPointer(HWND parent, bool& rectFailed);

// The rectangle, in screen coordinates, that a capture's cursor is placed against: client
// captures give their rectangle in client coordinates, so it is moved to the client area's
// place on the screen.
RECT CursorArea(HWND target, const RECT& captured, bool clientCoordinates);

}  // namespace kaptor
