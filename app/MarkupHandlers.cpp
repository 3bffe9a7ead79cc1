// The window's side of markup: the mode, its steps, and the band of tools, colours, line
// width and fill shown above the picture while the mode is on.
#include <algorithm>
#include <iterator>

#include "app/MainWindow.h"
#include "app/MarkupTextDialog.h"
#include "exchange/Open.h"
#include "framework/win/ComCtrls.h"
#include "framework/win/ExtCtrls.h"
#include "framework/win/Spin.h"
#include "framework/win/StdCtrls.h"
#include "settings/Settings.h"
#include "view/MarkupLayer.h"

namespace kaptor {

namespace {

struct TToolRow {
    TMarkupTool tool;
    const char* caption;
    const char* hint;
};

// Half-width captions, in the order of TMarkupTool.
constexpr TToolRow ToolRows[] = {
    {TMarkupTool::Select, "選択", "描画を選択・移動(Delで削除)"},
    {TMarkupTool::Rectangle, "□", "四角形"},
    {TMarkupTool::Ellipse, "○", "楕円"},
    {TMarkupTool::Line, "／", "直線"},
    {TMarkupTool::Arrow, "→", "矢印"},
    {TMarkupTool::Pen, "ﾍﾟﾝ", "ﾌﾘｰﾊﾝﾄﾞ"},
    {TMarkupTool::Highlighter, "ﾏｰｶｰ", "蛍光ﾏｰｶｰ"},
    {TMarkupTool::Text, "ﾃｷｽﾄ", "文字"},
    {TMarkupTool::Step, "①", "番号(順に増える)"},
    {TMarkupTool::Redact, "■", "塗りつぶして隠す"},
    {TMarkupTool::Pixelate, "ﾓｻﾞｲｸ", "ﾓｻﾞｲｸで隠す"},
};
static_assert(std::size(ToolRows) == MarkupToolCount);

struct TColourRow {
    TColor colour;
    const char* caption;
};

constexpr TColourRow ColourRows[] = {
    {RGB(0xFF, 0x00, 0x00), "赤"}, {RGB(0x00, 0x00, 0xFF), "青"}, {RGB(0x00, 0xA0, 0x00), "緑"},
    {RGB(0xFF, 0xFF, 0x00), "黄"}, {RGB(0x00, 0x00, 0x00), "黒"}, {RGB(0xFF, 0xFF, 0xFF), "白"},
};

constexpr int ButtonHeight = 23;

}  // namespace

void TMainWindow::BuildMarkupBand() {
    markupBand_ = new TPanel(this);
    markupBand_->SetVisible(false);
    // Two rows: the tools, then colour, width and fill; the window's least width holds each.
    markupBand_->SetHeight(2 * ButtonHeight + 6);
    markupBand_->SetParent(this);
    markupBand_->SetAlign(TAlign::alTop);

    int left = 2, top = 2;
    auto button = [&](const char* caption, const char* hint, int width, int group) {
        auto* b = new TSpeedButton(this);
        b->SetBounds(left, top, width, ButtonHeight);
        b->SetCaption(caption);
        b->SetHint(hint);
        b->SetParent(markupBand_);
        if (group) b->SetGroupIndex(group);
        left += width;
        return b;
    };
    for (const TToolRow& row : ToolRows) {
        TSpeedButton* b = button(row.caption, row.hint, row.caption[1] && row.caption[2] ? 40 : 25, 2);
        const TMarkupTool tool = row.tool;
        markupTools_.push_back(b);
        b->OnClick = [this, tool](TComponent*) { pictureView_->Markup().Style.tool = tool; };
    }
    left = 2;
    top += ButtonHeight + 2;
    for (const TColourRow& row : ColourRows) {
        TSpeedButton* b = button(row.caption, row.caption, 22, 0);
        const TColor colour = row.colour;
        b->OnClick = [this, colour](TComponent*) { ChooseMarkupColour(colour); };
    }
    button("色...", "色の選択", 36, 0)->OnClick = [this](TComponent*) {
        TColor colour = pictureView_->Markup().Style.colour;
        if (PickColour(colour)) ChooseMarkupColour(colour);
    };
    left += 6;
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
    left += 42;
    markupFill_ = button("塗", "図形を塗りつぶす", 25, 4);
    markupFill_->AllowAllUp = true;
    markupFill_->OnClick = [this](TComponent*) {
        pictureView_->Markup().Style.filled = markupFill_->Down();
        pictureView_->Markup().StyleChanged();
    };
    button("①ﾘｾｯﾄ", "番号を1から振り直す", 50, 0)->OnClick = [this](TComponent*) { pictureView_->Markup().RestartSteps(); };
}

void TMainWindow::ChooseMarkupColour(TColor colour) {
    TMarkupLayer& markup = pictureView_->Markup();
    markup.Style.colour = colour;
    markup.StyleChanged();
}

void TMainWindow::ToggleMarkup() {
    if (pictureView_->MarkupMode()) pictureView_->EndMarkup();
    else pictureView_->BeginMarkup();
}

// The band as it was left is the band markup mode starts with, in this run and the next.
void TMainWindow::MarkupModeSwitched(bool on) {
    TMarkupStyle& style = pictureView_->Markup().Style;
    if (!on) {
        const TSettings before = Settings;
        Settings.MarkupTool = static_cast<std::int32_t>(style.tool);
        Settings.MarkupColour = static_cast<std::int32_t>(style.colour);
        Settings.MarkupWidth = style.width;
        if (!(Settings == before)) SaveMarkupSettings();
        return;
    }
    const int tool = Settings.MarkupTool >= 0 && Settings.MarkupTool < MarkupToolCount ? Settings.MarkupTool : 1;
    style.tool = static_cast<TMarkupTool>(tool);
    markupTools_[static_cast<std::size_t>(tool)]->SetDown(true);
    style.colour = static_cast<std::uint32_t>(Settings.MarkupColour) & 0xFFFFFF;
    markupWidth_->SetValue(std::clamp<int>(Settings.MarkupWidth, markupWidth_->MinValue(), markupWidth_->MaxValue()));
    style.SetWidth(markupWidth_->Value());
}

bool TMainWindow::AskMarkupText(std::string& text) {
    if (!markupText_) markupText_ = new TMarkupTextDialog(this);
    return markupText_->Ask(text);
}

bool TMainWindow::MayDropMarkup(TCommandId id) {
    switch (id) {
        case TCommandId::Open:
        case TCommandId::Paste:
        case TCommandId::CaptureWholeScreen:
        case TCommandId::CaptureChosenWindow:
        case TCommandId::CaptureActiveWindow:
        case TCommandId::CaptureRegion:
        case TCommandId::CaptureLastRegion: break;
        default: return true;
    }
    return !pictureView_->MarkupUnsaved() || ConfirmReplace();
}

void TMainWindow::UndoMarkup() { pictureView_->Markup().Undo(); }
void TMainWindow::RedoMarkup() { pictureView_->Markup().Redo(); }
void TMainWindow::DeleteMarkup() { pictureView_->Markup().DeleteSelection(); }

void TMainWindow::MarkupChanged() {
    const bool on = pictureView_->MarkupMode();
    if (markupBand_->Visible() != on) markupBand_->SetVisible(on);
    if (facts_.markupMode != on) {
        facts_.markupMode = on;
        MarkupModeSwitched(on);
        ApplyCommandStates();
    }
}

}  // namespace kaptor
