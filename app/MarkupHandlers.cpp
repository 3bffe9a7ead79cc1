// The window's side of markup: the mode, its steps, and the commands of the band of tools,
// colours, line width and fill shown above the picture while the mode is on (its rows are in
// app/CommandTable.cpp).
#include <algorithm>

#include "app/MainWindow.h"
#include "app/MarkupTextDialog.h"
#include "exchange/Open.h"
#include "framework/win/ExtCtrls.h"
#include "framework/win/Spin.h"
#include "settings/Settings.h"
#include "view/MarkupLayer.h"

namespace kaptor {

void TMainWindow::ChooseMarkupTool(TMarkupTool tool) {
    pictureView_->Markup().Style.tool = tool;
    ApplyCommandStates();
}

void TMainWindow::ChooseMarkupColour(TColor colour) {
    TMarkupLayer& markup = pictureView_->Markup();
    markup.Style.colour = colour;
    markup.StyleChanged();
}

void TMainWindow::PickMarkupColour() {
    TColor colour = pictureView_->Markup().Style.colour;
    if (PickColour(colour)) ChooseMarkupColour(colour);
}

void TMainWindow::ToggleFillShapes() {
    TMarkupLayer& markup = pictureView_->Markup();
    markup.Style.filled = !markup.Style.filled;
    markup.StyleChanged();
    ApplyCommandStates();
}

void TMainWindow::RestartSteps() { pictureView_->Markup().RestartSteps(); }

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
    style.colour = static_cast<std::uint32_t>(Settings.MarkupColour) & 0xFFFFFF;
    markupWidth_->SetValue(std::clamp<int>(Settings.MarkupWidth, markupWidth_->MinValue(), markupWidth_->MaxValue()));
    style.SetWidth(markupWidth_->Value());
}

bool TMainWindow::AskMarkupText(std::string& text) {
    if (!markupText_) markupText_ = new TMarkupTextDialog(this);
    return markupText_->Ask(text);
}

bool TMainWindow::MayDropMarkup() { return !pictureView_->MarkupUnsaved() || ConfirmReplace(); }

void TMainWindow::UndoMarkup() { pictureView_->Markup().Undo(); }
void TMainWindow::RedoMarkup() { pictureView_->Markup().Redo(); }
void TMainWindow::DeleteMarkup() { pictureView_->Markup().DeleteSelection(); }

void TMainWindow::MarkupChanged() {
    const bool on = pictureView_->MarkupMode();
    if (on && !markupBand_) BuildMarkupBand();
    if (markupBand_ && markupBand_->Visible() != on) markupBand_->SetVisible(on);
    if (facts_.markupMode != on) {
        facts_.markupMode = on;
        MarkupModeSwitched(on);
        ApplyCommandStates();
    }
}

}  // namespace kaptor
