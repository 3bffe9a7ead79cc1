// TOptionDlg, the options dialog ("環境設定"): edits Settings, picks the range-frame colour,
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

class TOptionDlg : public TForm {
public:
    explicit TOptionDlg(TComponent* owner);

    TSunkenFrame* Bevel1;
    TLabel *Label1, *Label2;
    TSpinEdit* SpinEdit1;
    TCheckBox *CheckBox1, *CheckBox2, *CheckBox3, *CheckBox4, *CheckBox5, *CheckBox6, *CheckBox7, *CheckBox8;
    TCheckBox* HotKeysBox;    // "Hot Keys"
    TCheckBox* CountdownBox;  // "Show Countdown"
    TButton* Button1;
    TShape* Shape1;  // the frame-colour swatch: its fill is FrameColor
    TButton *OKBtn, *CancelBtn;

    // Fills the controls from Settings and shows or hides the main window's bars. Also the
    // Cancel button's click.
    void FormCreate(TComponent* sender);
    // Controls into Settings, bars, framed range redrawn, settings file written, refill.
    void OKBtnClick(TComponent* sender);
    // Picks the frame colour with the main window's colour dialog.
    void Button1Click(TComponent* sender);

    TColor FrameColor() const { return Shape1->BrushColor(); }

private:
    TCheckBox* Check(int left, int top, const char* caption);
    void RedrawRangeFrame();
};

extern TOptionDlg* OptionDlg;

}  // namespace kaptor
