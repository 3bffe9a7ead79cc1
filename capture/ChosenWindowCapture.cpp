// Chosen-window capture: the list of windows, and the capture of the one picked in it.
#include <optional>

#include "settings/Settings.h"
#include "capture/CaptureCommands.h"
#include "capture/CapturePipeline.h"
#include "capture/WindowListDialog.h"
#include "framework/win/Handles.h"

namespace kaptor {

RECT CursorArea(HWND target, const RECT& captured, bool clientCoordinates) {
    if (!clientCoordinates) return captured;
    POINT origin{0, 0};
    ClientToScreen(target, &origin);
    return {captured.left + origin.x, captured.top + origin.y, captured.right + origin.x,
            captured.bottom + origin.y};
}

void TCaptureCommands::ListWindows() { WindowList->Offer(*this); }

namespace {

// Choices that went past the selection check; tells a modal re-show that ended in a new
// capture attempt from one that was cancelled.
int choicesMade = 0;

// The chosen window's part of the capture, after the wait.
TCaptureOutcome TakeChosenWindow(TCapturePipeline& capture, HWND target) {
    constexpr const char* NotForeground = "選択されたｳｨﾝﾄﾞｳをﾌｫｱｸﾞﾗｳﾝﾄﾞにできません";
    if (!target) return TCaptureOutcome::NoWindow();
    if (!SetForegroundWindow(target)) return TCaptureOutcome::Failed(NotForeground);
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
        // The same list, for another choice.
        return TCaptureOutcome::ChooseAgain("ｳｨﾝﾄﾞｳの位置取得に失敗", [] {
            const int before = choicesMade;
            WindowList->ShowModal();
            return choicesMade != before;
        });
    }
    Application->ProcessMessages();
    if (!SetForegroundWindow(target)) return TCaptureOutcome::Failed(NotForeground);
    Application->ProcessMessages();
    Sleep(1000);  // lets the window finish painting

    const RECT area = CursorArea(target, r, client);
    capture.CopyPicture(dc->get(), SIZE{r.right - r.left, r.bottom - r.top}, &area);
    dc.reset();
    if (wasMinimized) ShowWindow(target, SW_MINIMIZE);
    return TCaptureOutcome::Taken("Window", target);
}

}  // namespace

void TCaptureCommands::CaptureChosenWindow(HWND target) {
    ++choicesMade;
    TCapturePipeline(*this, ChosenWindowRules)
        .Run(TCaptureStart::ByUser, [target](TCapturePipeline& c) { return TakeChosenWindow(c, target); },
             [] { WindowList->Close(); });
}

void TCaptureCommands::CaptureWindowTitled(const std::string& title, TCaptureRequest* request) {
    TCapturePipeline(*this, ChosenWindowRules, request).Run(TCaptureStart::ByUser, [&title](TCapturePipeline& c) {
        return TakeChosenWindow(c, FindListedWindow(title));
    });
}

}  // namespace kaptor
