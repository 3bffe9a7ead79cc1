#include "app/FD_Kaptor2.h"

#include "app/F_Kaptor.h"
#include "settings/Settings.h"
#include "framework/base/SysUtils.h"
#include "framework/win/Bitmap.h"
#include "framework/win/Dialogs.h"
#include "framework/win/Handles.h"

#include <algorithm>

namespace kaptor {

TOptionDlg* OptionDlg = nullptr;

TOptionDlg::TOptionDlg(TComponent* owner) : TForm(owner, "TOptionDlg") {
    OptionDlg = this;
    SetBorderStyle(TBorderStyle::bsDialog);
    SetCaption("環境設定");
    Position = TPosition::poScreenCenter;
    HelpContext = 100500;
    DialogKeys = true;
    SetClientSize(305, 311);  // two rows below the original eleven options' rows

    // Windows' dialog manager tabs in creation order, so the focusable controls come first,
    // in their tab order; the frame comes last so it lies beneath everything.
    OKBtn = new TButton(this);
    OKBtn->Name = "OKBtn";
    OKBtn->SetCaption("OK");
    OKBtn->ModalResult = mrOk;
    OKBtn->SetBounds(75, 279, 75, 25);
    OKBtn->SetParent(this);
    OKBtn->SetDefault(true);
    OKBtn->OnClick = [this](TComponent* s) { OKBtnClick(s); };

    CancelBtn = new TButton(this);
    CancelBtn->Name = "CancelBtn";
    CancelBtn->SetCaption("ｷｬﾝｾﾙ");
    CancelBtn->ModalResult = mrCancel;
    CancelBtn->SetBounds(163, 279, 75, 25);
    CancelBtn->SetParent(this);
    CancelBtn->SetCancel(true);
    CancelBtn->OnClick = [this](TComponent* s) { FormCreate(s); };

    SpinEdit1 = new TSpinEdit(this);
    SpinEdit1->Name = "SpinEdit1";
    SpinEdit1->SetMinValue(0);
    SpinEdit1->SetMaxValue(1200);
    SpinEdit1->SetMaxLength(3);
    SpinEdit1->SetBounds(203, 15, 46, 21);
    SpinEdit1->SetParent(this);
    SpinEdit1->SetTabStop(true);

    CheckBox1 = Check(41, 41, "起動時にｷｬﾌﾟﾁｬｰ");
    CheckBox3 = Check(80, 80, "起動時、ﾀｽｸﾄﾚｲに登録");
    CheckBox4 = Check(100, 100, "終了時、ﾀｽｸﾄﾚｲに登録");
    CheckBox5 = Check(120, 120, "ｳｨﾝﾄﾞｳ選択時、ｸﾗｲｱﾝﾄ領域のみｷｬﾌﾟﾁｬｰ");
    CheckBox6 = Check(160, 160, "ﾀｽｸﾄﾚｲ常駐時、ｷｬﾌﾟﾁｬｰ後すぐ表示");

    Button1 = new TButton(this);
    Button1->Name = "Button1";
    Button1->SetCaption("範囲指定時の枠の色");
    Button1->SetBounds(18, 240, 135, 25);
    Button1->SetParent(this);
    Button1->OnClick = [this](TComponent* s) { Button1Click(s); };

    CheckBox2 = Check(60, 60, "ｷｬﾌﾟﾁｬｰ時、Kaptor32を隠す");
    CheckBox7 = Check(140, 140, "ｱｸﾃｨﾌﾞｳｨﾝﾄﾞｳ時、ｺﾝﾄﾛｰﾙをｷｬﾌﾟﾁｬｰ");
    CheckBox8 = Check(180, 180, "ﾏｳｽｶｰｿﾙもｷｬﾌﾟﾁｬｰ");
    HotKeysBox = Check(200, 200, "ﾎｯﾄｷｰ(PrintScreen)でｷｬﾌﾟﾁｬｰ");
    CountdownBox = Check(220, 220, "待ち時間の残り秒数を表示");
    HotKeysBox->Name = "HotKeysBox";
    CountdownBox->Name = "CountdownBox";
    CheckBox1->Name = "CheckBox1";
    CheckBox2->Name = "CheckBox2";
    CheckBox3->Name = "CheckBox3";
    CheckBox4->Name = "CheckBox4";
    CheckBox5->Name = "CheckBox5";
    CheckBox6->Name = "CheckBox6";
    CheckBox7->Name = "CheckBox7";
    CheckBox8->Name = "CheckBox8";

    Label1 = new TLabel(this);
    Label1->Name = "Label1";
    Label1->SetBounds(18, 19, 0, 0);
    Label1->SetParent(this);
    Label1->SetCaption("ｷｬﾌﾟﾁｬｰ実行までの待ち時間：");

    Label2 = new TLabel(this);
    Label2->Name = "Label2";
    Label2->SetBounds(252, 19, 0, 0);
    Label2->SetParent(this);
    Label2->SetCaption("秒");

    Shape1 = new TShape(this);
    Shape1->Name = "Shape1";
    Shape1->SetBounds(172, 247, 113, 10);
    Shape1->SetParent(this);
    Shape1->SetBrushColor(clRed);  // the frame is red until the user picks another colour

    Bevel1 = new TSunkenFrame(this);
    Bevel1->Name = "Bevel1";
    Bevel1->SetBounds(4, 7, 297, 267);
    Bevel1->SetParent(this);

    OnCreate = [this](TComponent* s) { FormCreate(s); };
    OnShow = [this](TComponent*) { OKBtn->SetFocus(); };
}

void TSunkenFrame::Paint(HDC dc, const RECT&) {
    RECT r = ClientRect();
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT);
}

