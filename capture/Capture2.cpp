// Chosen-window capture: the list of windows, and the capture of the one picked in ApDlg.
#include <optional>

#include "settings/Settings.h"
#include "capture/CaptureCommands.h"
#include "capture/CapturePipeline.h"
#include "capture/FD_Kaptor.h"
#include "framework/base/SysUtils.h"
#include "framework/win/ComCtrls.h"
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

void TCaptureCommands::ListWindows() {
    // Disabled while any capture waits.
    if (!buttons_.chosenWindow.Enabled()) return;
    WindowHandles = std::make_unique<TStringList>();
    ApDlg->ListBox1->Items().Clear();
    EnumWindows(AddWindowToList, 0);
    ApDlg->Show();
}

namespace {

// Choices that went past the selection check; tells a modal re-show that ended in a new
// capture attempt from one that was cancelled.
int choicesMade = 0;

// The handle stored for the list's selected line; null when none (the lists out of step).
HWND ChosenWindow(TListBox& list) {
    const int index = list.ItemIndex();
    if (index < 0 || index >= WindowHandles->Count()) return nullptr;
    return reinterpret_cast<HWND>(static_cast<std::intptr_t>(StrToIntDef((*WindowHandles)[index], 0)));
}

}  // namespace

void TApDlg::OKBtnClick(TComponent*) {
    if (ListBox1->ItemIndex() < 0) {
        ShowMessage("選択されていません");
        return;
    }
    ++choicesMade;
    TCapturePipeline capture(*MainCaptures, ChosenWindowRules);
    capture.Prepare();
    Close();
    capture.Wait(nullptr);
    capture.Take([&](TCapturePipeline& c) { return CaptureChosenWindow(c, ChosenWindow(*ListBox1)); });
}

bool TApDlg::CaptureChosenWindow(TCapturePipeline& capture, HWND target) {
    if (!target) {
        capture.FailureEnding("ｳｨﾝﾄﾞｳが見つかりません");
        return false;
    }
    if (!SetForegroundWindow(target)) {
        capture.FailureEnding("選択されたｳｨﾝﾄﾞｳをﾌｫｱｸﾞﾗｳﾝﾄﾞにできません");
        return false;
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
        if (choicesMade == before && Settings.HideForm && !MainCaptures->TrayResident()) MainCaptures->ShowProgramAgain();
        return false;
    }
    Application->ProcessMessages();
    if (!SetForegroundWindow(target)) {
        dc.reset();
        capture.FailureEnding("選択されたｳｨﾝﾄﾞｳをﾌｫｱｸﾞﾗｳﾝﾄﾞにできません");
        return false;
    }
    Application->ProcessMessages();
    Sleep(1000);  // lets the window finish painting

    const RECT area = CursorArea(target, r, client);
    capture.CopyPicture(dc->get(), SIZE{r.right - r.left, r.bottom - r.top}, &area);
    dc.reset();
    if (wasMinimized) ShowWindow(target, SW_MINIMIZE);
    return true;
}

}  // namespace kaptor
