// Every command of the main window by id, and the places a command can show. The rows that
// say what each command is and where it shows are in app/CommandTable.cpp; a new command is
// an id here, its rows there and its handler.
#pragma once

#include <cstdint>

namespace kaptor {

enum class TCommandId : std::uint8_t {
    Open, Save, Print, PrinterSetup, Exit,                                                     // file
    CaptureWholeScreen, CaptureChosenWindow, CaptureActiveWindow, CaptureRegion, CaptureLastRegion,
    Copy, Paste, EnterRange, LeaveRange, Resize,                                               // edit
    ShowToolBar, ShowStatusBar, FullScreen, LeaveFullScreen,                                   // view
    Options, BackgroundColour,                                                                 // options
    HelpContents, HelpKeywords, About,                                                         // help
    PrintDesktop, ShowWindow, End,                                                             // the tray only
    Markup, UndoMarkup, RedoMarkup, DeleteMarkup,                                              // markup
    SelectTool, RectangleTool, EllipseTool, LineTool, ArrowTool, PenTool, HighlighterTool,     // its band
    TextTool, StepTool, RedactTool, PixelateTool,
    RedMarkup, BlueMarkup, GreenMarkup, YellowMarkup, BlackMarkup, WhiteMarkup, PickMarkupColour,
    FillShapes, RestartSteps,
    Count
};
inline constexpr int CommandCount = static_cast<int>(TCommandId::Count);

// Where a command's control is: the menu bar, the tool bar (and the zoom and markup bands' buttons), the
// tray icon's menu, the picture's context menu, a Print Screen key, the tray icon's double click.
enum class TPlace : std::uint8_t { MenuBar, ToolBar, TrayMenu, PictureMenu, HotKey, TrayIcon };

}  // namespace kaptor
