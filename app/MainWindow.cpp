// The main window: layout, menus, start-up, command enabling and closing.
#include "app/MainWindow.h"

#include <commctrl.h>

#include <algorithm>
#include <tuple>

#include "settings/Settings.h"
#include "view/MarkupLayer.h"
#include "components/TrayIcon.h"
#include "framework/win/Bitmap.h"
#include "framework/win/ComCtrls.h"
#include "framework/win/ExtCtrls.h"
#include "framework/win/Spin.h"
#include "framework/win/StdCtrls.h"
#include "framework/win/Dialogs.h"
#include "framework/win/SysWin.h"
#include "resources/resource.h"

namespace kaptor {

TMainWindow* TheMainWindow = nullptr;
std::optional<TCaptureSwitches> StartUpRequest;

namespace {
constexpr COLORREF clGrayView = RGB(0x80, 0x80, 0x80);
}

TMainWindow::TMainWindow(TComponent* owner) : TForm(owner, "TKaptor32", TFormWindow::OnDemand) {
    TheMainWindow = this;
    SetCaption("Kaptor32");
    HelpContext = 100100;
    Position = TPosition::poScreenCenter;
    // The window made once its menu bar, size and place are known: each change to a made
    // top-level window is a round of messages and a trip to the display. The controls are
    // then made into the client area they keep.
    BuildMenus();
    SetClientSize(594, 348);  // with the menu bar on one line
    CenterOnScreen();
    HandleNeeded();
    SetClientSize(594, 348);  // a bar that wraps takes more: corrected now the window can tell
    if (HICON icon = ProgramIcon()) SetIcon(icon);
    BuildLayout();
    tray_->SetRBPopupMenu(trayMenu_);
    tray_->OnDblClick = [this](TComponent*) { Execute(TCommandId::ShowWindow); };
    pictureView_->SetContextMenu(pictureMenu_);
    pictureView_->Markup().AskText = [this](std::string& text) { return AskMarkupText(text); };
    TCaptureLockListener& lockListener = *this;
    captures_ = std::make_unique<TCaptureCommands>(*this, *tray_, *pictureView_, lockListener);
    captures_->AfterCapture = [this](const TCaptureNameParts& parts) { PictureCaptured(parts); };
    ApplyCommandStates();
    BuildDialogs();
    OnCreate = [this](TComponent*) { Started(); };
    OnClose = [this](TComponent*, TCloseAction& a) { Closing(a); };
    OnDestroy = [](TComponent*) { Application->HelpCommand(HELP_QUIT, 0); };
    OnPaint = [this](TComponent*) { PaintBackground(); };
    OnResize = [this](TComponent*) { PaintBackground(); };
    OnKeyDown = [this](TComponent*, WORD& key, TShiftState) { KeyPressed(key); };
    zoomBox_->OnKeyDown = OnKeyDown;
    MinClientSize = [this] { return LeastClientSize(); };
}

TMainWindow::~TMainWindow() {
    if (TheMainWindow == this) TheMainWindow = nullptr;
}

SIZE TMainWindow::LeastClientSize() {
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
    if (toolBand_->Visible()) {
        SIZE tools{};
        SendMessageA(toolBar_->Handle(), TB_GETMAXSIZE, 0, reinterpret_cast<LPARAM>(&tools));
        int panel = 0;
        for (TWinControl* c : zoomBand_->Controls()) panel = std::max(panel, c->Left() + c->Width());
        const int controls[] = {static_cast<int>(tools.cx), panel};
        for (int i = 0; i < 2; ++i) {
            RECT borders{};
            SendMessageA(toolBand_->Handle(), RB_GETBANDBORDERS, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&borders));
            width = std::max<int>(width, controls[i] + borders.left + borders.right);
        }
        height += toolBand_->Height();
    }
    if (statusBar_->Visible()) height += statusBar_->Height();
    // The view keeps room for its two scroll bars.
    return SIZE{width, height + 2 * GetSystemMetrics(SM_CYHSCROLL)};
}

