#include "app/OptionsDialog.h"

#include "app/MainWindow.h"
#include "settings/Settings.h"
#include "framework/base/SysUtils.h"
#include "framework/win/Bitmap.h"
#include "framework/win/Dialogs.h"
#include "framework/win/Handles.h"

#include <algorithm>

namespace kaptor {

TOptionsDialog* TheOptionsDialog = nullptr;

TOptionsDialog::TOptionsDialog(TComponent* owner) : TForm(owner, "TOptionDlg", TFormWindow::OnDemand) {
    TheOptionsDialog = this;
    SetBorderStyle(TBorderStyle::bsDialog);
    SetCaption("環境設定");
    Position = TPosition::poScreenCenter;
    HelpContext = 100500;
    DialogKeys = true;
    SetClientSize(305, 441);  // the later options' rows below the original eleven options' rows

    // Windows' dialog manager tabs in creation order, so the focusable controls come first,
    // in their tab order; the frame comes last so it lies beneath everything.
    OkButton = new TButton(this);
    OkButton->SetCaption("OK");
    OkButton->ModalResult = mrOk;
    OkButton->SetBounds(75, 409, 75, 25);
    OkButton->SetParent(this);
    OkButton->SetDefault(true);
    OkButton->OnClick = [this](TComponent*) { Commit(); };

    DismissButton = new TButton(this);
    DismissButton->SetCaption("ｷｬﾝｾﾙ");
    DismissButton->ModalResult = mrCancel;
    DismissButton->SetBounds(163, 409, 75, 25);
    DismissButton->SetParent(this);
    DismissButton->SetCancel(true);
    DismissButton->OnClick = [this](TComponent*) { Refill(); };

    DelayBox = new TSpinEdit(this);
    DelayBox->SetMinValue(0);
    DelayBox->SetMaxValue(1200);
    DelayBox->SetMaxLength(3);
    DelayBox->SetBounds(203, 15, 46, 21);
    DelayBox->SetParent(this);
    DelayBox->SetTabStop(true);

    CaptureAtStartBox = Check(41, 41, "起動時にｷｬﾌﾟﾁｬｰ");
    TrayAtStartBox = Check(80, 80, "起動時、ﾀｽｸﾄﾚｲに登録");
    TrayAtCloseBox = Check(100, 100, "終了時、ﾀｽｸﾄﾚｲに登録");
    ClientAreaOnlyBox = Check(120, 120, "ｳｨﾝﾄﾞｳ選択時、ｸﾗｲｱﾝﾄ領域のみｷｬﾌﾟﾁｬｰ");
    ShowAfterTrayCaptureBox = Check(160, 160, "ﾀｽｸﾄﾚｲ常駐時、ｷｬﾌﾟﾁｬｰ後すぐ表示");

    FrameColourButton = new TButton(this);
    FrameColourButton->SetCaption("範囲指定時の枠の色");
    FrameColourButton->SetBounds(18, 240, 135, 25);
    FrameColourButton->SetParent(this);
    FrameColourButton->OnClick = [this](TComponent*) { PickFrameColour(); };

    HideWhileCapturingBox = Check(60, 60, "ｷｬﾌﾟﾁｬｰ時、Kaptor32を隠す");
    ControlUnderPointerBox = Check(140, 140, "ｱｸﾃｨﾌﾞｳｨﾝﾄﾞｳ時、ｺﾝﾄﾛｰﾙをｷｬﾌﾟﾁｬｰ");
    CursorBox = Check(180, 180, "ﾏｳｽｶｰｿﾙもｷｬﾌﾟﾁｬｰ");
    HotKeysBox = Check(200, 200, "ﾎｯﾄｷｰ(PrintScreen)でｷｬﾌﾟﾁｬｰ");
    CountdownBox = Check(220, 220, "待ち時間の残り秒数を表示");
    // The after-capture actions, below the frame colour's row.
    CopyAfterCaptureBox = Check(270, 270, "ｷｬﾌﾟﾁｬｰ後、ｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰ");
    SaveAfterCaptureBox = Check(290, 290, "ｷｬﾌﾟﾁｬｰ後、ﾌｧｲﾙに保存");
    SaveFolderBox = Edit(312);
    SaveNameBox = Edit(338);
    MonitorUnderPointerBox = Check(384, 384, "画面全体時、ﾏｳｽのあるﾓﾆﾀｰのみｷｬﾌﾟﾁｬｰ");

    DelayCaption = new TLabel(this);
    DelayCaption->SetBounds(18, 19, 0, 0);
    DelayCaption->SetParent(this);
    DelayCaption->SetCaption("ｷｬﾌﾟﾁｬｰ実行までの待ち時間：");

    SecondsCaption = new TLabel(this);
    SecondsCaption->SetBounds(252, 19, 0, 0);
    SecondsCaption->SetParent(this);
    SecondsCaption->SetCaption("秒");

    SaveFolderCaption = Label(315, "保存先ﾌｫﾙﾀﾞ：");
    SaveNameCaption = Label(341, "ﾌｧｲﾙ名：");
    SaveNameHint = Label(364, "%Y%m%d %H%M%S 日時  %n 番号  %t ﾀｲﾄﾙ");

    FrameSwatch = new TShape(this);
    FrameSwatch->SetBounds(172, 247, 113, 10);
    FrameSwatch->SetParent(this);
    FrameSwatch->SetBrushColor(Settings.FrameColour);

    Frame = new TSunkenFrame(this);
    Frame->SetBounds(4, 7, 297, 397);
    Frame->SetParent(this);

    OnCreate = [this](TComponent*) { Refill(); };
    OnShow = [this](TComponent*) { OkButton->SetFocus(); };
}

void TSunkenFrame::Paint(HDC dc, const RECT&) {
    RECT r = ClientRect();
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT);
}

