// The capture sequence the capture commands share, and its steps that the commands also use
// on their own (the delay, showing the program again, the cursor overlay).
#include "capture/CapturePipeline.h"

#include <string>

#include "settings/Settings.h"
#include "capture/CaptureCommands.h"
#include "capture/Countdown.h"
#include "components/TrayIcon.h"
#include "framework/win/Bitmap.h"
#include "framework/win/ComCtrls.h"
#include "framework/win/Forms.h"
#include "view/PictureView.h"

namespace kaptor {

namespace {

TCaptureNameParts NameParts(const TCaptureOutcome& outcome) {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, outcome.captureKind, outcome.title};
}

}  // namespace

TCaptureOutcome TCaptureOutcome::Taken(const char* captureKind, HWND window) {
    TCaptureOutcome taken;
    taken.captureKind = captureKind;
    // The top-level window's title, also for a control taken inside it.
    if (HWND top = window ? GetAncestor(window, GA_ROOT) : nullptr) {
        char text[256] = {};
        GetWindowTextA(top, text, sizeof text);
        taken.title = text;
    }
    return taken;
}

TCaptureOutcome TCaptureOutcome::NoWindow() {
    TCaptureOutcome none = Failed("ｳｨﾝﾄﾞｳが見つかりません");
    none.noWindow = true;
    return none;
}

void TCapturePipeline::Run(TCaptureStart start, const TSource& source, const std::function<void()>& beforeWait) {
    struct Counted {
        TCaptureCommands& host;
        explicit Counted(TCaptureCommands& h) : host(h) { host.CaptureStarted(); }
        ~Counted() { host.CaptureEnded(); }
    } counted(host_);
    Prepare();
    if (beforeWait) beforeWait();
    Wait(start);
    RunSource(source);
}

void TCapturePipeline::RunSource(const TSource& source) {
    TCaptureOutcome outcome;
    try {
        outcome = source(*this);
    } catch (const std::exception& e) {
        Ended(TCaptureRequest::TEnd::Failed);
        // A window hidden for the capture must not stay hidden with nothing left to show it;
        // a quiet request puts the program back as it was itself.
        if (!rules_.showsErrorsItself) {
            if (!Quiet()) host_.ReshowProgram();
            throw;
        }
        const std::string text = std::string("例外ｴﾗｰ！：［") + e.what() + "］";
        Tell(text.c_str());
        if (!Quiet()) host_.ReshowProgram();
        return;
    } catch (...) {
        Ended(TCaptureRequest::TEnd::Failed);
        if (!Quiet()) host_.ReshowProgram();
        throw;
    }
    Show(outcome);
}

void TCapturePipeline::Tell(const char* message) {
    if (Quiet())
        request_->message = message;
    else
        ShowMessage(message);
}

void TCapturePipeline::Prepare() {
    host_.SetLocked(true, rules_.locksActiveWindowCommand);
    host_.View().LeaveRangeMode();
    host_.View().ZoomToFullSize();
    if (Settings.HideForm) {
        ShowWindow(Application->Handle(), SW_HIDE);
        host_.Window().Hide();
    }
}

void TCapturePipeline::Wait(TCaptureStart start) {
    const std::optional<int> seconds = request_ ? request_->delay : std::nullopt;
    if (rules_.sleepsBeforePumping) {
        const int wait = seconds.value_or(Settings.Wait);
        TCountdown countdown(host_.Tray(), Settings.ShowCountdown);
        for (int i = 0; i < wait; ++i) {
            countdown.WaitSecond(wait - i);
            Application->ProcessMessages();
        }
    } else {
        host_.Delay(start, seconds);
    }
    host_.SetLocked(false, rules_.locksActiveWindowCommand);
}

