// The capture commands of the program's main window: the parts of the window they use, the
// lock that keeps a second capture from starting while one waits, and what they keep from one
// run to the next (the last region).
#pragma once

#include <windows.h>

#include <functional>
#include <optional>

#include "exchange/FileNamePattern.h"

namespace kaptor {

class TCanvas;
class TForm;
class TPictureView;
class TTrayIcon;

// Who started a capture: the start-up capture always waits one second (the window was never
// shown), a user's waits the delay the options ask for.
enum class TCaptureStart { ByUser, AtStartUp };

// The window that shows the capture commands: told when the capture lock changes.
class TCaptureLockListener {
public:
    virtual void CaptureLockChanged() = 0;

protected:
    ~TCaptureLockListener() = default;
};

class TCaptureCommands {
public:
    TCaptureCommands(TForm& window, TTrayIcon& tray, TPictureView& view, TCaptureLockListener& lockListener)
        : window_(window), tray_(tray), view_(view), lockListener_(lockListener) {}
    TCaptureCommands(const TCaptureCommands&) = delete;
    TCaptureCommands& operator=(const TCaptureCommands&) = delete;

    // Callers check the lock first (the window's command table does): a capture that waits
    // keeps the others from starting.
    void CaptureWholeScreen(TCaptureStart start = TCaptureStart::ByUser);
    // The chosen-window capture: the list of windows to choose from; choosing one captures it.
    void ListWindows();
    void CaptureChosenWindow(HWND target);
    void CaptureActiveWindow();
    // Marks a region on the frozen screen and takes it; Esc leaves the picture there is.
    void CaptureRegion();
    // The last accepted region again, without asking (the first time it asks).
    void CaptureLastRegion();

    // The delay before a capture.
    void Delay(TCaptureStart start);
    // The program shown after a capture, unless it lives in the tray and the options keep it
    // there.
    void ReshowProgram();
    // Both windows of the program shown again, without consulting the tray.
    void ShowProgramAgain();
    bool TrayResident() const;

    // The lock as the latest capture step set it: the whole-screen, chosen-window and region
    // commands, and apart from them the active-window one (a whole-screen wait leaves it free,
    // so an active-window capture can run nested in that wait; when it ends all are free).
    bool Locked() const { return locked_; }
    bool ActiveWindowLocked() const { return activeWindowLocked_; }
    void SetLocked(bool locked, bool activeWindowToo);

    // Runs after every capture that gave a new picture, once it is shown.
    std::function<void(const TCaptureNameParts&)> AfterCapture;

    TForm& Window() { return window_; }
    TTrayIcon& Tray() { return tray_; }
    TPictureView& View() { return view_; }

private:
    TForm& window_;
    TTrayIcon& tray_;
    TPictureView& view_;
    TCaptureLockListener& lockListener_;
    bool locked_ = false;
    bool activeWindowLocked_ = false;
    std::optional<RECT> lastRegion_;  // screen pixels, right and bottom exclusive
};

// Every capture command locked for a scope (as while a capture waits), free again after.
class TCaptureLock {
public:
    explicit TCaptureLock(TCaptureCommands& commands) : commands_(commands) { commands_.SetLocked(true, true); }
    ~TCaptureLock() { commands_.SetLocked(false, true); }
    TCaptureLock(const TCaptureLock&) = delete;
    TCaptureLock& operator=(const TCaptureLock&) = delete;

private:
    TCaptureCommands& commands_;
};

// Draws the pointer's cursor onto canvas: at its screen position, or relative to area (and
// only inside it, bounds included) when one is given.
void DrawPointerCursor(TCanvas& canvas, const RECT* area = nullptr);

}  // namespace kaptor
