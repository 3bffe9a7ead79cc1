// Whole-screen capture and the steps every capture command shares: the delay, the cursor
// overlay and showing the main window again.
#include "app/F_Kaptor.h"
#include "app/Settings.h"
#include "capture/Countdown.h"
#include "components/TrayIcon.h"
#include "framework/win/Bitmap.h"

namespace kaptor {

void TKaptor32::ClearRangeState() {
    SB_NoRange->SetDown(true);
    M_Range->SetEnabled(true);
    M_NoRange->SetEnabled(false);
    RangeDragging = false;
    RangeFixed = false;
    SpinEdit1->SetEnabled(true);
    SB_Resize->SetEnabled(true);
    M_Resize->SetEnabled(true);
    Image1->SetCursor(crDefault);
}

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

void TKaptor32::SB_CaptureClick(TComponent* sender) { CaptureScreenArea(sender, nullptr); }

void TKaptor32::HideForCapture() {
    if (!Settings.HideForm) return;
    ShowWindow(Application->Handle(), SW_HIDE);
    Hide();
}

void TKaptor32::CaptureScreenArea(TComponent* sender, const RECT* area) {
    // A capture already waiting has the button disabled: a second request does nothing.
    if (!SB_Capture->Enabled()) return;
    SB_Capture->SetEnabled(false);
    SB_Capture2->SetEnabled(false);
    ClearRangeState();
    SpinEdit1->SetValue(100);
    HideForCapture();
    CaptureDelay(sender);
    SB_Capture->SetEnabled(true);
    SB_Capture2->SetEnabled(true);

    try {
        WindowDC screen(nullptr);
        const RECT whole{0, 0, Screen->Width(), Screen->Height()};
        PutScreenPixels(screen.get(), area ? *area : whole);
        // The whole screen's cursor is drawn wherever it is; an area's only when inside it.
        if (Settings.ShowCursor) OverlayCursor(area);
        Image2->Picture().Assign(Image1->Picture());
    } catch (...) {
        // Too little memory for the picture, say: the error is reported by the caller, but a
        // window hidden for the capture must not stay hidden with nothing left to show it.
        ReshowMainWindow();
        throw;
    }
    ReshowMainWindow();
    EnableImageCommands();
    ShowPictureSize();
}

void TKaptor32::PutScreenPixels(HDC source, const RECT& area) {
    Image1->Picture().SetGraphic(nullptr);
    Image1->Repaint();
    const int w = area.right - area.left, h = area.bottom - area.top;
    Image1->SetBounds(Image1->Left(), Image1->Top(), w, h);
    NaturalWidth = w;
    NaturalHeight = h;
    TCanvas& canvas = Image1->Canvas();  // a new bitmap of the area's size
    BitBlt(canvas.Handle(), 0, 0, Image1->Width(), Image1->Height(), source, area.left, area.top, SRCCOPY);
    Image1->Picture().Bitmap().Modified();
}

void TKaptor32::OverlayCursor(const RECT* area) { DrawPointerCursor(Image1->Canvas(), area); }

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
