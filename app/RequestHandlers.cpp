// Captures the command line asks for: the program's own start's, and those a second start
// hands over. Each is the capture the commands make (the same pipeline and sources), then
// what the switches ask for instead of the options' after-capture actions.
#include "app/HandOver.h"
#include "app/MainWindow.h"
#include "capture/CaptureCommands.h"
#include "exchange/AfterCapture.h"
#include "exchange/Save.h"

namespace kaptor {

namespace {
// Posted to the main window to run the queued requests (no parameters).
constexpr UINT WM_RUNREQUESTS = WM_APP + 0x4B2;

TExitStatus StatusOf(TCaptureRequest::TEnd end) {
    switch (end) {
        case TCaptureRequest::TEnd::Taken: return TExitStatus::Done;
        case TCaptureRequest::TEnd::NoWindow: return TExitStatus::NoWindow;
        default: return TExitStatus::CaptureFailed;
    }
}
}  // namespace

LRESULT TMainWindow::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_RUNREQUESTS) {
        RunRequests();
        return 0;
    }
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lp);
    if (msg != WM_COPYDATA || data->dwData != RequestTag) return TForm::WndProc(msg, wp, lp);
    if (ending_) return FALSE;  // the second start runs it itself
    // The data lives only while this message is handled: the request is read now and run
    // later, from our own loop, so the second start is not kept in its call meanwhile.
    try {
        Request(UnpackSwitches(CopiedText(*data)), reinterpret_cast<HWND>(wp));
    } catch (const ECommandLine&) {
        return FALSE;
    }
    return TRUE;
}

void TMainWindow::Request(const TCaptureSwitches& switches, HWND answerTo) {
    requests_.push_back({switches, answerTo});
    PostMessageA(Handle(), WM_RUNREQUESTS, 0, 0);
}

void TMainWindow::RunRequests() {
    if (runningRequests_) return;  // the loop below goes on once the capture has ended
    runningRequests_ = true;
    while (!requests_.empty() && !captures_->Busy()) {
        const TPendingRequest next = requests_.front();
        requests_.pop_front();
        // Someone asked to see the program: it stays.
        if (!next.switches.quiet) quitWhenDone_ = false;
        const TRequestResult result = RunRequest(next.switches);
        if (next.answerTo) {
            Answer(next.answerTo, Handle(), result);
        } else {
            exitStatus_ = static_cast<int>(result.status);
            if (next.switches.quiet) TellCaller(result);
        }
    }
    runningRequests_ = false;
    if (requests_.empty() && quitWhenDone_) {
        ending_ = true;
        Application->Terminate();
    }
}

TRequestResult TMainWindow::RunRequest(const TCaptureSwitches& s) {
    TCaptureRequest request;
    request.delay = s.delay;
    request.quiet = s.quiet;
    const bool wasShown = IsWindowVisible(Handle()) != FALSE;
    TRequestResult result;
    try {
        switch (s.kind) {
            case TRequestedCapture::WholeScreen: captures_->CaptureWholeScreen(TCaptureStart::ByUser, &request); break;
            case TRequestedCapture::ActiveWindow: captures_->CaptureActiveWindow(&request); break;
            case TRequestedCapture::Region: captures_->CaptureRegion(&request); break;
            case TRequestedCapture::LastRegion: captures_->CaptureLastRegion(&request); break;
            case TRequestedCapture::Window: captures_->CaptureWindowTitled(s.title, &request); break;
        }
        result.status = StatusOf(request.end);
        result.message = request.message;
    } catch (const std::exception& e) {
        // What the program's error display would have shown, for a quiet request its caller.
        result = {TExitStatus::CaptureFailed, e.what(), {}};
        if (!s.quiet) Application->HandleException(e);
    }
    // Quiet: the program as it was before (a window HideForm hid for the capture comes back).
    if (s.quiet && wasShown && !IsWindowVisible(Handle())) captures_->ShowProgramAgain();
    if (result.status != TExitStatus::Done) return result;

    const TKept kept = KeepPicture(View(), request.parts, {s.copy, s.save, s.saveTo});
    ShowStatus(3, kept.Status());
    result.savedTo = kept.savedTo;
    if (!kept.saveError.empty()) {
        result.status = TExitStatus::SaveFailed;
        result.message = std::string(texts::SaveFailed) + "：［" + kept.saveError + "］";
        if (!s.quiet) ShowMessage(texts::SaveFailed);
    }
    if (kept.copyError) {
        try {
            std::rethrow_exception(kept.copyError);
        } catch (const std::exception& e) {
            if (result.status == TExitStatus::Done) result = {TExitStatus::CopyFailed, e.what(), kept.savedTo};
            if (!s.quiet) Application->HandleException(e);
        }
    }
    return result;
}

void TMainWindow::CaptureLockChanged() {
    ApplyCommandStates();
    // Requests wait for every capture to end, the user's too.
    if (!requests_.empty() && !captures_->Busy()) PostMessageA(Handle(), WM_RUNREQUESTS, 0, 0);
}

}  // namespace kaptor
