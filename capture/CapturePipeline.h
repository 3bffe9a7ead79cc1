// The one sequence every capture command runs: lock the capture commands, leave range mode,
// zoom 100, hide, wait, take the picture from the command's source, and show the user what
// came of it. A source says only where its pixels come from and gives back an outcome; the
// pipeline alone decides what the user sees for each outcome.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "capture/CaptureCommands.h"

namespace kaptor {

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
// The other captures may not start while the region is being marked beneath the selector.
inline constexpr TCaptureRules RegionRules{true, false, false};

// What a source gives back.
struct TCaptureOutcome {
    enum class TKind {
        Taken,        // the new picture is in the view
        Cancelled,    // the user stepped back: the old picture stays, without a range frame
        Failed,       // nothing to copy: message, and the program is shown again
        ChooseAgain,  // message, then the user chooses anew (chooseAgain: true when they did)
    };
    TKind kind = TKind::Taken;
    const char* message = nullptr;
    std::function<bool()> chooseAgain{};
    // Taken: what the after-capture save names the file with.
    const char* captureKind = "Screen";
    std::string title{};  // the captured window's
    bool noWindow = false;  // Failed: there was no window to capture

    static TCaptureOutcome Taken(const char* captureKind = "Screen", HWND window = nullptr);
    static TCaptureOutcome NoWindow();
    static TCaptureOutcome Cancelled() { return {.kind = TKind::Cancelled}; }
    static TCaptureOutcome Failed(const char* message) { return {.kind = TKind::Failed, .message = message}; }
    static TCaptureOutcome ChooseAgain(const char* message, std::function<bool()> chooseAgain) {
        return {.kind = TKind::ChooseAgain, .message = message, .chooseAgain = std::move(chooseAgain)};
    }
};

class TCapturePipeline {
public:
    using TSource = std::function<TCaptureOutcome(TCapturePipeline&)>;

    TCapturePipeline(TCaptureCommands& host, const TCaptureRules& rules, TCaptureRequest* request = nullptr)
        : host_(host), rules_(rules), request_(request) {}

    // The whole sequence; beforeWait runs once the program is prepared, before the delay (the
    // window list closes there). Errors: the program is shown again (whatever the source held
    // is released first), then the error is reported as the rules say.
    void Run(TCaptureStart start, const TSource& source, const std::function<void()>& beforeWait = {});

    // The new picture: `size` pixels from `origin` of `source`, the cursor drawn in when the
    // options say so and drawCursor (against `cursorArea` in screen coordinates, or anywhere
    // on the screen when null), and its clean copy. drawCursor false: the source has the
    // cursor in already (a screen frozen with it). A failed copy keeps the previous picture
    // and throws.
    void CopyPicture(HDC source, POINT origin, SIZE size, const RECT* cursorArea, bool drawCursor = true);
    void CopyPicture(HDC source, SIZE size, const RECT* cursorArea) { CopyPicture(source, POINT{0, 0}, size, cursorArea); }

private:
    void Prepare();
    void Wait(TCaptureStart start);
    void Show(const TCaptureOutcome& outcome);
    void RunSource(const TSource& source);
    // A message for the user: shown, or kept for a quiet request.
    void Tell(const char* message);
    bool Quiet() const { return request_ && request_->quiet; }
    void Ended(TCaptureRequest::TEnd end) {
        if (request_) request_->end = end;
    }

    TCaptureCommands& host_;
    TCaptureRules rules_;
    TCaptureRequest* request_;
};

}  // namespace kaptor
