// Printing: the picture (or its framed range) or the current desktop on one page.
#pragma once

#include <functional>

namespace kaptor {

class TPictureView;

// The framed range (a range with no area is refused first), or else the picture at its
// displayed size, printed when confirm (the print dialog) says so.
void PrintViewPicture(TPictureView& view, const std::function<bool()>& confirm);
// The whole screen as it is now, printed when confirm says so.
void PrintDesktop(const std::function<bool()>& confirm);
// Prints the current page form's client image on the current printer: one document, one page.
void PrintPageForm();

}  // namespace kaptor
