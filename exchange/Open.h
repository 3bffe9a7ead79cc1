// Opening a picture file into the view.
#pragma once

#include <string>

namespace kaptor {

class TPictureView;

namespace texts {
// More than one file dropped at once.
inline constexpr const char* ManyFiles = "複数ﾌｧｲﾙのﾄﾞﾗｯｸﾞはできません";
// The open dialog's types: the first, chosen at start, takes every type the program opens.
inline constexpr const char* OpenFilter =
    "画像ﾌｧｲﾙ (*.bmp;*.jpg;*.jpeg;*.png;*.gif)|*.bmp;*.jpg;*.jpeg;*.png;*.gif|ﾋﾞｯﾄﾏｯﾌﾟ (*.bmp)|*.bmp"
    "|JPEG(*.jpg;*.jpeg)|*.jpg;*.jpeg|PNG (*.png)|*.png|GIF (*.gif)|*.gif";
}

// Reads fileName and makes it the view's picture, leaving range mode first. Any failure is
// shown with the error's own text and leaves the picture (and range mode) as it was.
void OpenPictureFile(TPictureView& view, const std::string& fileName);
// For a file that comes without the open dialog (dropped, or named at start-up): true when
// there is no picture yet or the user confirms replacing it with OK.
bool MayReplacePicture(const TPictureView& view);
// Asks whether the shown picture may be replaced; true only for OK.
bool ConfirmReplace();

}  // namespace kaptor
