// The capture commands of the program's main window: the parts of the window they use, the
// lock that keeps a second capture from starting while one waits, and what they keep from one
// run to the next (the last region).
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "exchange/FileNamePattern.h"

namespace kaptor {

class TCanvas;
class TForm;
class TPictureView;
class TTrayIcon;

// Who started a capture: the start-up capture always waits one second (the window was never
// shown), a user's waits the delay the options ask for.
enum class TCaptureStart { ByUser, AtStartUp };

// A capture asked for from outside the window (the command line): its own delay, out of
// sight when quiet, and how it ended told back in place of the options' after-capture
// actions.
struct TCaptureRequest {
    std::optional<int> delay;  // seconds; none: the options' delay
    // No message box, the program not shown: the message is kept here instead.
    bool quiet = false;

    // Filled in as the capture ends.
    enum class TEnd { Running, Taken, Cancelled, Failed, NoWindow };
    TEnd end = TEnd::Running;
    std::string message;      // quiet: what a message box would have said
    TCaptureNameParts parts;  // Taken: what names the file
};

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
    // A request (null for the user's commands) is told how the capture ended.
    void CaptureWholeScreen(TCaptureStart start = TCaptureStart::ByUser, TCaptureRequest* request = nullptr);
    // The chosen-window capture: the list of windows to choose from; choosing one captures it.
    void ListWindows();
    void CaptureChosenWindow(HWND target);
    // The window the list would show first under that title, found when the delay ends, and
    // captured as a chosen one.
    void CaptureWindowTitled(const std::string& title, TCaptureRequest* request);
    void CaptureActiveWindow(TCaptureRequest* request = nullptr);
    // Marks a region on the frozen screen and takes it; Esc leaves the picture there is.
    void CaptureRegion(TCaptureRequest* request = nullptr);
    // The last accepted region again, without asking (the first time it asks).
    void CaptureLastRegion(TCaptureRequest* request = nullptr);

    // The delay before a capture: seconds, or the options' delay.
    void Delay(TCaptureStart start, std::optional<int> seconds = {});
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
    // A capture is under way, locked or not (its source may let messages run): a request
    // from outside waits for none to be.
    bool Busy() const { return locked_ || activeWindowLocked_ || running_ > 0; }
    // The pipeline counts the captures under way (the lock listener hears when none is).
    void CaptureStarted() { ++running_; }
    void CaptureEnded();

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
    int running_ = 0;
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
