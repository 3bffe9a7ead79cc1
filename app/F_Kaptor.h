// TKaptor32, the main window: its controls, menus and the picture view it holds. Its
// handlers are thin and live in app/, one file per group of commands:
//   F_Kaptor.cpp            layout, start-up, command enabling, closing
//   F_KaptorCapture.cpp     the capture commands, region capture and hot keys
//   F_KaptorView.cpp        zoom, resize, range selection and the picture's mouse
//   F_KaptorExchange.cpp    open and drop, save, clipboard, printing and their dialogs
//   F_KaptorFullScreen.cpp  full-screen view;  F_KaptorShell.cpp  keys, bars, help, options;
//   F_KaptorTray.cpp        tray residency
//   CommandStates.h         every command's state (enabled, down) from a few facts
// What the handlers call lives below app/ and never includes this header:
//   capture/   the capture sequence (TCapturePipeline) and its sources, on TCaptureCommands
//   view/      the picture view (TPictureView): the picture, its clean copy, zoom, resize and
//              range selection
//   exchange/  open, save, clipboard, printing and the page form, on the picture view
//   settings/  the options record and its file
//
// Names of the window's controls and handlers and what they are. The menus and buttons call
// the handlers below by these names; each hands on to a routine named for what it does.
//   Image1              the picture as shown, stretched to the zoom, with the range frame
//                       (TPictureView::Shown; its mouse handlers Image1MouseDown/Move)
//   Image2              the hidden clean copy of the picture, without any frame
//                       (TPictureView::CleanCopy)
//   SpinEdit1           the zoom box (0-300 %)
//   ScrollBox1          the picture area that holds Image1
//   StatusBar1          panel 0 size, 1 pointer position, 2 range size
//   SB_...              tool bar and speed buttons; M_... menu items; MM_... the menu bar's menus
//   PopupMenu1, PM_...  the tray menu; PopupMenu2, PM_... (from PM_Esc) the picture's context menu
//   SB_Capture          whole-screen capture            SB_Capture2   chosen-window capture (list)
//   SB_Capture3         active-window or control capture  SB_Max      full-screen view; PM_Esc its return
//   SB_Range/SB_NoRange enter and leave range mode      SB_Resize     resample to the zoomed size
//   SB_Print            print at the view's size        SB_PrtDialog  printer set-up
//   PM_Print2           print the whole screen from the tray; Print3 its submenu; PM_Print3 its
//                       "shown picture" item; PM_PrintDlg2 printer set-up from the tray
//   F_Kaptor2 / TForm2  the page form: what a print command puts on the page
//   FD_Kaptor / TApDlg  the window list of the chosen-window capture
//   FD_Kaptor2 / TOptionDlg  the options dialog
//   CaptureDelay, OverlayCursor, ReshowMainWindow   the wait, the cursor drawn into the
//                       picture, and showing the program again after a capture
//   M_CaptureRegion, M_CaptureLastRegion (PM_... in the tray menu)   region capture and the
//                       last region again
#pragma once

#include <memory>
#include <string>

#include "app/CommandStates.h"
#include "capture/CaptureCommands.h"
#include "framework/win/ComCtrls.h"
#include "framework/win/Graphics.h"
#include "framework/win/ExtCtrls.h"
#include "framework/win/Forms.h"
#include "framework/win/Menus.h"
#include "framework/win/Spin.h"
#include "framework/win/StdCtrls.h"
#include "view/PictureView.h"

namespace kaptor {

class TAnimateForm;
class TBitmap;
class TColorDialog;
class TFileDropTarget;
class THotKeys;
class TOpenPictureDialog;
class TSavePictureDialog;
class TTrayIcon;

class TKaptor32 : public TForm, private TPictureViewListener, private TCaptureLockListener {
public:
    explicit TKaptor32(TComponent* owner);