TCheckBox* TOptionsDialog::Check(int, int top, const char* caption) {
    auto* box = new TCheckBox(this);
    box->LeftText = true;
    box->SetBounds(18, top, 269, 17);
    box->SetParent(this);
    box->SetCaption(caption);
    return box;
}

TEdit* TOptionsDialog::Edit(int top) {
    auto* box = new TEdit(this);
    box->MaxLength = MAX_PATH - 1;
    box->SetBounds(100, top, 187, 21);
    box->SetParent(this);
    return box;
}

TLabel* TOptionsDialog::Label(int top, const char* text) {
    auto* label = new TLabel(this);
    label->SetBounds(18, top, 0, 0);
    label->SetParent(this);
    label->SetCaption(text);
    return label;
}

void TOptionsDialog::Refill() {
    DelayBox->SetText(IntToStr(Settings.Wait));
    CaptureAtStartBox->SetChecked(Settings.RunCapture);
    HideWhileCapturingBox->SetChecked(Settings.HideForm);
    TrayAtStartBox->SetChecked(Settings.StartTrayIcon);
    TrayAtCloseBox->SetChecked(Settings.EndTrayIcon);
    ClientAreaOnlyBox->SetChecked(Settings.CaptureClient);
    ShowAfterTrayCaptureBox->SetChecked(Settings.ShowAfterCapturing);
    ControlUnderPointerBox->SetChecked(Settings.CaptureControl);
    CursorBox->SetChecked(Settings.ShowCursor);
    HotKeysBox->SetChecked(Settings.HotKeys);
    CountdownBox->SetChecked(Settings.ShowCountdown);
    CopyAfterCaptureBox->SetChecked(Settings.CopyAfterCapture);
    SaveAfterCaptureBox->SetChecked(Settings.SaveAfterCapture);
    SaveFolderBox->SetText(Settings.SaveFolder);
    SaveNameBox->SetText(Settings.SaveName);
    MonitorUnderPointerBox->SetChecked(Settings.MonitorUnderPointer);
    // The bars are the View menu's; they show as the settings say.
    if (TheMainWindow) TheMainWindow->ShowBars();
}

void TOptionsDialog::Commit() {
    // A text that is no whole number stops here, before anything changes.
    Settings.Wait = StrToInt(DelayBox->Text());
    Settings.RunCapture = CaptureAtStartBox->Checked();
    Settings.HideForm = HideWhileCapturingBox->Checked();
    Settings.StartTrayIcon = TrayAtStartBox->Checked();
    Settings.EndTrayIcon = TrayAtCloseBox->Checked();
    Settings.CaptureClient = ClientAreaOnlyBox->Checked();
    Settings.ShowAfterCapturing = ShowAfterTrayCaptureBox->Checked();
    Settings.CaptureControl = ControlUnderPointerBox->Checked();
    Settings.ShowCursor = CursorBox->Checked();
    Settings.HotKeys = HotKeysBox->Checked();
    Settings.ShowCountdown = CountdownBox->Checked();
    Settings.CopyAfterCapture = CopyAfterCaptureBox->Checked();
    Settings.SaveAfterCapture = SaveAfterCaptureBox->Checked();
    Settings.SaveFolder = SaveFolderBox->Text();
    // No name at all would give every capture the same bare counter: the default instead.
    Settings.SaveName = SaveNameBox->Text().empty() ? DefaultSaveName : SaveNameBox->Text();
    Settings.MonitorUnderPointer = MonitorUnderPointerBox->Checked();
    if (TheMainWindow) TheMainWindow->ApplyOptions();
    SaveSettings();
    Refill();
}

void TOptionsDialog::PickFrameColour() {
    TColor colour = Settings.FrameColour;
    if (!TheMainWindow || !TheMainWindow->PickColour(colour)) return;
    Settings.FrameColour = colour;
    FrameSwatch->SetBrushColor(colour);
}

}  // namespace kaptor
