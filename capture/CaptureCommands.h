// The capture commands of the program's main window: the parts of the window they use and
// what they keep from one run to the next (the last region).
#pragma once

#include <windows.h>

#include <optional>

namespace kaptor {

class TCanvas;
class TComponent;
class TForm;
class TPictureView;
class TToolButton;
class TTrayIcon;

// The window that shows the capture commands: told when a capture step locks or frees them.
class TCaptureLockListener {
public:
    // The whole-screen and chosen-window commands, and the active-window one when
    // activeWindowToo.
    virtual void CaptureCommandsLocked(bool locked, bool activeWindowToo) = 0;

protected:
    ~TCaptureLockListener() = default;
};

class TCaptureCommands {
public:
    // The buttons of the three capture commands: disabled while a capture waits (the window
    // sets their states when told through TCaptureLockListener).
    struct TButtons {
        TToolButton& wholeScreen;
        TToolButton& chosenWindow;
        TToolButton& activeWindow;
    };
    TCaptureCommands(TForm& window, TTrayIcon& tray, TPictureView& view, TButtons buttons,
                     TCaptureLockListener& lockListener)
        : window_(window), tray_(tray), view_(view), buttons_(buttons), lockListener_(lockListener) {}
    TCaptureCommands(const TCaptureCommands&) = delete;
    TCaptureCommands& operator=(const TCaptureCommands&) = delete;

    // Each command does nothing while its button is disabled (a capture waits).
    void CaptureWholeScreen(TComponent* sender);
    // The chosen-window capture: the list of windows to choose from (ApDlg).
    void ListWindows();
    void CaptureActiveWindow(TComponent* sender);
    // Marks a region on the frozen screen and takes it; Esc leaves the picture there is.
    void CaptureRegion(TComponent* sender);
    // The last accepted region again, without asking (the first time it asks).
    void CaptureLastRegion(TComponent* sender);

    // The delay the options ask for; the start-up capture (sent by the window itself) always
    // waits one second.
    void Delay(TComponent* sender);
    // The program shown after a capture, unless it lives in the tray and the options keep it
    // there.
    void ReshowProgram();
    // Both windows of the program shown again, without consulting the tray.
    void ShowProgramAgain();
    bool TrayResident() const;
    // Tells the window the capture commands are usable or not; the active-window one only when
    // activeWindowToo.
    void SetCommandsEnabled(bool enabled, bool activeWindowToo);

    TForm& Window() { return window_; }
    TTrayIcon& Tray() { return tray_; }
    TPictureView& View() { return view_; }

private:
    TForm& window_;
    TTrayIcon& tray_;
    TPictureView& view_;
    TButtons buttons_;
    TCaptureLockListener& lockListener_;
    std::optional<RECT> lastRegion_;  // screen pixels, right and bottom exclusive
};

// The main window's capture commands while it exists: the window-list dialog's OK reaches
// them here.
extern TCaptureCommands* MainCaptures;

// Draws the pointer's cursor onto canvas: at its screen position, or relative to area (and
// only inside it, bounds included) when one is given.
void DrawPointerCursor(TCanvas& canvas, const RECT* area = nullptr);

}  // namespace kaptor
