// TMainWindow, the program's main window: the picture view with its bars and menus, the tray
// icon and the dialogs the commands open. Everything the user can do is a command: one id
// (app/Commands.h), one row in app/CommandTable.cpp saying where it shows and what governs its
// state, and one handler. The controls are the window's own; subsystems and tests reach the
// program through Execute and the view.
//   MainWindow.cpp       layout, start-up, closing
//   CommandTable.cpp     the commands, the menus, bars and Print Screen keys built from them,
//                        their states
//   CaptureHandlers.cpp  the capture commands
//   ViewHandlers.cpp     zoom, resize, range mode, painting, background colour
//   ExchangeHandlers.cpp open and drop, save, clipboard, printing and their dialogs
//   FullScreen.cpp       full-screen view;  ShellHandlers.cpp  keys, bars, help, options
//   TrayResidency.cpp    living in the task tray
//   RequestHandlers.cpp  captures the command line asks for, also a second start's
//   MarkupHandlers.cpp   markup mode, its band and its steps
// What the handlers call lives below app/ and never includes this header: capture/ (the
// capture pipeline and its sources), view/ (the picture view), exchange/ (open, save,
// clipboard, printing), settings/ (the options record and its file).
//
// Older names, for readers who know them:
//   TKaptor32 TMainWindow (its window class keeps "TKaptor32")   FD_Kaptor2/TOptionDlg TOptionsDialog
//   FD_Kaptor/TApDlg TWindowListDialog        F_About TAboutBox     F_Kaptor2/TForm2 TPrintPage
//   DROPDST/TDropDst TFileDropTarget          CTLHOOK TControlHook  SysCtrls TAnimateForm
//   Image1 / Image2     TPictureView::Shown / CleanCopy       SpinEdit1   the zoom box
//   ScrollBox1          TPictureView::Area                    StatusBar1  the status bar
//   CoolBar1, ToolBar1, Panel1   the tool band, its buttons, the zoom band
//   PopupMenu1 / PopupMenu2      the tray menu / the picture's context menu
//   SB_Capture, SB_Capture2, SB_Capture3 (also M_..., PM_...)   CaptureWholeScreen,
//                       CaptureChosenWindow (the window list), CaptureActiveWindow
//   SB_Range / SB_NoRange / SB_Resize   EnterRange / LeaveRange / Resize
//   SB_Max, PM_Esc      FullScreen, LeaveFullScreen
//   SB_Print, SB_PrtDialog, PM_Print2, PM_Print3, Print3   Print, PrinterSetup, PrintDesktop,
//                       Print in the tray's print submenu
//   PM_ShowWindow, TrayIcon1DblClick, PM_End   ShowWindow, End
//   Shape1              Settings.FrameColour              CheckBox1..8  the options' check boxes
//   CaptureDelay, OverlayCursor, ReshowMainWindow   TCaptureCommands::Delay, DrawPointerCursor,
//                       TCaptureCommands::ReshowProgram
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "app/CommandLine.h"
#include "app/CommandStates.h"
#include "app/Commands.h"
#include "capture/CaptureCommands.h"
#include "framework/win/Forms.h"
#include "framework/win/Graphics.h"
#include "framework/win/Menus.h"
#include "markup/MarkupDocument.h"
#include "view/PictureView.h"

namespace kaptor {

class TAnimateForm;
class TColorDialog;
class TCoolBar;
class TFileDropTarget;
class THotKeys;
class TImageList;
class TOpenPictureDialog;
class TPanel;
class TPrintDialog;
class TPrinterSetupDialog;
struct TRequestResult;
class TSavePictureDialog;
class TScrollBox;
class TSpeedButton;
class TSpinEdit;
class TStatusBar;
class TStrings;
class TToolBar;
class TToolButton;
class TTrayIcon;

class TMainWindow : public TForm, public TPictureViewListener, private TCaptureLockListener {
public:
    explicit TMainWindow(TComponent* owner);
    ~TMainWindow() override;

