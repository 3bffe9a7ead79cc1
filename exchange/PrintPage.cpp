#include "exchange/PrintPage.h"

#include "framework/win/Bitmap.h"

namespace kaptor {

TForm2* Form2 = nullptr;

TForm2::TForm2(TComponent* owner) : TForm(owner, "TForm2") {
    Name = "Form2";
    SetBorderStyle(TBorderStyle::bsNone);
    SetColor(clWhite);
    PixelsPerInch = Screen ? Screen->PixelsPerInch() : 96;
    Image1 = new TImage(this);
    Image1->Name = "Image1";
    Image1->SetParent(this);
    Image1->SetBounds(0, 0, 105, 105);
    Image1->Stretch = true;
}

std::unique_ptr<TBitmap> TForm2::GetFormImage() {
    auto image = std::make_unique<TBitmap>(ClientWidth(), ClientHeight());
    TCanvas& canvas = image->Canvas();
    canvas.Brush.Color = Color();
    canvas.Brush.Style = bsSolid;
    canvas.FillRect(RECT{0, 0, image->Width(), image->Height()});
    TGraphic* graphic = Image1->Picture().Graphic();
    if (graphic && !graphic->Empty()) {
        const int left = Image1->Left(), top = Image1->Top();
        if (Image1->Stretch)
            canvas.StretchDraw(RECT{left, top, left + Image1->Width(), top + Image1->Height()}, *graphic);
        else
            canvas.Draw(left, top, *graphic);
    }
    return image;
}

TPageForm::TPageForm() : form_(std::make_unique<TForm2>(nullptr)), previous_(Form2) {
    form_->AfterConstruction();
    form_->Show();
    form_->SetWindowState(TWindowState::wsMaximized);
    Form2 = form_.get();
}

TPageForm::~TPageForm() {
    if (Form2 == form_.get()) Form2 = previous_;
}

}  // namespace kaptor
