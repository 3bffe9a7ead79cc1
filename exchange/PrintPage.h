// TForm2, the page form of the print commands: a borderless, maximised white form with one
// stretched image at its top-left. What it shows is what goes on the page: its client area
// is painted into a bitmap (the form image) and that is printed.
#pragma once

#include <memory>

#include "framework/win/ExtCtrls.h"
#include "framework/win/Forms.h"

namespace kaptor {

class TBitmap;

class TForm2 : public TForm {
public:
    explicit TForm2(TComponent* owner);

    TImage* Image1;
    // The screen's logical resolution when the form was made: the page scale's divisor.
    int PixelsPerInch;

    // The client area as painted: the form's colour, Image1's picture drawn into Image1's
    // bounds (scaled when Stretch is on); cut off at the client's right and bottom edges.
    std::unique_ptr<TBitmap> GetFormImage();
};

// The page form of the print command now running, or null.
extern TForm2* Form2;

// Form2 for one command: made visible and maximised (a window of the application's like
// every form) and freed on every way out of the scope. It is freed at once rather than
// queued for the message loop: the command that made it runs in the main window, never in
// one of Form2's own handlers, so nothing of it is still on the stack.
class TPageForm {
public:
    TPageForm();
    ~TPageForm();
    TPageForm(const TPageForm&) = delete;
    TPageForm& operator=(const TPageForm&) = delete;
    TForm2& operator*() const { return *form_; }
    TForm2* operator->() const { return form_.get(); }

private:
    std::unique_ptr<TForm2> form_;
    // A print command can start inside another one's message processing: the outer
    // command's form is current again when the inner one ends.
    TForm2* previous_;
};

}  // namespace kaptor
