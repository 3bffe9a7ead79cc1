// The seconds left of a capture's delay, shown while it runs: in the tray icon's tip while the
// program is resident, otherwise in a small top-most counter in the screen's top-right corner.
#pragma once

#include <windows.h>

#include <string>

#include "framework/win/Handles.h"

namespace kaptor {

class TTrayIcon;

// The class of the counter's window (tests look for it).
inline constexpr const char* CountdownClass = "TKaptorCountdown";

class TCountdown {
public:
    // tray: the program's tray icon; shown: false makes every call a plain one-second sleep.
    TCountdown(TTrayIcon& tray, bool shown);
    ~TCountdown();  // the tip back as it was, the counter gone
    TCountdown(const TCountdown&) = delete;
    TCountdown& operator=(const TCountdown&) = delete;

    // Shows secondsLeft and sleeps one second. In the last second the counter goes, or the
    // tip takes its own text back, a little before the end, so no count is on the screen
    // and what lay beneath has painted itself again when it is copied.
    void WaitSecond(int secondsLeft);

private:
    void ShowCounter(int secondsLeft);
    void HideCounter();
    static LRESULT CALLBACK Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);

    TTrayIcon& tray_;
    bool shown_;
    std::string tip_;  // the tip before the countdown
    UniqueFont font_;
    UniqueWindow counter_;  // after the font: the window goes first
};

}  // namespace kaptor
