// TOptionsDialog, the options dialog ("環境設定"): edits Settings, picks the range-frame colour,
// and applies the bar options to the main window. Its OK routine is the only writer of the
// settings file; the View-menu toggles run it too.
#pragma once

#include "framework/win/Forms.h"
#include "framework/win/Graphics.h"
#include "framework/win/Shapes.h"
#include "framework/win/Spin.h"
#include "framework/win/StdCtrls.h"

namespace kaptor {

// A sunken frame painted by us; drawn beneath the controls it surrounds.
class TSunkenFrame : public TCustomControl {
public:
    using TCustomControl::TCustomControl;

protected:
    void Paint(HDC dc, const RECT& update) override;
};

class TOptionsDialog : public TForm {
public:
    explicit TOptionsDialog(TComponent* owner);

    TSunkenFrame* Frame;
    TLabel *DelayCaption, *SecondsCaption;
    TSpinEdit* DelayBox;
    TCheckBox *CaptureAtStartBox, *HideWhileCapturingBox, *TrayAtStartBox, *TrayAtCloseBox, *ClientAreaOnlyBox, *ShowAfterTrayCaptureBox, *ControlUnderPointerBox, *CursorBox;
    TCheckBox* HotKeysBox;    // "Hot Keys"
    TCheckBox* CountdownBox;  // "Show Countdown"
    TCheckBox* CopyAfterCaptureBox;  // "Copy After Capture"
    TCheckBox* SaveAfterCaptureBox;  // "Save After Capture"
    TEdit *SaveFolderBox, *SaveNameBox;  // "Save Folder", "Save Name"
    TLabel *SaveFolderCaption, *SaveNameCaption, *SaveNameHint;
    TCheckBox* MonitorUnderPointerBox;  // "Monitor Under Pointer"
    TButton* FrameColourButton;
    TShape* FrameSwatch;  // the range frame's colour
    TButton *OkButton, *DismissButton;

    // Fills the controls from Settings and shows the main window's bars as they say. Also
    // the Cancel button's click.
    void Refill();
    // Controls into Settings, applied to the main window, the settings file written, refilled.
    // The View menu's bar toggles run it too.
    void Commit();
    // Picks the range frame's colour (with the main window's colour dialog); it applies at once.
    void PickFrameColour();

private:
    TCheckBox* Check(int left, int top, const char* caption);
    TEdit* Edit(int top);
    TLabel* Label(int top, const char* text);
};

extern TOptionsDialog* TheOptionsDialog;

}  // namespace kaptor
