// Copy to and paste from the system clipboard.
#pragma once

namespace kaptor {

class TPictureView;

// The framed range, or else the picture as displayed, as a bitmap and a PNG file. Errors
// reach the caller with their own text; a range with no area is refused with a message.
void CopyViewPicture(TPictureView& view);
// A bitmap, or else a PNG file, from the clipboard becomes the picture (range mode is left
// first); anything else is refused with a message and changes nothing.
void PasteIntoView(TPictureView& view);

}  // namespace kaptor
