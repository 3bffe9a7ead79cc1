// The main window: layout, menus, start-up, command enabling and closing.
#include "app/F_Kaptor.h"

#include <commctrl.h>

#include <algorithm>

#include "settings/Settings.h"
#include "components/TrayIcon.h"
#include "framework/win/Bitmap.h"
#include "framework/win/Dialogs.h"
#include "framework/win/SysWin.h"
#include "resources/resource.h"

namespace kaptor {

TKaptor32* Kaptor32 = nullptr;

namespace {
constexpr COLORREF clGrayView = RGB(0x80, 0x80, 0x80);
}

TKaptor32::TKaptor32(TComponent* owner) : TForm(owner, "TKaptor32") {
    Kaptor32 = this;
    SetCaption("Kaptor32");
    HelpContext = 100100;
    Position = TPosition::poScreenCenter;
    if (HICON icon = LoadIconA(MainInstance(), "MAINICON")) SetIcon(icon);
    BuildLayout();
    BuildMenus();
    pictureView_->SetContextMenu(PopupMenu2);
    TCaptureLockListener& lockListener = *this;
    captures_ = std::make_unique<TCaptureCommands>(*this, *TrayIcon1, *pictureView_,
                                                   TCaptureCommands::TButtons{*SB_Capture, *SB_Capture2, *SB_Capture3},
                                                   lockListener);
    MainCaptures = captures_.get();
    ApplyCommandStates();
    SetClientSize(594, 348);  // with the menu bar in place
    // Each subsystem wires the commands it owns (one line each).
    WireShellCommands();
    WireWindowCaptureCommands();
    WireRangeAndExchangeCommands();
    WireOpenCommands();
    WirePrintCommands();
    WireTrayCommands();
    WireViewCommands();
    WireRegionCommands();
    OnCreate = [this](TComponent* s) { FormCreate(s); };
    OnClose = [this](TComponent* s, TCloseAction& a) { FormClose(s, a); };
    OnDestroy = [this](TComponent* s) { FormDestroy(s); };
    OnPaint = [this](TComponent* s) { FormPaint(s); };
    OnResize = [this](TComponent* s) { FormPaint(s); };
    MinClientSize = [this] { return LeastClientSize(); };
}

SIZE TKaptor32::LeastClientSize() {
    // The menu bar on one line: its items side by side, as wide as the system draws them.
    int width = 0;
    HMENU bar = GetMenu(Handle());
    for (int i = 0, n = bar ? GetMenuItemCount(bar) : 0; i < n; ++i) {
        RECT r;
        if (GetMenuItemRect(Handle(), bar, static_cast<UINT>(i), &r)) width += r.right - r.left;
    }
    // Each band whole: what its control holds (the band stretches the control itself) and
    // the band's own borders (gripper, edges).
    int height = 0;
    if (CoolBar1->Visible()) {
        SIZE tools{};
        SendMessageA(ToolBar1->Handle(), TB_GETMAXSIZE, 0, reinterpret_cast<LPARAM>(&tools));
        int panel = 0;
        for (TWinControl* c : Panel1->Controls()) panel = std::max(panel, c->Left() + c->Width());
        const int controls[] = {static_cast<int>(tools.cx), panel};
        for (int i = 0; i < 2; ++i) {
            RECT borders{};
            SendMessageA(CoolBar1->Handle(), RB_GETBANDBORDERS, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&borders));
            width = std::max<int>(width, controls[i] + borders.left + borders.right);
        }
        height += CoolBar1->Height();
    }
    if (StatusBar1->Visible()) height += StatusBar1->Height();
    // The view keeps room for its two scroll bars.
    return SIZE{width, height + 2 * GetSystemMetrics(SM_CYHSCROLL)};
}