void TCapturePipeline::Show(const TCaptureOutcome& outcome) {
    using TKind = TCaptureOutcome::TKind;
    switch (outcome.kind) {
        case TKind::Taken:
            if (!Quiet()) host_.ReshowProgram();
            host_.View().AnnouncePicture();
            // The one place every capture kind passes with a new picture; a request does
            // with it what it asked for instead of what the options say.
            if (request_) {
                request_->end = TCaptureRequest::TEnd::Taken;
                request_->parts = NameParts(outcome);
            } else if (host_.AfterCapture) {
                host_.AfterCapture(NameParts(outcome));
            }
            return;
        case TKind::Cancelled:
            Ended(TCaptureRequest::TEnd::Cancelled);
            // The picture stays, without the frame of the range mode just left; a window
            // hidden for the capture comes back, a program in the tray stays there.
            host_.View().ShowCleanCopy();
            if (!host_.TrayResident() && !Quiet()) host_.ShowProgramAgain();
            return;
        case TKind::Failed:
            Ended(outcome.noWindow ? TCaptureRequest::TEnd::NoWindow : TCaptureRequest::TEnd::Failed);
            // Shown again whatever the tray says: the user has a message to act on.
            Tell(outcome.message);
            if (!Quiet()) host_.ShowProgramAgain();
            return;
        case TKind::ChooseAgain:
            Ended(TCaptureRequest::TEnd::Failed);
            Tell(outcome.message);
            if (Quiet()) return;  // nobody to choose
            // No new choice: a program that HideForm hid would stay out of reach (in the tray
            // it can still be reached by its icon).
            if (!outcome.chooseAgain() && Settings.HideForm && !host_.TrayResident()) host_.ShowProgramAgain();
            return;
    }
}

void TCapturePipeline::CopyPicture(HDC source, POINT origin, SIZE size, const RECT* cursorArea, bool drawCursor) {
    std::function<void(TCanvas&)> drawOver;
    if (Settings.ShowCursor && drawCursor)
        drawOver = [cursorArea](TCanvas& canvas) { DrawPointerCursor(canvas, cursorArea); };
    if (!host_.View().CopyFrom(source, origin, size, drawOver)) throw Exception(texts::CopyFailed);
}

// ---------------------------------------------------------------- the shared steps

void TCaptureCommands::ShowProgramAgain() {
    ShowWindow(Application->Handle(), SW_SHOW);
    window_.Show();
}

void TCaptureCommands::SetLocked(bool locked, bool activeWindowToo) {
    locked_ = locked;
    if (activeWindowToo) activeWindowLocked_ = locked;
    lockListener_.CaptureLockChanged();
}

void TCaptureCommands::CaptureEnded() {
    --running_;
    lockListener_.CaptureLockChanged();
}

void TCaptureCommands::Delay(TCaptureStart start, std::optional<int> seconds) {
    Application->ProcessMessages();
    if (start == TCaptureStart::AtStartUp) {
        Sleep(1000);
        return;
    }
    const int wait = seconds.value_or(Settings.Wait);
    TCountdown countdown(tray_, Settings.ShowCountdown);
    for (int i = 0; i < wait; ++i) {
        Application->ProcessMessages();
        countdown.WaitSecond(wait - i);
    }
}

void DrawPointerCursor(TCanvas& canvas, const RECT* area) {
    // The cursor the screen shows: the thread-local GetCursor knows only the cursors of our
    // own windows on some systems and gave none over another program's window there.
    CURSORINFO info{};
    info.cbSize = sizeof info;
    HCURSOR current = nullptr;
    if (GetCursorInfo(&info) && (info.flags & CURSOR_SHOWING)) current = info.hCursor;
    if (!current) current = GetCursor();
    HICON copy = CopyIcon(current);
    if (!copy) return;
    TIcon cursor;
    cursor.SetHandle(copy);  // freed with the icon, also when drawing fails
    POINT p;
    if (!GetCursorPos(&p)) return;
    // The image's top-left corner goes where the pointer is: the hot spot is not subtracted.
    if (area) {
        if (p.x < area->left || p.x > area->right || p.y < area->top || p.y > area->bottom) return;
        p.x -= area->left;
        p.y -= area->top;
    }
    canvas.Draw(p.x, p.y, cursor);
}

bool TCaptureCommands::TrayResident() const { return tray_.Visible(); }

void TCaptureCommands::ReshowProgram() {
    if (TrayResident() && !Settings.ShowAfterCapturing) return;  // taken quietly in the tray
    tray_.SetVisible(false);
    ShowWindow(Application->Handle(), SW_SHOW);
    window_.Show();
    SetForegroundWindow(Application->Handle());
}

}  // namespace kaptor
