#include "exchange/PrintPage.h"

#include "framework/win/Bitmap.h"

namespace kaptor {

TPrintPage* CurrentPrintPage = nullptr;

// The window class, "TForm2", is what other programs see of the page (and find it by); it and
// the component names stay as they always were.
TPrintPage::TPrintPage(TComponent* owner) : TForm(owner, "TForm2") {
    Name = "Form2";
    SetBorderStyle(TBorderStyle::bsNone);
    SetColor(clWhite);
    PixelsPerInch = Screen ? Screen->PixelsPerInch() : 96;
    Image = new TImage(this);
    Image->Name = "Image1";
    Image->SetParent(this);
    Image->SetBounds(0, 0, 105, 105);
    Image->Stretch = true;
}

std::unique_ptr<TBitmap> TPrintPage::GetFormImage() {
    auto image = std::make_unique<TBitmap>(ClientWidth(), ClientHeight());
    TCanvas& canvas = image->Canvas();
    canvas.Brush.Color = Color();
    canvas.Brush.Style = bsSolid;
    canvas.FillRect(RECT{0, 0, image->Width(), image->Height()});
    TGraphic* graphic = Image->Picture().Graphic();
    if (graphic && !graphic->Empty()) {
        const int left = Image->Left(), top = Image->Top();
        if (Image->Stretch)
            canvas.StretchDraw(RECT{left, top, left + Image->Width(), top + Image->Height()}, *graphic);
        else
            canvas.Draw(left, top, *graphic);
    }
    return image;
}

TShownPrintPage::TShownPrintPage() : form_(std::make_unique<TPrintPage>(nullptr)), previous_(CurrentPrintPage) {
    form_->AfterConstruction();
    form_->Show();
    form_->SetWindowState(TWindowState::wsMaximized);
    CurrentPrintPage = form_.get();
}

TShownPrintPage::~TShownPrintPage() {
    if (CurrentPrintPage == form_.get()) CurrentPrintPage = previous_;
}

}  // namespace kaptor
