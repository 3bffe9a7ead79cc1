// The window's side of the picture view: the handlers the menus and buttons call for range
// mode, zoom and resize, painting and the background colour, and what the view asks of the
// window (status panels, the commands range mode switches, the frame colour).
#include "app/F_Kaptor.h"
#include "framework/win/Bitmap.h"
#include "framework/win/Dialogs.h"
#include "view/PictureView.h"

namespace kaptor {

void TKaptor32::WireRangeAndExchangeCommands() {
    auto on = [this](void (TKaptor32::*handler)(TComponent*)) {
        return [this, handler](TComponent* s) { (this->*handler)(s); };
    };
    for (TMenuItem* m : {M_Range, PM_Range}) m->OnClick = on(&TKaptor32::SB_RangeClick);
    for (TMenuItem* m : {M_NoRange, PM_NoRange}) m->OnClick = on(&TKaptor32::SB_NoRangeClick);
    for (TMenuItem* m : {M_Save, PM_Save}) m->OnClick = on(&TKaptor32::SB_SaveClick);
    for (TMenuItem* m : {M_Copy, PM_Copy}) m->OnClick = on(&TKaptor32::SB_CopyClick);
    for (TMenuItem* m : {M_Paste, PM_Paste}) m->OnClick = on(&TKaptor32::SB_PasteClick);
    SB_Range->OnClick = on(&TKaptor32::SB_RangeClick);
    SB_NoRange->OnClick = on(&TKaptor32::SB_NoRangeClick);
    SB_Save->OnClick = on(&TKaptor32::SB_SaveClick);
    SB_Copy->OnClick = on(&TKaptor32::SB_CopyClick);
    SB_Paste->OnClick = on(&TKaptor32::SB_PasteClick);
}

void TKaptor32::SB_RangeClick(TComponent*) { pictureView_->BeginRange(); }
void TKaptor32::SB_NoRangeClick(TComponent*) { pictureView_->EndRange(); }

void TKaptor32::Image1MouseDown(TComponent*, TMouseButton button, TShiftState, int x, int y) {
    pictureView_->MouseDown(button, x, y);
}
void TKaptor32::Image1MouseMove(TComponent*, TShiftState, int x, int y) { pictureView_->MouseMove(x, y); }

void TKaptor32::SpinEdit1Change(TComponent*) { pictureView_->SetZoom(SpinEdit1->Value()); }

void TKaptor32::SB_ResizeClick(TComponent*) {
    commandFacts_.ResizeStarted();
    ApplyCommandStates();
    pictureView_->ResampleToZoom();
}

void TKaptor32::FormPaint(TComponent*) {
    // The picture on the window's own surface, beneath the bars and the view, in its own
    // palette on palette displays.
    auto* bitmap = dynamic_cast<TBitmap*>(pictureView_->Shown().Picture().Graphic());
    HDC dc = PaintDC();
    if (!bitmap || bitmap->Empty() || !dc) return;
    HPALETTE palette = bitmap->Palette();
    if (palette) {
        SelectPalette(bitmap->Canvas().Handle(), palette, FALSE);
        RealizePalette(bitmap->Canvas().Handle());
    }
    TCanvas canvas(dc);
    canvas.Draw(0, 0, *bitmap);
}

void TKaptor32::M_BkColorClick(TComponent*) {
    ColorDialog1->Color = ScrollBox1->Color();
    if (ColorDialog1->Execute()) ScrollBox1->SetColor(ColorDialog1->Color);
}

// ---------------------------------------------------------------- what the view asks

void TKaptor32::ShowStatus(int panel, const std::string& text) { StatusBar1->Panels()[panel].SetText(text); }

void TKaptor32::RangeModeSwitched(bool on) {
    commandFacts_.RangeSwitched(on);
    ApplyCommandStates();
}

void TKaptor32::EnablePictureCommands() {
    commandFacts_.PictureAnnounced();
    ApplyCommandStates();
}

}  // namespace kaptor
