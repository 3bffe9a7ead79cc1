// Helpers shared by the tray icon tests: icon images, a recorder of the records handed to
// the shell, and a form that notes what reached it.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "GraphicsTestSupport.h"
#include "TestApp.h"
#include "components/TrayIcon.h"
#include "framework/win/Menus.h"

namespace kaptor::testing {

// A 32 x 32 icon: a square of inner colour on an outer colour, fully opaque.
inline HICON MakeSquareIcon(TColor outer, TColor inner) {
    TBitmap colour(32, 32), mask(32, 32, pf1bit);
    FillColor(colour, outer);
    colour.Canvas().Brush.Color = inner;
    colour.Canvas().FillRect(RECT{8, 8, 24, 24});
    FillColor(mask, clBlack);
    ICONINFO ii{TRUE, 0, 0, mask.Handle(), colour.Handle()};
    return CreateIconIndirect(&ii);
}

// One call to the shell's tray, with the 88 bytes it was given.
struct NotifyCall {
    DWORD message;
    NOTIFYICONDATAA data;
    std::string Tip() const { return std::string(data.szTip, strnlen(data.szTip, sizeof data.szTip)); }
};

// Takes the place of the shell for as long as it lives: every record is kept; the answer is
// TRUE unless told otherwise, or whatever the real shell says when forwarding.
class NotifyRecorder {
public:
    explicit NotifyRecorder(bool forward = false) : forward_(forward) {
        ShellNotifyIconHook = [this](DWORD message, NOTIFYICONDATAA& data) {
            NotifyCall call{message, {}};
            std::memcpy(&call.data, &data, std::min<std::size_t>(data.cbSize, sizeof call.data));
            calls.push_back(call);
            if (message < 3 && fail[message]) return FALSE;
            return forward_ ? RealShellNotifyIcon(message, data) : TRUE;
        };
    }
    ~NotifyRecorder() { ShellNotifyIconHook = nullptr; }
    NotifyRecorder(const NotifyRecorder&) = delete;
    NotifyRecorder& operator=(const NotifyRecorder&) = delete;

    std::vector<NotifyCall> Take() { return std::exchange(calls, {}); }
    std::vector<NotifyCall> calls;
    bool fail[3] = {false, false, false};  // by NIM_ADD, NIM_MODIFY, NIM_DELETE

private:
    bool forward_;
};

// A form that counts the WM_APP messages it is sent or posted.
class TrayTestForm : public TForm {
public:
    explicit TrayTestForm(TComponent* owner) : TForm(owner, "TKaptorTrayTestForm") {}
    int appMessages = 0;

protected:
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override {
        if (msg == WM_APP) {
            ++appMessages;
            return 0;
        }
        return TForm::WndProc(msg, wp, lp);
    }
};

// A pop-up menu that notes where and in what state it was asked to pop up, without running
// a menu loop.
class RecordingMenu : public TPopupMenu {
public:
    using TPopupMenu::TPopupMenu;
    struct Call {
        int x, y;
        HWND foreground;
        int appMessagesSeen;
    };
    void Popup(int x, int y) override {
        calls.push_back({x, y, GetForegroundWindow(), form ? form->appMessages : -1});
    }
    std::vector<Call> calls;
    TrayTestForm* form = nullptr;
};

}  // namespace kaptor::testing
