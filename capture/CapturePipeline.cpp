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

TCaptureCommands* MainCaptures = nullptr;

void TCapturePipeline::Prepare() {
    host_.SetCommandsEnabled(false, rules_.locksActiveWindowCommand);
    host_.View().LeaveRangeMode();
    host_.View().ZoomToFullSize();
    if (Settings.HideForm) {
        ShowWindow(Application->Handle(), SW_HIDE);
        host_.Window().Hide();
    }
}

void TCapturePipeline::Wait(TComponent* sender) {
    if (rules_.sleepsBeforePumping) {
        TCountdown countdown(host_.Tray(), Settings.ShowCountdown);
        for (int i = 0; i < Settings.Wait; ++i) {
            countdown.WaitSecond(Settings.Wait - i);
            Application->ProcessMessages();
        }
    } else {
        host_.Delay(sender);
    }
    host_.SetCommandsEnabled(true, rules_.locksActiveWindowCommand);
}

void TCapturePipeline::Take(const std::function<bool(TCapturePipeline&)>& take) {
    try {
        if (!take(*this)) return;
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
    host_.ReshowProgram();
    host_.View().AnnouncePicture();
}

void TCapturePipeline::CopyPicture(HDC source, POINT origin, SIZE size, const RECT* cursorArea, bool drawCursor) {
    std::function<void(TCanvas&)> drawOver;
    if (Settings.ShowCursor && drawCursor)
        drawOver = [cursorArea](TCanvas& canvas) { DrawPointerCursor(canvas, cursorArea); };
    if (!host_.View().CopyFrom(source, origin, size, drawOver)) throw Exception(texts::CopyFailed);
}

void TCapturePipeline::FailureEnding(const char* message) {
    ShowMessage(message);
    host_.ShowProgramAgain();
}

// ---------------------------------------------------------------- the shared steps

void TCaptureCommands::ShowProgramAgain() {
    ShowWindow(Application->Handle(), SW_SHOW);
    window_.Show();
}

void TCaptureCommands::SetCommandsEnabled(bool enabled, bool activeWindowToo) {
    lockListener_.CaptureCommandsLocked(!enabled, activeWindowToo);
}

void TCaptureCommands::Delay(TComponent* sender) {
    Application->ProcessMessages();
    // The start-up capture always waits one second: the window was never shown.
    if (sender == &window_) {
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
