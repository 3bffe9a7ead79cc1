// The states of the main window's commands, worked out in one place from what has happened.
// The window keeps the facts, changes them where they happen and applies the states after.
#pragma once

namespace kaptor {

struct TCommandFacts {
    bool rangeMode = false;
    bool fullScreen = false;
    // The capture lock as the latest capture step set it: the whole-screen and chosen-window
    // commands, and apart from them the active-window one (a whole-screen wait leaves it free,
    // and an active-window capture nested in that wait frees all three when it ends).
    bool captureLocked = false;
    bool activeCaptureLocked = false;
    // When the last range switch, new picture and resize began (0: never; a larger number is
    // later). Whichever came last decides the range and resize commands and the zoom box:
    // a new picture frees both range commands whatever the mode, and leaving range mode frees
    // the resize commands before any picture exists.
    int rangeSwitchedAt = 0;
    int pictureAnnouncedAt = 0;
    int resizeStartedAt = 0;
    int events = 0;

    void RangeSwitched(bool on) {
        rangeMode = on;
        rangeSwitchedAt = ++events;
    }
    void PictureAnnounced() { pictureAnnouncedAt = ++events; }
    void ResizeStarted() { resizeStartedAt = ++events; }
    void CaptureLockSet(bool locked, bool activeWindowToo) {
        captureLocked = locked;
        if (activeWindowToo) activeCaptureLocked = locked;
    }
    bool PictureExists() const { return pictureAnnouncedAt > 0; }
};

struct TCommandStates {
    // Full-screen view, copy, save, print, printer set-up (also the tray's "shown picture"
    // print) and the two range buttons.
    bool pictureCommands;
    bool rangeButtonDown;  // else the no-range button is down
    bool enterRangeItem;
    bool leaveRangeItem;
    bool resize;  // button and menu item
    bool zoomBox;
    bool wholeScreenAndChosenCapture;
    bool activeWindowCapture;
    bool leaveFullScreen;
};

TCommandStates CommandStates(const TCommandFacts& facts);

}  // namespace kaptor
