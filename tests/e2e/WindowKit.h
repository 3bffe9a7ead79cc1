// Windows of the test process for the window-capture tests: given titles and states, and a
// window with a group box holding a button.
#pragma once

#include <windows.h>

#include <string>

namespace e2e {

// A plain top-level window filled with one colour.
class PlainWindow {
public:
    // show: a ShowWindow command (SW_HIDE for a hidden window, SW_SHOWMINIMIZED, ...).
    PlainWindow(const std::string& title, int x, int y, int w, int h, int show = SW_SHOWNORMAL,
                COLORREF color = RGB(0x20, 0x80, 0xC0));
    ~PlainWindow();
    PlainWindow(const PlainWindow&) = delete;
    PlainWindow& operator=(const PlainWindow&) = delete;
    HWND Handle() const { return wnd_; }
    void Destroy();

private:
    HWND wnd_ = nullptr;
};

// A top-level window whose only direct children are a group box (at client 20,20, size
// 200 x 120) holding a push button, and a push button of its own (at 240,20, 80 x 30).
class ControlsWindow {
public:
    ControlsWindow(const std::string& title, int x, int y, int w, int h);
    ~ControlsWindow();
    ControlsWindow(const ControlsWindow&) = delete;
    ControlsWindow& operator=(const ControlsWindow&) = delete;
    HWND Handle() const { return wnd_; }
    HWND GroupBox() const { return group_; }
    HWND InnerButton() const { return inner_; }
    HWND OuterButton() const { return outer_; }

private:
    HWND wnd_ = nullptr, group_ = nullptr, inner_ = nullptr, outer_ = nullptr;
};

// The centre of a window on the screen.
POINT CenterOf(HWND wnd);

}  // namespace e2e

namespace e2e {

// A plain window, shown minimised, that destroys itself the moment it is restored: whoever
// restores it finds no window left to measure.
class VanishingWindow {
public:
    VanishingWindow(const std::string& title, int x, int y, int w, int h);
    ~VanishingWindow();
    VanishingWindow(const VanishingWindow&) = delete;
    VanishingWindow& operator=(const VanishingWindow&) = delete;
    HWND Handle() const { return wnd_; }
    bool Gone() const { return !IsWindow(wnd_); }

private:
    HWND wnd_ = nullptr;
};

// A plain window in one colour that, once armed, turns to a second colour a set time after
// it is next activated. Tells when that activation and the change happened (tick counts).
class LateColourWindow {
public:
    LateColourWindow(const std::string& title, int x, int y, int w, int h, COLORREF first, COLORREF later,
                     int delayMs);
    ~LateColourWindow();
    LateColourWindow(const LateColourWindow&) = delete;
    LateColourWindow& operator=(const LateColourWindow&) = delete;
    HWND Handle() const { return wnd_; }
    // Back to the first colour; the next activation starts the clock.
    void Arm();
    long long ActivatedAt() const;
    long long ChangedAt() const;

    struct State {
        COLORREF first, later;
        int delayMs;
        bool armed = false, changed = false;
        long long activatedAt = 0, changedAt = 0;
    };

private:
    HWND wnd_ = nullptr;
    State state_;
};

}  // namespace e2e
