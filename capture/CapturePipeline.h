// The one sequence every capture command runs: lock the capture commands, leave range mode,
// zoom 100, hide, wait, copy from a device context into the view, cursor, clean copy, show
// the program again, enable the picture commands. A command adds only where its picture
// comes from and the few ways it must differ (TCaptureRules).
#pragma once

#include <windows.h>

#include <functional>

namespace kaptor {

class TCaptureCommands;
class TComponent;

namespace texts {
// The copy from the screen or a window failed: the previous picture stays.
inline constexpr const char* CopyFailed = "画面をｺﾋﾟｰできません";
}

// Where the capture commands differ, each difference named for what it changes.
struct TCaptureRules {
    // The active-window command stays usable while the whole-screen capture waits, so it can
    // run nested inside that wait.
    bool locksActiveWindowCommand;
    // The chosen-window capture sleeps before it lets messages run and has no start-up case;
    // the others let messages run first and wait one second for the start-up capture.
    bool sleepsBeforePumping;
    // The active-window capture shows an error itself, as "例外ｴﾗｰ！：［...］", and goes no
    // further; the others pass it on to the program's error display.
    bool showsErrorsItself;
};

inline constexpr TCaptureRules WholeScreenRules{false, false, false};
inline constexpr TCaptureRules ChosenWindowRules{true, true, false};
inline constexpr TCaptureRules ActiveWindowRules{true, false, true};

class TCapturePipeline {
public:
    TCapturePipeline(TCaptureCommands& host, const TCaptureRules& rules) : host_(host), rules_(rules) {}

    // Locks the capture commands, leaves range mode (keeping the picture it is about to
    // replace), sets the zoom to 100 and hides the program when the options say so.
    void Prepare();
    // The delay the options ask for; the capture commands are usable again afterwards.
    void Wait(TComponent* sender);

    // Runs `take`, which finds the capture's source and calls CopyPicture, or ends the command
    // itself (FailureEnding) and returns false. A picture taken is followed by showing the
    // program again, the picture commands and the size in the status bar. On an error the
    // program is shown again (whatever `take` held is released first), then the error is
    // reported as the rules say.
    void Take(const std::function<bool(TCapturePipeline&)>& take);

    // The new picture: `size` pixels from `source`'s origin, the cursor drawn in when the
    // options say so (against `cursorArea` in screen coordinates, or anywhere on the screen
    // when null), and its clean copy. A failed copy keeps the previous picture and throws.
    void CopyPicture(HDC source, SIZE size, const RECT* cursorArea) {
        CopyPicture(source, POINT{0, 0}, size, cursorArea, true);
    }
    // The same from `origin` of `source`; drawCursor false: the source has the cursor in
    // already (a screen frozen with it), so none is drawn now.
    void CopyPicture(HDC source, POINT origin, SIZE size, const RECT* cursorArea, bool drawCursor);

    // A command that stops with `message`: the application window and the main window are
    // shown again, whatever the tray says.
    void FailureEnding(const char* message);

private:
    TCaptureCommands& host_;
    TCaptureRules rules_;
};

}  // namespace kaptor
