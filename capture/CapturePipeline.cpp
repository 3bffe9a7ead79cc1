// The capture sequence the three capture commands share, and the steps of it that keep the
// names the menus and the tests know (CaptureDelay, OverlayCursor, ReshowMainWindow).
#include "capture/CapturePipeline.h"

#include <string>

#include "app/F_Kaptor.h"
#include "app/Settings.h"
#include "capture/Countdown.h"
#include "components/TrayIcon.h"
#include "framework/win/Bitmap.h"
#include "framework/win/Dialogs.h"

namespace kaptor {

namespace {

void SetCaptureCommands(TKaptor32& main, const TCaptureRules& rules, bool enabled) {
    main.SB_Capture->SetEnabled(enabled);
    main.SB_Capture2->SetEnabled(enabled);
    if (rules.locksActiveWindowCommand) main.SB_Capture3->SetEnabled(enabled);
}

}  // namespace

void TCapturePipeline::Prepare() {
    SetCaptureCommands(main_, rules_, false);
    main_.PictureView().LeaveRangeMode();
    main_.PictureView().ZoomToFullSize();
    if (Settings.HideForm) {
        ShowWindow(Application->Handle(), SW_HIDE);
        main_.Hide();
    }
}

void TCapturePipeline::Wait(TComponent* sender) {
    if (rules_.sleepsBeforePumping) {
        TCountdown countdown(*main_.TrayIcon1, Settings.ShowCountdown);
        for (int i = 0; i < Settings.Wait; ++i) {
            countdown.WaitSecond(Settings.Wait - i);
            Application->ProcessMessages();
        }
    } else {
        main_.CaptureDelay(sender);
    }
    SetCaptureCommands(main_, rules_, true);
}

void TCapturePipeline::Take(const std::function<bool(TCapturePipeline&)>& take) {
    try {
        if (!take(*this)) return;
    } catch (const std::exception& e) {
        // A window hidden for the capture must not stay hidden with nothing left to show it.
        if (!rules_.showsErrorsItself) {
            main_.ReshowMainWindow();
            throw;
        }
        ShowMessage(std::string("例外ｴﾗｰ！：［") + e.what() + "］");
        main_.ReshowMainWindow();
        return;
    } catch (...) {
        main_.ReshowMainWindow();
        throw;
    }
    main_.ReshowMainWindow();
    main_.PictureView().AnnouncePicture();
}

void TCapturePipeline::CopyPicture(HDC source, POINT origin, SIZE size, const RECT* cursorArea, bool drawCursor) {
    std::function<void(TCanvas&)> drawOver;
    if (Settings.ShowCursor && drawCursor)
        drawOver = [cursorArea](TCanvas& canvas) { DrawPointerCursor(canvas, cursorArea); };
    if (!main_.PictureView().CopyFrom(source, origin, size, drawOver)) throw Exception(texts::CopyFailed);
}

void TCapturePipeline::FailureEnding(const char* message) {
    ShowMessage(message);
    ShowProgramAgain(main_);
}

void ShowProgramAgain(TKaptor32& main) {
    ShowWindow(Application->Handle(), SW_SHOW);
    main.Show();
}

// ---------------------------------------------------------------- the shared steps by name

void TKaptor32::CaptureDelay(TComponent* sender) {
    Application->ProcessMessages();
    // The start-up capture always waits one second: the window was never shown.
    if (sender == this) {
        Sleep(1000);
        return;
    }
    TCountdown countdown(*TrayIcon1, Settings.ShowCountdown);
    for (int i = 0; i < Settings.Wait; ++i) {
        Application->ProcessMessages();
        countdown.WaitSecond(Settings.Wait - i);
    }
}

void TKaptor32::OverlayCursor(const RECT* area) { DrawPointerCursor(PictureView().Shown().Canvas(), area); }

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

bool TKaptor32::TrayResident() const { return TrayIcon1->Visible(); }

void TKaptor32::ReshowMainWindow() {
    if (TrayResident() && !Settings.ShowAfterCapturing) return;  // taken quietly in the tray
    TrayIcon1->SetVisible(false);
    ShowWindow(Application->Handle(), SW_SHOW);
    Show();
    SetForegroundWindow(Application->Handle());
}

}  // namespace kaptor