    // ---- tool bar area
    TCoolBar* CoolBar1;
    TToolBar* ToolBar1;
    TImageList* ToolImages;
    TToolButton *SB_Close, *SB_Open, *SB_Capture, *SB_Capture2, *SB_Capture3, *SB_Max, *SB_Copy, *SB_Paste,
        *SB_Save, *SB_Option, *SB_Print, *SB_PrtDialog;
    TPanel* Panel1;
    TSpeedButton *SB_Range, *SB_NoRange, *SB_Resize;
    TLabel* Label1;
    TSpinEdit* SpinEdit1;
    // ---- picture area and status bar
    TScrollBox* ScrollBox1;
    TStatusBar* StatusBar1;
    // ---- menus
    TMainMenu* MainMenu1;
    TMenuItem *MM_File, *M_Open, *M_Save, *M_Print, *M_PrintDlg, *M_Exit;
    TMenuItem *MM_Capture, *M_Capture1, *M_Capture2, *M_Capture3;
    TMenuItem *M_CaptureRegion, *M_CaptureLastRegion;  // after the three of old
    TMenuItem *MM_Edit, *M_Copy, *M_Paste, *M_Range, *M_NoRange, *M_Resize;
    TMenuItem *MM_Show, *M_ShowToolBar, *M_ShowStatusBar, *M_Max;
    TMenuItem *MM_Option, *M_Option, *M_BkColor;
    TMenuItem *MM_Help, *M_Contents, *M_Keyword, *M_About;
    TPopupMenu* PopupMenu1;  // the tray menu
    TMenuItem *PM_Capture, *PM_Capture2, *PM_Capture3, *Print3, *PM_Print2, *PM_Print3, *PM_PrintDlg2,
        *PM_ShowWindow, *PM_Help, *PM_About, *PM_End;
    TMenuItem *PM_CaptureRegion, *PM_CaptureLastRegion;  // after PM_Capture3
    TPopupMenu* PopupMenu2;  // the picture's context menu
    TMenuItem *PM_Esc, *PM_Option, *PM_Copy, *PM_Paste, *PM_Open, *PM_Save, *PM_Print, *PM_PrintDlg, *PM_Range,
        *PM_NoRange;
    // ---- non-visual parts
    TTrayIcon* TrayIcon1;
    TColorDialog* ColorDialog1;
    TFileDropTarget* DropDst1 = nullptr;
    TAnimateForm* AnimateForm1 = nullptr;
    TOpenPictureDialog* OpenPictureDialog1 = nullptr;

    // The picture, its clean copy, zoom and range: all of it lives there.
    TPictureView& PictureView() { return *pictureView_; }

    // ---- full screen (app/F_KaptorFullScreen.cpp): the bounds to return to
    int SavedLeft = 0, SavedTop = 0, SavedWidth = 0, SavedHeight = 0;
    bool WasMaximized = false;

    // ---- start, commands, end (app/)
    void FormCreate(TComponent* sender);
    void SetCaptureCaptions();
    void SB_CloseClick(TComponent* sender);
    void FormClose(TComponent* sender, TCloseAction& action);
    void FormDestroy(TComponent* sender);

    // ---- tray residency (app/F_KaptorTray.cpp)
    void WireTrayCommands();
    void TrayIcon1DblClick(TComponent* sender);
    void PM_EndClick(TComponent* sender);

    // ---- capture (app/F_KaptorCapture.cpp hands on to capture/)
    TCaptureCommands& Captures() { return *captures_; }
    void SB_CaptureClick(TComponent* sender);
    void CaptureDelay(TComponent* sender);
    // Draws the pointer's cursor into the shown picture: at its screen position, or relative
    // to the capture rectangle (and only inside it, bounds included) when one is given.
    void OverlayCursor(const RECT* area = nullptr);
    void ReshowMainWindow();

    // ---- keyboard, bars, help, options, About (app/F_KaptorShell.cpp)
    void WireShellCommands();
    void FormKeyDown(TComponent* sender, WORD& key, TShiftState shift);
    void M_ShowToolBarClick(TComponent* sender);
    void M_ShowStatusBarClick(TComponent* sender);
    void PM_HelpClick(TComponent* sender);
    void M_KeywordClick(TComponent* sender);
    void M_AboutClick(TComponent* sender);
    void SB_OptionClick(TComponent* sender);
    // The range frame's colour: the options dialog's swatch.
    TColor FrameColor() const override;

