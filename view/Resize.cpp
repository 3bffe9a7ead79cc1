// Resize: resamples the picture to the size the zoom box shows and makes the result the new
// picture at 100 %. The only command that changes the stored picture's pixel size.
#include <memory>

#include "app/F_Kaptor.h"
#include "framework/win/Bitmap.h"
#include "view/Zoom.h"

namespace kaptor {

void TKaptor32::SB_ResizeClick(TComponent*) {
    M_Range->SetEnabled(true);
    M_NoRange->SetEnabled(false);
    RangeDragging = false;
    SpinEdit1->SetEnabled(true);
    // The view repaints before the work starts.
    Application->ProcessMessages();

    const int zoom = SpinEdit1->Value();
    const int w = ZoomedSide(zoom, NaturalWidth), h = ZoomedSide(zoom, NaturalHeight);
    // A side of 0 (zoom 0, or 1 % of a side under 50) would leave an empty bitmap: the
    // capture would be gone with no way back, so the picture stays as it is.
    if (w < 1 || h < 1) return;

    std::unique_ptr<TBitmap> bitmap;
    try {
        bitmap = std::make_unique<TBitmap>();
        bitmap->SetSize(w, h);
        // TBitmap::Draw picks the stretch mode: nearest neighbour for colour pictures,
        // halftone only when the new surface shows 8 bits or fewer and fewer than the source.
        if (TGraphic* source = Image1->Picture().Graphic()) {
            TCanvas& canvas = bitmap->Canvas();
            canvas.CopyMode = cmSrcCopy;
            canvas.StretchDraw(RECT{0, 0, w, h}, *source);
        }
        NaturalWidth = w;
        NaturalHeight = h;
        Image1->SetWidth(w);
        Image1->SetHeight(h);
        Image1->Picture().SetGraphic(bitmap.get());
        Image2->Picture().Assign(Image1->Picture());
        bitmap.reset();
        SpinEdit1->SetValue(100);
        EnableImageCommands();
        ShowPictureSize();
    } catch (const std::exception& e) {
        bitmap.reset();
        const std::string text = dynamic_cast<const std::bad_alloc*>(&e) ? texts::OutOfMemory : e.what();
        ShowMessage("例外ｴﾗｰ！：［" + text + "］");
    }
}

}  // namespace kaptor
