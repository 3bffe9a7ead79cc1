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

void TCapturePipeline::Run(TCaptureStart start, const TSource& source, const std::function<void()>& beforeWait) {
    Prepare();
    if (beforeWait) beforeWait();
    Wait(start);
    TCaptureOutcome outcome;
    try {
        outcome = source(*this);
    } catch (const std::exception& e) {
        // A window hidden for the capture must not stay hidden with nothing left to show it.
        if (!rules_.showsErrorsItself) {
            host_.ReshowProgram();
            throw;
        }
        ShowMessage(std::string("例外ｴﾗｰ！：［") + e.what() + "］");
        host_.ReshowProgram();
        return;
    } catch (...) {
        host_.ReshowProgram();
        throw;
    }
    Show(outcome);
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
    if (rules_.sleepsBeforePumping) {
        TCountdown countdown(host_.Tray(), Settings.ShowCountdown);
        for (int i = 0; i < Settings.Wait; ++i) {
            countdown.WaitSecond(Settings.Wait - i);
            Application->ProcessMessages();
        }
    } else {
        host_.Delay(start);
    }
    host_.SetLocked(false, rules_.locksActiveWindowCommand);
}

void TCapturePipeline::Show(const TCaptureOutcome& outcome) {
    using TKind = TCaptureOutcome::TKind;
    switch (outcome.kind) {
        case TKind::Taken:
            host_.ReshowProgram();
            host_.View().AnnouncePicture();
            // The one place every capture kind passes with a new picture.
            if (host_.AfterCapture) host_.AfterCapture(NameParts(outcome));
            return;
        case TKind::Cancelled:
            // The picture stays, without the frame of the range mode just left; a window
            // hidden for the capture comes back, a program in the tray stays there.
            host_.View().ShowCleanCopy();
            if (!host_.TrayResident()) host_.ShowProgramAgain();
            return;
        case TKind::Failed:
            // Shown again whatever the tray says: the user has a message to act on.
            ShowMessage(outcome.message);
            host_.ShowProgramAgain();
            return;
        case TKind::ChooseAgain:
            ShowMessage(outcome.message);
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

void TCaptureCommands::Delay(TCaptureStart start) {
    Application->ProcessMessages();
    if (start == TCaptureStart::AtStartUp) {
        Sleep(1000);
        return;
    }
    TCountdown countdown(tray_, Settings.ShowCountdown);
    for (int i = 0; i < Settings.Wait; ++i) {
        Application->ProcessMessages();
        countdown.WaitSecond(Settings.Wait - i);
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