    // ---- region capture and hot keys
    void WireRegionCommands();
    // Marks a region on the frozen screen and takes it; Esc leaves the picture there is.
    void CaptureRegionClick(TComponent* sender);
    // The last accepted region again, without asking (the first time it asks).
    void CaptureLastRegionClick(TComponent* sender);
    // Registers or gives back the Print Screen keys, as "Hot Keys" says.
    void ApplyHotKeys();
    THotKeys* HotKeys = nullptr;  // made when first turned on

    // ---- chosen-window and active-window capture
    void WireWindowCaptureCommands();
    void SB_Capture2Click(TComponent* sender);
    void SB_Capture3Click(TComponent* sender);

    // ---- open and drop a picture file (app/F_KaptorExchange.cpp, exchange/Open.cpp)
    void WireOpenCommands();
    void SB_OpenClick(TComponent* sender);
    void DropDst1FileDrop(TComponent* sender, TStrings& files, int x, int y);
    // The start-up file: asks before replacing a shown picture; leaves the status panels.
    void OpenImageFile(const std::string& fileName);

    // ---- range selection (app/F_KaptorView.cpp), save, clipboard (app/F_KaptorExchange.cpp)
    void WireRangeAndExchangeCommands();
    void SB_RangeClick(TComponent* sender);
    void SB_NoRangeClick(TComponent* sender);
    void Image1MouseDown(TComponent* sender, TMouseButton button, TShiftState shift, int x, int y);
    void Image1MouseMove(TComponent* sender, TShiftState shift, int x, int y);
    TSavePictureDialog* SaveDialog1 = nullptr;  // made at the first save; kept for the run
    void SB_SaveClick(TComponent* sender);
    void SB_CopyClick(TComponent* sender);
    void SB_PasteClick(TComponent* sender);

    // ---- printing (app/F_KaptorExchange.cpp, exchange/Print.cpp; the page form exchange/PrintPage)
    void WirePrintCommands();
    void SB_PrtDialogClick(TComponent* sender);
    void SB_PrintClick(TComponent* sender);
    void PM_Print2Click(TComponent* sender);
    class TPrinterSetupDialog* PrinterSetupDialog1 = nullptr;
    class TPrintDialog* PrintDialog1 = nullptr;

    // ---- view (app/F_KaptorView.cpp, full screen in app/F_KaptorFullScreen.cpp)
    void WireViewCommands();
    void SB_ResizeClick(TComponent* sender);
    void SB_MaxClick(TComponent* sender);
    void PM_EscClick(TComponent* sender);
    void SpinEdit1Change(TComponent* sender);
    void FormPaint(TComponent* sender);
    void M_BkColorClick(TComponent* sender);
    bool TrayResident() const;

private:
    // What the picture view asks of the window (app/F_KaptorView.cpp).
    void ShowStatus(int panel, const std::string& text) override;
    void RangeModeSwitched(bool on) override;
    void EnablePictureCommands() override;
    // What the capture commands tell it (app/F_KaptorCapture.cpp).
    void CaptureCommandsLocked(bool locked, bool activeWindowToo) override;
    // Every command's state from commandFacts_ (app/CommandStates.h); called wherever a fact
    // changes, so the controls never show another state than the facts give.
    void ApplyCommandStates();
    TCommandFacts commandFacts_;

    std::unique_ptr<TPictureView> pictureView_;
    std::unique_ptr<TCaptureCommands> captures_;
    // What the menu bar on one line, the bars and the status bar need (the window's least size).
    SIZE LeastClientSize();
    void BuildLayout();
    void BuildMenus();
    TMenuItem* Item(TMenuItem* parent, const std::string& caption, TShortCut shortCut = 0,
                    TNotifyEvent onClick = nullptr);
};

extern TKaptor32* Kaptor32;

}  // namespace kaptor
