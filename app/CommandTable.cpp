// The main window's commands: one row each (handler, guard, help topic, Print Screen key),
// the rows of every menu and bar that show them, the building of those controls from the
// rows, and their states from the facts.
#include <iterator>
#include <optional>
#include <span>
#include <type_traits>

#include "app/HotKeys.h"
#include "app/MainWindow.h"
#include "components/TrayIcon.h"
#include "framework/win/Bitmap.h"
#include "framework/win/ComCtrls.h"
#include "framework/win/ExtCtrls.h"
#include "framework/win/Spin.h"
#include "framework/win/StdCtrls.h"
#include "resources/resource.h"
#include "settings/Settings.h"
#include "view/MarkupLayer.h"

namespace kaptor {

namespace {
// Help topics (resources/Kaptor.hlp.txt).
constexpr int MainWindowTopic = 100100, RegionTopic = 100110, MarkupTopic = 100200;
}  // namespace

struct TMainWindow::TCommandRow {
    TCommandId id;
    THandler handler;
    TRule guard;  // the command runs, from wherever it comes, only while this holds
    int helpTopic;
    std::optional<THotKey> hotKey;
    bool replacesPicture = false;  // asks first while markup is unsaved
};

struct TMainWindow::TMenuRow {
    TCommandId id;
    const char* caption;  // "-": a separator
    TShortCut shortCut = 0;
    TRule enabled = TRule::Always;
    TRule checked = TRule::Always;  // Always: no check mark
    const TMenuRow* items = nullptr;  // a submenu of itemCount rows (id unused)
    int itemCount = 0;
};

struct TMainWindow::TButtonRow {
    TCommandId id;
    const char* caption;
    const char* hint;
    int glyph;
    TRule enabled;
    TRule down = TRule::Always;  // Always: a plain button
    bool visible = true;
    // The zoom band's buttons are placed by hand: left and width (0 on the tool bar).
    int left = 0, width = 0;
    bool toggle = false;  // down on its own, up again at the next click
};

namespace {

using C = TCommandId;
using R = TRule;
using W = TMainWindow;

}  // namespace

// ---------------------------------------------------------------- the commands

const TMainWindow::TCommandRow& TMainWindow::Row(TCommandId id) {
    static constexpr TCommandRow rows[] = {
        {C::Open, &W::OpenPicture, R::Always, MainWindowTopic, {}, true},
        {C::Save, &W::SavePicture, R::Always, MainWindowTopic, {}},
        {C::Print, &W::PrintPicture, R::Always, MainWindowTopic, {}},
        {C::PrinterSetup, &W::SetUpPrinter, R::Always, MainWindowTopic, {}},
        {C::Exit, &W::CloseWindow, R::Always, MainWindowTopic, {}},
        {C::CaptureWholeScreen, &W::CaptureWholeScreen, R::WholeScreenCapture, MainWindowTopic, THotKey::WholeScreen, true},
        {C::CaptureChosenWindow, &W::CaptureChosenWindow, R::WholeScreenCapture, MainWindowTopic, {}, true},
        {C::CaptureActiveWindow, &W::CaptureActiveWindow, R::ActiveWindowCapture, MainWindowTopic,
         THotKey::ActiveWindow, true},
        {C::CaptureRegion, &W::CaptureRegion, R::WholeScreenCapture, RegionTopic, THotKey::Region, true},
        {C::CaptureLastRegion, &W::CaptureLastRegion, R::WholeScreenCapture, RegionTopic, {}, true},
        {C::Copy, &W::CopyPicture, R::Always, MainWindowTopic, {}},
        {C::Paste, &W::PastePicture, R::Always, MainWindowTopic, {}, true},
        {C::EnterRange, &W::EnterRange, R::Always, MainWindowTopic, {}},
        {C::LeaveRange, &W::LeaveRange, R::Always, MainWindowTopic, {}},
        {C::Resize, &W::ResizePicture, R::Always, MainWindowTopic, {}},
        {C::ShowToolBar, &W::ToggleToolBar, R::Always, MainWindowTopic, {}},
        {C::ShowStatusBar, &W::ToggleStatusBar, R::Always, MainWindowTopic, {}},
        {C::FullScreen, &W::EnterFullScreen, R::Always, MainWindowTopic, {}},
        {C::LeaveFullScreen, &W::LeaveFullScreen, R::FullScreen, MainWindowTopic, {}},
        {C::Options, &W::ShowOptions, R::Always, MainWindowTopic, {}},
        {C::BackgroundColour, &W::ChooseBackgroundColour, R::Always, MainWindowTopic, {}},
        {C::HelpContents, &W::ShowHelpContents, R::Always, MainWindowTopic, {}},
        {C::HelpKeywords, &W::SearchHelpKeywords, R::Always, MainWindowTopic, {}},
        {C::About, &W::ShowAbout, R::Always, MainWindowTopic, {}},
        {C::PrintDesktop, &W::PrintDesktop, R::Always, MainWindowTopic, {}},
        {C::ShowWindow, &W::ShowFromTray, R::Always, MainWindowTopic, {}},
        {C::End, &W::EndProgram, R::Always, MainWindowTopic, {}},
        {C::Markup, &W::ToggleMarkup, R::Picture, MarkupTopic, {}},
        {C::UndoMarkup, &W::UndoMarkup, R::MarkupMode, MarkupTopic, {}},
        {C::RedoMarkup, &W::RedoMarkup, R::MarkupMode, MarkupTopic, {}},
        {C::DeleteMarkup, &W::DeleteMarkup, R::MarkupMode, MarkupTopic, {}},
        {C::SelectTool, &W::ChooseTool<TMarkupTool::Select>, R::MarkupMode, MarkupTopic, {}},
        {C::RectangleTool, &W::ChooseTool<TMarkupTool::Rectangle>, R::MarkupMode, MarkupTopic, {}},
        {C::EllipseTool, &W::ChooseTool<TMarkupTool::Ellipse>, R::MarkupMode, MarkupTopic, {}},
        {C::LineTool, &W::ChooseTool<TMarkupTool::Line>, R::MarkupMode, MarkupTopic, {}},
        {C::ArrowTool, &W::ChooseTool<TMarkupTool::Arrow>, R::MarkupMode, MarkupTopic, {}},
        {C::PenTool, &W::ChooseTool<TMarkupTool::Pen>, R::MarkupMode, MarkupTopic, {}},
        {C::HighlighterTool, &W::ChooseTool<TMarkupTool::Highlighter>, R::MarkupMode, MarkupTopic, {}},
        {C::TextTool, &W::ChooseTool<TMarkupTool::Text>, R::MarkupMode, MarkupTopic, {}},
        {C::StepTool, &W::ChooseTool<TMarkupTool::Step>, R::MarkupMode, MarkupTopic, {}},
        {C::RedactTool, &W::ChooseTool<TMarkupTool::Redact>, R::MarkupMode, MarkupTopic, {}},
        {C::PixelateTool, &W::ChooseTool<TMarkupTool::Pixelate>, R::MarkupMode, MarkupTopic, {}},
        {C::RedMarkup, &W::ChooseColour<RGB(0xFF, 0x00, 0x00)>, R::MarkupMode, MarkupTopic, {}},
        {C::BlueMarkup, &W::ChooseColour<RGB(0x00, 0x00, 0xFF)>, R::MarkupMode, MarkupTopic, {}},
        {C::GreenMarkup, &W::ChooseColour<RGB(0x00, 0xA0, 0x00)>, R::MarkupMode, MarkupTopic, {}},
        {C::YellowMarkup, &W::ChooseColour<RGB(0xFF, 0xFF, 0x00)>, R::MarkupMode, MarkupTopic, {}},
        {C::BlackMarkup, &W::ChooseColour<RGB(0x00, 0x00, 0x00)>, R::MarkupMode, MarkupTopic, {}},
        {C::WhiteMarkup, &W::ChooseColour<RGB(0xFF, 0xFF, 0xFF)>, R::MarkupMode, MarkupTopic, {}},
        {C::PickMarkupColour, &W::PickMarkupColour, R::MarkupMode, MarkupTopic, {}},
        {C::FillShapes, &W::ToggleFillShapes, R::MarkupMode, MarkupTopic, {}},
        {C::RestartSteps, &W::RestartSteps, R::MarkupMode, MarkupTopic, {}},
    };
    // One row per command, in the order of the ids: a row is found by its id.
    static_assert(std::size(rows) == CommandCount);
    static_assert([] {
        for (int i = 0; i < CommandCount; ++i)
            if (rows[i].id != static_cast<TCommandId>(i)) return false;
        return true;
    }());
    return rows[static_cast<int>(id)];
}

// ---------------------------------------------------------------- where they show

namespace {

constexpr TShortCut Ctrl(char key) { return static_cast<TShortCut>(scCtrl | key); }

}  // namespace

void TMainWindow::BuildMenus() {
    // The picture commands are off on the menu bar until there is a picture; the tray and the
    // picture's own menu keep most of theirs usable.
    static const TMenuRow file[] = {
        {C::Open, "開く(&O)"},
        {C::Save, "画像を保存", Ctrl('S'), R::Picture},
        {C::Open, "-"},
        {C::Print, "印刷(&P)", Ctrl('P'), R::Picture},
        {C::PrinterSetup, "ﾌﾟﾘﾝﾀ設定(&U)", 0, R::Picture},
        {C::Open, "-"},
        {C::Exit, "終了(&X)"},
    };
    static const TMenuRow capture[] = {
        {C::CaptureWholeScreen, "画面全体をｷｬﾌﾟﾁｬｰ", VK_F5},
        {C::CaptureChosenWindow, "ｳｲﾝﾄﾞｳを選択してｷｬﾌﾟﾁｬｰ", VK_F6},
        {C::CaptureActiveWindow, "ｱｸﾃｨﾌﾞｳｨﾝﾄﾞｳをｷｬﾌﾟﾁｬｰ", VK_F7},
        {C::CaptureRegion, "範囲を指定してｷｬﾌﾟﾁｬｰ", VK_F8},
        {C::CaptureLastRegion, "前回の範囲でｷｬﾌﾟﾁｬｰ", scShift | VK_F8},
    };
    static const TMenuRow edit[] = {
        {C::Copy, "ｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰ", Ctrl('C'), R::Picture},
        {C::Paste, "ｸﾘｯﾌﾟﾎﾞｰﾄﾞから貼り付け", Ctrl('V')},
        {C::Copy, "-"},
        {C::EnterRange, "ｷｬﾌﾟﾁｬｰ画像を範囲指定", 0, R::EnterRangeItem},
        {C::LeaveRange, "範囲指定解除", 0, R::LeaveRangeItem},
        {C::Copy, "-"},
        {C::Resize, "画像のｻｲｽﾞ変更", Ctrl('R'), R::Resize},
        {C::Copy, "-"},
        {C::Markup, "描画", Ctrl('D'), R::Picture, R::MarkupMode},
        {C::UndoMarkup, "描画を元に戻す", Ctrl('Z'), R::MarkupMode},
        {C::RedoMarkup, "描画をやり直す", Ctrl('Y'), R::MarkupMode},
        {C::DeleteMarkup, "選択した描画を削除", VK_DELETE, R::MarkupMode},
    };
    static const TMenuRow show[] = {
        {C::ShowToolBar, "ﾂｰﾙﾊﾞｰ", 0, R::Always, R::ToolBarShown},
        {C::ShowStatusBar, "ｽﾃｰﾀｽﾊﾞｰ", 0, R::Always, R::StatusBarShown},
        {C::ShowToolBar, "-"},
        {C::FullScreen, "全画面表示(復帰はESC)", VK_F12, R::Picture},
    };
    static const TMenuRow options[] = {
        {C::Options, "環境設定(&E)", Ctrl('O')},
        {C::BackgroundColour, "背景の色", Ctrl('B')},
    };
    static const TMenuRow help[] = {
        {C::HelpContents, "目次(&C)"},
        {C::HelpKeywords, "ｷｰﾜｰﾄﾞ検索(&K)"},
        {C::HelpContents, "-"},
        {C::About, "ﾊﾞｰｼﾞｮﾝ情報(&A)"},
    };
    static const TMenuRow bar[] = {
        {C::Open, "ﾌｧｲﾙ(&F)", 0, R::Always, R::Always, file, std::size(file)},
        {C::Open, "ｷｬﾌﾟﾁｬｰ(&C)", 0, R::Always, R::Always, capture, std::size(capture)},
        {C::Open, "編集(&E)", 0, R::Always, R::Always, edit, std::size(edit)},
        {C::Open, "表示(&V)", 0, R::Always, R::Always, show, std::size(show)},
        {C::Open, "ｵﾌﾟｼｮﾝ(&O)", 0, R::Always, R::Always, options, std::size(options)},
        {C::Open, "ﾍﾙﾌﾟ(&H)", 0, R::Always, R::Always, help, std::size(help)},
    };
    // The capture items' captions get the delay when the program enters the tray.
    static const TMenuRow print[] = {
        {C::PrintDesktop, "現在のﾃﾞｽｸﾄｯﾌﾟ"},
        {C::Print, "ｷｬﾌﾟﾁｬｰしてる画像", 0, R::Picture},
    };
    static const TMenuRow tray[] = {
        {C::CaptureWholeScreen, "画面全体をｷｬﾌﾟﾁｬｰ(&D)"},
        {C::CaptureChosenWindow, "ｳｨﾝﾄﾞｳを選択してｷｬﾌﾟﾁｬｰ(&S)"},
        {C::CaptureActiveWindow, "ｱｸﾃｨﾌﾞｳｨﾝﾄﾞｳをｷｬﾌﾟﾁｬｰ(&F)"},
        {C::CaptureRegion, "範囲を指定してｷｬﾌﾟﾁｬｰ(&R)"},
        {C::CaptureLastRegion, "前回の範囲でｷｬﾌﾟﾁｬｰ(&L)"},
        {C::Print, "-"},
        {C::Print, "印刷(&P)", 0, R::Always, R::Always, print, std::size(print)},
        {C::PrinterSetup, "ﾌﾟﾘﾝﾀ設定(&U)"},
        {C::Print, "-"},
        {C::ShowWindow, "通常ｳｨﾝﾄﾞｳ表示(&N)"},
        {C::Print, "-"},
        {C::HelpContents, "ﾍﾙﾌﾟ(&H)"},
        {C::About, "ﾊﾞｰｼﾞｮﾝ情報(&A)"},
        {C::Print, "-"},
        {C::End, "終了(&X)"},
    };
    static const TMenuRow picture[] = {
        {C::LeaveFullScreen, "復帰", VK_ESCAPE, R::FullScreen},
        {C::Open, "-"},
        {C::Options, "環境設定", Ctrl('O')},
        {C::Open, "-"},
        {C::Copy, "ｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰ", Ctrl('C')},
        {C::Paste, "ｸﾘｯﾌﾟﾎﾞｰﾄﾞから貼り付け", Ctrl('V')},
        {C::Open, "-"},
        {C::Open, "画像を開く(&O)"},
        {C::Save, "画像を保存", Ctrl('S')},
        {C::Print, "印刷(&P)", Ctrl('P')},
        {C::PrinterSetup, "ﾌﾟﾘﾝﾀ設定(&U)"},
        {C::Open, "-"},
        {C::EnterRange, "ｷｬﾌﾟﾁｬｰ画像を範囲指定"},
        {C::LeaveRange, "範囲指定解除"},
    };

    menuBar_ = new TMainMenu(this);
    BuildMenu(menuBar_->Items(), TPlace::MenuBar, bar, std::size(bar));
    for (int i = 0; i < menuBar_->Items()->Count(); ++i) barMenus_.push_back(menuBar_->Items()->Items(i));
    SetMenu(menuBar_);
    trayMenu_ = new TPopupMenu(this);
    BuildMenu(trayMenu_->Items(), TPlace::TrayMenu, tray, std::size(tray));
    pictureMenu_ = new TPopupMenu(this);
    BuildMenu(pictureMenu_->Items(), TPlace::PictureMenu, picture, std::size(picture));
}

void TMainWindow::BuildMenu(TMenuItem* parent, TPlace place, const TMenuRow* rows, int count) {
    for (const TMenuRow& row : std::span(rows, static_cast<std::size_t>(count))) {
        auto* item = new TMenuItem(this);
        item->SetCaption(row.caption);
        item->SetShortCut(row.shortCut);
        parent->Add(item);
        if (row.items) {
            BuildMenu(item, place, row.items, row.itemCount);
        } else if (!item->IsSeparator()) {
            const TCommandId id = row.id;
            item->HelpContext = Row(id).helpTopic;
            item->OnClick = [this, id](TComponent*) { Execute(id); };
            built_.push_back({id, place, item, row.enabled, row.checked});
        }
    }
}

void TMainWindow::BuildToolBar() {
    static const TButtonRow buttons[] = {
        {C::Exit, "終了", "ｱﾌﾟﾘｹｰｼｮﾝ終了", IDB_CLOSE, R::Always},
        {C::Open, "開く", "画像ﾌｧｲﾙを開く(Ctrl+O)", IDB_OPEN, R::Always},
        {C::CaptureWholeScreen, "全体", "画面全体を選択してｷｬﾌﾟﾁｬｰ(F5)", IDB_CAPTURE, R::WholeScreenCapture},
        {C::CaptureChosenWindow, "選択", "ｳｲﾝﾄﾞｳを選択してｷｬﾌﾟﾁｬｰ(F6)", IDB_CAPTURE2, R::WholeScreenCapture},
        {C::CaptureActiveWindow, "ｱｸﾃｨﾌﾞ", "ｱｸﾃｨﾌﾞｳｨﾝﾄﾞｳをｷｬﾌﾟﾁｬｰ(F7)", IDB_CAPTURE3, R::ActiveWindowCapture},
        {C::FullScreen, "全画面", "全画面表示(F12)(復帰はESC)", IDB_MAX, R::Picture},
        {C::Copy, "コピー", "ｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰ(Ctrl+C)", IDB_COPY, R::Picture},
        {C::Paste, "貼付", "ｸﾘｯﾌﾟﾎﾞｰﾄﾞからｺﾋﾟｰ(Ctrl+V)", IDB_PASTE, R::Always},
        {C::Save, "保存", "画像を保存(Ctrl+S)", IDB_SAVE, R::Picture},
        {C::Options, "環境", "環境設定  (Ctrl+O)", IDB_OPTION, R::Always},
        {C::Print, "印刷", "印刷(Ctrl+P)", IDB_PRINT, R::Picture},
        // Enabled with the picture commands, but never shown.
        {C::PrinterSetup, "ﾌﾟﾘﾝﾀ設定", "ﾌﾟﾘﾝﾀの設定", IDB_PRTDIALOG, R::Picture, R::Always, false},
    };
    for (const TButtonRow& row : buttons) {
        auto* b = new TToolButton(this);
        b->SetCaption(row.caption);
        b->SetHint(row.hint);
        b->SetImageIndex(glyphs_->AddResource(MAKEINTRESOURCEA(row.glyph)));
        b->SetParent(toolBar_);
        b->SetVisible(row.visible);
        const TCommandId id = row.id;
        b->OnClick = [this, id](TComponent*) { Execute(id); };
        built_.push_back({id, TPlace::ToolBar, b, row.enabled, row.down});
    }
}

void TMainWindow::BuildZoomBand() {
    // The range pair is a group: one of the two is always down.
    static const TButtonRow buttons[] = {
        {C::EnterRange, "", "ｷｬﾌﾟﾁｬｰ画像を範囲指定", IDB_RANGE, R::Picture, R::RangeMode, true, 0, 25},
        {C::LeaveRange, "", "範囲指定解除", IDB_NORANGE, R::Picture, R::NoRangeMode, true, 25, 25},
        {C::Resize, "ｻｲｽﾞ変更", "現在の倍率でﾘｻｲｽﾞ(Ctrl+R)", 0, R::Resize, R::Always, true, 163, 88},
        {C::Markup, "", "画像に描き込む(Ctrl+D)", IDB_MARKUP, R::Picture, R::MarkupMode, true, 253, 25, true},
    };
    for (const TButtonRow& row : buttons) {
        // The zoom box lies between the range pair and the resize button, in tab order too.
        if (row.id == C::Resize) BuildZoomBox();
        // The button whole before its window is made: each change to a made one is a message
        // and a repaint (the state too: the commands' states are applied again later).
        auto* b = new TSpeedButton(this);
        b->SetBounds(row.left, 1, row.width, 25);
        b->SetHint(row.hint);
        b->SetEnabled(Holds(row.enabled, facts_));
        if (row.down != R::Always) b->SetGroupIndex(row.toggle ? 2 : 1);
        b->AllowAllUp = row.toggle;
        if (*row.caption) b->SetCaption(row.caption);
        if (row.glyph) {
            UniqueBitmap handle(static_cast<HBITMAP>(
                LoadImageA(MainInstance(), MAKEINTRESOURCEA(row.glyph), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
            if (handle) b->SetGlyph(handle.get());
        }
        b->SetParent(zoomBand_);
        const TCommandId id = row.id;
        b->OnClick = [this, id](TComponent*) { Execute(id); };
        built_.push_back({id, TPlace::ToolBar, b, row.enabled, row.down});
    }
}

void TMainWindow::BuildMarkupBand() {
    // Two lines: the tools, then colour, width and fill; the window's least width holds each.
    static const TButtonRow tools[] = {
        {C::SelectTool, "選択", "描画を選択・移動(Delで削除)", 0, R::MarkupMode, R::SelectTool, true, 0, 40},
        {C::RectangleTool, "□", "四角形", 0, R::MarkupMode, R::RectangleTool, true, 0, 25},
        {C::EllipseTool, "○", "楕円", 0, R::MarkupMode, R::EllipseTool, true, 0, 25},
        {C::LineTool, "／", "直線", 0, R::MarkupMode, R::LineTool, true, 0, 25},
        {C::ArrowTool, "→", "矢印", 0, R::MarkupMode, R::ArrowTool, true, 0, 25},
        {C::PenTool, "ﾍﾟﾝ", "ﾌﾘｰﾊﾝﾄﾞ", 0, R::MarkupMode, R::PenTool, true, 0, 40},
        {C::HighlighterTool, "ﾏｰｶｰ", "蛍光ﾏｰｶｰ", 0, R::MarkupMode, R::HighlighterTool, true, 0, 40},
        {C::TextTool, "ﾃｷｽﾄ", "文字", 0, R::MarkupMode, R::TextTool, true, 0, 40},
        {C::StepTool, "①", "番号(順に増える)", 0, R::MarkupMode, R::StepTool, true, 0, 25},
        {C::RedactTool, "■", "塗りつぶして隠す", 0, R::MarkupMode, R::RedactTool, true, 0, 25},
        {C::PixelateTool, "ﾓｻﾞｲｸ", "ﾓｻﾞｲｸで隠す", 0, R::MarkupMode, R::PixelateTool, true, 0, 40},
    };
    static const TButtonRow colours[] = {
        {C::RedMarkup, "赤", "赤", 0, R::MarkupMode, R::Always, true, 0, 22},
        {C::BlueMarkup, "青", "青", 0, R::MarkupMode, R::Always, true, 0, 22},
        {C::GreenMarkup, "緑", "緑", 0, R::MarkupMode, R::Always, true, 0, 22},
        {C::YellowMarkup, "黄", "黄", 0, R::MarkupMode, R::Always, true, 0, 22},
        {C::BlackMarkup, "黒", "黒", 0, R::MarkupMode, R::Always, true, 0, 22},
        {C::WhiteMarkup, "白", "白", 0, R::MarkupMode, R::Always, true, 0, 22},
        {C::PickMarkupColour, "色...", "色の選択", 0, R::MarkupMode, R::Always, true, 0, 36},
    };
    static const TButtonRow fill[] = {
        {C::FillShapes, "塗", "図形を塗りつぶす", 0, R::MarkupMode, R::FillShapes, true, 0, 25, true},
        {C::RestartSteps, "①ﾘｾｯﾄ", "番号を1から振り直す", 0, R::MarkupMode, R::Always, true, 0, 50},
    };
    constexpr int ButtonHeight = 23;
    markupBand_ = new TPanel(this);
    markupBand_->SetVisible(false);
    markupBand_->SetHeight(2 * ButtonHeight + 6);
    markupBand_->SetParent(this);
    markupBand_->SetAlign(TAlign::alTop);
    BuildMarkupButtons(tools, static_cast<int>(std::size(tools)), 2, 2);
    const int top = 2 + ButtonHeight + 2;
    int left = BuildMarkupButtons(colours, static_cast<int>(std::size(colours)), 2, top) + 6;
    // The line width lies between the colours and the fill, a box like the zoom box.
    auto* label = new TLabel(this);
    label->SetBounds(left, top + 5, 16, 12);
    label->SetParent(markupBand_);
    label->SetCaption("太");
    left += 18;
    markupWidth_ = new TSpinEdit(this);
    markupWidth_->SetBounds(left, top + 1, 40, 21);
    markupWidth_->SetMinValue(1);
    markupWidth_->SetMaxValue(20);
    markupWidth_->SetMaxLength(2);
    markupWidth_->SetEditorEnabled(false);
    markupWidth_->SetParent(markupBand_);
    markupWidth_->SetValue(3);
    markupWidth_->OnChange = [this](TComponent*) {
        TMarkupLayer& markup = pictureView_->Markup();
        markup.Style.SetWidth(markupWidth_->Value());
        markup.StyleChanged();
    };
    BuildMarkupButtons(fill, static_cast<int>(std::size(fill)), left + 42, top);
    TForm::ScaleAdded(*markupBand_);
    // Just before the status bar in the windows' order (the tab order), as when it was made
    // with the others.
    SetWindowPos(markupBand_->Handle(), GetWindow(statusBar_->Handle(), GW_HWNDPREV), 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

int TMainWindow::BuildMarkupButtons(const TButtonRow* rows, int count, int left, int top) {
    for (const TButtonRow& row : std::span(rows, static_cast<std::size_t>(count))) {
        auto* b = new TSpeedButton(this);
        b->SetBounds(left, top, row.width, 23);
        b->SetCaption(row.caption);
        b->SetHint(row.hint);
        b->SetParent(markupBand_);
        // The tools are a group, one of them down; the fill is down on its own.
        if (row.toggle) b->SetGroupIndex(4), b->AllowAllUp = true;
        else if (row.down != R::Always) b->SetGroupIndex(3);
        const TCommandId id = row.id;
        b->OnClick = [this, id](TComponent*) { Execute(id); };
        built_.push_back({id, TPlace::ToolBar, b, row.enabled, row.down});
        left += row.width;
    }
    return left;
}

void TMainWindow::BuildZoomBox() {
    auto* label = new TLabel(this);
    label->SetBounds(85, 9, 24, 12);
    label->SetParent(zoomBand_);
    label->SetCaption("倍率");

    zoomBox_ = new TSpinEdit(this);
    zoomBox_->SetBounds(114, 4, 47, 21);
    zoomBox_->SetMinValue(0);
    zoomBox_->SetMaxValue(300);
    zoomBox_->SetMaxLength(3);
    zoomBox_->SetEditorEnabled(false);
    zoomBox_->SetParent(zoomBand_);
    zoomBox_->SetValue(100);
}

// ---------------------------------------------------------------- running and states

void TMainWindow::Execute(TCommandId id) {
    const TCommandRow& row = Row(id);
    if (!Holds(row.guard, facts_)) return;
    if (BeforeCommand && !BeforeCommand(id)) return;
    if (row.replacesPicture && !MayDropMarkup()) return;
    (this->*row.handler)();
}

void TMainWindow::ApplyHotKeys() {
    if (!hotKeys_) {
        if (!Settings.HotKeys) return;
        hotKeys_ = new THotKeys(this, [this](THotKey key) {
            for (int i = 0; i < CommandCount; ++i) {
                const TCommandRow& row = Row(static_cast<TCommandId>(i));
                if (row.hotKey == key) return Execute(row.id);
            }
        });
    }
    hotKeys_->Apply(Settings.HotKeys);
}

void TMainWindow::ApplyCommandStates() {
    facts_.captureLocked = captures_ && captures_->Locked();
    facts_.activeCaptureLocked = captures_ && captures_->ActiveWindowLocked();
    facts_.toolBarShown = Settings.ShowBar;
    facts_.statusBarShown = Settings.ShowStsBar;
    if (pictureView_) {
        const TMarkupStyle& style = pictureView_->Markup().Style;
        facts_.markupTool = static_cast<int>(style.tool);
        facts_.fillShapes = style.filled;
    }
    for (const TBuilt& b : built_) {
        const bool enabled = Holds(b.enabled, facts_);
        const bool down = b.down != TRule::Always && Holds(b.down, facts_);
        std::visit(
            [&](auto* control) {
                control->SetEnabled(enabled);
                using T = std::remove_pointer_t<decltype(control)>;
                if constexpr (std::is_same_v<T, TMenuItem>) {
                    if (b.down != TRule::Always) control->SetChecked(down);
                } else {
                    // Putting one of a group down lifts the other; a toggle comes up alone.
                    if (down) control->SetDown(true);
                    else if constexpr (std::is_same_v<T, TSpeedButton>) {
                        if (control->AllowAllUp) control->SetDown(false);
                    }
                }
            },
            b.control);
    }
    zoomBox_->SetEnabled(ZoomBoxEnabled(facts_));
}

const TMainWindow::TBuilt* TMainWindow::Built(TCommandId id, TPlace place) const {
    for (const TBuilt& b : built_)
        if (b.id == id && b.place == place) return &b;
    return nullptr;
}

bool TMainWindow::Enabled(TCommandId id, TPlace place) const {
    const TBuilt* b = Built(id, place);
    return b && std::visit([](auto* control) { return control->Enabled(); }, b->control);
}

bool TMainWindow::Down(TCommandId id) const {
    const TBuilt* b = Built(id, TPlace::ToolBar);
    TSpeedButton* const* button = b ? std::get_if<TSpeedButton*>(&b->control) : nullptr;
    return button && (*button)->Down();
}

bool TMainWindow::Checked(TCommandId id) const {
    const TBuilt* b = Built(id, TPlace::MenuBar);
    return b && std::get<TMenuItem*>(b->control)->Checked();
}

std::string TMainWindow::Caption(TCommandId id, TPlace place) const {
    const TBuilt* b = Built(id, place);
    return b ? std::visit([](auto* control) { return std::string(control->Caption()); }, b->control) : std::string();
}

bool TMainWindow::Click(TCommandId id, TPlace place) {
    if (place == TPlace::HotKey) {
        const std::optional<THotKey> key = Row(id).hotKey;
        if (!key || !hotKeys_) return false;
        // As the system delivers the key.
        SendMessageA(hotKeys_->Receiver(), WM_HOTKEY, static_cast<WPARAM>(*key), 0);
        return true;
    }
    if (place == TPlace::TrayIcon) {
        if (id != TCommandId::ShowWindow || !tray_->OnDblClick) return false;
        tray_->OnDblClick(tray_);
        return true;
    }
    const TBuilt* b = Built(id, place);
    if (!b) return false;
    // A disabled control takes no click.
    if (Enabled(id, place)) std::visit([](auto* control) { control->Click(); }, b->control);
    return true;
}

}  // namespace kaptor
