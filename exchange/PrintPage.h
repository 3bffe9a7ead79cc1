// TPrintPage, the page form of the print commands: a borderless, maximised white form with one
// stretched image at its top-left. What it shows is what goes on the page: its client area
// is painted into a bitmap (the form image) and that is printed.
#pragma once

#include <memory>

#include "framework/win/ExtCtrls.h"
#include "framework/win/Forms.h"

namespace kaptor {

class TBitmap;

class TPrintPage : public TForm {
public:
    explicit TPrintPage(TComponent* owner);

    TImage* Image;
    // The screen's logical resolution when the form was made: the page scale's divisor.
    int PixelsPerInch;

    // The client area as painted: the form's colour, Image's picture drawn into Image's
    // bounds (scaled when Stretch is on); cut off at the client's right and bottom edges.
    std::unique_ptr<TBitmap> GetFormImage();
};

// The page form of the print command now running, or null.
extern TPrintPage* CurrentPrintPage;

// The page form for one command: made visible and maximised (a window of the application's like
// every form) and freed on every way out of the scope. It is freed at once rather than
// queued for the message loop: the command that made it runs in the main window, never in
// one of the page's own handlers, so nothing of it is still on the stack.
class TShownPrintPage {
public:
    TShownPrintPage();
    ~TShownPrintPage();
    TShownPrintPage(const TShownPrintPage&) = delete;
    TShownPrintPage& operator=(const TShownPrintPage&) = delete;
    TPrintPage& operator*() const { return *form_; }
    TPrintPage* operator->() const { return form_.get(); }

private:
    std::unique_ptr<TPrintPage> form_;
    // A print command can start inside another one's message processing: the outer
    // command's form is current again when the inner one ends.
    TPrintPage* previous_;
};

}  // namespace kaptor
