// The capture view: zoom, installing a new picture, the status of the picture, painting and
// the background colour.
#include <cmath>
#include <cstdint>
#include <memory>
#include <typeinfo>

#include "app/F_Kaptor.h"
#include "framework/win/Bitmap.h"
#include "framework/win/Dialogs.h"
#include "view/Zoom.h"

namespace kaptor {

int ZoomedSide(int zoom, int natural) {
    const auto product = static_cast<std::int32_t>(static_cast<std::uint32_t>(zoom) * static_cast<std::uint32_t>(natural));
    const double q = product / 100.0;
    return static_cast<int>(q < 0 ? -std::floor(-q + 0.5) : std::floor(q + 0.5));
}

bool TKaptor32::SetZoom(int zoom) {
    if (zoom < 1) return true;  // zoom 0 keeps the view as it is
    try {
        Image1->SetWidth(ZoomedSide(zoom, NaturalWidth));
        Image1->SetHeight(ZoomedSide(zoom, NaturalHeight));
        Image1->Update();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void TKaptor32::SpinEdit1Change(TComponent*) { SetZoom(SpinEdit1->Value()); }

void TKaptor32::ShowPictureSize() {
    TGraphic* g = Image1->Picture().Graphic();
    const int w = g ? g->Width() : 0, h = g ? g->Height() : 0;
    StatusBar1->Panels()[0].SetText("ｻｲｽﾞ : " + IntToStr(w) + " x " + IntToStr(h));
    StatusBar1->Panels()[2].SetText("");
}

void TKaptor32::InstallPicture(TBitmap& bitmap) {
    std::unique_ptr<TGraphic> copy = bitmap.Clone();  // of the bitmap's own kind
    InstallPicture(std::unique_ptr<TBitmap>(static_cast<TBitmap*>(copy.release())));
}

void TKaptor32::InstallPicture(std::unique_ptr<TBitmap> bitmap) {
    const int width = bitmap->Width(), height = bitmap->Height();
    Image1->Picture().SetGraphic(std::move(bitmap));
    Image1->SetCursor(crDefault);
    Image1->Repaint();
    Image1->SetBounds(Image1->Left(), Image1->Top(), width, height);
    NaturalWidth = Image1->Width();
    NaturalHeight = Image1->Height();
    Image1->Repaint();
    TakeCleanCopy();
    EnableImageCommands();
    ShowPictureSize();
}

void TKaptor32::TakeCleanCopy() {
    // Into the clean copy's own bitmap, which keeps its memory when size and format stay the
    // same (a capture after a capture): the old copy is not a third picture beside the new
    // picture and the new copy, and no fresh pages are touched. Nothing draws on Image2, so
    // its canvas has no state of its own to lose.
    auto* picture = dynamic_cast<TBitmap*>(Image1->Picture().Graphic());
    auto* clean = dynamic_cast<TBitmap*>(Image2->Picture().Graphic());
    if (picture && clean && typeid(*picture) == typeid(TBitmap) && typeid(*clean) == typeid(TBitmap))
        clean->Assign(*picture);
    else
        Image2->Picture().Assign(Image1->Picture());
}

void TKaptor32::FormPaint(TComponent*) {
    // The picture on the window's own surface, beneath the bars and the view, in its own
    // palette on palette displays.
    auto* bitmap = dynamic_cast<TBitmap*>(Image1->Picture().Graphic());
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

}  // namespace kaptor