void TMainWindow::BuildLayout() {
    // Tool bar area: hidden until the options show it.
    toolBand_ = new TCoolBar(this);
    toolBand_->SetVisible(false);
    toolBand_->SetParent(this);
    toolBand_->SetAlign(TAlign::alTop);

    toolBar_ = new TToolBar(this);
    toolBar_->SetButtonSize(52, 40);
    toolBar_->SetBounds(0, 0, 594, 44);
    glyphs_ = new TImageList(this, 24, 24);
    toolBar_->SetImages(glyphs_);
    // The buttons before the bar's window: it takes them all at once when made, and measures
    // them once (each button added to a made bar measures all of them again).
    BuildToolBar();
    toolBand_->AddBand(toolBar_, 44);

    // The clean copy is never shown: it has no parent, so it never gets a window (one window
    // less to make at start, and no repaint asked of a hidden window at each change).
    auto* clean = new TImage(this);
    clean->SetVisible(false);
    clean->Stretch = true;
    clean->SetBounds(0, 0, 60, 40);

    zoomBand_ = new TPanel(this);
    zoomBand_->SetBounds(0, 0, 280, 27);
    toolBand_->AddBand(zoomBand_, 27);
    BuildZoomBand();

    // The panels before the bar's window: it takes them all at once when made.
    statusBar_ = new TStatusBar(this);
    statusBar_->SetHeight(19);
    for (auto [width, alignment] : {std::pair{120, TAlignment::taCenter}, {120, TAlignment::taCenter},
                                    {120, TAlignment::taCenter}, {500, TAlignment::taLeftJustify}}) {
        TStatusPanel& panel = statusBar_->Panels().Add();
        panel.SetWidth(width);
        panel.SetAlignment(alignment);
    }
    statusBar_->SetParent(this);
    statusBar_->SetAlign(TAlign::alBottom);

    pictureArea_ = new TScrollBox(this);
    pictureArea_->SetColor(clGrayView);
    pictureArea_->SetParent(this);
    pictureArea_->SetAlign(TAlign::alClient);

    auto* shown = new TImage(this);
    shown->Stretch = true;
    shown->IncrementalDisplay = true;
    shown->SetBounds(0, 0, 0, 0);
    shown->SetParent(pictureArea_);
    // The view takes the zoom box's changes and the picture's mouse from here on.
    TPictureViewListener& listener = *this;
    pictureView_ = std::make_unique<TPictureView>(*shown, *clean, *zoomBox_, *pictureArea_, listener);

    tray_ = new TTrayIcon(this);
    // The tray's own copy (it destroys its icon), handed over rather than copied again.
    if (HICON icon = ProgramIcon()) tray_->Icon()->SetHandle(CopyIcon(icon));
    tray_->SetTipHelp("Kaptor32");

    colourDialog_ = new TColorDialog(this);
    colourDialog_->Color = clGrayView;
}

void TMainWindow::Started() {
    ProgramDir = ExtractFilePath(ExeName());
    // Help lies beside the program from the start: a relative name would follow the current
    // folder, which the open dialog moves.
    Application->HelpFile = ProgramDir + "Kaptor.hlp";
    // The task-bar button shows the program's icon.
    if (HICON icon = ProgramIcon())
        SetClassLongPtrA(Application->Handle(), GCLP_HICON, reinterpret_cast<LONG_PTR>(icon));
    pictureView_->ResetView();
    savedBounds_ = RECT{Left(), Top(), Left() + Width(), Top() + Height()};
    LoadSettings();
    ApplyCommandStates();
    // A script's quiet capture takes no keys and no place in the tray: it ends when done.
    const bool scriptOnly = StartUpRequest && StartUpRequest->quiet;
    if (!scriptOnly) ApplyHotKeys();
    if (Settings.StartTrayIcon && !scriptOnly) {
        tray_->SetVisible(true);
        SetTrayCaptions();
        ShowWindow(Application->Handle(), SW_HIDE);
        Application->ShowMainForm = false;
    }
    if (StartUpRequest) {
        // The capture shows the program when it has ended (or, quiet, nothing does); it runs
        // once the message loop does, when every window of the program exists.
        Application->ShowMainForm = false;
        quitWhenDone_ = scriptOnly;
        Request(*StartUpRequest);
    } else if (__argc <= 1) {
        if (Settings.RunCapture) captures_->CaptureWholeScreen(TCaptureStart::AtStartUp);
    } else if (__argv[1] && __argv[1][0]) {
        OpenStartUpFile(__argv[1]);
    }
}

void TMainWindow::SetTrayCaptions() {
    const std::string n = IntToStr(Settings.Wait);
    const std::tuple<TCommandId, const char*, const char*> items[] = {
        {TCommandId::CaptureWholeScreen, "画面全体をｷｬﾌﾟﾁｬｰ(", "D"},
        {TCommandId::CaptureChosenWindow, "ｳｲﾝﾄﾞｳを選択してｷｬﾌﾟﾁｬｰ(", "S"},
        {TCommandId::CaptureActiveWindow, "ｱｸﾃｨﾌﾞｳｨﾝﾄﾞｳをｷｬﾌﾟﾁｬｰ(", "F"},
        {TCommandId::CaptureRegion, "範囲を指定してｷｬﾌﾟﾁｬｰ(", "R"},
        {TCommandId::CaptureLastRegion, "前回の範囲でｷｬﾌﾟﾁｬｰ(", "L"},
    };
    for (auto [id, head, key] : items)
        if (const TBuilt* b = Built(id, TPlace::TrayMenu))
            std::get<TMenuItem*>(b->control)->SetCaption(head + n + " 秒後) (&" + key + ")");
}

std::string TMainWindow::StatusText(int panel) const { return statusBar_->Panels()[panel].Text(); }
bool TMainWindow::ToolBarShown() const { return toolBand_->Visible(); }
bool TMainWindow::StatusBarShown() const { return statusBar_->Visible(); }

}  // namespace kaptor