    // ---- commands (app/CommandTable.cpp)
    // Runs the command as a click on any of its controls would; nothing while its guard does
    // not hold (a capture waits, no full-screen view to leave).
    void Execute(TCommandId id);
    // The control built for the command at that place: its state, its caption; Click clicks
    // it as the user would (false when there is none).
    bool Enabled(TCommandId id, TPlace place) const;
    bool Down(TCommandId id) const;     // a tool button held down
    bool Checked(TCommandId id) const;  // a menu bar item's check mark
    std::string Caption(TCommandId id, TPlace place) const;
    bool Click(TCommandId id, TPlace place);
    // Every command before it runs, from wherever it came; false stops it (tests watch the
    // routing through it).
    std::function<bool(TCommandId)> BeforeCommand;

    // ---- what the window shows
    TPictureView& View() { return *pictureView_; }
    TCaptureCommands& Captures() { return *captures_; }
    TTrayIcon& Tray() { return *tray_; }
    std::string StatusText(int panel) const;
    bool ToolBarShown() const;
    bool StatusBarShown() const;
    bool TrayResident() const;
    // Panel 0 the picture's size, 1 the pointer's position, 2 the range's size (the view's).
    // Panel 3: where the latest capture went (app/CaptureHandlers.cpp).
    void ShowStatus(int panel, const std::string& text) override;

    // ---- other ways in
    // The start-up file: asks before replacing a shown picture; leaves the status panels.
    void OpenStartUpFile(const std::string& fileName);
    // Files dropped on the picture area.
    void DropFiles(TStrings& files);
    // Registers or gives back the Print Screen keys, as "Hot Keys" says.
    void ApplyHotKeys();
    // The bars as the options say, and the View menu's check marks with them.
    void ShowBars();
    // After the options changed: the keys, the bars, a framed range in the frame's colour.
    void ApplyOptions();
    // The colour dialog the background colour uses, for another colour (the range frame's).
    bool PickColour(TColor& colour);

    // ---- captures the command line asks for (app/RequestHandlers.cpp)
    // Queued, and run one after another once no capture is under way. The answer goes to
    // answerTo, a second start's window; without one the request is the program's own start's
    // and its result becomes the exit status (a quiet one ends the program when done).
    void Request(const TCaptureSwitches& switches, HWND answerTo = nullptr);
    int ExitStatus() const { return exitStatus_; }

protected:
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    // ---- the command table (app/CommandTable.cpp)
    using THandler = void (TMainWindow::*)();
    struct TCommandRow;
    struct TMenuRow;
    struct TButtonRow;
    static const TCommandRow& Row(TCommandId id);
    // A control built for a command, with the rules its state follows.
    struct TBuilt {
        TCommandId id;
        TPlace place;
        std::variant<TMenuItem*, TToolButton*, TSpeedButton*> control;
        TRule enabled = TRule::Always;
        TRule down = TRule::Always;  // Always: neither down nor checked
    };
    const TBuilt* Built(TCommandId id, TPlace place) const;
    void BuildMenus();
    void BuildMenu(TMenuItem* parent, TPlace place, const TMenuRow* rows, int count);
    void BuildToolBar();
    void BuildZoomBand();
    void BuildZoomBox();
    // A deque: the markup band adds its entries when markup mode first starts, and the
    // entries already there must stay where they are.
    std::deque<TBuilt> built_;
    std::vector<TMenuItem*> barMenus_;  // the menu bar's menus, in order
    // Every control's state from facts_; called wherever a fact changes, so the controls
    // never show another state than the facts give.
    void ApplyCommandStates();
    TCommandFacts facts_;

    // ---- handlers: one per command, named for it
    void CloseWindow();
    void EndProgram();
    void OpenPicture();
    void SavePicture();
    void PrintPicture();
    void PrintDesktop();
    void SetUpPrinter();
    void CaptureWholeScreen();
    void CaptureChosenWindow();
    void CaptureActiveWindow();
    void CaptureRegion();
    void CaptureLastRegion();
    void CopyPicture();
    void PastePicture();
    void EnterRange();
    void LeaveRange();
    void ResizePicture();
    void ToggleToolBar();
    void ToggleStatusBar();
    void EnterFullScreen();
    void LeaveFullScreen();
    void ShowOptions();
    void ChooseBackgroundColour();
    void ShowHelpContents();
    void SearchHelpKeywords();
    void ShowAbout();
    void ShowFromTray();
    void ToggleMarkup();
    void UndoMarkup();
    void RedoMarkup();
    void DeleteMarkup();
    // The markup band: one handler for each tool and each colour of the palette.
    template <TMarkupTool Tool>
    void ChooseTool() {
        ChooseMarkupTool(Tool);
    }
    template <TColor Colour>
    void ChooseColour() {
        ChooseMarkupColour(Colour);
    }
    void PickMarkupColour();
    void ToggleFillShapes();
    void RestartSteps();