TCheckBox* TOptionDlg::Check(int, int top, const char* caption) {
    auto* box = new TCheckBox(this);
    box->LeftText = true;
    box->SetBounds(18, top, 269, 17);
    box->SetParent(this);
    box->SetCaption(caption);
    return box;
}

void TOptionDlg::FormCreate(TComponent*) {
    SpinEdit1->SetText(IntToStr(Settings.Wait));
    CheckBox1->SetChecked(Settings.RunCapture);
    CheckBox2->SetChecked(Settings.HideForm);
    if (Kaptor32) {
        Kaptor32->M_ShowToolBar->SetChecked(Settings.ShowBar);
        Kaptor32->M_ShowStatusBar->SetChecked(Settings.ShowStsBar);
    }
    CheckBox3->SetChecked(Settings.StartTrayIcon);
    CheckBox4->SetChecked(Settings.EndTrayIcon);
    CheckBox5->SetChecked(Settings.CaptureClient);
    CheckBox6->SetChecked(Settings.ShowAfterCapturing);
    CheckBox7->SetChecked(Settings.CaptureControl);
    CheckBox8->SetChecked(Settings.ShowCursor);
    HotKeysBox->SetChecked(Settings.HotKeys);
    CountdownBox->SetChecked(Settings.ShowCountdown);
    if (Kaptor32) {
        Kaptor32->CoolBar1->SetVisible(Settings.ShowBar);
        Kaptor32->StatusBar1->SetVisible(Settings.ShowStsBar);
    }
}

void TOptionDlg::OKBtnClick(TComponent* sender) {
    // A text that is no whole number stops here, before anything changes.
    Settings.Wait = StrToInt(SpinEdit1->Text());
    Settings.RunCapture = CheckBox1->Checked();
    Settings.HideForm = CheckBox2->Checked();
    if (Kaptor32) {
        Settings.ShowBar = Kaptor32->M_ShowToolBar->Checked();
        Settings.ShowStsBar = Kaptor32->M_ShowStatusBar->Checked();
    }
    Settings.StartTrayIcon = CheckBox3->Checked();
    Settings.EndTrayIcon = CheckBox4->Checked();
    Settings.CaptureClient = CheckBox5->Checked();
    Settings.ShowAfterCapturing = CheckBox6->Checked();
    Settings.CaptureControl = CheckBox7->Checked();
    Settings.ShowCursor = CheckBox8->Checked();
    Settings.HotKeys = HotKeysBox->Checked();
    Settings.ShowCountdown = CountdownBox->Checked();
    if (Kaptor32) {
        Kaptor32->ApplyHotKeys();
        Kaptor32->ToolBar1->SetVisible(Settings.ShowBar);
        Kaptor32->StatusBar1->SetVisible(Settings.ShowStsBar);
        if (Kaptor32->PictureView().RangeFramed()) RedrawRangeFrame();
    }
    SaveSettings();
    FormCreate(sender);
}

void TOptionDlg::RedrawRangeFrame() {
    Kaptor32->PictureView().RedrawRangeFrame();
}

void TOptionDlg::Button1Click(TComponent*) {
    if (!Kaptor32) return;
    TColorDialog& dialog = *Kaptor32->ColorDialog1;
    dialog.Color = Shape1->BrushColor();
    if (dialog.Execute()) Shape1->SetBrushColor(dialog.Color);
}

}  // namespace kaptor
