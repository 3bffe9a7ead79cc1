// Printing: the picture (or its framed range) or the current desktop is put on the page
// form, the user confirms the print dialog, and the form's client image goes on one page
// at its top-left, scaled so that it comes out at the size it has on the screen.
#include "exchange/Print.h"

#include <memory>

#include "exchange/PrintPage.h"
#include "framework/win/Bitmap.h"
#include "framework/win/ExtCtrls.h"
#include "framework/win/Forms.h"
#include "framework/win/Dialogs.h"
#include "framework/win/Printers.h"
#include "view/PictureView.h"

namespace kaptor {

namespace {

// Hidden and repainted before the dialog, so the dialog does not open over a white screen.
void HidePage(TPrintPage& page) {
    page.Hide();
    page.Repaint();
    Application->ProcessMessages();
}

}  // namespace

void PrintViewPicture(TPictureView& view, const std::function<bool()>& confirm) {
    const bool range = view.RangeFramed();
    // A range with no area would print a blank page: refused as copy and save refuse it.
    if (range && view.RangeEmpty()) {
        ShowMessage(texts::EmptyRange);
        return;
    }
    TShownPrintPage page;
    TImage& pageImage = *page->Image;
    if (range) {
        std::unique_ptr<TBitmap> bitmap = view.CutRange();
        try {
            pageImage.Picture().SetGraphic(bitmap.get());
            pageImage.SetBounds(0, 0, bitmap->Width(), bitmap->Height());
        } catch (...) {
            view.DrawRangeFrame();
            throw;
        }
        view.DrawRangeFrame();
    } else {
        // At the displayed size: a picture zoomed to 50 % prints at half size.
        TImage& shown = view.Shown();
        pageImage.Picture().Assign(shown.Picture());
        pageImage.SetBounds(0, 0, shown.Width(), shown.Height());
    }
    HidePage(*page);
    if (!confirm()) return;
    Sleep(300);
    PrintPageForm();
}

void PrintDesktop(const std::function<bool()>& confirm) {
    Sleep(300);
    TBitmap desktop;
    {
        WindowDC screen(nullptr);
        desktop.SetSize(Screen->Width(), Screen->Height());
        BitBlt(desktop.Canvas().Handle(), 0, 0, desktop.Width(), desktop.Height(), screen.get(), 0, 0, SRCCOPY);
        desktop.Modified();
    }
    Application->ProcessMessages();
    TShownPrintPage page;
    page->Image->Picture().SetGraphic(&desktop);
    page->Image->SetBounds(0, 0, desktop.Width(), desktop.Height());
    HidePage(*page);
    if (!confirm()) return;
    Sleep(300);
    PrintPageForm();
}

void PrintPageForm() {
    if (!CurrentPrintPage) throw EInvalidOperation("Form2");
    TPrintJob job(Printer());  // ended on every way out of here
    std::unique_ptr<TBitmap> image = CurrentPrintPage->GetFormImage();
    // Printer drivers take 24-bit pixels everywhere; the screen's 32 bits are not needed.
    image->SetPixelFormat(pf24bit);
    const Dib dib = image->ToDib();
    image.reset();
    const HDC dc = Printer().Handle();
    // Same physical size as on the screen: printer dots per screen pixel, rounded.
    const int width = MulDiv(dib.Width, GetDeviceCaps(dc, LOGPIXELSX), CurrentPrintPage->PixelsPerInch);
    const int height = MulDiv(dib.Height, GetDeviceCaps(dc, LOGPIXELSY), CurrentPrintPage->PixelsPerInch);
    StretchDib(dc, RECT{0, 0, width, height}, dib);
    job.End();
}

}  // namespace kaptor
