// Chosen-window capture: the list of windows, and the capture of the one picked in ApDlg.
#include <optional>

#include "app/F_Kaptor.h"
#include "app/Settings.h"
#include "capture/Countdown.h"
#include "capture/FD_Kaptor.h"
#include "components/TrayIcon.h"
#include "framework/base/SysUtils.h"
#include "framework/win/Bitmap.h"
#include "framework/win/Handles.h"

namespace kaptor {

std::unique_ptr<TStringList> WindowHandles = std::make_unique<TStringList>();

BOOL CALLBACK AddWindowToList(HWND wnd, LPARAM) {
    if (!IsWindowVisible(wnd)) return TRUE;
    // The title is read with a 255-byte limit (at most 254 bytes); the spare room guards
    // against a conversion that writes past the count it was given.
    char title[512] = {};
    GetWindowTextA(wnd, title, 255);
    const std::string text = title;
    // Our own application and main windows carry the application's title.
    if (text.empty() || text == Application->Title() || text == "Program Manager") return TRUE;
    ApDlg->ListBox1->Items().Add(text);
    WindowHandles->Add(IntToStr(static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(wnd))));
    return TRUE;
}

RECT CursorArea(HWND target, const RECT& captured, bool clientCoordinates) {
    if (!clientCoordinates) return captured;
    POINT origin{0, 0};
    ClientToScreen(target, &origin);
    return {captured.left + origin.x, captured.top + origin.y, captured.right + origin.x,
            captured.bottom + origin.y};
}

void TKaptor32::SB_Capture2Click(TComponent*) {
    // Disabled while any capture waits.
    if (!SB_Capture2->Enabled()) return;
    WindowHandles = std::make_unique<TStringList>();
    ApDlg->ListBox1->Items().Clear();
    EnumWindows(AddWindowToList, 0);
    ApDlg->Show();
}

namespace {

void SetCaptureButtons(TKaptor32& main, bool enabled) {
    for (TToolButton* b : {main.SB_Capture, main.SB_Capture2, main.SB_Capture3}) b->SetEnabled(enabled);
}

// Choices that went past the selection check; tells a modal re-show that ended in a new
// capture attempt from one that was cancelled.
int choicesMade = 0;

void ShowProgramAgain(TKaptor32& main) {
    ShowWindow(Application->Handle(), SW_SHOW);
    main.Show();
}

}  // namespace

void TApDlg::OKBtnClick(TComponent*) {
    if (ListBox1->ItemIndex() < 0) {
        ShowMessage("選択されていません");
        return;
    }
    ++choicesMade;
    TKaptor32& main = *Kaptor32;
    SetCaptureButtons(main, false);
    main.ClearRangeState();
    main.SpinEdit1->SetValue(100);
    if (Settings.HideForm) {
        ShowWindow(Application->Handle(), SW_HIDE);
        main.Hide();
    }
    Close();
    // This delay sleeps before it lets messages run, and has no start-up case.
    {
        TCountdown countdown(*main.TrayIcon1, Settings.ShowCountdown);
        for (int i = 0; i < Settings.Wait; ++i) {
            countdown.WaitSecond(Settings.Wait - i);
            Application->ProcessMessages();
        }
    }
    SetCaptureButtons(main, true);

    // A line without its handle (the lists out of step) counts as no window.
    const int index = ListBox1->ItemIndex();
    HWND target = nullptr;
    if (index >= 0 && index < WindowHandles->Count())
        target = reinterpret_cast<HWND>(static_cast<std::intptr_t>(StrToIntDef((*WindowHandles)[index], 0)));
    if (!target) {
        ShowMessage("ｳｨﾝﾄﾞｳが見つかりません");
        ShowProgramAgain(main);
        return;
    }
    if (!SetForegroundWindow(target)) {
        ShowMessage("選択されたｳｨﾝﾄﾞｳをﾌｫｱｸﾞﾗｳﾝﾄﾞにできません");
        ShowProgramAgain(main);
        return;
    }
    Application->ProcessMessages();

    const bool client = Settings.CaptureClient;
    std::optional<WindowDC> dc;
    dc.emplace(target, !client);
    bool wasMinimized = false;
    if (IsZoomed(target)) {
        ShowWindow(target, SW_SHOWMAXIMIZED);
    } else if (IsIconic(target)) {
        wasMinimized = true;
        ShowWindow(target, SW_SHOWNOACTIVATE);
    }
    Application->ProcessMessages();

    RECT r{};
    if (!(client ? GetClientRect(target, &r) : GetWindowRect(target, &r))) {
        ShowMessage("ｳｨﾝﾄﾞｳの位置取得に失敗");
        dc.reset();
        const int before = choicesMade;
        ShowModal();  // the same list, for another choice
        // Cancelled without a new choice: a program that HideForm hid would stay out of reach
        // (in the tray it can still be reached by its icon).
        if (choicesMade == before && Settings.HideForm && !main.TrayResident()) ShowProgramAgain(main);
        return;
    }
    Application->ProcessMessages();
    if (!SetForegroundWindow(target)) {
        ShowMessage("選択されたｳｨﾝﾄﾞｳをﾌｫｱｸﾞﾗｳﾝﾄﾞにできません");
        dc.reset();
        ShowProgramAgain(main);
        return;
    }
    Application->ProcessMessages();
    Sleep(1000);  // lets the window finish painting

    main.Image1->Picture().SetGraphic(nullptr);
    main.Image1->Repaint();
    main.Image1->SetBounds(main.Image1->Left(), main.Image1->Top(), r.right - r.left, r.bottom - r.top);
    main.NaturalWidth = main.Image1->Width();
    main.NaturalHeight = main.Image1->Height();
    TCanvas& canvas = main.Image1->Canvas();  // a new bitmap of the window's size
    BitBlt(canvas.Handle(), 0, 0, main.Image1->Width(), main.Image1->Height(), dc->get(), 0, 0, SRCCOPY);
    main.Image1->Picture().Bitmap().Modified();
    dc.reset();

    if (Settings.ShowCursor) {
        const RECT area = CursorArea(target, r, client);
        main.OverlayCursor(&area);
    }
    main.Image2->Picture().Assign(main.Image1->Picture());
    if (wasMinimized) ShowWindow(target, SW_MINIMIZE);
    main.ReshowMainWindow();
    main.EnableImageCommands();
    main.ShowPictureSize();
}

}  // namespace kaptor