void TKaptor32::BuildLayout() {
    // Tool bar area: hidden until the options dialog applies "ShowBar".
    CoolBar1 = new TCoolBar(this);
    CoolBar1->Name = "CoolBar1";
    CoolBar1->SetVisible(false);
    CoolBar1->SetParent(this);
    CoolBar1->SetAlign(TAlign::alTop);

    ToolBar1 = new TToolBar(this);
    ToolBar1->Name = "ToolBar1";
    ToolBar1->SetButtonSize(52, 40);
    ToolBar1->SetBounds(0, 0, 594, 44);
    ToolImages = new TImageList(this, 24, 24);
    ToolBar1->SetImages(ToolImages);
    CoolBar1->AddBand(ToolBar1, 44);

    struct ButtonSpec {
        TToolButton** field;
        const char* name;
        const char* caption;
        const char* hint;
        int glyph;
    };
    const ButtonSpec buttons[] = {
        {&SB_Close, "SB_Close", "終了", "ｱﾌﾟﾘｹｰｼｮﾝ終了", IDB_CLOSE},
        {&SB_Open, "SB_Open", "開く", "画像ﾌｧｲﾙを開く(Ctrl+O)", IDB_OPEN},
        {&SB_Capture, "SB_Capture", "全体", "画面全体を選択してｷｬﾌﾟﾁｬｰ(F5)", IDB_CAPTURE},
        {&SB_Capture2, "SB_Capture2", "選択", "ｳｲﾝﾄﾞｳを選択してｷｬﾌﾟﾁｬｰ(F6)", IDB_CAPTURE2},
        {&SB_Capture3, "SB_Capture3", "ｱｸﾃｨﾌﾞ", "ｱｸﾃｨﾌﾞｳｨﾝﾄﾞｳをｷｬﾌﾟﾁｬｰ(F7)", IDB_CAPTURE3},
        {&SB_Max, "SB_Max", "全画面", "全画面表示(F12)(復帰はESC)", IDB_MAX},
        {&SB_Copy, "SB_Copy", "コピー", "ｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰ(Ctrl+C)", IDB_COPY},
        {&SB_Paste, "SB_Paste", "貼付", "ｸﾘｯﾌﾟﾎﾞｰﾄﾞからｺﾋﾟｰ(Ctrl+V)", IDB_PASTE},
        {&SB_Save, "SB_Save", "保存", "画像を保存(Ctrl+S)", IDB_SAVE},
        {&SB_Option, "SB_Option", "環境", "環境設定  (Ctrl+O)", IDB_OPTION},
        {&SB_Print, "SB_Print", "印刷", "印刷(Ctrl+P)", IDB_PRINT},
        {&SB_PrtDialog, "SB_PrtDialog", "ﾌﾟﾘﾝﾀ設定", "ﾌﾟﾘﾝﾀの設定", IDB_PRTDIALOG},
    };
    for (const ButtonSpec& spec : buttons) {
        auto* b = new TToolButton(this);
        b->Name = spec.name;
        b->SetCaption(spec.caption);
        b->SetHint(spec.hint);
        b->SetImageIndex(ToolImages->AddResource(MAKEINTRESOURCEA(spec.glyph)));
        b->SetParent(ToolBar1);
        *spec.field = b;
    }
    SB_PrtDialog->SetVisible(false);  // enabled with the picture commands, but never shown

    auto* image2 = new TImage(this);
    image2->Name = "Image2";
    image2->SetVisible(false);
    image2->Stretch = true;
    image2->SetBounds(0, 0, 60, 40);
    image2->SetParent(this);

    Panel1 = new TPanel(this);
    Panel1->Name = "Panel1";
    Panel1->SetBounds(0, 0, 260, 27);
    CoolBar1->AddBand(Panel1, 27);

    auto speed = [this](const char* name, int x, int w, const char* hint) {
        auto* b = new TSpeedButton(this);
        b->Name = name;
        b->SetBounds(x, 1, w, 25);
        b->SetHint(hint);
        b->SetParent(Panel1);
        return b;
    };
    SB_Range = speed("SB_Range", 0, 25, "ｷｬﾌﾟﾁｬｰ画像を範囲指定");
    SB_Range->SetGroupIndex(1);
    SB_NoRange = speed("SB_NoRange", 25, 25, "範囲指定解除");
    SB_NoRange->SetGroupIndex(1);
    for (auto [button, glyph] : {std::pair{SB_Range, IDB_RANGE}, {SB_NoRange, IDB_NORANGE}}) {
        UniqueBitmap handle(static_cast<HBITMAP>(
            LoadImageA(MainInstance(), MAKEINTRESOURCEA(glyph), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
        if (!handle) continue;
        TBitmap bitmap;
        bitmap.LoadFromClipboardFormat(handle.get());
        button->SetGlyph(bitmap);
    }

    Label1 = new TLabel(this);
    Label1->Name = "Label1";
    Label1->SetBounds(85, 9, 24, 12);
    Label1->SetParent(Panel1);
    Label1->SetCaption("倍率");

    SpinEdit1 = new TSpinEdit(this);
    SpinEdit1->Name = "SpinEdit1";
    SpinEdit1->SetBounds(114, 4, 47, 21);
    SpinEdit1->SetMinValue(0);
    SpinEdit1->SetMaxValue(300);
    SpinEdit1->SetMaxLength(3);
    SpinEdit1->SetEditorEnabled(false);
    SpinEdit1->SetParent(Panel1);
    SpinEdit1->SetValue(100);

    SB_Resize = speed("SB_Resize", 163, 88, "現在の倍率でﾘｻｲｽﾞ(Ctrl+R)");
    SB_Resize->SetCaption("ｻｲｽﾞ変更");

    StatusBar1 = new TStatusBar(this);
    StatusBar1->Name = "StatusBar1";
    StatusBar1->SetHeight(19);
    StatusBar1->SetParent(this);
    StatusBar1->SetAlign(TAlign::alBottom);
    for (auto [width, alignment] : {std::pair{120, TAlignment::taCenter}, {120, TAlignment::taCenter},
                                    {120, TAlignment::taCenter}, {500, TAlignment::taLeftJustify}}) {
        TStatusPanel& panel = StatusBar1->Panels().Add();
        panel.SetWidth(width);
        panel.SetAlignment(alignment);
    }

    ScrollBox1 = new TScrollBox(this);
    ScrollBox1->Name = "ScrollBox1";
    ScrollBox1->SetColor(clGrayView);
    ScrollBox1->SetParent(this);
    ScrollBox1->SetAlign(TAlign::alClient);

    auto* image1 = new TImage(this);
    image1->Name = "Image1";
    image1->Stretch = true;
    image1->IncrementalDisplay = true;
    image1->SetBounds(0, 0, 0, 0);
    image1->SetParent(ScrollBox1);
    // The view takes the zoom box's changes and the picture's mouse from here on.
    TPictureViewListener& listener = *this;
    pictureView_ = std::make_unique<TPictureView>(*image1, *image2, *SpinEdit1, *ScrollBox1, listener);

    TrayIcon1 = new TTrayIcon(this);
    TrayIcon1->Name = "TrayIcon1";
    if (HICON icon = LoadIconA(MainInstance(), "MAINICON")) {
        TIcon trayIcon;
        trayIcon.SetHandle(CopyIcon(icon));
        TrayIcon1->SetIcon(&trayIcon);
    }
    TrayIcon1->SetTipHelp("Kaptor32");

    ColorDialog1 = new TColorDialog(this);
    ColorDialog1->Name = "ColorDialog1";
    ColorDialog1->Color = clGrayView;
}

void TKaptor32::ApplyCommandStates() {
    const TCommandStates s = CommandStates(commandFacts_);
    for (TToolButton* b : {SB_Max, SB_Copy, SB_Save, SB_Print, SB_PrtDialog}) b->SetEnabled(s.pictureCommands);
    for (TMenuItem* m : {M_Max, M_Copy, M_Save, M_Print, M_PrintDlg, PM_Print3}) m->SetEnabled(s.pictureCommands);
    for (TSpeedButton* b : {SB_Range, SB_NoRange}) b->SetEnabled(s.pictureCommands);
    // One of the two is always down: putting one down lifts the other.
    (s.rangeButtonDown ? SB_Range : SB_NoRange)->SetDown(true);
    M_Range->SetEnabled(s.enterRangeItem);
    M_NoRange->SetEnabled(s.leaveRangeItem);
    SB_Resize->SetEnabled(s.resize);
    M_Resize->SetEnabled(s.resize);
    SpinEdit1->SetEnabled(s.zoomBox);
    SB_Capture->SetEnabled(s.wholeScreenAndChosenCapture);
    SB_Capture2->SetEnabled(s.wholeScreenAndChosenCapture);
    SB_Capture3->SetEnabled(s.activeWindowCapture);
    PM_Esc->SetEnabled(s.leaveFullScreen);
}

TMenuItem* TKaptor32::Item(TMenuItem* parent, const std::string& caption, TShortCut shortCut, TNotifyEvent onClick) {
    auto* item = new TMenuItem(this);
    item->SetCaption(caption);
    item->SetShortCut(shortCut);
    item->OnClick = std::move(onClick);
    parent->Add(item);
    return item;
}

void TKaptor32::BuildMenus() {
    auto on = [this](void (TKaptor32::*handler)(TComponent*)) {
        return [this, handler](TComponent* s) { (this->*handler)(s); };
    };
    MainMenu1 = new TMainMenu(this);
    TMenuItem* bar = MainMenu1->Items();

    MM_File = Item(bar, "ﾌｧｲﾙ(&F)");
    M_Open = Item(MM_File, "開く(&O)");
    M_Save = Item(MM_File, "画像を保存", scCtrl | 'S');
    Item(MM_File, "-");
    M_Print = Item(MM_File, "印刷(&P)", scCtrl | 'P');
    M_PrintDlg = Item(MM_File, "ﾌﾟﾘﾝﾀ設定(&U)");
    Item(MM_File, "-");
    M_Exit = Item(MM_File, "終了(&X)", 0, on(&TKaptor32::SB_CloseClick));

    MM_Capture = Item(bar, "ｷｬﾌﾟﾁｬｰ(&C)");
    M_Capture1 = Item(MM_Capture, "画面全体をｷｬﾌﾟﾁｬｰ", VK_F5, on(&TKaptor32::SB_CaptureClick));
    M_Capture2 = Item(MM_Capture, "ｳｲﾝﾄﾞｳを選択してｷｬﾌﾟﾁｬｰ", VK_F6);
    M_Capture3 = Item(MM_Capture, "ｱｸﾃｨﾌﾞｳｨﾝﾄﾞｳをｷｬﾌﾟﾁｬｰ", VK_F7);
    M_CaptureRegion = Item(MM_Capture, "範囲を指定してｷｬﾌﾟﾁｬｰ", VK_F8);
    M_CaptureLastRegion = Item(MM_Capture, "前回の範囲でｷｬﾌﾟﾁｬｰ", scShift | VK_F8);

    MM_Edit = Item(bar, "編集(&E)");
    M_Copy = Item(MM_Edit, "ｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰ", scCtrl | 'C');
    M_Paste = Item(MM_Edit, "ｸﾘｯﾌﾟﾎﾞｰﾄﾞから貼り付け", scCtrl | 'V');
    Item(MM_Edit, "-");
    M_Range = Item(MM_Edit, "ｷｬﾌﾟﾁｬｰ画像を範囲指定");
    M_NoRange = Item(MM_Edit, "範囲指定解除");
    Item(MM_Edit, "-");
    M_Resize = Item(MM_Edit, "画像のｻｲｽﾞ変更", scCtrl | 'R');

    MM_Show = Item(bar, "表示(&V)");
    M_ShowToolBar = Item(MM_Show, "ﾂｰﾙﾊﾞｰ");
    M_ShowStatusBar = Item(MM_Show, "ｽﾃｰﾀｽﾊﾞｰ");
    Item(MM_Show, "-");
    M_Max = Item(MM_Show, "全画面表示(復帰はESC)", VK_F12);

    MM_Option = Item(bar, "ｵﾌﾟｼｮﾝ(&O)");
    M_Option = Item(MM_Option, "環境設定(&E)", scCtrl | 'O');
    M_BkColor = Item(MM_Option, "背景の色", scCtrl | 'B', on(&TKaptor32::M_BkColorClick));

    MM_Help = Item(bar, "ﾍﾙﾌﾟ(&H)");
    M_Contents = Item(MM_Help, "目次(&C)");
    M_Keyword = Item(MM_Help, "ｷｰﾜｰﾄﾞ検索(&K)");
    Item(MM_Help, "-");
    M_About = Item(MM_Help, "ﾊﾞｰｼﾞｮﾝ情報(&A)");

    M_ShowToolBar->SetChecked(true);
    M_ShowStatusBar->SetChecked(true);
    SetMenu(MainMenu1);

    PopupMenu1 = new TPopupMenu(this);
    TMenuItem* tray = PopupMenu1->Items();
    PM_Capture = Item(tray, "画面全体をｷｬﾌﾟﾁｬｰ(&D)", 0, on(&TKaptor32::SB_CaptureClick));
    PM_Capture2 = Item(tray, "ｳｨﾝﾄﾞｳを選択してｷｬﾌﾟﾁｬｰ(&S)");
    PM_Capture3 = Item(tray, "ｱｸﾃｨﾌﾞｳｨﾝﾄﾞｳをｷｬﾌﾟﾁｬｰ(&F)");
    PM_CaptureRegion = Item(tray, "範囲を指定してｷｬﾌﾟﾁｬｰ(&R)");
    PM_CaptureLastRegion = Item(tray, "前回の範囲でｷｬﾌﾟﾁｬｰ(&L)");
    Item(tray, "-");
    Print3 = Item(tray, "印刷(&P)");
    PM_Print2 = Item(Print3, "現在のﾃﾞｽｸﾄｯﾌﾟ");
    PM_Print3 = Item(Print3, "ｷｬﾌﾟﾁｬｰしてる画像");
    PM_PrintDlg2 = Item(tray, "ﾌﾟﾘﾝﾀ設定(&U)");
    Item(tray, "-");
    PM_ShowWindow = Item(tray, "通常ｳｨﾝﾄﾞｳ表示(&N)");
    Item(tray, "-");
    PM_Help = Item(tray, "ﾍﾙﾌﾟ(&H)");
    PM_About = Item(tray, "ﾊﾞｰｼﾞｮﾝ情報(&A)");
    Item(tray, "-");
    PM_End = Item(tray, "終了(&X)");
    TrayIcon1->SetRBPopupMenu(PopupMenu1);

    PopupMenu2 = new TPopupMenu(this);
    TMenuItem* context = PopupMenu2->Items();
    PM_Esc = Item(context, "復帰", VK_ESCAPE);
    Item(context, "-");
    PM_Option = Item(context, "環境設定", scCtrl | 'O');
    Item(context, "-");
    PM_Copy = Item(context, "ｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰ", scCtrl | 'C');
    PM_Paste = Item(context, "ｸﾘｯﾌﾟﾎﾞｰﾄﾞから貼り付け", scCtrl | 'V');
    Item(context, "-");
    PM_Open = Item(context, "画像を開く(&O)");
    PM_Save = Item(context, "画像を保存", scCtrl | 'S');
    PM_Print = Item(context, "印刷(&P)", scCtrl | 'P');
    PM_PrintDlg = Item(context, "ﾌﾟﾘﾝﾀ設定(&U)");
    Item(context, "-");
    PM_Range = Item(context, "ｷｬﾌﾟﾁｬｰ画像を範囲指定");
    PM_NoRange = Item(context, "範囲指定解除");

    // Tool buttons share the handlers of their menu items.
    SB_Close->OnClick = on(&TKaptor32::SB_CloseClick);
    SB_Capture->OnClick = on(&TKaptor32::SB_CaptureClick);
}

void TKaptor32::FormCreate(TComponent*) {
    ProgramDir = ExtractFilePath(ExeName());
    // Help lies beside the program from the start: a relative name would follow the current
    // folder, which the open dialog moves.
    Application->HelpFile = ProgramDir + "Kaptor.hlp";
    // The task-bar button shows the program's icon.
    if (HICON icon = LoadIconA(MainInstance(), "MAINICON"))
        SetClassLongPtrA(Application->Handle(), GCLP_HICON, reinterpret_cast<LONG_PTR>(icon));
    pictureView_->ResetView();
    SavedWidth = Width();
    SavedHeight = Height();
    SavedTop = Top();
    SavedLeft = Left();
    LoadSettings();
    ApplyHotKeys();
    if (Settings.StartTrayIcon) {
        TrayIcon1->SetVisible(true);
        SetCaptureCaptions();
        ShowWindow(Application->Handle(), SW_HIDE);
        Application->ShowMainForm = false;
    }
    if (__argc <= 1) {
        if (Settings.RunCapture) SB_CaptureClick(this);
    } else if (__argv[1] && __argv[1][0]) {
        OpenImageFile(__argv[1]);
    }
}

void TKaptor32::SetCaptureCaptions() {
    const std::string n = IntToStr(Settings.Wait);
    PM_Capture->SetCaption("画面全体をｷｬﾌﾟﾁｬｰ(" + n + " 秒後) (&D)");
    PM_Capture2->SetCaption("ｳｲﾝﾄﾞｳを選択してｷｬﾌﾟﾁｬｰ(" + n + " 秒後) (&S)");
    PM_Capture3->SetCaption("ｱｸﾃｨﾌﾞｳｨﾝﾄﾞｳをｷｬﾌﾟﾁｬｰ(" + n + " 秒後) (&F)");
    PM_CaptureRegion->SetCaption("範囲を指定してｷｬﾌﾟﾁｬｰ(" + n + " 秒後) (&R)");
    PM_CaptureLastRegion->SetCaption("前回の範囲でｷｬﾌﾟﾁｬｰ(" + n + " 秒後) (&L)");
}

void TKaptor32::SB_CloseClick(TComponent*) { Close(); }

void TKaptor32::FormDestroy(TComponent*) { Application->HelpCommand(HELP_QUIT, 0); }

}  // namespace kaptor
