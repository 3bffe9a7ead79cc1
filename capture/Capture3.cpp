// Active-window capture: the foreground window when the delay ends, its client area, or the
// control under the pointer.
#include <optional>

#include "app/F_Kaptor.h"
#include "app/Settings.h"
#include "capture/FD_Kaptor.h"
#include "framework/win/Bitmap.h"
#include "framework/win/Handles.h"

namespace kaptor {

HWND ControlUnderPointer(HWND parent, bool& rectFailed) {
    rectFailed = false;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT r;
        if (!GetWindowRect(child, &r)) {
            rectFailed = true;
            return nullptr;
        }
        POINT p{0, 0};
        GetCursorPos(&p);  // read anew: the pointer may move during the search
        if (r.left <= p.x && p.x <= r.right && r.top <= p.y && p.y <= r.bottom) return child;
    }
    return nullptr;
}

void TKaptor32::SB_Capture3Click(TComponent* sender) {
    if (!SB_Capture3->Enabled()) return;
    for (TToolButton* b : {SB_Capture, SB_Capture2, SB_Capture3}) b->SetEnabled(false);
    ClearRangeState();
    SpinEdit1->SetValue(100);
    if (Settings.HideForm) {
        ShowWindow(Application->Handle(), SW_HIDE);
        Hide();
    }
    CaptureDelay(sender);
    for (TToolButton* b : {SB_Capture, SB_Capture2, SB_Capture3}) b->SetEnabled(true);

    std::optional<WindowDC> dc;
    // The foreground window is read only now: what the user activated during the delay.
    auto fail = [&](const char* message) {
        ShowMessage(message);
        dc.reset();
        ShowWindow(Application->Handle(), SW_SHOW);
        Show();
    };
    try {
        const bool client = Settings.CaptureClient;
        const bool control = !client && Settings.CaptureControl;
        HWND target = GetForegroundWindow();
        RECT r{};
        if (control) {
            bool rectFailed = false;
            target = ControlUnderPointer(target, rectFailed);
            if (!target) return fail("ｺﾝﾄﾛｰﾙの位置取得に失敗");
            dc.emplace(target, false);  // the control's client area
            if (!GetWindowRect(target, &r)) return fail("ｺﾝﾄﾛｰﾙの位置取得に失敗");
        } else {
            dc.emplace(target, !client);
            if (!(client ? GetClientRect(target, &r) : GetWindowRect(target, &r)))
                return fail("ｳｨﾝﾄﾞｳの位置取得に失敗");
        }

        Image1->Picture().SetGraphic(nullptr);
        Image1->Repaint();
        // A maximised window reaches past the screen by its borders: only right and bottom count.
        const bool zoomed = IsZoomed(target);
        const int w = zoomed ? r.right : r.right - r.left;
        const int h = zoomed ? r.bottom : r.bottom - r.top;
        Image1->SetBounds(Image1->Left(), Image1->Top(), w, h);
        NaturalWidth = Image1->Width();
        NaturalHeight = Image1->Height();
        TCanvas& canvas = Image1->Canvas();
        BitBlt(canvas.Handle(), 0, 0, Image1->Width(), Image1->Height(), dc->get(), 0, 0, SRCCOPY);
        Image1->Picture().Bitmap().Modified();
        dc.reset();

        if (Settings.ShowCursor) {
            const RECT area = CursorArea(target, r, client);
            OverlayCursor(&area);
        }
        Image2->Picture().Assign(Image1->Picture());
        ReshowMainWindow();
        EnableImageCommands();
        ShowPictureSize();
    } catch (const std::exception& e) {
        ShowMessage(std::string("例外ｴﾗｰ！：［") + e.what() + "］");
        dc.reset();
        ReshowMainWindow();
    }
}

void TKaptor32::WireWindowCaptureCommands() {
    auto capture2 = [this](TComponent* s) { SB_Capture2Click(s); };
    auto capture3 = [this](TComponent* s) { SB_Capture3Click(s); };
    SB_Capture2->OnClick = capture2;
    M_Capture2->OnClick = capture2;
    PM_Capture2->OnClick = capture2;
    SB_Capture3->OnClick = capture3;
    M_Capture3->OnClick = capture3;
    PM_Capture3->OnClick = capture3;
}

}  // namespace kaptor