    // ---- start, keys, painting, closing
    void Started();
    void KeyPressed(WORD& key);
    void PaintBackground();
    void Closing(TCloseAction& action);
    // The tray menu's capture items name the delay.
    void SetTrayCaptions();
    // What the menu bar on one line, the bars and the status bar need (the window's least size).
    SIZE LeastClientSize();
    void BuildLayout();
    void BuildDialogs();

    // What the picture view asks of the window (app/ViewHandlers.cpp).
    void RangeModeSwitched(bool on) override;
    void EnablePictureCommands() override;
    void MarkupChanged() override;
    void MarkupModeSwitched(bool on);
    // The markup band: tools, colours, width and fill (app/MarkupHandlers.cpp), built when
    // markup mode first starts: most starts never use it.
    void BuildMarkupBand();
    // Lays the rows out from left on one line of the band; returns where the line ends.
    int BuildMarkupButtons(const TButtonRow* rows, int count, int left, int top);
    void ChooseMarkupTool(TMarkupTool tool);
    void ChooseMarkupColour(TColor colour);
    bool AskMarkupText(std::string& text);
    // Before a command replaces the picture: asks first while markup is unsaved.
    bool MayDropMarkup();
    // The capture commands' lock changed (app/CaptureHandlers.cpp).
    void CaptureLockChanged() override;
    // A capture gave a new picture: the after-capture actions, and the status bar says where
    // the picture went.
    void PictureCaptured(const TCaptureNameParts& parts);

    struct TPendingRequest {
        TCaptureSwitches switches;
        HWND answerTo;
    };
    void RunRequests();
    TRequestResult RunRequest(const TCaptureSwitches& switches);
    std::deque<TPendingRequest> requests_;
    bool runningRequests_ = false;
    bool quitWhenDone_ = false;  // the start's quiet request: nobody asked for a window
    bool ending_ = false;        // ...and it is done: no more requests are taken
    int exitStatus_ = 0;

    // ---- the window's controls and parts (owned by the window as components)
    TCoolBar* toolBand_ = nullptr;
    TToolBar* toolBar_ = nullptr;
    TImageList* glyphs_ = nullptr;
    TPanel* zoomBand_ = nullptr;
    TPanel* markupBand_ = nullptr;  // shown in markup mode
    TSpinEdit* markupWidth_ = nullptr;
    class TMarkupTextDialog* markupText_ = nullptr;  // made when first asked
    TSpinEdit* zoomBox_ = nullptr;
    TScrollBox* pictureArea_ = nullptr;
    TStatusBar* statusBar_ = nullptr;
    TMainMenu* menuBar_ = nullptr;
    TPopupMenu* trayMenu_ = nullptr;
    TPopupMenu* pictureMenu_ = nullptr;
    TTrayIcon* tray_ = nullptr;
    TColorDialog* colourDialog_ = nullptr;
    TFileDropTarget* dropTarget_ = nullptr;
    TAnimateForm* minimiseAnimation_ = nullptr;
    TOpenPictureDialog* openDialog_ = nullptr;
    TSavePictureDialog* saveDialog_ = nullptr;  // made at the first save; kept for the run
    TPrinterSetupDialog* printerSetupDialog_ = nullptr;
    TPrintDialog* printDialog_ = nullptr;
    THotKeys* hotKeys_ = nullptr;  // made when first turned on

    // ---- full screen (app/FullScreen.cpp): the bounds to return to
    RECT savedBounds_{0, 0, 0, 0};
    bool wasMaximized_ = false;

    std::unique_ptr<TPictureView> pictureView_;
    std::unique_ptr<TCaptureCommands> captures_;
};

// The main window while it exists (the options dialog applies its changes there).
extern TMainWindow* TheMainWindow;

// The capture the program's own command line asks for, set by the entry before the main
// window is made; none for a plain start or a picture file.
extern std::optional<TCaptureSwitches> StartUpRequest;

}  // namespace kaptor
