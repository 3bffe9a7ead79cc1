// The states of the main window's commands, worked out in one place from what has happened.
// The window keeps the facts, changes them where they happen and applies the states after;
// each control built for a command names the rule that governs it (app/CommandTable.cpp).
#pragma once

#include <cstdint>

namespace kaptor {

struct TCommandFacts {
    bool rangeMode = false;
    bool markupMode = false;
    int markupTool = 0;  // the band's tool in use, as a TMarkupTool
    bool fillShapes = false;
    bool fullScreen = false;
    // The capture lock as the latest capture step set it (the capture commands own it): the
    // whole-screen, chosen-window and region commands, and apart from them the active-window
    // one.
    bool captureLocked = false;
    bool activeCaptureLocked = false;
    // The bars the options show (their View-menu items are checked by them).
    bool toolBarShown = false;
    bool statusBarShown = false;
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
    bool PictureExists() const { return pictureAnnouncedAt > 0; }
};

// What a control's state follows. A command runs from anywhere only while its guard holds;
// each control built for it is enabled (a button down, an item checked) while its own rule
// holds, which may differ by place: the tray and the picture's menu keep most items usable.
enum class TRule : std::uint8_t {
    Always,
    Picture,              // a picture is there: view, copy, save, print, printer set-up
    EnterRangeItem,       // the menu item that enters range mode
    LeaveRangeItem,       // the menu item that leaves it
    Resize,
    WholeScreenCapture,   // no capture waits: whole screen, chosen window, region
    ActiveWindowCapture,  // the active-window capture is not locked
    FullScreen,           // the return from the full-screen view
    RangeMode,            // down: range mode on
    NoRangeMode,          // down: range mode off
    ToolBarShown,         // checked
    StatusBarShown,       // checked
    MarkupMode,           // down, checked: markup mode on; enabled: the markup commands
    FillShapes,           // down: shapes are drawn filled
    // Down: the markup tool of that name is the one in use (in the order of the tools).
    SelectTool, RectangleTool, EllipseTool, LineTool, ArrowTool, PenTool, HighlighterTool, TextTool, StepTool,
    RedactTool, PixelateTool,
};

bool Holds(TRule rule, const TCommandFacts& facts);

// The zoom works on the whole picture: not while a range is marked, again once a resize begins.
bool ZoomBoxEnabled(const TCommandFacts& facts);

}  // namespace kaptor
